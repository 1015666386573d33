// The data file's constant data: the fifteen sections in the order R writes them, their header
// texts, how their entry lines are written and read, the option tables behind them, and the
// firmware function that R, W and the checker call for each.
#pragma once

#include "firmware_interface.h"
#include "fixed_width.h"

// The names of one multiple-choice setting; a name's position is the firmware's value.
struct OptionTable {
    const char* const* names;
    size_t count;

    bool has(uint32_t index) const { return index < count; }
    const char* operator[](uint32_t index) const { return names[index]; }
    // The first index whose name equals the zero-ended `text`, or `count` when none does.
    size_t find(const char* text) const;
};

// The sections in the order R writes them, one row each: the section ids, their count, the
// option tables and the section table follow from these rows. A row gives the fields of
// Section below: ROW(id, kind, header, options, omittedWhenUnread, function, setFailure,
// clearFailure, invalidText), where `options` is one of
//   OPTIONS(Name, NAMES_n("first", "second", ...))  the table kNameOptions: its n names in the
//                                                   firmware's order, a name's position being
//                                                   the firmware's value
//   SAME_OPTIONS(Name)                              the table that an earlier row gives
//   NO_OPTIONS                                      a password or the asset tag
// Where the rows are expanded, OPTIONS, SAME_OPTIONS and NO_OPTIONS say what a row's options
// become there (option_tables.cpp defines NAMES_n for each n a row takes).
// The days of "Wake On RTC" are the bits of the day mask, Sunday bit 0.
#define FOLVANE_SECTIONS(ROW)                                                                                         \
    ROW(SetupPassword, Password, "Setup Password", NO_OPTIONS, false, kFnAdminPassword,                               \
        L"***ERROR*** Failed to set admin password (%S)!\n", L"***ERROR*** Failed to clear admin password!\n",        \
        L"***ERROR*** Invalid admin password text!\n")                                                                \
    ROW(PowerOnPassword, Password, "Power-On Password", NO_OPTIONS, false, kFnUserPassword,                           \
        L"***ERROR*** Failed to set user password (%S)!\n", L"***ERROR*** Failed to clear user password!\n",          \
        L"***ERROR*** Invalid user password text!\n")                                                                 \
    ROW(AssetTrackingNumber, AssetTag, "Asset Tracking Number", NO_OPTIONS, false, kFnAssetTag,                       \
        L"***ERROR*** Failed to set asset tag (%S)!\n", 0, L"***ERROR*** Invalid asset tag text!\n")                  \
    ROW(SerialPortAddress, SingleChoice, "Serial Port Address",                                                       \
        OPTIONS(SerialPort, NAMES_5("Disabled", "3F8h/IRQ4", "2F8h/IRQ3", "3E8h/IRQ4", "2E8h/IRQ3")), false,          \
        kFnSerialPort, L"***ERROR*** Failed to set serial port address (%d)!\n", 0, 0)                                \
    ROW(ParallelPortAddress, SingleChoice, "Parallel Port Address",                                                   \
        OPTIONS(ParallelPort, NAMES_4("Disabled", "3BCh/IRQ7", "378h/IRQ7", "278h/IRQ5")), false, kFnParallelPort,    \
        L"***ERROR*** Failed to set parallel port address (%d)!\n", 0, 0)                                             \
    ROW(PrinterMode, PrinterMode, "Printer Mode",                                                                     \
        OPTIONS(PrinterMode, NAMES_4("Output-Only", "EPP", "ECP", "ECP/EPP")), false, kFnParallelMode,                \
        L"***ERROR*** Failed to set printer mode (%d)!\n", 0, 0)                                                      \
    ROW(EcpModeUseDma, EcpDma, "ECP Mode Use DMA", OPTIONS(EcpDma, NAMES_2("DMA1", "DMA3")), false, kFnParallelMode,  \
        L"***ERROR*** Failed to set ECP DMA (%d)!\n", 0, 0)                                                           \
    ROW(ParallelPortEppType, SingleChoice, "Parallel Port EPP Type", OPTIONS(EppType, NAMES_2("EPP 1.9", "EPP 1.7")), \
        false, kFnEppType, L"***ERROR*** Failed to set parallel port EPP type (%d)!\n", 0, 0)                         \
    ROW(BootOrder, BootList, "Boot Order",                                                                            \
        OPTIONS(BootDevice,                                                                                           \
                NAMES_16("Floppy", "LS120", "Hard Disk", "CDROM", "ZIP100", "USB", "LAN", "Unknown", "Unknown",       \
                         "Unknown", "Unknown", "Unknown", "Unknown", "Unknown", "Unknown", "Disabled")),              \
        true, kFnBootSequence, L"***ERROR*** Failed to set boot sequence!\n", 0, 0)                                   \
    ROW(Ps2PortStatus, SingleChoice, "PS/2 Port Status",                                                              \
        OPTIONS(Ps2, NAMES_2("PS/2 port is keyboard", "PS/2 port is mouse")), false, kFnPs2Port,                      \
        L"***ERROR*** Failed to set PS/2 port setting (%d)!\n", 0, 0)                                                 \
    ROW(PwronAfterPwrFail, SingleChoice, "PWRON After PWR-Fail",                                                      \
        OPTIONS(PowerFail, NAMES_3("Off", "On", "Former state")), false, kFnPowerOnAfterFail,                         \
        L"***ERROR*** Failed to set PWRON_After_PWRFail setting (%d)!\n", 0, 0)                                       \
    ROW(UsbController, SingleChoice, "USB Controller", OPTIONS(Enable, NAMES_2("Disabled", "Enabled")), false,        \
        kFnUsbController, L"***ERROR*** Failed to set USB controller setting (%d)!\n", 0, 0)                          \
    ROW(WakeOnRtc, Wake, "Wake On RTC",                                                                               \
        OPTIONS(Day, NAMES_7("Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday")), true,    \
        kFnWakeOnRtc, L"***ERROR*** Failed to set Wake on RTC setting (%d)!\n", 0, 0)                                 \
    ROW(Numlock, SingleChoice, "Numlock", OPTIONS(OnOff, NAMES_2("Off", "On")), false, kFnNumlock,                    \
        L"***ERROR*** Failed to set Numlock setting (%d)!\n", 0, 0)                                                   \
    ROW(S3Support, SingleChoice, "S3 Support", SAME_OPTIONS(Enable), true, kFnS3Support,                              \
        L"***ERROR*** Failed to set S3 setting (%d)!\n", 0, 0)

// A printer mode from which on the ECP DMA channel applies (ECP, ECP/EPP).
const uint32_t kFirstEcpPrinterMode = 2;
// The name R writes for a boot code that the table does not know; W reads it back as 7.
const char* const kUnknownBootDevice = "Unknown";

struct EntryKind {
    enum Value {
        Password,      // an empty entry line when a password is set; W: the first entry line
        AssetTag,      // at most one line holding the tag
        SingleChoice,  // every option, the current one marked
        PrinterMode,   // a single choice held in the parallel mode's low byte; W sets DMA byte 0
        EcpDma,        // a single choice held in the parallel mode's high byte
        BootList,      // device names in boot order, no marks
        Wake           // seven day lines (several marked) and a time line
    };
};

// NOLINTBEGIN(bugprone-macro-parentheses): the rows' fields are names and initializers.
#define FOLVANE_SECTION_ID(id, kind, header, options, omitted, function, setFailure, clearFailure, invalidText) id,
struct SectionId {
    enum Value {
        FOLVANE_SECTIONS(FOLVANE_SECTION_ID) Count  // no section: how many there are
    };
};
#undef FOLVANE_SECTION_ID

// The option tables that the rows give.
#define OPTIONS(name, names) extern const OptionTable k##name##Options;
#define SAME_OPTIONS(name)
#define NO_OPTIONS
#define FOLVANE_SECTION_OPTIONS(id, kind, header, options, omitted, function, setFailure, clearFailure, invalidText) \
    options
FOLVANE_SECTIONS(FOLVANE_SECTION_OPTIONS)
#undef FOLVANE_SECTION_OPTIONS
#undef OPTIONS
#undef SAME_OPTIONS
#undef NO_OPTIONS
// NOLINTEND(bugprone-macro-parentheses)

// One setting: everything R, W and the checker need of it.
struct Section {
    SectionId::Value id;
    EntryKind::Value kind;
    const char* header;  // W matches a header line by this prefix, over its own length
    size_t headerLength;
    const OptionTable* options;  // null for passwords and the asset tag
    bool omittedWhenUnread;      // R leaves the whole section out when its read fails

    // The firmware function behind it (firmware_settings.h). R and W read and set a single
    // choice (for the printer mode and the ECP DMA channel the parallel mode word) and a
    // password through it; boot order, wake and the asset tag take values of their own types,
    // so R and W call those by the section's kind. The checker's plan names its set operation.
    uint8_t function;
    const wchar_t* setFailure;    // W's own line after a failed set: "%d" the value, "%S" the text
    const wchar_t* clearFailure;  // W's own line after a failed clear of a password
    const wchar_t* invalidText;   // W's line for a password or tag section refused for a damaged line

    // Whether a "*" after an entry line's leading white space is a mark rather than text.
    bool usesMarks() const {
        return kind == EntryKind::SingleChoice || kind == EntryKind::PrinterMode || kind == EntryKind::EcpDma ||
               kind == EntryKind::Wake;
    }
};

const size_t kSectionCount = SectionId::Count;
extern const Section kSections[kSectionCount];
