// The reading half of W: the section readers, which decide what a data file asks for and
// report it, line by line, to a set of events. W's events call the firmware; a checker's
// events only record. What the readers decide is the same for both.
#pragma once

#include "boot_and_wake.h"
#include "fixed_width.h"
#include "line_reader.h"
#include "option_tables.h"

// Why a line, or a whole section, does nothing.
struct PassReason {
    enum Value {
        EntryBeforeFirstHeader,  // an entry line before any header
        UnknownHeader,           // a header that names no section; its entry lines go with it
        BlankEntry,              // an entry line of white space alone
        UnmarkedOption,          // a choice listed without "*": not chosen
        UnknownOption,           // a text that names no option of the section
        ExtraPasswordLine,       // a non-blank entry line after the first of a password section
        BlankPassword,           // a first entry line of white space alone keeps the password
        EcpDmaModeUnread,        // the unit's printer mode could not be read
        EcpDmaBelowEcp,          // the unit's printer mode is Output-Only or EPP
        BootNameUnknown,         // a boot device name that matches nothing
        BootListFull,            // a name after the fifteenth
        TimeWithoutColon,        // a time line that holds no ":"
        InRefusedSection         // an entry line of a password or tag section whose header was refused
    };
};

// What the readers report. Texts come as a pointer and a length; they live in the line buffer
// and are gone once the call returns.
class ChangeEvents {
public:
    // A header line that selected `section` (its text may go on after the header).
    virtual void sectionStarted(size_t line, const Section& section, const char* headerLine, size_t length) = 0;
    // `text` is zero-ended and never empty; the line buffer is wiped once this returns.
    virtual void setPassword(size_t line, const Section& section, const char* text) = 0;
    virtual void clearPassword(size_t line, const Section& section) = 0;
    virtual void setAssetTag(size_t line, const Section& section, const char* text) = 0;
    // A choice, or the printer mode (the whole parallel mode word, DMA byte 0).
    virtual void setChoice(size_t line, const Section& section, uint32_t index) = 0;
    // The one question: the unit's parallel mode word for "ECP Mode Use DMA", stored in `mode`;
    // false when it could not be read. A checker without a unit answers through `unitDependent`.
    virtual bool currentParallelMode(size_t line, const Section& section, uint32_t& mode, bool& unitDependent) = 0;
    // Sets the parallel mode to `dma` with the printer mode of `*parallelMode`, or, when
    // `parallelMode` is null (unit-dependent), with whatever ECP mode the unit has.
    virtual void setEcpDma(size_t line, const Section& section, uint32_t dma, const uint32_t* parallelMode) = 0;
    virtual void setBootSequence(size_t line, const Section& section, const BootSequence& sequence) = 0;
    // `noonByDefault`: the section gave no time, or 0:00, so the hour became 12.
    virtual void setWake(size_t line, const Section& section, WakeSetting value, bool noonByDefault) = 0;
    virtual void passedOver(size_t line, PassReason::Value reason, const char* text, size_t length, bool marked) = 0;
    // A password or asset tag section that changes nothing for a damaged line: its header line
    // (the whole section), or the entry line that would have given the text.
    virtual void refusedText(size_t line, const Section& section, LineDamage::Value damage) = 0;

    // How the file's lines were cut: a line longer than one 255-character piece, a carriage
    // return that is not part of a line end (with the piece that holds it), a zero byte that
    // ended a piece's text before its end, and a Ctrl-Z byte (1Ah) that ended the input. None
    // changes what W does, so the readers look for stray carriage returns only for events that
    // want to hear of them.
    virtual bool wantsCarriageReturns() const { return false; }
    virtual void longLine(size_t /*line*/) {}
    virtual void carriageReturn(size_t /*line*/, const char* /*piece*/, size_t /*length*/) {}
    virtual void zeroByte(size_t /*line*/) {}
    virtual void inputEndedAtCtrlZ(size_t /*line*/) {}
    // A time line of "Wake On RTC": its text before the ":" and after it (each zero-ended), and
    // the values W takes from them.
    virtual void timeLine(size_t /*line*/, const char* /*hourText*/, const char* /*minuteText*/, uint8_t /*hour*/,
                          uint8_t /*minute*/) {}
    // A name of "Boot Order" that W takes, with the code it appends for it.
    virtual void bootDevice(size_t /*line*/, uint8_t /*code*/) {}

protected:
    // Events are never deleted through this interface.
    ~ChangeEvents() {}
};

// Reads the whole file through `events`; false on a read error (end of file is no error).
bool readDataFile(LineReader& lines, ChangeEvents& events);
