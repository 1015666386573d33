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
#include "check_reading.h"
#include "diagnostic_queue.h"
#include "firmware_settings.h"
#include "platform.h"
#include "spelling.h"
#include "text_classes.h"
#include "text_format.h"

namespace {

// R reads the asset tag into 64 bytes, its zero byte included; a longer tag it leaves out.
constexpr size_t kLongestTagThatRReads = 63;

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

}  // namespace

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
