// FolvaneCheck's reading of a data file: every line that W ignores or reads in a surprising
// way, and the settings operations that W would call, found through W's own readers, no unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "line_reader.h"
#include "option_tables.h"
#include "text_format.h"

// What an error is about, as JSON Lines names it ("code"): a stable word a script can test,
// whatever the message says. The manual page lists them all; a new error gets a new code.
enum class ErrorCode {
    CannotOpen,       // "cannot-open": the file cannot be opened
    CannotRead,       // "cannot-read": the file cannot be read (on)
    NotARegularFile,  // "not-a-regular-file": a device, a FIFO, a folder
    NotAUnitFile,     // "not-a-unit-file": none of the sections that R always writes
    Utf16,            // "utf-16": UTF-16 text, which W refuses
    CrLineEnds,       // "cr-line-ends": lines ending in a carriage return alone, which W refuses
    NoSection,        // "no-section": no setting section, which W refuses
    ListCannotOpen,   // "list-cannot-open": a list of files (--units-from) cannot be opened
    ListCannotRead,   // "list-cannot-read": a list of files cannot be read (on)
    ListLine,         // "list-line": a line (record) of a list can name no file
    OutputFailed,     // "output-failed": part of the output is lost (the plan's temporary file)
};
constexpr size_t kErrorCodeCount = static_cast<size_t>(ErrorCode::OutputFailed) + 1;

// The code's word: "cannot-open", ...
const char* errorCodeName(ErrorCode code);

struct Diagnostic {
    enum class Kind { Warning, Note, Error };
    size_t line = 0;  // 0 for the file as a whole
    Kind kind = Kind::Warning;
    std::string text;
    const Section* section = nullptr;        // the section whose lines it is about, if any
    ErrorCode code = ErrorCode::CannotRead;  // an error's code; each error sets its own
};

// One settings operation that W would call, as the plan shows it and as a unit would take it.
struct PlannedCall {
    size_t line = 0;        // the entry line that causes it, or the header for a section's end
    std::string operation;  // "setSerialPort", ...
    std::string argument;
    bool dependsOnUnit = false;  // an ECP DMA channel whose call depends on the unit's printer mode
    const Section* section = nullptr;
    // What the call sets: a choice's index; the whole parallel mode word, or the DMA channel
    // alone when the call depends on the unit; the packed wake setting; for a password 1 when
    // it is set to a text (never kept here) and 0 when it is cleared.
    uint32_t value = 0;
    std::string tag;                 // setAssetTag's text
    std::vector<uint8_t> bootCodes;  // setBootSequence's codes, without the end mark
};

struct CheckOptions {
    // The file is a golden file, meant for many units: what W would give every unit alike (an
    // asset tag, a cleared password) is a warning too.
    bool golden = false;
};

// Where a file's report goes while the file is read: the diagnostics in line order, the planned
// calls in W's order. Each call hands over an object that is gone once it returns.
class CheckSink {
public:
    virtual void diagnostic(const Diagnostic& diagnostic) = 0;
    virtual void plannedCall(const PlannedCall& call) = 0;

protected:
    ~CheckSink() = default;
};

// Why W refuses a file as a whole, setting nothing: UTF-16 text and lines that end in a carriage
// return alone are told by the file's start, before anything is read; a file that names no
// section once it is read whole.
enum class Refusal { None, Utf16, CrAlone, NoSection };

// The cause as the error lines name it ("UTF-16 text"), and what the file's author can do.
const char* refusalCause(Refusal refusal);
const char* refusalRemedy(Refusal refusal);

// The error code of a refusal: "utf-16", "cr-line-ends", "no-section".
ErrorCode refusalCode(Refusal refusal);

// The error of a file checked alone that W refuses: "CAUSE; W refuses it: REMEDY".
std::string refusalText(Refusal refusal);

// W's refusal of a file that its start tells: UTF-16 text, lines ending in CR alone.
Refusal refusalOf(FileStart::Value start);

struct CheckSummary {
    bool wholeFileRead = true;  // false: a read failed, reported as an error diagnostic
    bool hasWarning = false;
    Refusal refusal = Refusal::None;  // not None: W sets nothing from the file, and plans nothing
};

// Diagnostics that wait for the end of a section, or of the first line, before they can be
// given in line order (a section's end is reported at its header): this many at most. Beyond,
// the waiting ones are passed on, and what the end would have put before them comes after them,
// at the line of the last one passed on.
constexpr size_t kHeldDiagnosticLimit = 4096;

// Reads the file once, as W does, and hands its report to `sink` while reading: memory stays the
// same whatever the file's size. The file stays open.
CheckSummary checkDataFile(FILE* file, CheckSink& sink, const CheckOptions& options = {});

// The whole report of a file, collected.
struct CheckReport {
    std::vector<Diagnostic> diagnostics;  // in line order
    std::vector<PlannedCall> plan;        // in W's order
    bool wholeFileRead = true;            // false: a read failed, reported as an error diagnostic
    Refusal refusal = Refusal::None;

    bool hasWarning() const;
};

// Reads the file as W does and collects its report; the file stays open.
CheckReport checkDataFile(FILE* file, const CheckOptions& options = {});

// A wake time as R writes it: the hour, a colon, the minute with at least two digits.
std::string wakeTimeText(uint8_t hour, uint8_t minute);

// A diagnostic's or the plan's kind as the output names it: "warning", "note", "error".
const char* kindName(Diagnostic::Kind kind);

// A text in double quotes with C escapes; a text that would take more than kQuotedWidth
// characters so (a line of control bytes) shows its start and its length instead:
// "\001\002..." (254 characters).
constexpr size_t kQuotedWidth = 320;
std::string quotedStart(std::string_view text);
