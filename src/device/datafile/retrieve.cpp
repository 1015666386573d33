// R: reads every setting from the firmware and writes the data file, section by section.
#include <stdio.h>
#include <string.h>

#include "bios_service.h"
#include "datafile.h"
#include "exit_status.h"
#include "option_tables.h"
#include "platform.h"
#include "text_classes.h"
#include "wake_time.h"

namespace {

// Where the data file text goes: a named file, or the console stream, in order with messages.
class Output {
public:
    explicit Output(FILE* file) : file_(file) {}
    ~Output() { close(); }

    void write(const char* text) {
        const size_t length = strlen(text);
        if (file_ == 0) {
            platform::consoleWrite(text, length);
        } else {
            (void)fwrite(text, 1, length, file_);  // a failure stays in the stream's error state
        }
    }
    void header(const char* text) {
        write(text);
        write("\n");
    }
    void entry(const char* text, bool marked = false) {
        write(marked ? "\t*" : "\t");
        write(text);
        write("\n");
    }

    // Closes a named file; false when anything written to it may not have reached it.
    bool close() {
        if (file_ == 0) return true;
        const bool written = ferror(file_) == 0;
        const bool closed = fclose(file_) == 0;
        file_ = 0;
        return written && closed;
    }

private:
    FILE* file_;

    Output(const Output&);  // one owner of the file: never copied
    Output& operator=(const Output&);
};

const uint32_t kUnread = 0xFFFFFFFF;  // no option has this index, so nothing is marked

void writeChoices(Output& out, const OptionTable& options, uint32_t value) {
    for (uint32_t i = 0; i < options.count; ++i) out.entry(options[i], i == value);
}

// W takes no tag from a line that holds a control byte (below 20h other than the tab, or 7Fh):
// a line end would make the tag two lines, a Ctrl-Z (1Ah) would end W's input on the device.
// Such a tag is left out, like a cut one, so that what R writes W accepts.
// cppcheck-suppress constParameter ; the state query is a call into the unit, not a const one
void writePassword(Output& out, BiosService& bios, const Section& section) {
    uint32_t present = 0;
    const bool read = bios.getPasswordState(section.function, present);
    // cppcheck-suppress knownConditionTrueFalse ; the query above sets `present`
    if (read && present != 0) out.entry("");
}

void writeAssetTag(Output& out, BiosService& bios) {
    char tag[64];
    uint32_t capacity = sizeof tag;
    if (bios.getAssetTag(tag, capacity) && !holdsControlByte(tag)) out.entry(tag);
}

// A boot order or wake setting that could not be read is left out, header and all: written
// without names or marks, W would apply it as an empty boot order or a wake at 12:00.
void writeBootList(Output& out, BiosService& bios, const Section& section) {
    BootSequence boot = BootSequence();
    boot.fill(kBootEnd);
    if (!bios.getBootSequence(boot)) return;
    out.header(section.header);
    // All 16 codes when the firmware stored no end mark: W keeps the first 15.
    for (size_t i = 0; i < kBootSequenceSize; ++i) {
        const uint8_t code = boot[i];
        if (code == kBootEnd) break;
        out.entry(kBootDeviceOptions.has(code) ? kBootDeviceOptions[code] : kUnknownBootDevice);
    }
}

void writeWake(Output& out, BiosService& bios, const Section& section) {
    WakeSetting wake = 0;
    if (!bios.getWakeOnRtc(wake)) return;
    out.header(section.header);
    for (uint32_t day = 0; day < kDayOptions.count; ++day) {
        out.entry(kDayOptions[day], ((wakeDays(wake) >> day) & 1) != 0);
    }
    if (wakeHour(wake) != 0xFF && wakeMinute(wake) != 0xFF) {
        char time[kWakeTimeTextSize];
        formatWakeTime(time, wakeHour(wake), wakeMinute(wake));
        out.entry(time);
    }
}

// The section's header, then its entry lines from what the firmware reports now.
// `parallelMode` carries the word read for "Printer Mode" to "ECP Mode Use DMA", which follows.
void writeSection(Output& out, BiosService& bios, const Section& section, uint32_t& parallelMode) {
    if (section.kind == EntryKind::BootList) return writeBootList(out, bios, section);
    if (section.kind == EntryKind::Wake) return writeWake(out, bios, section);
    if (section.omittedWhenUnread) {
        uint32_t value = kUnread;
        if (!bios.getChoice(section.function, value)) return;
        out.header(section.header);
        writeChoices(out, *section.options, value);
        return;
    }
    out.header(section.header);
    switch (section.kind) {
        case EntryKind::Password: writePassword(out, bios, section); break;
        case EntryKind::AssetTag: writeAssetTag(out, bios); break;
        case EntryKind::SingleChoice: {
            uint32_t value = kUnread;
            bios.getChoice(section.function, value);
            writeChoices(out, *section.options, value);
            break;
        }
        case EntryKind::PrinterMode: {
            parallelMode = kUnread;
            bios.getChoice(section.function, parallelMode);
            writeChoices(out, *section.options, parallelMode & 0xFF);
            break;
        }
        case EntryKind::EcpDma: {
            // The DMA channel only applies to the ECP modes.
            const uint32_t dma = (parallelMode & 0xFF) >= kFirstEcpPrinterMode ? (parallelMode >> 8) & 0xFF : kUnread;
            writeChoices(out, *section.options, dma);
            break;
        }
        case EntryKind::BootList:
        case EntryKind::Wake: break;  // written above, once read
    }
}

}  // namespace

// Writes the data file to a new file beside the target, which takes the target's place only
// when it is whole: an existing file is never left empty or cut short.
int retrieveSettings(const wchar_t* path) {
    FILE* file = 0;
    if (path != 0) {
        file = platform::openReplacement(path);
        if (file == 0) {
            platform::consolePrint(L"***ERROR*** Failed to open output file (%s)!\n", path);
            platform::explainFileFailure();
            return kExitFailure;
        }
    }
    Output out(file);
    BiosService bios;
    if (bios.available == 0) {
        platform::consolePrint(L"***ERROR*** The BIOS settings service is not available; nothing was retrieved!\n");
        out.close();
        if (path != 0) platform::discardReplacement(path);
        bios.release();
        return kExitFailure;
    }
    uint32_t parallelMode = kUnread;
    for (size_t i = 0; i < kSectionCount; ++i) writeSection(out, bios, kSections[i], parallelMode);
    const bool written = out.close();
    // Discarded at once, while the runtime still knows why the writing failed.
    if (path != 0 && !written) platform::discardReplacement(path);
    bios.release();
    if (path == 0) return platform::consoleFlushed() ? kExitSuccess : kExitFailure;
    if (!written || !platform::commitReplacement(path)) {
        platform::consolePrint(L"***ERROR*** Failed to write output file (%s)!\n", path);
        platform::explainFileFailure();
        return kExitFailure;
    }
    return kExitSuccess;
}
