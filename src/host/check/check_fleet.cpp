// A unit's file read as R writes it, and a golden file's plan applied to what it shows: a third
// set of events for W's readers, and the settings of one unit followed through W's calls.
#include "check_fleet.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "change_reader.h"
#include "text_format.h"

namespace {

const char* const kPasswordSet = "set";
const char* const kPasswordNotSet = "not set";

std::string joined(const std::vector<std::string>& names, const char* none) {
    if (names.empty()) return none;
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string wakeWords(uint8_t days, uint8_t hour, uint8_t minute) {
    std::vector<std::string> names;
    for (uint32_t day = 0; day < kDayOptions.count; ++day) {
        if (((days >> day) & 1) != 0) names.emplace_back(kDayOptions[day]);
    }
    return joined(names, "no days") + " " + wakeTimeText(hour, minute);
}

// The values of a unit's file, each with the number of times the file gives one; a value
// given once is the unit's.
class UnitReader final : public ChangeEvents {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    explicit UnitReader(LineReader& lines) : lines_(lines) {}

    UnitSettings settings() const {
        UnitSettings settings;
        for (const Section& section : kSections) {
            const Given& given = given_[section.id];
            if (given.count == 1) settings.values[section.id] = given.value;
        }
        return settings;
    }

    bool holdsAlwaysWrittenSection() const { return alwaysWritten_; }

    void sectionStarted(size_t, const Section& section, const char*, size_t) override {
        if (!section.omittedWhenUnread) alwaysWritten_ = true;
        section_ = &section;
        bootNames_.clear();
        timeLines_ = 0;
    }
    // R writes an empty entry line for a set password, never a text.
    void setPassword(size_t, const Section& section, const char*) override { spoil(section); }
    void clearPassword(size_t, const Section& section) override { give(section, kPasswordNotSet); }
    void setAssetTag(size_t, const Section& section, const char*) override { give(section, tagAsRWritesIt()); }
    void setChoice(size_t, const Section& section, uint32_t index) override {
        give(section, (*section.options)[index]);
    }
    // Every marked channel is the unit's: R marks one only in the ECP modes.
    bool currentParallelMode(size_t, const Section&, uint32_t&, bool& unitDependent) override {
        unitDependent = true;
        return false;
    }
    void setEcpDma(size_t, const Section& section, uint32_t dma, const uint32_t*) override {
        give(section, kEcpDmaOptions[dma]);
    }
    void bootDevice(size_t, uint8_t code) override { bootName(kBootDeviceOptions[code]); }
    void setBootSequence(size_t, const Section& section, const BootSequence&) override {
        if (bootNames_.size() > kBootSequenceSize) return spoil(section);
        give(section, joined(bootNames_, "no devices"));
    }
    void timeLine(size_t, const char*, const char*, uint8_t hour, uint8_t minute) override {
        ++timeLines_;
        hour_ = hour;
        minute_ = minute;
    }
    void setWake(size_t, const Section& section, WakeSetting value, bool) override {
        if (timeLines_ != 1) return spoil(section);
        give(section, wakeWords(wakeDays(value), hour_, minute_));
    }
    // A refused line tells nothing of the unit that R could have written it on.
    void refusedText(size_t, const Section& section, LineDamage::Value) override { spoil(section); }
    void passedOver(size_t, PassReason::Value reason, const char* text, size_t length, bool marked) override {
        switch (reason) {
            case PassReason::UnknownHeader: section_ = nullptr; return;
            case PassReason::BlankPassword: return give(*section_, kPasswordSet);
            case PassReason::BlankEntry:
                // An empty tag, as R writes it.
                if (section_ != nullptr && section_->kind == EntryKind::AssetTag) give(*section_, tagAsRWritesIt());
                return;
            case PassReason::BootListFull:  // R writes all 16 codes when the unit keeps no end mark
            case PassReason::BootNameUnknown: bootName(std::string_view(text, length)); return;
            case PassReason::UnknownOption:
                if (marked) spoil(*section_);
                return;
            default: return;
        }
    }

private:
    struct Given {
        size_t count = 0;
        std::string value;
    };

    void give(const Section& section, std::string value) {
        Given& given = given_[section.id];
        ++given.count;
        given.value = std::move(value);
    }
    // R writes at most 16 names; one more is enough to tell a list that R did not write.
    void bootName(std::string_view name) {
        if (bootNames_.size() <= kBootSequenceSize) bootNames_.emplace_back(name);
    }

    // A value in a form that R does not write: unknown, however often the file gives others.
    void spoil(const Section& section) { given_[section.id].count += 2; }

    // R writes the tag after one tab; W's reader has skipped all the white space before it.
    std::string tagAsRWritesIt() {
        std::string_view line(lines_.text());
        if (!line.empty()) line.remove_prefix(1);
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
        return std::string(line);
    }

    LineReader& lines_;
    const Section* section_ = nullptr;
    std::array<Given, kSectionCount> given_{};
    std::vector<std::string> bootNames_;
    size_t timeLines_ = 0;
    uint8_t hour_ = 0;
    uint8_t minute_ = 0;
    bool alwaysWritten_ = false;
};

// One unit's settings followed through a golden file's calls, as W makes them.
class UnitModel {
public:
    explicit UnitModel(const UnitSettings& unit) : now_(unit.values) {
        if (const auto& mode = unit[SectionId::PrinterMode]) {
            printerMode_ = static_cast<uint32_t>(kPrinterModeOptions.find(mode->c_str()));
        }
    }

    void apply(size_t order, const PlannedCall& call) {
        const Section& section = *call.section;
        switch (section.kind) {
            case EntryKind::Password:
                set(section, order, call.line, call.value != 0 ? kPasswordSet : kPasswordNotSet);
                setBy_[section.id].toText = call.value != 0;
                break;
            case EntryKind::AssetTag: set(section, order, call.line, call.tag); break;
            case EntryKind::SingleChoice: set(section, order, call.line, (*section.options)[call.value]); break;
            case EntryKind::PrinterMode:
                // W writes the printer mode with DMA byte 0.
                printerMode_ = call.value & 0xFF;
                set(section, order, call.line, kPrinterModeOptions[*printerMode_]);
                set(dmaSection(), order, call.line, kEcpDmaOptions[0]);
                break;
            case EntryKind::EcpDma: {
                // A channel that depends on the unit is set only in its ECP modes; where the unit's
                // file does not tell its mode, it counts as set.
                if (call.dependsOnUnit && printerMode_ && *printerMode_ < kFirstEcpPrinterMode) break;
                const uint32_t dma = call.dependsOnUnit ? call.value : (call.value >> 8) & 0xFF;
                set(section, order, call.line, kEcpDmaOptions[dma]);
                break;
            }
            case EntryKind::BootList: {
                std::vector<std::string> names;
                for (const uint8_t code : call.bootCodes) names.emplace_back(kBootDeviceOptions[code]);
                set(section, order, call.line, joined(names, "no devices"));
                break;
            }
            case EntryKind::Wake:
                set(section, order, call.line,
                    wakeWords(wakeDays(call.value), wakeHour(call.value), wakeMinute(call.value)));
                break;
        }
    }

    std::vector<Difference> differences(const UnitSettings& unit) const {
        std::vector<const Section*> sections;
        for (const Section& section : kSections) {
            if (setBy_[section.id].section != nullptr) sections.push_back(&section);
        }
        std::stable_sort(sections.begin(), sections.end(),
                         [&](const Section* a, const Section* b) { return setBy_[a->id].order < setBy_[b->id].order; });
        std::vector<Difference> found;
        for (const Section* section : sections) {
            // R shows a channel only in the ECP modes: in the others the unit shows none, before and after.
            if (section->kind == EntryKind::EcpDma && printerMode_ && *printerMode_ < kFirstEcpPrinterMode) continue;
            const SetBy& by = setBy_[section->id];
            const std::optional<std::string>& old = unit[section->id];
            // A text over a password already set cannot be compared; over none, or one the
            // file does not show, it is a change all the same.
            if (by.toText && old && *old == kPasswordSet) {
                found.push_back({Difference::Kind::PasswordNotCompared, section, by.line, old, ""});
            } else if (!old || *old != *now_[section->id]) {
                found.push_back({Difference::Kind::Change, section, by.line, old, *now_[section->id]});
            }
        }
        return found;
    }

private:
    // The call that gives a setting its last value.
    struct SetBy {
        const Section* section = nullptr;
        size_t order = 0;
        size_t line = 0;
        bool toText = false;  // a password set to a text
    };

    static const Section& dmaSection() { return kSections[SectionId::EcpModeUseDma]; }

    void set(const Section& section, size_t order, size_t line, std::string value) {
        now_[section.id] = std::move(value);
        setBy_[section.id] = {&section, order, line, false};
    }

    std::array<std::optional<std::string>, kSectionCount> now_;
    std::array<SetBy, kSectionCount> setBy_{};
    std::optional<uint32_t> printerMode_;  // none: not told by the unit's file, nor set since
};

std::string shown(const Section& section, const std::optional<std::string>& value) {
    if (!value) return "unknown";
    return section.kind == EntryKind::AssetTag ? quotedText(*value) : *value;
}

}  // namespace

UnitFile readUnitFile(FILE* file) {
    LineReader lines(file);
    UnitFile unit;
    unit.refusal = refusalOf(lines.start());
    if (unit.refusal != Refusal::None) return unit;
    UnitReader reader(lines);
    unit.wholeFileRead = readDataFile(lines, reader);
    unit.settings = reader.settings();
    unit.holdsAlwaysWrittenSection = reader.holdsAlwaysWrittenSection();
    return unit;
}

std::string Difference::shownOld() const { return shown(*section, oldValue); }
std::string Difference::shownNew() const { return shown(*section, newValue); }

void GoldenEffect::apply(const PlannedCall& call) {
    const size_t order = calls_++;
    last_[call.section->id] = Last{order, call};
    // W writes the printer mode with DMA byte 0: the call sets the DMA channel too.
    if (call.section->kind == EntryKind::PrinterMode) last_[SectionId::EcpModeUseDma] = Last{order, call};
}

std::vector<Difference> GoldenEffect::differences(const UnitSettings& unit) const {
    // The last calls in W's order, each once. Nothing that the file does before them shows on a
    // unit: a channel that depends on the unit's printer mode only comes before every printer
    // mode, so the unit's own mode decides it here as it would in the whole plan.
    std::vector<const Last*> calls;
    for (const std::optional<Last>& last : last_) {
        if (last) calls.push_back(&*last);
    }
    std::sort(calls.begin(), calls.end(), [](const Last* a, const Last* b) { return a->order < b->order; });
    calls.erase(
        std::unique(calls.begin(), calls.end(), [](const Last* a, const Last* b) { return a->order == b->order; }),
        calls.end());
    UnitModel model(unit);
    for (const Last* last : calls) model.apply(last->order, last->call);
    return model.differences(unit);
}

std::vector<Difference> differences(const CheckReport& golden, const UnitSettings& unit) {
    GoldenEffect effect;
    for (const PlannedCall& call : golden.plan) effect.apply(call);
    return effect.differences(unit);
}
