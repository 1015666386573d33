// FolvaneCheck: a second set of events for W's readers. Where W calls the unit, the checker
// notes the call it would make, and it warns wherever W's reading would surprise the file's
// author. Files are read through the same line reader and section readers as W.
#include "check.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <iterator>
#include <optional>

#include "change_reader.h"
#include "firmware_settings.h"
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

// A text too long to quote whole shows this many of its characters.
constexpr size_t kQuotedStartLength = 64;

// R reads the asset tag into 64 bytes, its zero byte included; a longer tag it leaves out.
constexpr size_t kLongestTagThatRReads = 63;

// The diagnostics on their way to the sink, in line order. A diagnostic about a section's end
// belongs at the section's header, before those of its entry lines; while one may still come,
// the checker holds what follows, at most kHeldDiagnosticLimit of them.
class DiagnosticQueue {
public:
    explicit DiagnosticQueue(CheckSink& sink) : sink_(sink) {}

    // `lineEvent`: it is about how the current line is cut, and takes the section of a header
    // read from that line. `lineShape`: one that a file of carriage-return line ends drops.
    void push(Diagnostic d, bool lineEvent = false, bool lineShape = false) {
        held_.push_back({std::move(d), lineEvent, lineShape});
        if (held_.size() > kHeldDiagnosticLimit) overflow();
    }

    // A diagnostic about an earlier line: after the held ones of its line and before the later
    // ones. A line already passed on is too late; it comes at the last line passed on.
    void insert(Diagnostic d) {
        d.line = std::max(d.line, passedLine_);
        auto at = held_.end();
        while (at != held_.begin() && std::prev(at)->diagnostic.line > d.line) --at;
        held_.insert(at, {std::move(d), false, false});
        if (held_.size() > kHeldDiagnosticLimit) overflow();
    }

    // A diagnostic about the whole file: before all others while none has been passed on, else
    // after those passed on.
    void fileWide(Diagnostic d) {
        if (passedLine_ == 0) {
            held_.push_front({std::move(d), false, false});
        } else {
            held_.push_back({std::move(d), false, false});
        }
    }

    // The line events of `line` read before its header was known: the header's section is theirs.
    void adopt(size_t line, const Section* section) {
        for (auto i = held_.rbegin(); i != held_.rend() && i->lineEvent; ++i) {
            if (i->diagnostic.line == line) i->diagnostic.section = section;
            i->lineEvent = false;
        }
    }
    // Line events that no header can adopt any more: those of lines before `line`, or all.
    void settle(size_t line = SIZE_MAX) {
        for (auto i = held_.rbegin(); i != held_.rend() && i->lineEvent; ++i) {
            if (i->diagnostic.line < line) i->lineEvent = false;
        }
    }

    void dropLineShapes() {
        held_.erase(std::remove_if(held_.begin(), held_.end(), [](const Held& h) { return h.lineShape; }), held_.end());
    }

    // Passes on everything held but the line events that may still be adopted.
    void release() {
        while (!held_.empty() && !held_.front().lineEvent) passFront();
    }
    void releaseAll() {
        settle();
        release();
    }

    // Whether the limit has made the queue pass on diagnostics that were held.
    bool overflowed() const { return overflowed_; }
    bool passedWarning() const { return passedWarning_; }

private:
    struct Held {
        Diagnostic diagnostic;
        bool lineEvent;
        bool lineShape;
    };

    void overflow() {
        overflowed_ = true;
        release();
    }

    void passFront() {
        const Diagnostic& d = held_.front().diagnostic;
        passedLine_ = std::max(passedLine_, d.line);
        if (d.kind == Diagnostic::Kind::Warning) passedWarning_ = true;
        sink_.diagnostic(d);
        held_.pop_front();
    }

    CheckSink& sink_;
    std::deque<Held> held_;
    size_t passedLine_ = 0;
    bool overflowed_ = false;
    bool passedWarning_ = false;
};

// The events of W's readers turned into the report: a warning wherever W ignores a line or
// reads it in a way its author may not expect, and a planned call wherever W would call the unit.
// Both go to the sink as the file is read; the checker keeps only what a later line needs.
class Checker final : public ChangeEvents {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    Checker(CheckSink& sink, const CheckOptions& options) : sink_(sink), queue_(sink), options_(options) {}

    void sectionStarted(size_t line, const Section& section, const char* headerText, size_t length) override {
        section_ = &section;
        headerLine_ = line;
        queue_.adopt(line, section_);
        const Step step(*this, line);
        const std::string_view headerLine(headerText, length);
        if (headerLine.size() > section.headerLength) {
            warn(line, "header line " + quotedStart(headerLine) + " is read as " + sectionName(section) +
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
        // What W does at the end of these sections is reported at their header.
        passwordPending_ = section.kind == EntryKind::Password;
        endPending_ = passwordPending_ || section.kind == EntryKind::BootList || section.kind == EntryKind::Wake;
    }

    void setPassword(size_t line, const Section& section, const char* text) override {
        const Step step(*this, line);
        endPending_ = false;  // the section has its entry line: W does not clear the password
        // The report never holds the password itself, only what is odd about it.
        const std::string name = passwordName(section);
        if (text[0] == '*') {
            warn(line,
                 "the " + name + " begins with \"*\"; W sets the whole text, the \"*\" included, as the password");
        }
        if (endsInBlank(text)) warn(line, "the " + name + " ends in blanks; W makes them part of the password");
        plan(planned(line, section, "(" + std::to_string(std::strlen(text)) + " characters)", 1));
    }

    void clearPassword(size_t line, const Section& section) override {
        const Step step(*this, line);
        endPending_ = false;
        if (options_.golden) {
            warnAbout(line, "no entry line under " + sectionName(section) + " in a golden file; W clears the " +
                                passwordName(section) + " on every unit (a blank entry line keeps each unit's own)");
        } else {
            noteAbout(line, "no entry line under " + sectionName(section) + "; W clears the " + passwordName(section));
        }
        plan(planned(line, section, "(cleared)"));
    }

    void setAssetTag(size_t line, const Section& section, const char* text) override {
        const Step step(*this, line);
        if (firstTagLine_ != 0) {
            warn(line, "another asset tag line (the first is on line " + std::to_string(firstTagLine_) +
                           "); W sets each in turn, so the last one stays");
        } else {
            firstTagLine_ = line;
        }
        if (options_.golden) {
            warn(line, "asset tag " + quotedStart(text) +
                           " in a golden file; W gives every unit the same tag (delete the section to keep each "
                           "unit's own)");
        }
        const size_t length = std::strlen(text);
        if (length > kLongestTagThatRReads) {
            warn(line, "asset tag of " + std::to_string(length) +
                           " characters; W sets it, but R cannot read a tag of 64 characters or more back");
        }
        if (endsInBlank(text)) warn(line, "the asset tag ends in blanks; W keeps them as part of the tag");
        PlannedCall call = planned(line, section, quotedText(text));
        call.tag = text;
        plan(call);
    }

    void setChoice(size_t line, const Section& section, uint32_t index) override {
        const Step step(*this, line);
        checkOneMark(line, section);
        if (section.kind == EntryKind::PrinterMode) return setPrinterMode(line, section, index);
        plan(planned(line, section, std::to_string(index), index));
    }

    bool currentParallelMode(size_t, const Section&, uint32_t& mode, bool& unitDependent) override {
        unitDependent = !fileParallelMode_.has_value();
        if (fileParallelMode_) mode = *fileParallelMode_;
        return fileParallelMode_.has_value();
    }

    void setEcpDma(size_t line, const Section& section, uint32_t dma, const uint32_t* parallelMode) override {
        const Step step(*this, line);
        checkOneMark(line, *section_);
        // Only a channel other than DMA1 is undone by a later printer mode.
        dmaChosenLine_ = dma != 0 ? line : 0;
        chosenDma_ = dma;
        if (!parallelMode) return planUnitDependentDma(line, section, dma);
        fileParallelMode_ = dma * 256 + (*parallelMode & 0xFF);
        plan(planned(line, section, hexText(*fileParallelMode_, 4), *fileParallelMode_));
    }

    void bootDevice(size_t line, uint8_t code) override {
        const Step step(*this, line);
        endPending_ = false;  // the boot order names a device
        if (kBootDeviceOptions[code] == std::string_view(kUnknownBootDevice)) {
            warn(line, "boot device " + quotedText(kUnknownBootDevice) +
                           " stands for any code that the table lacks; W sets code " + std::to_string(code));
        }
    }

    void setBootSequence(size_t line, const Section& section, const BootSequence& sequence) override {
        const Step step(*this, line);
        endPending_ = false;
        if (sequence[0] == kBootEnd) {
            warnAbout(line,
                      sectionName(*section_) + " names no boot device; W leaves the unit with an empty boot order");
        }
        PlannedCall call = planned(line, section, bootCodes(sequence));
        for (size_t i = 0; i < kBootSequenceSize && sequence[i] != kBootEnd; ++i) call.bootCodes.push_back(sequence[i]);
        plan(call);
    }

    void setWake(size_t line, const Section& section, WakeSetting value, bool noonByDefault) override {
        const Step step(*this, line);
        endPending_ = false;
        if (noonByDefault && lastTime_.wrapped) {
            warnAbout(lastTime_.line, "time line " + quotedStart(lastTime_.text) +
                                          " reads as 0:00 (each number cut to 8 bits), which counts as no time; W "
                                          "sets the wake time to 12:00");
        } else if (noonByDefault) {
            noteAbout(line, firstTimeLine_ != 0
                                ? "the time reads as 0:00, which counts as no time; W sets the wake time to 12:00"
                                : sectionName(*section_) + " gives no time; W sets the wake time to 12:00");
        }
        plan(planned(line, section, hexText(value, 8), value));
    }

    void timeLine(size_t line, const char* hourText, const char* minuteText, uint8_t hour, uint8_t minute) override {
        const Step step(*this, line);
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
            warn(line, "time line " + quotedStart(lastTime_.text) + " holds more than a time; W reads it as " +
                           wakeTimeText(hour, minute));
        }
        if (hour > 23 || minute > 59) {
            warn(line, "the time reads as hour " + std::to_string(hour) + ", minute " + std::to_string(minute) +
                           " (each number cut to 8 bits), which is no time of day; W sets it as it is");
        }
    }

    void passedOver(size_t line, PassReason::Value reason, const char* textData, size_t length, bool marked) override {
        if (reason == PassReason::UnknownHeader) {
            section_ = nullptr;
            endPending_ = false;  // the section before has ended
            passwordPending_ = false;
            queue_.adopt(line, section_);
        }
        const Step step(*this, line);
        // Any entry line of a password section keeps W from clearing the password.
        if (passwordPending_) endPending_ = false;
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
                return warn(line, "more than 15 boot devices; W keeps the first 15 and drops " + quotedStart(text));
            case PassReason::TimeWithoutColon:
                return warn(line, "time line " + quotedStart(text) + " has no \":\"; W ignores it");
            case PassReason::BlankEntry:
            case PassReason::UnmarkedOption:
            case PassReason::BlankPassword:
            case PassReason::InRefusedSection:  // the refusal has its warning
            case PassReason::EcpDmaModeUnread:  // never: the checker reads no unit
                return;
        }
    }

    void refusedText(size_t line, const Section& section, LineDamage::Value damage) override {
        const Step step(*this, line);
        endPending_ = false;  // a refused password section, or its refused first line, clears nothing
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
        lineEvent(line,
                  "line longer than 254 characters; W reads it in pieces of 255 characters, each as a line of its own",
                  true);
    }

    bool wantsCarriageReturns() const override { return true; }
    void carriageReturn(size_t line, const char* piece, size_t length) override {
        if (line == 1 && lookingForLineEnds()) noteCarriageReturnLineEnds(std::string_view(piece, length));
        // A line read in several pieces may show one in each of them.
        if (line == lastCarriageReturnLine_) return;
        lastCarriageReturnLine_ = line;
        lineEvent(line, "carriage return inside the line; W keeps it as part of the text", true);
    }

    void zeroByte(size_t line) override {
        if (line == lastZeroByteLine_) return;
        lastZeroByteLine_ = line;
        lineEvent(line, "zero byte inside the line; W's text ends there, and W ignores the rest of the line", false);
    }

    void inputEndedAtCtrlZ(size_t line) override {
        const Step step(*this, line);
        warn(line, "Ctrl-Z byte (1Ah); the device's text mode ends the input there, so W reads nothing after it");
    }

    // After the whole file: what is still held goes to the sink, and the read error, if any. A
    // file that names no section sets nothing, and W refuses it (a file that cannot be read has
    // its error instead).
    CheckSummary finish(bool wholeFileRead, size_t lastLine, int readError) {
        queue_.releaseAll();
        if (!wholeFileRead) {
            const std::string reason = std::strerror(readError);
            queue_.push({lastLine, Diagnostic::Kind::Error,
                         lastLine == 0 ? "cannot read the file (" + reason + ")"
                                       : "cannot read the file past this line (" + reason +
                                             "); W stops here and applies nothing after it",
                         nullptr, ErrorCode::CannotRead});
            queue_.releaseAll();
        }
        const Refusal refusal = headerLine_ == 0 && wholeFileRead ? Refusal::NoSection : Refusal::None;
        return {wholeFileRead, queue_.passedWarning(), refusal};
    }

private:
    // One event of a piece's text: the line events before it can no longer be adopted by a
    // header, and once it is done, what no section end can precede any more is passed on.
    class Step {
    public:
        Step(Checker& checker, size_t line) : checker_(checker) {
            checker_.queue_.settle();
            if (line > 1) checker_.firstLineOver_ = true;
        }
        ~Step() { checker_.passOn(); }
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        Checker& checker_;
    };

    bool lookingForLineEnds() const { return !firstLineOver_ && !queue_.overflowed(); }
    // Until a header names a section, the file may turn out to name none: its diagnostics wait.
    bool waitingForASection() const { return headerLine_ == 0 && !queue_.overflowed(); }

    void passOn() {
        if (!endPending_ && !lookingForLineEnds() && !waitingForASection()) queue_.release();
    }

    void warn(size_t line, std::string text) {
        queue_.push({line, Diagnostic::Kind::Warning, std::move(text), section_});
    }
    // About the section's end, at its header, or about a line before the current one.
    void warnAbout(size_t line, std::string text) {
        queue_.insert({line, Diagnostic::Kind::Warning, std::move(text), section_});
    }
    void noteAbout(size_t line, std::string text) {
        queue_.insert({line, Diagnostic::Kind::Note, std::move(text), section_});
    }

    // `value`: what the call sets, as PlannedCall keeps it.
    PlannedCall planned(size_t line, const Section& section, std::string argument, uint32_t value = 0) const {
        PlannedCall call;
        call.line = line;
        call.operation = firmwareSetting(section.function)->setName;
        call.argument = std::move(argument);
        call.section = &section;
        call.value = value;
        return call;
    }
    void plan(const PlannedCall& call) { sink_.plannedCall(call); }

    // A warning about how the line is read from the file rather than what it says; `lineShape`:
    // about how it is cut, which a file of carriage-return line ends says once for all.
    void lineEvent(size_t line, std::string text, bool lineShape) {
        if (line > 1) firstLineOver_ = true;
        if (lineShape && carriageReturnLineEnds_) return;
        queue_.settle(line);
        queue_.push({line, Diagnostic::Kind::Warning, std::move(text), section_}, true, lineShape);
        passOn();
    }

    // A carriage return with more text after it on the first line: the file ends its lines so,
    // which one warning for the file says in place of one for each line.
    void noteCarriageReturnLineEnds(std::string_view piece) {
        for (size_t at = piece.find('\r'); at != std::string_view::npos; at = piece.find('\r', at + 1)) {
            if (at + 1 < piece.size() && piece[at + 1] != '\r' && piece[at + 1] != '\n') {
                carriageReturnLineEnds_ = true;
            }
        }
        if (!carriageReturnLineEnds_) return;
        firstLineOver_ = true;  // decided
        queue_.dropLineShapes();
        queue_.fileWide({0, Diagnostic::Kind::Warning,
                         "the lines end in a carriage return alone; W ends lines at line feeds only, so it reads the "
                         "file as long lines cut into pieces of 255 characters, each piece a line of its own",
                         nullptr});
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
        plan(planned(line, section, hexText(index, 4), index));
    }

    void planUnitDependentDma(size_t line, const Section& section, uint32_t dma) {
        warn(line, quotedText(kEcpDmaOptions[dma]) +
                       " is marked with no printer mode set before it in the file; W sets it only if the unit's "
                       "printer mode is ECP or ECP/EPP, and does nothing otherwise");
        PlannedCall call = planned(
            line, section, "DMA=" + std::to_string(dma) + " (only if the unit's printer mode is ECP or ECP/EPP)");
        call.dependsOnUnit = true;
        call.value = dma;
        plan(call);
    }

    void dmaBelowEcp(size_t line, std::string_view text) {
        const uint32_t mode = fileParallelMode_.value_or(0) & 0xFF;
        warn(line, quotedStart(text) + " is marked while the file's printer mode is " +
                       quotedText(kPrinterModeOptions[mode]) +
                       "; W does nothing with it, the channel applies to ECP and ECP/EPP only");
    }

    void unknownHeader(size_t line, std::string_view text) {
        static const std::array<std::string_view, kSectionCount> headers = headerTexts();
        if (line == 1 && text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
            return byteOrderMark(line, text.substr(kUtf8ByteOrderMark.size()), headers);
        }
        warn(line, "header " + quotedStart(text) + " names no section; W skips it and its entry lines" +
                       didYouMean(closestName(text, headers, true)));
    }

    void byteOrderMark(size_t line, std::string_view header,
                       const std::array<std::string_view, kSectionCount>& headers) {
        const bool namesSection = std::any_of(headers.begin(), headers.end(),
                                              [&](std::string_view h) { return header.substr(0, h.size()) == h; });
        warn(line, "UTF-8 byte-order mark before the header " + quotedStart(header) +
                       "; W reads the mark as part of the header, which then names no section, and skips it and "
                       "its entry lines" +
                       (namesSection ? "" : didYouMean(closestName(header, headers, true))));
    }

    void unknownOption(size_t line, std::string_view text, bool marked) {
        const std::string suggestion = didYouMean(closestName(text, TableNames{*section_->options}), marked ? "*" : "");
        const std::string shown = quotedStart((marked ? "*" : "") + std::string(text));
        warn(line, (marked ? "marked text " : "text ") + shown + " names no option of " + sectionName(*section_) +
                       "; W ignores the line" + suggestion);
    }

    void unknownBootName(size_t line, std::string_view text) {
        const TableNames devices{kBootDeviceOptions};
        if (!text.empty() && text[0] == '*') {
            warn(line, "marked boot device " + quotedStart(text) + "; the boot order takes no marks, W drops the line" +
                           didYouMean(closestName(text.substr(1), devices)));
            return;
        }
        warn(line, "boot device " + quotedStart(text) + " matches no device name; W drops it" +
                       didYouMean(closestName(text, devices)));
    }

    // The last time line of the current "Wake On RTC" section.
    struct TimeLine {
        size_t line = 0;
        std::string text;
        bool wrapped = false;  // a number other than the one W takes, cut to 8 bits
    };

    CheckSink& sink_;
    DiagnosticQueue queue_;
    const CheckOptions options_;
    const Section* section_ = nullptr;
    size_t headerLine_ = 0;  // 0 until a header names a section
    std::array<size_t, kSectionCount> firstHeaderLine_{};
    // Within one occurrence of a section:
    size_t firstMarkLine_ = 0;
    size_t firstTagLine_ = 0;
    size_t firstTimeLine_ = 0;
    TimeLine lastTime_;
    bool endPending_ = false;       // what W does at the section's end may still bring a diagnostic
    bool passwordPending_ = false;  // a password section, which any entry line keeps from clearing
    // Across the file: the parallel mode word as the file's own lines leave it, and the line
    // of an ECP DMA choice that a later printer mode would undo.
    std::optional<uint32_t> fileParallelMode_;
    size_t dmaChosenLine_ = 0;
    uint32_t chosenDma_ = 0;
    size_t lastCarriageReturnLine_ = 0;
    size_t lastZeroByteLine_ = 0;
    // Whether the first line is read whole, or has shown how the file ends its lines: until
    // then, a warning for the file may still come before everything else.
    bool firstLineOver_ = false;
    bool carriageReturnLineEnds_ = false;
};

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
    return std::to_string(hour) + (minute < 10 ? ":0" : ":") + std::to_string(minute);
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

CheckSummary checkDataFile(FILE* file, CheckSink& sink, const CheckOptions& options) {
    LineReader lines(file);
    // W reads no line of a file that its start refuses; neither does the checker.
    const Refusal refusal = refusalOf(lines.start());
    if (refusal != Refusal::None) {
        lines.wipe();  // the piece read ahead may hold a password
        return {true, false, refusal};
    }
    Checker checker(sink, options);
    const bool whole = readDataFile(lines, checker);
    const int readError = errno;
    const CheckSummary summary = checker.finish(whole, lines.number(), readError);
    lines.wipe();
    return summary;
}

CheckReport checkDataFile(FILE* file, const CheckOptions& options) {
    CheckReport report;
    Collector collector(report);
    const CheckSummary summary = checkDataFile(file, collector, options);
    report.wholeFileRead = summary.wholeFileRead;
    report.refusal = summary.refusal;
    return report;
}
