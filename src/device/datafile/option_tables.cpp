// The section table and option tables of the data file: constant data, laid out by the
// compiler, with nothing to build when the program starts.
#include "option_tables.h"

#include "text_classes.h"

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
    { (names), sizeof(names) / sizeof((names)[0]) }
// A header text with its length, over which W compares a header line.
#define HEADER(text) (text), sizeof(text) - 1

size_t OptionTable::find(const char* text) const {
    for (size_t i = 0; i < count; ++i) {
        if (sameText(names[i], text)) return i;
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

// The rows. A choice names its two operations, a password its state query and its set.
// NOLINTBEGIN(bugprone-macro-parentheses): the arguments are parts of names, not expressions.
#define CHOICE(name) &BiosService::get##name, &BiosService::set##name, 0, "get" #name, "set" #name
#define PASSWORD(name) &BiosService::get##name##State, 0, &BiosService::set##name, "get" #name "State", "set" #name
#define TYPED(name) 0, 0, 0, "get" #name, "set" #name
// NOLINTEND(bugprone-macro-parentheses)

namespace {

const Section kRows[] = {
    {SectionId::SetupPassword, EntryKind::Password, HEADER("Setup Password"), 0, false, PASSWORD(AdminPassword),
     L"***ERROR*** Failed to set admin password (%S)!\n", L"***ERROR*** Failed to clear admin password!\n",
     L"***ERROR*** Invalid admin password text!\n"},
    {SectionId::PowerOnPassword, EntryKind::Password, HEADER("Power-On Password"), 0, false, PASSWORD(UserPassword),
     L"***ERROR*** Failed to set user password (%S)!\n", L"***ERROR*** Failed to clear user password!\n",
     L"***ERROR*** Invalid user password text!\n"},
    {SectionId::AssetTrackingNumber, EntryKind::AssetTag, HEADER("Asset Tracking Number"), 0, false, 0, 0,
     &BiosService::setAssetTag, "getAssetTag", "setAssetTag", L"***ERROR*** Failed to set asset tag (%S)!\n", 0,
     L"***ERROR*** Invalid asset tag text!\n"},
    {SectionId::SerialPortAddress, EntryKind::SingleChoice, HEADER("Serial Port Address"), &kSerialPortOptions, false,
     CHOICE(SerialPort), L"***ERROR*** Failed to set serial port address (%d)!\n", 0, 0},
    {SectionId::ParallelPortAddress, EntryKind::SingleChoice, HEADER("Parallel Port Address"), &kParallelPortOptions,
     false, CHOICE(ParallelPort), L"***ERROR*** Failed to set parallel port address (%d)!\n", 0, 0},
    {SectionId::PrinterMode, EntryKind::PrinterMode, HEADER("Printer Mode"), &kPrinterModeOptions, false,
     CHOICE(ParallelMode), L"***ERROR*** Failed to set printer mode (%d)!\n", 0, 0},
    {SectionId::EcpModeUseDma, EntryKind::EcpDma, HEADER("ECP Mode Use DMA"), &kEcpDmaOptions, false,
     CHOICE(ParallelMode), L"***ERROR*** Failed to set ECP DMA (%d)!\n", 0, 0},
    {SectionId::ParallelPortEppType, EntryKind::SingleChoice, HEADER("Parallel Port EPP Type"), &kEppTypeOptions, false,
     CHOICE(EppType), L"***ERROR*** Failed to set parallel port EPP type (%d)!\n", 0, 0},
    {SectionId::BootOrder, EntryKind::BootList, HEADER("Boot Order"), &kBootDeviceOptions, true, TYPED(BootSequence),
     L"***ERROR*** Failed to set boot sequence!\n", 0, 0},
    {SectionId::Ps2PortStatus, EntryKind::SingleChoice, HEADER("PS/2 Port Status"), &kPs2Options, false,
     CHOICE(Ps2Port), L"***ERROR*** Failed to set PS/2 port setting (%d)!\n", 0, 0},
    {SectionId::PwronAfterPwrFail, EntryKind::SingleChoice, HEADER("PWRON After PWR-Fail"), &kPowerFailOptions, false,
     CHOICE(PowerOnAfterFail), L"***ERROR*** Failed to set PWRON_After_PWRFail setting (%d)!\n", 0, 0},
    {SectionId::UsbController, EntryKind::SingleChoice, HEADER("USB Controller"), &kEnableOptions, false,
     CHOICE(UsbController), L"***ERROR*** Failed to set USB controller setting (%d)!\n", 0, 0},
    {SectionId::WakeOnRtc, EntryKind::Wake, HEADER("Wake On RTC"), &kDayOptions, true, TYPED(WakeOnRtc),
     L"***ERROR*** Failed to set Wake on RTC setting (%d)!\n", 0, 0},
    {SectionId::Numlock, EntryKind::SingleChoice, HEADER("Numlock"), &kOnOffOptions, false, CHOICE(Numlock),
     L"***ERROR*** Failed to set Numlock setting (%d)!\n", 0, 0},
    {SectionId::S3Support, EntryKind::SingleChoice, HEADER("S3 Support"), &kEnableOptions, true, CHOICE(S3Support),
     L"***ERROR*** Failed to set S3 setting (%d)!\n", 0, 0},
};

}  // namespace

// One row per section: a row more or less fails here.
FOLVANE_COMPILE_CHECK(sizeof kRows / sizeof kRows[0] == kSectionCount, OneRowPerSection);

const Section (&kSections)[kSectionCount] = kRows;
