// Fuzz target: W's readers on any data file, without a unit. Every request they make must come
// from the file's own text or a documented default, in the section it belongs to.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "change_reader.h"
#include "data_file_oracle.h"
#include "fuzz_support.h"

namespace {

using fuzz::FileText;

// The unit's answers to "ECP Mode Use DMA", taken by line so that every branch is reached.
enum class ModeAnswer { None, Unread, BelowEcp, Ecp, UnitDependent };

ModeAnswer answerForLine(size_t line) {
    switch (line % 4) {
        case 0: return ModeAnswer::Unread;
        case 1: return ModeAnswer::BelowEcp;
        case 2: return ModeAnswer::Ecp;
        default: return ModeAnswer::UnitDependent;
    }
}

constexpr uint32_t kBelowEcpMode = 0x0101;  // EPP, with a DMA byte that must not matter
constexpr uint32_t kEcpMode = 0x0003;       // ECP/EPP

// Checks each event against the file's bytes and against the section it comes in.
class Checker final : public ChangeEvents {
public:
    explicit Checker(const FileText& file) : file_(file) {}

    // The end of the last section: called once the reading is over.
    void finish() {
        noPendingMode("the end of the file");
        closeSection();
    }

    void sectionStarted(size_t line, const Section& section, const char* headerText, size_t length) override {
        const std::string_view headerLine(headerText, length);
        noPendingMode("sectionStarted");
        closeSection();
        checkLine(line);
        const size_t index = headerIndex(headerLine);
        FUZZ_CHECK(index < fuzz::kHeaders.size() && fuzz::kHeaders[index] == section.header,
                   "header line " + fuzz::shown(headerLine) + " started " + std::string(section.header));
        FUZZ_CHECK(fuzz::contains(file_.line(line), headerLine), "header not on its line " + std::to_string(line));
        FUZZ_CHECK(section.kind == documentedKind(index), "section " + std::string(section.header) + " of another kind");
        headerSeen_ = true;
        current_ = &section;
        sectionLine_ = line;
        decided_ = 0;
        refusedSection_ = false;
        lastTime_.reset();
    }

    void setPassword(size_t line, const Section& section, const char* text) override {
        entryEvent(line, EntryKind::Password, "setPassword");
        FUZZ_CHECK(&section == current_, "password of another section");
        checkTakenText(line, text);
        checkNotDamaged(line, "setPassword");
        ++decided_;
    }

    void clearPassword(size_t line, const Section& section) override {
        sectionEnd(line, EntryKind::Password, "clearPassword");
        FUZZ_CHECK(&section == current_, "clear of another section's password");
        FUZZ_CHECK(decided_ == 0, "password cleared after its first entry line");
        checkNotDamaged(line, "clearPassword");
        ++decided_;
    }

    void setAssetTag(size_t line, const Section&, const char* text) override {
        entryEvent(line, EntryKind::AssetTag, "setAssetTag");
        checkTakenText(line, text);
        checkNotDamaged(line, "setAssetTag");
    }

    // A refused header refuses its section: its password decided, no tag set from its lines.
    // A refused entry line: the first of a password section, or any line of a tag section.
    void refusedText(size_t line, const Section& section, LineDamage::Value damage) override {
        noPendingMode("refusedText");
        checkLine(line);
        FUZZ_CHECK(&section == current_ && (section.kind == EntryKind::Password || section.kind == EntryKind::AssetTag),
                   "a refusal outside a password or tag section");
        FUZZ_CHECK(!refusedSection_, "a refusal in a refused section");
        FUZZ_CHECK(damage != LineDamage::None, "a refusal without damage");
        FUZZ_CHECK(fuzz::lineState(file_, line) != fuzz::LineState::Intact,
                   "line " + std::to_string(line) + " refused, but it is intact");
        if (line == sectionLine_) {
            refusedSection_ = true;
        } else {
            entryEvent(line, section.kind, "refusedText");
        }
        if (section.kind == EntryKind::Password) FUZZ_CHECK(decided_++ == 0, "password refused after it was decided");
    }

    void setChoice(size_t line, const Section& section, uint32_t index) override {
        entryEvent(line, section.kind == EntryKind::PrinterMode ? EntryKind::PrinterMode : EntryKind::SingleChoice,
                   "setChoice");
        FUZZ_CHECK(&section == current_, "choice for another section");
        const fuzz::ChoiceNames* names = fuzz::choiceByHeader(section.header);
        FUZZ_CHECK(names != nullptr && index < names->names.size(), "choice index " + std::to_string(index));
        FUZZ_CHECK(fuzz::standsMarked(file_.line(line), names->names[index]),
                   "no marked " + std::string(names->names[index]) + " on line " + std::to_string(line));
    }

    bool currentParallelMode(size_t line, const Section&, uint32_t& mode, bool& unitDependent) override {
        entryEvent(line, EntryKind::EcpDma, "currentParallelMode");
        pending_ = answerForLine(line);
        pendingLine_ = line;
        unitDependent = pending_ == ModeAnswer::UnitDependent;
        switch (pending_) {
            case ModeAnswer::BelowEcp: mode = kBelowEcpMode; return true;
            case ModeAnswer::Ecp: mode = kEcpMode; return true;
            default: return false;
        }
    }

    void setEcpDma(size_t line, const Section&, uint32_t dma, const uint32_t* modeGiven) override {
        const std::optional<uint32_t> parallelMode =
            modeGiven != nullptr ? std::optional<uint32_t>(*modeGiven) : std::nullopt;
        FUZZ_CHECK(pending_ == ModeAnswer::Ecp || pending_ == ModeAnswer::UnitDependent,
                   "ECP DMA set without an ECP mode of the unit");
        FUZZ_CHECK(line == pendingLine_, "ECP DMA set on another line than the mode was read");
        const std::optional<uint32_t> given =
            pending_ == ModeAnswer::Ecp ? std::optional<uint32_t>(kEcpMode) : std::nullopt;
        FUZZ_CHECK(parallelMode == given, "ECP DMA set with a mode the unit did not report");
        FUZZ_CHECK(dma < fuzz::kEcpDmaNames.size() && fuzz::standsMarked(file_.line(line), fuzz::kEcpDmaNames[dma]),
                   "ECP DMA " + std::to_string(dma) + " not marked on line " + std::to_string(line));
        pending_ = ModeAnswer::None;
    }

    void setBootSequence(size_t line, const Section&, const BootSequence& sequence) override {
        sectionEnd(line, EntryKind::BootList, "setBootSequence");
        FUZZ_CHECK(decided_++ == 0, "boot order set twice for one section");
        size_t count = 0;
        while (count < sequence.size() && sequence[count] != kBootEnd) {
            const uint8_t code = sequence[count++];
            FUZZ_CHECK(code < fuzz::kBootNames.size() && fuzz::firstBootCode(fuzz::kBootNames[code]) == code,
                       "boot code " + std::to_string(code) + " that no name gives");
            FUZZ_CHECK(fuzz::standsAsEntry(file_.all(), fuzz::kBootNames[code]),
                       "boot name " + std::string(fuzz::kBootNames[code]) + " not in the file");
        }
        FUZZ_CHECK(count < sequence.size(), "boot sequence without FFh within its 16 bytes");
    }

    void setWake(size_t line, const Section&, WakeSetting value, bool noonByDefault) override {
        sectionEnd(line, EntryKind::Wake, "setWake");
        FUZZ_CHECK(decided_++ == 0, "wake set twice for one section");
        FUZZ_CHECK((value & 0xFF80) == 0, "wake value with bits beyond the seven days");
        for (size_t day = 0; day < fuzz::kDayNames.size(); ++day) {
            if ((value >> day & 1) == 0) continue;
            FUZZ_CHECK(fuzz::standsMarked(file_.all(), fuzz::kDayNames[day]),
                       "day " + std::string(fuzz::kDayNames[day]) + " set but not marked in the file");
        }
        const std::pair<uint8_t, uint8_t> time{wakeHour(value), wakeMinute(value)};
        const bool zeroTime = !lastTime_ || *lastTime_ == std::pair<uint8_t, uint8_t>{0, 0};
        FUZZ_CHECK(noonByDefault == zeroTime, "noon reported for a time the file gave, or not for none");
        const std::pair<uint8_t, uint8_t> expected = zeroTime ? std::pair<uint8_t, uint8_t>{12, 0} : *lastTime_;
        FUZZ_CHECK(time == expected, "wake time " + std::to_string(time.first) + ":" + std::to_string(time.second) +
                                         " is neither the last time line nor 12:00");
    }

    void passedOver(size_t line, PassReason::Value reason, const char* textData, size_t length,
                    bool marked) override {
        const std::string_view text(textData, length);
        checkLine(line);
        if (!text.empty()) {
            FUZZ_CHECK(fuzz::contains(file_.line(line), text), "passed text not on line " + std::to_string(line));
        }
        FUZZ_CHECK(!marked || (current_ != nullptr && current_->usesMarks()), "a mark in a section without marks");
        switch (reason) {
            case PassReason::EntryBeforeFirstHeader:
                noPendingMode("passedOver");
                FUZZ_CHECK(!headerSeen_ && !text.empty(), "entry before the first header, after one");
                break;
            case PassReason::UnknownHeader:
                noPendingMode("passedOver");
                closeSection();
                FUZZ_CHECK(headerIndex(text) == fuzz::kHeaders.size(), "known header passed over: " + fuzz::shown(text));
                break;
            case PassReason::EcpDmaModeUnread: resolveMode(line, ModeAnswer::Unread); break;
            case PassReason::EcpDmaBelowEcp: resolveMode(line, ModeAnswer::BelowEcp); break;
            default: passedEntry(line, reason, text, marked); break;
        }
        headerSeen_ = headerSeen_ || reason != PassReason::EntryBeforeFirstHeader;
    }

    void timeLine(size_t line, const char*, const char*, uint8_t hour, uint8_t minute) override {
        entryEvent(line, EntryKind::Wake, "timeLine");
        FUZZ_CHECK(fuzz::timesIn(file_.line(line)).count({hour, minute}) == 1,
                   "time " + std::to_string(hour) + ":" + std::to_string(minute) + " not on line " +
                       std::to_string(line));
        lastTime_ = {hour, minute};
    }

private:
    static EntryKind::Value documentedKind(size_t header) {
        switch (header) {
            case 0:
            case 1: return EntryKind::Password;
            case 2: return EntryKind::AssetTag;
            case 5: return EntryKind::PrinterMode;
            case 6: return EntryKind::EcpDma;
            case 8: return EntryKind::BootList;
            case 12: return EntryKind::Wake;
            default: return EntryKind::SingleChoice;
        }
    }

    static size_t headerIndex(std::string_view line) {
        size_t i = 0;
        while (i < fuzz::kHeaders.size() && line.substr(0, fuzz::kHeaders[i].size()) != fuzz::kHeaders[i]) ++i;
        return i;
    }

    void checkLine(size_t line) const {
        FUZZ_CHECK(line >= 1 && line <= file_.lineCount(), "line " + std::to_string(line) + " outside the file");
    }

    void noPendingMode(const char* event) const {
        FUZZ_CHECK(pending_ == ModeAnswer::None, std::string(event) + " before the unit's mode was acted on");
    }

    // An event of an entry line in a section of `kind`, in file order (a long line may hold a
    // header piece and entry pieces after it).
    void entryEvent(size_t line, EntryKind::Value kind, const char* event) {
        noPendingMode(event);
        checkLine(line);
        FUZZ_CHECK(current_ != nullptr && current_->kind == kind, std::string(event) + " outside its kind of section");
        FUZZ_CHECK(line >= sectionLine_ && line >= lastEntryLine_, std::string(event) + " out of line order");
        lastEntryLine_ = line;
    }

    // An event of a section's end, reported at its header line.
    void sectionEnd(size_t line, EntryKind::Value kind, const char* event) const {
        noPendingMode(event);
        FUZZ_CHECK(current_ != nullptr && current_->kind == kind, std::string(event) + " outside its kind of section");
        FUZZ_CHECK(line == sectionLine_, std::string(event) + " not at the section's header line");
    }

    void resolveMode(size_t line, ModeAnswer answer) {
        FUZZ_CHECK(pending_ == answer && line == pendingLine_, "ECP DMA passed over for a mode the unit did not report");
        pending_ = ModeAnswer::None;
    }

    void passedEntry(size_t line, PassReason::Value reason, std::string_view text, bool marked) {
        entryEvent(line, current_ != nullptr ? current_->kind : EntryKind::Password, "passedOver");
        switch (reason) {
            case PassReason::BlankEntry: FUZZ_CHECK(text.empty() && !marked, "blank entry with text"); break;
            case PassReason::BlankPassword:
                FUZZ_CHECK(current_->kind == EntryKind::Password && decided_++ == 0, "blank password line not first");
                break;
            case PassReason::ExtraPasswordLine:
                FUZZ_CHECK(current_->kind == EntryKind::Password && decided_ == 1, "extra password line first");
                break;
            case PassReason::UnmarkedOption:
            case PassReason::UnknownOption: {
                const bool named = isOptionName(text);
                FUZZ_CHECK(named == (reason == PassReason::UnmarkedOption), "option " + fuzz::shown(text) + " misread");
                FUZZ_CHECK(reason == PassReason::UnknownOption || !marked, "a marked option passed as unmarked");
                break;
            }
            case PassReason::BootNameUnknown:
                FUZZ_CHECK(fuzz::firstBootCode(text) == fuzz::kBootNames.size(), "known boot name dropped");
                break;
            case PassReason::BootListFull:
                FUZZ_CHECK(fuzz::firstBootCode(text) < fuzz::kBootNames.size(), "unknown name passed as surplus");
                break;
            case PassReason::TimeWithoutColon:
                FUZZ_CHECK(!text.empty() && text[0] >= '0' && text[0] <= '9' && !fuzz::contains(text, ":"),
                           "time line passed over: " + fuzz::shown(text));
                break;
            case PassReason::InRefusedSection: FUZZ_CHECK(refusedSection_, "an entry of a section not refused"); break;
            default: FUZZ_CHECK(false, "a reason out of its place: " + std::to_string(static_cast<int>(reason)));
        }
    }

    bool isOptionName(std::string_view text) const {
        if (current_->kind == EntryKind::Wake) return fuzz::firstIndex(fuzz::kDayNames, text) < fuzz::kDayNames.size();
        if (current_->kind == EntryKind::EcpDma) {
            return fuzz::firstIndex(fuzz::kEcpDmaNames, text) < fuzz::kEcpDmaNames.size();
        }
        FUZZ_CHECK(current_->kind == EntryKind::SingleChoice || current_->kind == EntryKind::PrinterMode,
                   "an option in a section without options");
        const std::vector<std::string_view>& names = fuzz::choiceByHeader(current_->header)->names;
        return fuzz::firstIndex(names, text) < names.size();
    }

    // A text W takes, and a password it clears, come from intact lines under an intact header.
    void checkNotDamaged(size_t line, const char* event) const {
        FUZZ_CHECK(!refusedSection_, std::string(event) + " in a refused section");
        for (const size_t number : {sectionLine_, line}) {
            FUZZ_CHECK(fuzz::lineState(file_, number) != fuzz::LineState::Damaged,
                       std::string(event) + " from damaged line " + std::to_string(number));
        }
    }

    void checkTakenText(size_t line, const char* text) const {
        const std::string_view taken(text);
        FUZZ_CHECK(fuzz::isTakenText(taken) && fuzz::standsAsEntry(file_.line(line), taken),
                   "text " + fuzz::shown(taken) + " is not an entry's text on line " + std::to_string(line));
    }

    // A password section decides exactly once: set, kept by a blank line, or cleared.
    void closeSection() {
        if (current_ == nullptr) return;
        const bool decides = current_->kind == EntryKind::Password || current_->kind == EntryKind::BootList ||
                             current_->kind == EntryKind::Wake;
        FUZZ_CHECK(!decides || decided_ == 1, "section at line " + std::to_string(sectionLine_) + " decided " +
                                                  std::to_string(decided_) + " times");
        current_ = nullptr;
    }

    const FileText& file_;
    const Section* current_ = nullptr;
    size_t sectionLine_ = 0;
    size_t lastEntryLine_ = 0;
    int decided_ = 0;
    bool refusedSection_ = false;
    bool headerSeen_ = false;
    std::optional<std::pair<uint8_t, uint8_t>> lastTime_;
    ModeAnswer pending_ = ModeAnswer::None;
    size_t pendingLine_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // fmemopen takes no empty buffer; an empty file is read by the other target
    std::string bytes(reinterpret_cast<const char*>(data), size);
    FILE* file = fmemopen(bytes.data(), bytes.size(), "r");
    FUZZ_CHECK(file != nullptr, "fmemopen failed");
    LineReader lines(file);
    // A file converted on its way is refused by its start; one with a UTF-8 mark reads without it.
    const FileStart::Value start = lines.start();
    const fuzz::FileStartVerdict expected = fuzz::fileStart(bytes);
    const FileStart::Value expectedStart = expected.kind == fuzz::FileStartVerdict::Kind::Utf16     ? FileStart::Utf16
                                           : expected.kind == fuzz::FileStartVerdict::Kind::CrAlone ? FileStart::CrAlone
                                                                                                    : FileStart::Text;
    FUZZ_CHECK(start == expectedStart, "the file's start read as " + std::to_string(start) + ", not " +
                                           std::to_string(expectedStart));
    if (start != FileStart::Text) {
        std::fclose(file);
        return 0;
    }
    const FileText text(expected.text);
    Checker checker(text);
    const bool whole = readDataFile(lines, checker);
    std::fclose(file);
    FUZZ_CHECK(whole, "a read error on a file in memory");
    checker.finish();
    return 0;
}
