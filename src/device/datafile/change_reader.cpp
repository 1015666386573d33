// The section readers of W.
#include "change_reader.h"

#include <string.h>

#include "text_classes.h"

namespace {

struct EntryText {
    char* text;
    bool marked;
};

// An entry line's text: leading white space skipped, a "*" after it taken as the mark in the
// sections that use marks, one trailing line feed removed. Nothing else is trimmed.
EntryText takeText(char* line, bool marks) {
    while (isWhiteSpace(*line)) ++line;
    const bool marked = marks && *line == '*';
    if (marked) ++line;
    const size_t length = strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
    const EntryText e = {line, marked};
    return e;
}

// The first section whose header the line begins with; its first byte turns most sections
// away without a comparison of the whole header (no header is empty).
const Section* matchHeader(const char* line) {
    for (size_t i = 0; i < kSectionCount; ++i) {
        const Section& section = kSections[i];
        if (line[0] != section.header[0]) continue;
        if (strncmp(line, section.header, section.headerLength) == 0) return &section;
    }
    return 0;
}

// The length of a header line's text, without its line feed.
size_t lengthWithoutLineFeed(const char* line, size_t length) {
    return length > 0 && line[length - 1] == '\n' ? length - 1 : length;
}

// The entry lines of one section, and what the section does at its end.
class SectionReader {
public:
    SectionReader(const Section& section, size_t headerLine, ChangeEvents& events, LineReader& lines)
        : section_(section),
          headerLine_(headerLine),
          events_(events),
          lines_(lines),
          refused_(false),
          refusedLine_(0),
          firstEntrySeen_(false),
          boot_(),
          bootCount_(0),
          days_(0),
          hour_(0),
          minute_(0) {
        boot_.fill(kBootEnd);
    }

    // A password or tag section under a damaged header line changes nothing: the header may be
    // a piece of a line that goes on, or a line that was never meant to end where it does.
    void start() {
        if (!takesText() || lines_.damage() == LineDamage::None) return;
        refused_ = true;
        events_.refusedText(headerLine_, section_, lines_.damage());
        lines_.wipe();  // the header line may run on into a password
    }

    void entry(size_t line, char* raw) {
        if (refused_) {
            lines_.wipe();
            return events_.passedOver(line, PassReason::InRefusedSection, "", 0, false);
        }
        const EntryText e = takeText(raw, section_.usesMarks());
        switch (section_.kind) {
            case EntryKind::Password: password(line, e); break;
            case EntryKind::AssetTag: assetTag(line, e); break;
            case EntryKind::SingleChoice:
            case EntryKind::PrinterMode: choice(line, e); break;
            case EntryKind::EcpDma: ecpDma(line, e); break;
            case EntryKind::BootList: bootName(line, e); break;
            case EntryKind::Wake: wake(line, e); break;
        }
    }

    void end() {
        switch (section_.kind) {
            case EntryKind::Password:
                if (!firstEntrySeen_ && !refused_) events_.clearPassword(headerLine_, section_);
                break;
            case EntryKind::BootList: events_.setBootSequence(headerLine_, section_, boot_); break;
            case EntryKind::Wake: {
                const bool noon = hour_ == 0 && minute_ == 0;
                events_.setWake(headerLine_, section_, packWake(days_, noon ? 12 : hour_, minute_), noon);
                break;
            }
            default: break;
        }
    }

private:
    void password(size_t line, const EntryText& e) {
        if (firstEntrySeen_) {
            // A blank line after the first one is a separator, not a password given in vain.
            const PassReason::Value reason = *e.text == '\0' ? PassReason::BlankEntry : PassReason::ExtraPasswordLine;
            events_.passedOver(line, reason, "", 0, false);
            return;
        }
        firstEntrySeen_ = true;
        if (lines_.damage() != LineDamage::None) {
            events_.refusedText(line, section_, lines_.damage());
            lines_.wipe();
            return;
        }
        if (*e.text == '\0') {
            events_.passedOver(line, PassReason::BlankPassword, "", 0, false);
            return;
        }
        events_.setPassword(line, section_, e.text);
        lines_.wipe();
    }

    void assetTag(size_t line, const EntryText& e) {
        if (lines_.damage() != LineDamage::None) {
            // A line read in pieces is refused once.
            if (line != refusedLine_) events_.refusedText(line, section_, lines_.damage());
            refusedLine_ = line;
            return;
        }
        if (*e.text == '\0') return events_.passedOver(line, PassReason::BlankEntry, "", 0, false);
        events_.setAssetTag(line, section_, e.text);
    }

    bool takesText() const { return section_.kind == EntryKind::Password || section_.kind == EntryKind::AssetTag; }

    void passText(size_t line, PassReason::Value reason, const char* text, bool marked) {
        events_.passedOver(line, reason, text, strlen(text), marked);
    }

    void passOption(size_t line, const EntryText& e) {
        if (*e.text == '\0' && !e.marked) {
            events_.passedOver(line, PassReason::BlankEntry, "", 0, false);
        } else {
            passText(line, PassReason::UnknownOption, e.text, e.marked);
        }
    }

    void choice(size_t line, const EntryText& e) {
        const OptionTable& options = *section_.options;
        bool named = false;
        for (uint32_t i = 0; i < options.count; ++i) {
            if (!sameText(options[i], e.text)) continue;
            named = true;
            if (e.marked) {
                events_.setChoice(line, section_, i);
            } else {
                passText(line, PassReason::UnmarkedOption, e.text, false);
            }
        }
        if (!named) passOption(line, e);
    }

    void ecpDma(size_t line, const EntryText& e) {
        const size_t dma = section_.options->find(e.text);
        if (dma == section_.options->count) return passOption(line, e);
        if (!e.marked) return passText(line, PassReason::UnmarkedOption, e.text, false);
        bool unitDependent = false;
        uint32_t mode = 0;
        const bool modeRead = events_.currentParallelMode(line, section_, mode, unitDependent);
        if (unitDependent) {
            events_.setEcpDma(line, section_, static_cast<uint32_t>(dma), 0);
        } else if (!modeRead) {
            passText(line, PassReason::EcpDmaModeUnread, e.text, true);
        } else if ((mode & 0xFF) >= kFirstEcpPrinterMode) {
            events_.setEcpDma(line, section_, static_cast<uint32_t>(dma), &mode);
        } else {
            passText(line, PassReason::EcpDmaBelowEcp, e.text, true);
        }
    }

    void bootName(size_t line, const EntryText& e) {
        if (*e.text == '\0') return events_.passedOver(line, PassReason::BlankEntry, "", 0, false);
        const size_t code = kBootDeviceOptions.find(e.text);
        if (code == kBootDeviceOptions.count) return passText(line, PassReason::BootNameUnknown, e.text, false);
        // Fifteen codes and the end mark fill the sequence; later names are dropped.
        if (bootCount_ == kBootSequenceSize - 1) return passText(line, PassReason::BootListFull, e.text, false);
        boot_[bootCount_++] = static_cast<uint8_t>(code);
        events_.bootDevice(line, static_cast<uint8_t>(code));
    }

    void wake(size_t line, const EntryText& e) {
        if (isDecimalDigit(*e.text)) {
            char* colon = strchr(e.text, ':');
            if (colon == 0) return passText(line, PassReason::TimeWithoutColon, e.text, e.marked);
            *colon = '\0';
            hour_ = decimalByte(e.text);
            minute_ = decimalByte(colon + 1);
            events_.timeLine(line, e.text, colon + 1, hour_, minute_);
            return;
        }
        bool named = false;
        for (uint32_t day = 0; day < kDayOptions.count; ++day) {
            if (!sameText(kDayOptions[day], e.text)) continue;
            named = true;
            if (e.marked) {
                days_ = static_cast<uint8_t>(days_ | 1u << day);
            } else {
                passText(line, PassReason::UnmarkedOption, e.text, false);
            }
        }
        if (!named) passOption(line, e);
    }

    const Section& section_;
    size_t headerLine_;
    ChangeEvents& events_;
    LineReader& lines_;
    bool refused_;        // a password or tag section under a damaged header
    size_t refusedLine_;  // the last tag line refused
    bool firstEntrySeen_;
    BootSequence boot_;
    size_t bootCount_;
    uint8_t days_;
    uint8_t hour_;
    uint8_t minute_;

    SectionReader(const SectionReader&);  // reads one section in place: never copied
    SectionReader& operator=(const SectionReader&);
};

class Driver {
public:
    Driver(LineReader& lines, ChangeEvents& events)
        : lines_(lines), events_(events), status_(LineReader::End), carriageReturns_(events.wantsCarriageReturns()) {}

    bool run() {
        while (read() && isEntry()) {
            const EntryText e = takeText(lines_.text(), false);
            if (*e.text != '\0') {
                events_.passedOver(lines_.number(), PassReason::EntryBeforeFirstHeader, e.text, strlen(e.text), false);
            }
        }
        while (status_ == LineReader::Piece) {
            const size_t headerLine = lines_.number();
            const Section* section = matchHeader(lines_.text());
            const size_t headerLength = lengthWithoutLineFeed(lines_.text(), lines_.length());
            if (section == 0) {
                events_.passedOver(headerLine, PassReason::UnknownHeader, lines_.text(), headerLength, false);
                while (read() && isEntry()) {}
                continue;
            }
            events_.sectionStarted(headerLine, *section, lines_.text(), headerLength);
            SectionReader reader(*section, headerLine, events_, lines_);
            reader.start();
            while (read() && isEntry()) reader.entry(lines_.number(), lines_.text());
            // A file that cannot be read on is not applied further, not even this section's end.
            if (status_ == LineReader::Error) break;
            reader.end();
        }
        if (lines_.ctrlZLine() != 0) events_.inputEndedAtCtrlZ(lines_.ctrlZLine());
        return status_ != LineReader::Error;
    }

private:
    bool read() {
        status_ = lines_.next();
        if (status_ != LineReader::Piece) return false;
        if (lines_.beganLongLine()) events_.longLine(lines_.number());
        if (lines_.heldZeroByte()) events_.zeroByte(lines_.number());
        if (carriageReturns_ && memchr(lines_.text(), '\r', lines_.length()) != 0) {
            events_.carriageReturn(lines_.number(), lines_.text(), lines_.length());
        }
        return true;
    }

    bool isEntry() { return isWhiteSpace(lines_.text()[0]); }

    LineReader& lines_;
    ChangeEvents& events_;
    LineReader::Status status_;
    const bool carriageReturns_;

    Driver(const Driver&);  // drives one read in place: never copied
    Driver& operator=(const Driver&);
};

}  // namespace

bool readDataFile(LineReader& lines, ChangeEvents& events) { return Driver(lines, events).run(); }
