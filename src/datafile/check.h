// FolvaneCheck's reading of a data file: every line that W ignores or reads in a surprising
// way, and the settings operations that W would call, found through W's own readers, no unit.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "text_format.h"

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
