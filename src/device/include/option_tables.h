// The data file's constant data: the fifteen sections in the order R writes them, their header
// texts, how their entry lines are written and read, the option tables behind them, and the
// settings operations that R, W and the checker call for each.
#pragma once

#include "bios_service.h"
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

extern const OptionTable kSerialPortOptions;
extern const OptionTable kParallelPortOptions;
extern const OptionTable kPrinterModeOptions;
extern const OptionTable kEcpDmaOptions;
extern const OptionTable kEppTypeOptions;
extern const OptionTable kBootDeviceOptions;
extern const OptionTable kPs2Options;
extern const OptionTable kPowerFailOptions;
extern const OptionTable kEnableOptions;
extern const OptionTable kOnOffOptions;
extern const OptionTable kDayOptions;  // bit i of the day mask, Sunday first

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

struct SectionId {
    enum Value {
        SetupPassword,
        PowerOnPassword,
        AssetTrackingNumber,
        SerialPortAddress,
        ParallelPortAddress,
        PrinterMode,
        EcpModeUseDma,
        ParallelPortEppType,
        BootOrder,
        Ps2PortStatus,
        PwronAfterPwrFail,
        UsbController,
        WakeOnRtc,
        Numlock,
        S3Support
    };
};

// One setting: everything R, W and the checker need of it.
struct Section {
    SectionId::Value id;
    EntryKind::Value kind;
    const char* header;  // W matches a header line by this prefix, over its own length
    size_t headerLength;
    const OptionTable* options;  // null for passwords and the asset tag
    bool omittedWhenUnread;      // R leaves the whole section out when its read fails

    // The settings operations behind it. Boot order, wake and the asset tag's read take values
    // of their own types, so R and W call those by the section's kind; their names are here.
    bool (BiosService::*get)(uint32_t&);        // a choice, the parallel mode word, a password's state
    bool (BiosService::*setValue)(uint32_t);    // a choice, the parallel mode word
    bool (BiosService::*setText)(const char*);  // a password (the empty text clears it), the asset tag
    const char* getName;                        // as the checker's plan and the unit's `fail` key say
    const char* setName;
    const wchar_t* setFailure;    // W's own line after a failed set: "%d" the value, "%S" the text
    const wchar_t* clearFailure;  // W's own line after a failed clear of a password
    const wchar_t* invalidText;   // W's line for a password or tag section refused for a damaged line

    // Whether a "*" after an entry line's leading white space is a mark rather than text.
    bool usesMarks() const {
        return kind == EntryKind::SingleChoice || kind == EntryKind::PrinterMode || kind == EntryKind::EcpDma ||
               kind == EntryKind::Wake;
    }
};

// A row more or less than the sections fails to compile where the table is defined.
const size_t kSectionCount = 15;
extern const Section (&kSections)[kSectionCount];
