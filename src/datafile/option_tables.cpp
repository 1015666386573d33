// The section table and option tables of the data file: constant data, laid out by the
// compiler, with nothing to build when the program starts.
#include "option_tables.h"

#include <string.h>

namespace {

const char* const kSerialPortNames[] = {"Disabled", "3F8h/IRQ4", "2F8h/IRQ3", "3E8h/IRQ4", "2E8h/IRQ3"};
const char* const kParallelPortNames[] = {"Disabled", "3BCh/IRQ7", "378h/IRQ7", "278h/IRQ5"};
const char* const kPrinterModeNames[] = {"Output-Only", "EPP", "ECP", "ECP/EPP"};
const char* const kEcpDmaNames[] = {"DMA1", "DMA3"};
const char* const kEppTypeNames[] = {"EPP 1.9", "EPP 1.7"};
const char* const kBootDeviceNames[] = {"Floppy",  "LS120",   "Hard Disk", "CDROM",   "ZIP100",  "USB",
                                        "LAN",     "Unknown", "Unknown",   "Unknown", "Unknown", "Unknown",
                                        "Unknown", "Unknown", "Unknown",   "Disabled"};
const char* const kPs2Names[] = {"PS/2 port is keyboard", "PS/2 port is mouse"};
const char* const kPowerFailNames[] = {"Off", "On", "Former state"};
const char* const kEnableNames[] = {"Disabled", "Enabled"};
const char* const kOnOffNames[] = {"Off", "On"};
const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

}  // namespace

// An option table over a constant array of names, its count taken from the array.
#define OPTION_TABLE(names) \
    { names, sizeof names / sizeof names[0] }
// A header text with its length, over which W compares a header line.
#define HEADER(text) text, sizeof text - 1

size_t OptionTable::find(const char* text) const {
    for (size_t i = 0; i < count; ++i) {
        // Up to and including the name's terminator: the whole text must equal the name.
        if (strncmp(names[i], text, strlen(names[i]) + 1) == 0) return i;
    }
    return count;
}

const OptionTable kSerialPortOptions = OPTION_TABLE(kSerialPortNames);
const OptionTable kParallelPortOptions = OPTION_TABLE(kParallelPortNames);
const OptionTable kPrinterModeOptions = OPTION_TABLE(kPrinterModeNames);
const OptionTable kEcpDmaOptions = OPTION_TABLE(kEcpDmaNames);
const OptionTable kEppTypeOptions = OPTION_TABLE(kEppTypeNames);
const OptionTable kBootDeviceOptions = OPTION_TABLE(kBootDeviceNames);
const OptionTable kPs2Options = OPTION_TABLE(kPs2Names);
const OptionTable kPowerFailOptions = OPTION_TABLE(kPowerFailNames);
const OptionTable kEnableOptions = OPTION_TABLE(kEnableNames);
const OptionTable kOnOffOptions = OPTION_TABLE(kOnOffNames);
const OptionTable kDayOptions = OPTION_TABLE(kDayNames);

const Section kSections[kSectionCount] = {
    {SectionId::SetupPassword, HEADER("Setup Password"), EntryKind::Password, 0, false},
    {SectionId::PowerOnPassword, HEADER("Power-On Password"), EntryKind::Password, 0, false},
    {SectionId::AssetTrackingNumber, HEADER("Asset Tracking Number"), EntryKind::AssetTag, 0, false},
    {SectionId::SerialPortAddress, HEADER("Serial Port Address"), EntryKind::SingleChoice, &kSerialPortOptions, false},
    {SectionId::ParallelPortAddress, HEADER("Parallel Port Address"), EntryKind::SingleChoice, &kParallelPortOptions,
     false},
    {SectionId::PrinterMode, HEADER("Printer Mode"), EntryKind::SingleChoice, &kPrinterModeOptions, false},
    {SectionId::EcpModeUseDma, HEADER("ECP Mode Use DMA"), EntryKind::EcpDma, &kEcpDmaOptions, false},
    {SectionId::ParallelPortEppType, HEADER("Parallel Port EPP Type"), EntryKind::SingleChoice, &kEppTypeOptions,
     false},
    {SectionId::BootOrder, HEADER("Boot Order"), EntryKind::BootList, &kBootDeviceOptions, true},
    {SectionId::Ps2PortStatus, HEADER("PS/2 Port Status"), EntryKind::SingleChoice, &kPs2Options, false},
    {SectionId::PwronAfterPwrFail, HEADER("PWRON After PWR-Fail"), EntryKind::SingleChoice, &kPowerFailOptions, false},
    {SectionId::UsbController, HEADER("USB Controller"), EntryKind::SingleChoice, &kEnableOptions, false},
    {SectionId::WakeOnRtc, HEADER("Wake On RTC"), EntryKind::Wake, &kDayOptions, true},
    {SectionId::Numlock, HEADER("Numlock"), EntryKind::SingleChoice, &kOnOffOptions, false},
    {SectionId::S3Support, HEADER("S3 Support"), EntryKind::SingleChoice, &kEnableOptions, true},
};
