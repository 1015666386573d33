// FolvaneCheck's report: the texts of its codes, kinds and refusals, and a file's report
// collected whole.
#include <algorithm>
#include <string>

#include "check.h"
#include "text_format.h"
#include "wake_time.h"

bool CheckReport::hasWarning() const {
    return std::any_of(diagnostics.begin(), diagnostics.end(),
                       [](const Diagnostic& d) { return d.kind == Diagnostic::Kind::Warning; });
}

namespace {

// A text too long to quote whole shows this many of its characters.
constexpr size_t kQuotedStartLength = 64;

// Collects a file's report.
class Collector final : public CheckSink {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    explicit Collector(CheckReport& report) : report_(report) {}
    void diagnostic(const Diagnostic& d) override { report_.diagnostics.push_back(d); }
    void plannedCall(const PlannedCall& call) override { report_.plan.push_back(call); }

private:
    CheckReport& report_;
};

}  // namespace

std::string wakeTimeText(uint8_t hour, uint8_t minute) {
    char text[kWakeTimeTextSize];
    formatWakeTime(text, hour, minute);
    return text;
}

const char* errorCodeName(ErrorCode code) {
    static const char* const kNames[kErrorCodeCount] = {
        "cannot-open", "cannot-read",      "not-a-regular-file", "not-a-unit-file", "utf-16",       "cr-line-ends",
        "no-section",  "list-cannot-open", "list-cannot-read",   "list-line",       "output-failed"};
    return kNames[static_cast<size_t>(code)];
}

const char* kindName(Diagnostic::Kind kind) {
    switch (kind) {
        case Diagnostic::Kind::Warning: return "warning";
        case Diagnostic::Kind::Note: return "note";
        case Diagnostic::Kind::Error: return "error";
    }
    return "";
}

std::string quotedStart(std::string_view text) {
    std::string quoted = quotedText(text);
    if (quoted.size() <= kQuotedWidth) return quoted;
    quoted = quotedText(text.substr(0, kQuotedStartLength));
    return quoted + "... (" + std::to_string(text.size()) + " characters)";
}

const char* refusalCause(Refusal refusal) {
    switch (refusal) {
        case Refusal::Utf16: return "UTF-16 text";
        case Refusal::CrAlone: return "lines end in CR alone";
        case Refusal::NoSection: return "no setting section";
        case Refusal::None: break;
    }
    return "";
}

const char* refusalRemedy(Refusal refusal) {
    switch (refusal) {
        case Refusal::Utf16: return "save it as 8-bit text";
        case Refusal::CrAlone: return "save it with CR LF or LF line ends";
        case Refusal::NoSection: return "give it a section, a header line as R writes it";
        case Refusal::None: break;
    }
    return "";
}

ErrorCode refusalCode(Refusal refusal) {
    switch (refusal) {
        case Refusal::Utf16: return ErrorCode::Utf16;
        case Refusal::CrAlone: return ErrorCode::CrLineEnds;
        case Refusal::NoSection:
        case Refusal::None: break;
    }
    return ErrorCode::NoSection;
}

std::string refusalText(Refusal refusal) {
    return std::string(refusalCause(refusal)) + "; W refuses it: " + refusalRemedy(refusal);
}

Refusal refusalOf(FileStart::Value start) {
    switch (start) {
        case FileStart::Utf16: return Refusal::Utf16;
        case FileStart::CrAlone: return Refusal::CrAlone;
        case FileStart::Text: break;
    }
    return Refusal::None;
}

CheckReport checkDataFile(FILE* file, const CheckOptions& options) {
    CheckReport report;
    Collector collector(report);
    const CheckSummary summary = checkDataFile(file, collector, options);
    report.wholeFileRead = summary.wholeFileRead;
    report.refusal = summary.refusal;
    return report;
}
