// FolvaneCheck's output: each diagnostic, plan line, unit's difference, unit and summary, as a
// text line or as a JSON object of its own (JSON Lines, format 2). What is about the program's own
// run (a file that cannot be read) goes to standard error as text, and with the rest as JSON.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "check_fleet.h"
#include "host_text.h"

// The summary's counts: the units compared, those that differ, their differences, and the units'
// files that could not be read (and were not compared).
struct FleetCounts {
    size_t units = 0;
    size_t differing = 0;
    size_t settings = 0;
    size_t unreadable = 0;
};

// The counts of a run without --against: the files named, those with a warning, those with an
// error (a file may be in both).
struct FileCounts {
    size_t files = 0;
    size_t withWarnings = 0;
    size_t withErrors = 0;
};

// What became of a unit's file in a comparison.
enum class UnitStatus { Match, Differs, Unreadable };

// The version of the JSON Lines that FolvaneCheck writes, in every run's summary.
constexpr int kJsonFormat = 2;

class CheckOutput {
public:
    // `quiet`: only the errors and the summary are printed.
    explicit CheckOutput(bool json, bool quiet = false) : json_(json), quiet_(quiet) {}

    // `evenWhenQuiet`: a warning printed under --quiet too (a golden file's, which concerns every unit).
    void diagnostic(const wchar_t* file, const Diagnostic& diagnostic, bool evenWhenQuiet = false);
    // A plan line: "OPERATION ARGUMENT" of the call on `line`.
    void planLine(const wchar_t* file, size_t line, const Section* section, const std::string& message);
    // A file that cannot be opened or read, or is refused: the reason, with the file; `golden`, for
    // a unit's file, the golden file it was to be compared with.
    void fileError(const wchar_t* file, ErrorCode code, const std::string& text, const wchar_t* golden = nullptr);
    // An error about one line of a file (a list of files).
    void lineError(const wchar_t* file, size_t line, ErrorCode code, const std::string& text);
    void difference(const wchar_t* unit, const wchar_t* golden, const Difference& difference);
    // A unit's outcome, after its differences: "UNIT: matches GOLDEN" for a match; with JSON, a
    // record for every unit.
    void unitDone(const wchar_t* unit, const wchar_t* golden, UnitStatus status, size_t settings);
    // The summary of a comparison, and of a run without --against (a JSON record only).
    void summary(const wchar_t* golden, const FleetCounts& counts);
    void summary(const FileCounts& counts);

    bool json() const { return json_; }

private:
    // The file's name as the text lines show it, converted once per file.
    const std::string& shown(const wchar_t* file);

    bool json_;
    bool quiet_;
    std::wstring namedFile_;
    std::string namedFileShown_;
};

// A file's plan lines, kept until its diagnostics are printed: the first kPlanLinesHeld in
// memory, the rest in a temporary file, so that a file of any size keeps its plan whole.
class HeldPlan {
public:
    static constexpr size_t kPlanLinesHeld = 4096;

    HeldPlan() = default;
    ~HeldPlan();
    HeldPlan(const HeldPlan&) = delete;
    HeldPlan& operator=(const HeldPlan&) = delete;

    void add(const PlannedCall& call);
    // Prints every line kept, in order, and forgets them. False when the temporary file failed;
    // `failure` then says why, and the lines after the failure are lost.
    bool print(const wchar_t* file, CheckOutput& out, std::string& failure);

private:
    struct Line {
        size_t line = 0;
        const Section* section = nullptr;
        std::string message;
    };
    bool spill(const Line& line);

    std::vector<Line> lines_;
    FILE* spilled_ = nullptr;
    int error_ = 0;  // the temporary file's first failure
};

// The text line of a unit's difference, without its line end:
// "UNIT: SECTION: OLD -> NEW (GOLDEN:LINE)", or for a password set to a text
// "UNIT: SECTION: note: ... (GOLDEN:LINE)".
std::string differenceLine(std::string_view unit, std::string_view golden, const Difference& difference);

// "UNIT: matches GOLDEN", the line of a unit that differs in nothing that GOLDEN sets.
// The names in these lines are as shownFileName() shows them.
std::string matchLine(std::string_view unit, std::string_view golden);

// "N of M units differ from GOLDEN (K settings)", "(1 setting)", and "; U could not be read"
// when some units' files could not be.
std::string summaryLine(std::string_view golden, const FleetCounts& counts);

// A file's name in a text line: as it is, or, when it holds a blank at either end, a control
// character, a double quote, a backslash or a byte that is not part of UTF-8 (or is empty), in
// double quotes with C escapes (\t, \n, \r, \", \\, \xHH), so that a line names its file exactly.
// Where a backslash separates folders (Windows: C:\fleet\u1.txt, \\server\share\u1.txt), it
// is part of the name as given and needs no quotes.
std::string shownFileName(std::string_view name, bool backslashSeparates = host::backslashSeparatesFolders());

// A file's name in JSON, without the quotes: its bytes read as UTF-8, each byte that is not
// part of UTF-8 as \u00HH; `utf8` false when there was one.
std::string jsonFileName(std::string_view name, bool& utf8);

// A JSON string: the text's bytes as characters 00h-FFh (80h-FFh as \u0080-\u00ff).
std::string jsonText(std::string_view text);
// A JSON string of a wide text (a file's name): its characters, and bytes that the user's locale
// could not convert as \u0080-\u00ff.
std::string jsonText(std::wstring_view wide);
