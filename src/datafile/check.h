// FolvaneCheck's reading of a data file: every line that W ignores or reads in a surprising
// way, and the settings operations that W would call, found through W's own readers, no unit.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct Diagnostic {
    enum class Kind { Warning, Note, Error };
    size_t line;  // 0 for the file as a whole
    Kind kind;
    std::string text;
};

// One settings operation that W would call, as the plan shows it.
struct PlannedCall {
    size_t line;            // the entry line that causes it, or the header for a section's end
    std::string operation;  // "setSerialPort", ...
    std::string argument;
    bool dependsOnUnit = false;  // an ECP DMA channel whose call depends on the unit's printer mode
};

struct CheckReport {
    std::vector<Diagnostic> diagnostics;  // in line order
    std::vector<PlannedCall> plan;        // in W's order
    bool wholeFileRead = true;            // false: a read failed, reported as an error diagnostic

    bool hasWarning() const;
};

// Reads the file as W does and reports on it; the file stays open.
CheckReport checkDataFile(FILE* file);

// The report's output lines, each to follow the file name and a colon: "LINE: warning: TEXT",
// "LINE: note: TEXT" (" error: TEXT" for the file as a whole), then, when asked, the plan as
// "LINE: OPERATION ARGUMENT".
std::vector<std::string> reportLines(const CheckReport& report, bool withPlan);

// The exit statuses of FolvaneCheck, also for one file.
enum CheckStatus { kCheckClean = 0, kCheckWarnings = 1, kCheckFailed = 2 };

// Checks the data file at `path` and prints its report on the console, each line led by the
// path and a colon. A file that cannot be opened or read is reported and gives kCheckFailed.
int checkSettingsFile(const wchar_t* path, bool withPlan);

// A text in double quotes with C escapes, as every quoted text of the report shows it.
std::string quotedText(std::string_view text);
