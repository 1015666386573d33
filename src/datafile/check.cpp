// FolvaneCheck: a second set of events for W's readers. Where W calls the unit, the checker
// notes the call it would make, and it warns wherever W's reading would surprise the file's
// author. Files are read through the same line reader and section readers as W.
#include "check.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
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

// A decimal number as W's conversion reads it, before the cut to 8 bits: leading white space and
// a sign, then digits, held within the 32-bit range. Also the text after the digits.
struct DecimalText {
    int64_t value = 0;
    std::string_view rest;
};

DecimalText readDecimal(std::string_view text) {
    while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    int64_t magnitude = 0;
    while (!text.empty() && isDecimalDigit(text.front())) {
        magnitude = std::min<int64_t>(magnitude * 10 + (text.front() - '0'), INT64_C(0x80000000));
        text.remove_prefix(1);
    }
    return {negative ? -magnitude : std::min<int64_t>(magnitude, INT32_MAX), text};
}

bool allBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return isWhiteSpace(c); });
}

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// R reads the asset tag into 64 bytes, its zero byte included; a longer tag it leaves out.
constexpr size_t kLongestTagThatRReads = 63;

// The events of W's readers turned into the report: a warning wherever W ignores a line or
// reads it in a way its author may not expect, and a planned call wherever W would call the unit.
class Checker final : public ChangeEvents {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    Checker(CheckReport& report, const CheckOptions& options) : report_(report), options_(options) {}

    void sectionStarted(size_t line, const Section& section, const char* headerText, size_t length) override {
        section_ = &section;
        headerLine_ = line;
        adoptLineEvents(line);
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
        firstMarkLine_ = 0;
        firstTagLine_ = 0;
        firstTimeLine_ = 0;
        lastTime_ = {};
    }

    void setPassword(size_t line, const Section& section, const char* text) override {
        // The report never holds the password itself, only what is odd about it.
        const std::string name = passwordName(section);
        if (text[0] == '*') {
            warn(line,
                 "the " + name + " begins with \"*\"; W sets the whole text, the \"*\" included, as the password");
        }
        if (endsInBlank(text)) warn(line, "the " + name + " ends in blanks; W makes them part of the password");
        PlannedCall& call = plan(line, section, "(" + std::to_string(std::strlen(text)) + " characters)");
        call.value = 1;
    }

    void clearPassword(size_t line, const Section& section) override {
        if (options_.golden) {
            warn(line, "no entry line under " + sectionName(section) + " in a golden file; W clears the " +
                           passwordName(section) + " on every unit (a blank entry line keeps each unit's own)");
        } else {
            note(line, "no entry line under " + sectionName(section) + "; W clears the " + passwordName(section));
        }
        plan(line, section, "(cleared)");
    }

    void setAssetTag(size_t line, const Section& section, const char* text) override {
        if (firstTagLine_ != 0) {
            warn(line, "another asset tag line (the first is on line " + std::to_string(firstTagLine_) +
                           "); W sets each in turn, so the last one stays");
        } else {
            firstTagLine_ = line;
        }
        if (options_.golden) {
            warn(line, "asset tag " + quotedText(text) +
                           " in a golden file; W gives every unit the same tag (delete the section to keep each "
                           "unit's own)");
        }
        const size_t length = std::strlen(text);
        if (length > kLongestTagThatRReads) {
            warn(line, "asset tag of " + std::to_string(length) +
                           " characters; W sets it, but R cannot read a tag of 64 characters or more back");
        }
        if (endsInBlank(text)) warn(line, "the asset tag ends in blanks; W keeps them as part of the tag");
        plan(line, section, quotedText(text)).tag = text;
    }

    void setChoice(size_t line, const Section& section, uint32_t index) override {
        checkOneMark(line, section);
        if (section.kind == EntryKind::PrinterMode) return setPrinterMode(line, section, index);
        plan(line, section, std::to_string(index)).value = index;
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
        plan(line, section, hexText(*fileParallelMode_, 4)).value = *fileParallelMode_;
    }

    void bootDevice(size_t line, uint8_t code) override {
        if (kBootDeviceOptions[code] == std::string_view(kUnknownBootDevice)) {
            warn(line, "boot device " + quotedText(kUnknownBootDevice) +
                           " stands for any code that the table lacks; W sets code " + std::to_string(code));
        }
    }

    void setBootSequence(size_t line, const Section& section, const BootSequence& sequence) override {
        if (sequence[0] == kBootEnd) {
            warn(line, sectionName(*section_) + " names no boot device; W leaves the unit with an empty boot order");
        }
        PlannedCall& call = plan(line, section, bootCodes(sequence));
        for (size_t i = 0; i < kBootSequenceSize && sequence[i] != kBootEnd; ++i) call.bootCodes.push_back(sequence[i]);
    }

    void setWake(size_t line, const Section& section, WakeSetting value, bool noonByDefault) override {
        if (noonByDefault && lastTime_.wrapped) {
            warn(lastTime_.line, "time line " + quotedText(lastTime_.text) +
                                     " reads as 0:00 (each number cut to 8 bits), which counts as no time; W sets "
                                     "the wake time to 12:00");
        } else if (noonByDefault) {
            note(line, firstTimeLine_ != 0
                           ? "the time reads as 0:00, which counts as no time; W sets the wake time to 12:00"
                           : sectionName(*section_) + " gives no time; W sets the wake time to 12:00");
        }
        plan(line, section, hexText(value, 8)).value = value;
    }

    void timeLine(size_t line, const char* hourText, const char* minuteText, uint8_t hour, uint8_t minute) override {
        if (firstTimeLine_ != 0) {
            warn(line, "another time line (the first is on line " + std::to_string(firstTimeLine_) +
                           "); W uses the last one");
        } else {
            firstTimeLine_ = line;
        }
        const DecimalText hourRead = readDecimal(hourText);
        const DecimalText minuteRead = readDecimal(minuteText);
        lastTime_ = {line, std::string(hourText) + ":" + minuteText,
                     hourRead.value != hour || minuteRead.value != minute};
        if (!allBlank(hourRead.rest) || !allBlank(minuteRead.rest)) {
            warn(line, "time line " + quotedText(lastTime_.text) + " holds more than a time; W reads it as " +
                           wakeTimeText(hour, minute));
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
            case PassReason::InRefusedSection:  // the refusal has its warning
            case PassReason::EcpDmaModeUnread:  // never: the checker reads no unit
                return;
        }
    }

    void refusedText(size_t line, const Section& section, LineDamage::Value damage) override {
        const bool header = line == headerLine_;
        const std::string where =
            header ? "header line of " + sectionName(section) : "entry line under " + sectionName(section);
        const std::string what = damage == LineDamage::PartOfLongLine
                                     ? " is a piece of a line longer than 254 characters"
                                     : " holds a control byte (below 20h other than the tab, or 7Fh)";
        const std::string outcome = section.kind == EntryKind::Password
                                        ? "leaves the " + passwordName(section) + " as it is"
                                        : "sets no asset tag from it";
        warn(line, where + what + "; W refuses " + (header ? "the section" : "the line") + " and " + outcome);
    }

    void longLine(size_t line) override {
        lineShape(line,
                  "line longer than 254 characters; W reads it in pieces of 255 characters, each as a line of its own");
    }

    bool wantsCarriageReturns() const override { return true; }
    void carriageReturn(size_t line, const char* piece, size_t length) override {
        if (line == 1) noteCarriageReturnLineEnds(std::string_view(piece, length));
        // A line read in several pieces may show one in each of them.
        if (line == lastCarriageReturnLine_) return;
        lastCarriageReturnLine_ = line;
        lineShape(line, "carriage return inside the line; W keeps it as part of the text");
    }

    void zeroByte(size_t line) override {
        if (line == lastZeroByteLine_) return;
        lastZeroByteLine_ = line;
        warn(line, "zero byte inside the line; W's text ends there, and W ignores the rest of the line");
    }

    void inputEndedAtCtrlZ(size_t line) override {
        warn(line, "Ctrl-Z byte (1Ah); the device's text mode ends the input there, so W reads nothing after it");
    }

    // After the whole file: a file that names no section sets nothing, which is never what it is
    // for; a file whose lines end in carriage returns alone has one warning for that, in place of
    // one for each line.
    void finish(bool wholeFileRead) {
        // A file that cannot be read has its error instead.
        if (headerLine_ == 0 && wholeFileRead) {
            report_.diagnostics.push_back(
                {0, Diagnostic::Kind::Warning, "no section that W knows; W sets nothing from this file", nullptr});
        }
        if (!carriageReturnLineEnds_) return;
        for (auto i = lineShapeDiagnostics_.rbegin(); i != lineShapeDiagnostics_.rend(); ++i) {
            report_.diagnostics.erase(report_.diagnostics.begin() + static_cast<std::ptrdiff_t>(*i));
        }
        report_.diagnostics.push_back(
            {0, Diagnostic::Kind::Warning,
             "the lines end in a carriage return alone; W ends lines at line feeds only, so it reads the file as long "
             "lines cut into pieces of 255 characters, each piece a line of its own",
             nullptr});
    }

private:
    void warn(size_t line, std::string text) {
        report_.diagnostics.push_back({line, Diagnostic::Kind::Warning, std::move(text), section_});
    }
    void note(size_t line, std::string text) {
        report_.diagnostics.push_back({line, Diagnostic::Kind::Note, std::move(text), section_});
    }
    PlannedCall& plan(size_t line, const Section& section, std::string argument) {
        PlannedCall& call = report_.plan.emplace_back();
        call.line = line;
        call.operation = section.setName;
        call.argument = std::move(argument);
        call.section = &section;
        return call;
    }

    // A warning about how the line is cut rather than what it says.
    void lineShape(size_t line, std::string text) {
        lineShapeDiagnostics_.push_back(report_.diagnostics.size());
        warn(line, std::move(text));
    }

    // The line events of a header line come before the reader knows what the header names.
    void adoptLineEvents(size_t headerLine) {
        for (auto d = report_.diagnostics.rbegin(); d != report_.diagnostics.rend() && d->line == headerLine; ++d) {
            d->section = section_;
        }
    }

    // A carriage return with more text after it on the first line: the file ends its lines so.
    void noteCarriageReturnLineEnds(std::string_view piece) {
        for (size_t at = piece.find('\r'); at != std::string_view::npos; at = piece.find('\r', at + 1)) {
            if (at + 1 < piece.size() && piece[at + 1] != '\r' && piece[at + 1] != '\n') {
                carriageReturnLineEnds_ = true;
            }
        }
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
        plan(line, section, hexText(index, 4)).value = index;
    }

    void planUnitDependentDma(size_t line, const Section& section, uint32_t dma) {
        warn(line, quotedText(kEcpDmaOptions[dma]) +
                       " is marked with no printer mode set before it in the file; W sets it only if the unit's "
                       "printer mode is ECP or ECP/EPP, and does nothing otherwise");
        PlannedCall& call =
            plan(line, section, "DMA=" + std::to_string(dma) + " (only if the unit's printer mode is ECP or ECP/EPP)");
        call.dependsOnUnit = true;
        call.value = dma;
    }

    void dmaBelowEcp(size_t line, std::string_view text) {
        const uint32_t mode = fileParallelMode_.value_or(0) & 0xFF;
        warn(line, quotedText(text) + " is marked while the file's printer mode is " +
                       quotedText(kPrinterModeOptions[mode]) +
                       "; W does nothing with it, the channel applies to ECP and ECP/EPP only");
    }

    void unknownHeader(size_t line, std::string_view text) {
        static const std::array<std::string_view, kSectionCount> headers = headerTexts();
        section_ = nullptr;
        adoptLineEvents(line);
        if (line == 1 && text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
            return byteOrderMark(line, text.substr(kUtf8ByteOrderMark.size()), headers);
        }
        warn(line, "header " + quotedText(text) + " names no section; W skips it and its entry lines" +
                       didYouMean(closestName(text, headers, true)));
    }

    void byteOrderMark(size_t line, std::string_view header,
                       const std::array<std::string_view, kSectionCount>& headers) {
        const bool namesSection = std::any_of(headers.begin(), headers.end(),
                                              [&](std::string_view h) { return header.substr(0, h.size()) == h; });
        warn(line, "UTF-8 byte-order mark before the header " + quotedText(header) +
                       "; W reads the mark as part of the header, which then names no section, and skips it and "
                       "its entry lines" +
                       (namesSection ? "" : didYouMean(closestName(header, headers, true))));
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

    // The last time line of the current "Wake On RTC" section.
    struct TimeLine {
        size_t line = 0;
        std::string text;
        bool wrapped = false;  // a number other than the one W takes, cut to 8 bits
    };

    CheckReport& report_;
    const CheckOptions options_;
    const Section* section_ = nullptr;
    size_t headerLine_ = 0;  // 0 until a header names a section
    std::array<size_t, kSectionCount> firstHeaderLine_{};
    // Within one occurrence of a section:
    size_t firstMarkLine_ = 0;
    size_t firstTagLine_ = 0;
    size_t firstTimeLine_ = 0;
    TimeLine lastTime_;
    // Across the file: the parallel mode word as the file's own lines leave it, and the line
    // of an ECP DMA choice that a later printer mode would undo.
    std::optional<uint32_t> fileParallelMode_;
    size_t dmaChosenLine_ = 0;
    uint32_t chosenDma_ = 0;
    size_t lastCarriageReturnLine_ = 0;
    size_t lastZeroByteLine_ = 0;
    bool carriageReturnLineEnds_ = false;
    std::vector<size_t> lineShapeDiagnostics_;  // indexes into the report's diagnostics
};

}  // namespace

std::string wakeTimeText(uint8_t hour, uint8_t minute) {
    return std::to_string(hour) + (minute < 10 ? ":0" : ":") + std::to_string(minute);
}

const char* kindName(Diagnostic::Kind kind) {
    switch (kind) {
        case Diagnostic::Kind::Warning: return "warning";
        case Diagnostic::Kind::Note: return "note";
        case Diagnostic::Kind::Error: return "error";
    }
    return "";
}

CheckReport checkDataFile(FILE* file, const CheckOptions& options) {
    CheckReport report;
    Checker checker(report, options);
    LineReader lines(file);
    report.wholeFileRead = readDataFile(lines, checker);
    const int readError = errno;
    checker.finish(report.wholeFileRead);
    if (!report.wholeFileRead) {
        const std::string reason = std::strerror(readError);
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
