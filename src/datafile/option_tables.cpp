// The section table and option tables of the data file.
#include "option_tables.h"

namespace {

constexpr std::string_view kSerialPortNames[] = {"Disabled", "3F8h/IRQ4", "2F8h/IRQ3", "3E8h/IRQ4", "2E8h/IRQ3"};
constexpr std::string_view kParallelPortNames[] = {"Disabled", "3BCh/IRQ7", "378h/IRQ7", "278h/IRQ5"};
constexpr std::string_view kPrinterModeNames[] = {"Output-Only", "EPP", "ECP", "ECP/EPP"};
constexpr std::string_view kEcpDmaNames[] = {"DMA1", "DMA3"};
constexpr std::string_view kEppTypeNames[] = {"EPP 1.9", "EPP 1.7"};
constexpr std::string_view kBootDeviceNames[] = {"Floppy",  "LS120",   "Hard Disk", "CDROM",   "ZIP100",  "USB",
                                                 "LAN",     "Unknown", "Unknown",   "Unknown", "Unknown", "Unknown",
                                                 "Unknown", "Unknown", "Unknown",   "Disabled"};
constexpr std::string_view kPs2Names[] = {"PS/2 port is keyboard", "PS/2 port is mouse"};
constexpr std::string_view kPowerFailNames[] = {"Off", "On", "Former state"};
constexpr std::string_view kEnableNames[] = {"Disabled", "Enabled"};
constexpr std::string_view kOnOffNames[] = {"Off", "On"};
constexpr std::string_view kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

template <size_t N>
constexpr OptionTable table(const std::string_view (&names)[N]) {
    return OptionTable{names, N};
}

}  // namespace

size_t OptionTable::find(std::string_view text) const {
    for (size_t i = 0; i < count; ++i) {
        if (names[i] == text) return i;
    }
    return count;
}

const OptionTable kSerialPortOptions = table(kSerialPortNames);
const OptionTable kParallelPortOptions = table(kParallelPortNames);
const OptionTable kPrinterModeOptions = table(kPrinterModeNames);
const OptionTable kEcpDmaOptions = table(kEcpDmaNames);
const OptionTable kEppTypeOptions = table(kEppTypeNames);
const OptionTable kBootDeviceOptions = table(kBootDeviceNames);
const OptionTable kPs2Options = table(kPs2Names);
const OptionTable kPowerFailOptions = table(kPowerFailNames);
const OptionTable kEnableOptions = table(kEnableNames);
const OptionTable kOnOffOptions = table(kOnOffNames);
const OptionTable kDayOptions = table(kDayNames);

const std::array<Section, kSectionCount> kSections = {{
    {SectionId::SetupPassword, "Setup Password", EntryKind::Password, nullptr},
    {SectionId::PowerOnPassword, "Power-On Password", EntryKind::Password, nullptr},
    {SectionId::AssetTrackingNumber, "Asset Tracking Number", EntryKind::AssetTag, nullptr},
    {SectionId::SerialPortAddress, "Serial Port Address", EntryKind::SingleChoice, &kSerialPortOptions},
    {SectionId::ParallelPortAddress, "Parallel Port Address", EntryKind::SingleChoice, &kParallelPortOptions},
    {SectionId::PrinterMode, "Printer Mode", EntryKind::SingleChoice, &kPrinterModeOptions},
    {SectionId::EcpModeUseDma, "ECP Mode Use DMA", EntryKind::EcpDma, &kEcpDmaOptions},
    {SectionId::ParallelPortEppType, "Parallel Port EPP Type", EntryKind::SingleChoice, &kEppTypeOptions},
    {SectionId::BootOrder, "Boot Order", EntryKind::BootList, &kBootDeviceOptions},
    {SectionId::Ps2PortStatus, "PS/2 Port Status", EntryKind::SingleChoice, &kPs2Options},
    {SectionId::PwronAfterPwrFail, "PWRON After PWR-Fail", EntryKind::SingleChoice, &kPowerFailOptions},
    {SectionId::UsbController, "USB Controller", EntryKind::SingleChoice, &kEnableOptions},
    {SectionId::WakeOnRtc, "Wake On RTC", EntryKind::Wake, &kDayOptions},
    {SectionId::Numlock, "Numlock", EntryKind::SingleChoice, &kOnOffOptions},
    {SectionId::S3Support, "S3 Support", EntryKind::SingleChoice, &kEnableOptions, true},
}};
