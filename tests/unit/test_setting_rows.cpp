// A setting's rows: the section row names its firmware function, the firmware's row gives that
// function's width and operation names, and the service gets and sets by function number only
// what the firmware's table holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "bios_service.h"
#include "console_capture.h"
#include "firmware_settings.h"
#include "option_tables.h"
#include "sim_scoped_unit.h"

namespace {

// Each section in file order: its function, the operation the checker's plan names, the width
// of a single choice (0: a value of its own type), and how many options it lists.
struct Row {
    SectionId::Value id;
    uint8_t function;
    const char* planned;
    uint32_t width;
    size_t options;
};

const Row kRows[] = {
    {SectionId::SetupPassword, 1, "setAdminPassword", 0, 0},
    {SectionId::PowerOnPassword, 2, "setUserPassword", 0, 0},
    {SectionId::AssetTrackingNumber, 3, "setAssetTag", 0, 0},
    {SectionId::SerialPortAddress, 4, "setSerialPort", 0xFF, 5},
    {SectionId::ParallelPortAddress, 5, "setParallelPort", 0xFF, 4},
    {SectionId::PrinterMode, 6, "setParallelMode", 0xFFFF, 4},
    {SectionId::EcpModeUseDma, 6, "setParallelMode", 0xFFFF, 2},
    {SectionId::ParallelPortEppType, 7, "setEppType", 0xFF, 2},
    {SectionId::BootOrder, 9, "setBootSequence", 0, 16},
    {SectionId::Ps2PortStatus, 10, "setPs2Port", 0xFF, 2},
    {SectionId::PwronAfterPwrFail, 11, "setPowerOnAfterFail", 0xFF, 3},
    {SectionId::UsbController, 12, "setUsbController", 0xFF, 2},
    {SectionId::WakeOnRtc, 13, "setWakeOnRtc", 0, 7},
    {SectionId::Numlock, 14, "setNumlock", 0xFF, 2},
    {SectionId::S3Support, 15, "setS3Support", 0xFF, 2},
};

TEST(SettingRows, EachSectionNamesItsFunctionAndTheFirmwareRowItsOperations) {
    ASSERT_EQ(kSectionCount, sizeof kRows / sizeof kRows[0]);
    for (size_t i = 0; i < kSectionCount; ++i) {
        const Section& section = kSections[i];
        const Row& row = kRows[i];
        EXPECT_EQ(section.id, row.id) << i;
        EXPECT_EQ(static_cast<size_t>(section.id), i) << section.header;
        EXPECT_EQ(section.function, row.function) << section.header;
        const FirmwareSetting* setting = firmwareSetting(section.function);
        ASSERT_NE(setting, nullptr) << section.header;
        EXPECT_STREQ(setting->setName, row.planned) << section.header;
        EXPECT_EQ(setting->width, row.width) << section.header;
        EXPECT_EQ(section.options == nullptr ? 0 : section.options->count, row.options) << section.header;
    }
    // A row may take the table of an earlier one.
    EXPECT_EQ(kSections[SectionId::S3Support].options, kSections[SectionId::UsbController].options);
}

TEST(SettingRows, OnlyTheSettingsFunctionsHaveRowsAndOnlySingleChoicesAWidth) {
    const unsigned kChoices[] = {4, 5, 6, 7, 10, 11, 12, 14, 15};
    for (unsigned number = 0; number < 256; ++number) {
        const auto function = static_cast<uint8_t>(number);
        const FirmwareSetting* setting = firmwareSetting(function);
        const bool isSetting = number >= 1 && number <= 15 && number != 8;
        ASSERT_EQ(setting != nullptr, isSetting) << number;
        const bool isChoice = std::find(std::begin(kChoices), std::end(kChoices), number) != std::end(kChoices);
        EXPECT_EQ(choiceSetting(function) != nullptr, isChoice) << number;
        if (setting == nullptr) continue;
        EXPECT_EQ(setting->function, function);
        EXPECT_EQ(std::string(setting->getName).substr(0, 3), "get") << number;
        EXPECT_NE(setting->setFailure, nullptr) << number;
    }
}

// By function number the service calls only what the table holds: any other number makes no
// call, prints nothing and leaves the value, whether the unit would answer it or not.
TEST(SettingRows, ANumberWithoutItsRowMakesNoCall) {
    sim::ScopedUnit unit;
    ASSERT_TRUE(unit.ok()) << unit.error();
    host::ConsoleCapture console;
    BiosService service;
    console.clear();
    const size_t before = unit.unit().calls().size();
    const uint8_t kNoChoice[] = {0, 1, 2, 3, 8, 9, 13, 16, 255};
    for (const uint8_t function : kNoChoice) {
        uint32_t value = 0x5A;
        EXPECT_FALSE(service.getChoice(function, value)) << int{function};
        EXPECT_FALSE(service.setChoice(function, 1)) << int{function};
        EXPECT_EQ(value, 0x5Au) << int{function};
    }
    const uint8_t kNoPassword[] = {0, 3, 4, 15, 16};
    for (const uint8_t function : kNoPassword) {
        uint32_t present = 7;
        EXPECT_FALSE(service.getPasswordState(function, present)) << int{function};
        EXPECT_FALSE(service.setPassword(function, "x")) << int{function};
        EXPECT_EQ(present, 7u) << int{function};
    }
    EXPECT_EQ(unit.unit().calls().size(), before);
    EXPECT_EQ(console.text(), "");
    service.release();
}

}  // namespace
