// FolvaneCheck: a second set of events for W's readers. Where W calls the unit, the checker
// notes the call it would make, and it warns wherever W's reading would surprise the file's
// author. Files are read through the same line reader and section readers as W.
#include "check.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include "change_reader.h"
#include "platform.h"
#include "spelling.h"
#include "text_classes.h"
#include "text_format.h"

bool CheckReport::hasWarning() const {
    return std::any_of(diagnostics.begin(), diagnostics.end(),
                       [](const Diagnostic& d) { return d.kind == Diagnostic::Kind::Warning; });
}

namespace {

// An option table as a range of names.
struct TableNames {
    const OptionTable& table;
    const char* const* begin() const { return table.names; }
    const char* const* end() const { return table.names + table.count; }
};

std::array<std::string_view, kSectionCount> headerTexts() {
    std::array<std::string_view, kSectionCount> headers;
    for (size_t i = 0; i < kSectionCount; ++i) headers[i] = kSections[i].header;
    return headers;
}

std::string didYouMean(std::optional<std::string_view> name, const char* mark = "") {
    if (!name) return "";
    return " (did you mean " + quotedText(mark + std::string(*name)) + "?)";
}

// ---- the plan's arguments

std::string bootCodes(const BootSequence& sequence) {
    std::string codes;
    for (const uint8_t code : sequence) {
        if (!codes.empty()) codes += ' ';
        codes += std::to_string(code);
        if (code == kBootEnd) break;
    }
    return codes;
}

// "setup password", "power-on password": the section's header in lower case.
std::string passwordName(const Section& section) {
    std::string name(section.header, section.headerLength);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

bool endsInBlank(const char* text) {
    const size_t length = std::strlen(text);
    return length > 0 && isWhiteSpace(text[length - 1]);
}

std::string sectionName(const Section& section) { return quotedText(section.header); }

// R reads the asset tag into 64 bytes, its zero byte included; a longer tag it leaves out.
constexpr size_t kLongestTagThatRReads = 63;

// The events of W's readers turned into the report: a warning wherever W ignores a line or
// reads it in a way its author may not expect, and a planned call wherever W would call the unit.
class Checker final : public ChangeEvents {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    explicit Checker(CheckReport& report) : report_(report) {}

    void sectionStarted(size_t line, const Section& section, const char* headerText, size_t length) override {
        const std::string_view headerLine(headerText, length);
        if (headerLine.size() > section.headerLength) {
            warn(line, "header line " + quotedText(headerLine) + " is read as " + sectionName(section) +
                           "; W ignores the rest of the line");
        }
        size_t& first = firstHeaderLine_[static_cast<size_t>(section.id)];
        if (first != 0) {
            warn(line, sectionName(section) + " occurs again (first on line " + std::to_string(first) +
                           "); W applies each occurrence in turn");
        } else {
            first = line;
        }
        section_ = &section;
        firstMarkLine_ = 0;
        firstTagLine_ = 0;
        firstTimeLine_ = 0;
    }

    void setPassword(size_t line, const Section& section, const char* text) override {
        // The report never holds the password itself, only what is odd about it.
        const std::string name = passwordName(section);
        if (text[0] == '*') {
            warn(line,
                 "the " + name + " begins with \"*\"; W sets the whole text, the \"*\" included, as the password");
        }
        if (endsInBlank(text)) warn(line, "the " + name + " ends in blanks; W makes them part of the password");
        plan(line, section.setName, "(" + std::to_string(std::strlen(text)) + " characters)");
    }

    void clearPassword(size_t line, const Section& section) override {
        note(line, "no entry line under " + sectionName(section) + "; W clears the " + passwordName(section));
        plan(line, section.setName, "(cleared)");
    }

    void setAssetTag(size_t line, const Section& section, const char* text) override {
        if (firstTagLine_ != 0) {
            warn(line, "another asset tag line (the first is on line " + std::to_string(firstTagLine_) +
                           "); W sets each in turn, so the last one stays");
        } else {
            firstTagLine_ = line;
        }
        const size_t length = std::strlen(text);
        if (length > kLongestTagThatRReads) {
            warn(line, "asset tag of " + std::to_string(length) +
                           " characters; W sets it, but R cannot read a tag of 64 characters or more back");
        }
        plan(line, section.setName, quotedText(text));
    }

    void setChoice(size_t line, const Section& section, uint32_t index) override {
        checkOneMark(line, section);
        if (section.kind == EntryKind::PrinterMode) return setPrinterMode(line, section, index);
        plan(line, section.setName, std::to_string(index));
    }

    bool currentParallelMode(size_t, const Section&, uint32_t& mode, bool& unitDependent) override {
        unitDependent = !fileParallelMode_.has_value();
        if (fileParallelMode_) mode = *fileParallelMode_;
        return fileParallelMode_.has_value();
    }

    void setEcpDma(size_t line, const Section& section, uint32_t dma, const uint32_t* parallelMode) override {
        checkOneMark(line, *section_);
        // Only a channel other than DMA1 is undone by a later printer mode.
        dmaChosenLine_ = dma != 0 ? line : 0;
        chosenDma_ = dma;
        if (!parallelMode) return planUnitDependentDma(line, section, dma);
        fileParallelMode_ = dma * 256 + (*parallelMode & 0xFF);
        plan(line, section.setName, hexText(*fileParallelMode_, 4));
    }

    void setBootSequence(size_t line, const Section& section, const BootSequence& sequence) override {
        if (sequence[0] == kBootEnd) {
            warn(line, sectionName(*section_) + " names no boot device; W leaves the unit with an empty boot order");
        }
        plan(line, section.setName, bootCodes(sequence));
    }

    void setWake(size_t line, const Section& section, WakeSetting value, bool noonByDefault) override {
        if (noonByDefault) {
            note(line, firstTimeLine_ != 0
                           ? "the time reads as 0:00, which counts as no time; W sets the wake time to 12:00"
                           : sectionName(*section_) + " gives no time; W sets the wake time to 12:00");
        }
        plan(line, section.setName, hexText(value, 8));
    }

    void timeLine(size_t line, uint8_t hour, uint8_t minute) override {
        if (firstTimeLine_ != 0) {
            warn(line, "another time line (the first is on line " + std::to_string(firstTimeLine_) +
                           "); W uses the last one");
        } else {
            firstTimeLine_ = line;
        }
        if (hour > 23 || minute > 59) {
            warn(line, "the time reads as hour " + std::to_string(hour) + ", minute " + std::to_string(minute) +
                           " (each number cut to 8 bits), which is no time of day; W sets it as it is");
        }
    }

    void passedOver(size_t line, PassReason::Value reason, const char* textData, size_t length, bool marked) override {
        const std::string_view text(textData, length);
        switch (reason) {
            case PassReason::EntryBeforeFirstHeader:
                return warn(line, "entry line before the first header; W ignores it");
            case PassReason::UnknownHeader: return unknownHeader(line, text);
            case PassReason::UnknownOption: return unknownOption(line, text, marked);
            case PassReason::ExtraPasswordLine:
                return warn(line, "further entry line under " + sectionName(*section_) +
                                      "; W ignores it, only the first entry line counts");
            case PassReason::EcpDmaBelowEcp: return dmaBelowEcp(line, text);
            case PassReason::BootNameUnknown: return unknownBootName(line, text);
            case PassReason::BootListFull:
                return warn(line, "more than 15 boot devices; W keeps the first 15 and drops " + quotedText(text));
            case PassReason::TimeWithoutColon:
                return warn(line, "time line " + quotedText(text) + " has no \":\"; W ignores it");
            case PassReason::BlankEntry:
            case PassReason::UnmarkedOption:
            case PassReason::BlankPassword:
            case PassReason::EcpDmaModeUnread:  // never: the checker reads no unit
                return;
        }
    }

    void longLine(size_t line) override {
        warn(line,
             "line longer than 254 characters; W reads it in pieces of 255 characters, each as a line of its own");
    }

    bool wantsCarriageReturns() const override { return true; }
    void carriageReturn(size_t line) override {
        // A line read in several pieces may show one in each of them.
        if (line == lastCarriageReturnLine_) return;
        lastCarriageReturnLine_ = line;
        warn(line, "carriage return inside the line; W keeps it as part of the text");
    }

private:
    void warn(size_t line, std::string text) {
        report_.diagnostics.push_back({line, Diagnostic::Kind::Warning, std::move(text)});
    }
    void note(size_t line, std::string text) {
        report_.diagnostics.push_back({line, Diagnostic::Kind::Note, std::move(text)});
    }
    void plan(size_t line, const char* operation, std::string argument, bool dependsOnUnit = false) {
        report_.plan.push_back({line, operation, std::move(argument), dependsOnUnit});
    }

    void checkOneMark(size_t line, const Section& section) {
        if (firstMarkLine_ == 0) {
            firstMarkLine_ = line;
            return;
        }
        warn(line, "another marked option in " + sectionName(section) + " (the first is on line " +
                       std::to_string(firstMarkLine_) + "); W sets each in turn, so the last one stays");
    }

    void setPrinterMode(size_t line, const Section& section, uint32_t index) {
        if (dmaChosenLine_ != 0) {
            warn(line, "a printer mode after " + quotedText(kEcpDmaOptions[chosenDma_]) + " was chosen on line " +
                           std::to_string(dmaChosenLine_) + "; W sets the DMA channel back to " +
                           quotedText(kEcpDmaOptions[0]));
            dmaChosenLine_ = 0;
        }
        // W writes the printer mode with DMA byte 0.
        fileParallelMode_ = index;
        plan(line, section.setName, hexText(index, 4));
    }

    void planUnitDependentDma(size_t line, const Section& section, uint32_t dma) {
        warn(line, quotedText(kEcpDmaOptions[dma]) +
                       " is marked with no printer mode set before it in the file; W sets it only if the unit's "
                       "printer mode is ECP or ECP/EPP, and does nothing otherwise");
        plan(line, section.setName,
             "DMA=" + std::to_string(dma) + " (only if the unit's printer mode is ECP or ECP/EPP)", true);
    }

    void dmaBelowEcp(size_t line, std::string_view text) {
        const uint32_t mode = fileParallelMode_.value_or(0) & 0xFF;
        warn(line, quotedText(text) + " is marked while the file's printer mode is " +
                       quotedText(kPrinterModeOptions[mode]) +
                       "; W does nothing with it, the channel applies to ECP and ECP/EPP only");
    }

    void unknownHeader(size_t line, std::string_view text) {
        static const std::array<std::string_view, kSectionCount> headers = headerTexts();
        warn(line, "header " + quotedText(text) + " names no section; W skips it and its entry lines" +
                       didYouMean(closestName(text, headers, true)));
    }

    void unknownOption(size_t line, std::string_view text, bool marked) {
        const std::string suggestion = didYouMean(closestName(text, TableNames{*section_->options}), marked ? "*" : "");
        const std::string shown = quotedText((marked ? "*" : "") + std::string(text));
        warn(line, (marked ? "marked text " : "text ") + shown + " names no option of " + sectionName(*section_) +
                       "; W ignores the line" + suggestion);
    }

    void unknownBootName(size_t line, std::string_view text) {
        const TableNames devices{kBootDeviceOptions};
        if (!text.empty() && text[0] == '*') {
            warn(line, "marked boot device " + quotedText(text) + "; the boot order takes no marks, W drops the line" +
                           didYouMean(closestName(text.substr(1), devices)));
            return;
        }
        warn(line, "boot device " + quotedText(text) + " matches no device name; W drops it" +
                       didYouMean(closestName(text, devices)));
    }

    CheckReport& report_;
    const Section* section_ = nullptr;
    std::array<size_t, kSectionCount> firstHeaderLine_{};
    // Within one occurrence of a section:
    size_t firstMarkLine_ = 0;
    size_t firstTagLine_ = 0;
    size_t firstTimeLine_ = 0;
    // Across the file: the parallel mode word as the file's own lines leave it, and the line
    // of an ECP DMA choice that a later printer mode would undo.
    std::optional<uint32_t> fileParallelMode_;
    size_t dmaChosenLine_ = 0;
    uint32_t chosenDma_ = 0;
    size_t lastCarriageReturnLine_ = 0;
};

const char* kindName(Diagnostic::Kind kind) {
    switch (kind) {
        case Diagnostic::Kind::Warning: return "warning";
        case Diagnostic::Kind::Note: return "note";
        case Diagnostic::Kind::Error: return "error";
    }
    return "";
}

}  // namespace

CheckReport checkDataFile(FILE* file) {
    CheckReport report;
    Checker checker(report);
    LineReader lines(file);
    report.wholeFileRead = readDataFile(lines, checker);
    if (!report.wholeFileRead) {
        const std::string reason = std::strerror(errno);
        const size_t last = lines.number();
        report.diagnostics.push_back({last, Diagnostic::Kind::Error,
                                      last == 0 ? "cannot read the file (" + reason + ")"
                                                : "cannot read the file past this line (" + reason +
                                                      "); W stops here and applies nothing after it"});
    }
    lines.wipe();
    // Section ends are reported at their header lines, after the section's entry lines.
    std::stable_sort(report.diagnostics.begin(), report.diagnostics.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
    return report;
}

std::vector<std::string> reportLines(const CheckReport& report, bool withPlan) {
    std::vector<std::string> lines;
    for (const Diagnostic& d : report.diagnostics) {
        const std::string where = d.line == 0 ? "" : std::to_string(d.line) + ":";
        lines.push_back(where + " " + kindName(d.kind) + ": " + d.text);
    }
    if (!withPlan) return lines;
    for (const PlannedCall& call : report.plan) {
        lines.push_back(std::to_string(call.line) + ": " + call.operation + " " + call.argument);
    }
    return lines;
}
