// R: reads every setting from the firmware and writes the data file, section by section.
#include <cstdio>
#include <string>
#include <string_view>

#include "bios_service.h"
#include "datafile.h"
#include "option_tables.h"
#include "platform.h"
#include "setting_binding.h"

namespace {

// Where the data file text goes: a named file, or the console stream, in order with messages.
class Output {
public:
    explicit Output(FILE* file) : file_(file) {}
    ~Output() { close(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void write(std::string_view text) {
        if (file_ == nullptr) {
            platform::consoleWrite(text.data(), text.size());
        } else {
            (void)std::fwrite(text.data(), 1, text.size(), file_);  // a failure stays in the stream's error state
        }
    }
    void header(std::string_view text) {
        write(text);
        write("\n");
    }
    void entry(std::string_view text, bool marked = false) {
        write(marked ? "\t*" : "\t");
        write(text);
        write("\n");
    }

    // Closes a named file; false when anything written to it may not have reached it.
    bool close() {
        if (file_ == nullptr) return true;
        const bool written = std::ferror(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return written && closed;
    }

private:
    FILE* file_;
};

constexpr uint32_t kUnread = 0xFFFFFFFF;  // no option has this index, so nothing is marked

void writeChoices(Output& out, const OptionTable& options, uint32_t value) {
    for (uint32_t i = 0; i < options.count; ++i) out.entry(options[i], i == value);
}

// A tag that holds a line end would become more than one line, its second line read back by W
// as a header or an entry of another section: such a tag is left out, like a cut one.
bool fitsOnOneLine(std::string_view tag) { return tag.find_first_of("\r\n") == std::string_view::npos; }

void writePassword(Output& out, BiosService& bios, SectionId id) {
    uint32_t present = 0;
    const bool read =
        id == SectionId::SetupPassword ? bios.getAdminPasswordState(present) : bios.getUserPasswordState(present);
    if (read && present != 0) out.entry("");
}

void writeAssetTag(Output& out, BiosService& bios) {
    char tag[64];
    uint32_t capacity = sizeof tag;
    if (bios.getAssetTag(tag, capacity) && fitsOnOneLine(tag)) out.entry(tag);
}

void writeBootList(Output& out, BiosService& bios) {
    BootSequence boot;
    boot.fill(kBootEnd);
    if (!bios.getBootSequence(boot)) return;
    // All 16 codes when the firmware stored no end mark: W keeps the first 15.
    for (uint8_t code : boot) {
        if (code == kBootEnd) break;
        out.entry(kBootDeviceOptions.has(code) ? kBootDeviceOptions[code] : kUnknownBootDevice);
    }
}

void writeWake(Output& out, BiosService& bios) {
    WakeSetting wake = 0;
    bios.getWakeOnRtc(wake);  // a failed read leaves no days and the time 0:00
    for (uint32_t day = 0; day < kDayOptions.count; ++day) out.entry(kDayOptions[day], (wakeDays(wake) >> day) & 1);
    if (wakeHour(wake) != 0xFF && wakeMinute(wake) != 0xFF) {
        char time[16];
        (void)std::snprintf(time, sizeof time, "%u:%02u", static_cast<unsigned>(wakeHour(wake)),
                            static_cast<unsigned>(wakeMinute(wake)));
        out.entry(time);
    }
}

// The section's header, then its entry lines from what the firmware reports now.
// `parallelMode` carries the word read for "Printer Mode" to "ECP Mode Use DMA".
void writeSection(Output& out, BiosService& bios, const Section& section, uint32_t& parallelMode) {
    if (section.omittedWhenUnread) {
        uint32_t value = kUnread;
        if (!(bios.*choiceBinding(section.id)->get)(value)) return;
        out.header(section.header);
        writeChoices(out, *section.options, value);
        return;
    }
    out.header(section.header);
    switch (section.kind) {
        case EntryKind::Password: writePassword(out, bios, section.id); break;
        case EntryKind::AssetTag: writeAssetTag(out, bios); break;
        case EntryKind::SingleChoice: {
            uint32_t value = kUnread;
            (bios.*choiceBinding(section.id)->get)(value);
            if (section.id == SectionId::PrinterMode) {
                parallelMode = value;
                value &= 0xFF;
            }
            writeChoices(out, *section.options, value);
            break;
        }
        case EntryKind::EcpDma: {
            // The DMA channel only applies to the ECP modes.
            const uint32_t dma = (parallelMode & 0xFF) >= kFirstEcpPrinterMode ? (parallelMode >> 8) & 0xFF : kUnread;
            writeChoices(out, *section.options, dma);
            break;
        }
        case EntryKind::BootList: writeBootList(out, bios); break;
        case EntryKind::Wake: writeWake(out, bios); break;
    }
}

}  // namespace

int retrieveSettings(const wchar_t* path) {
    FILE* file = nullptr;
    if (path != nullptr) {
        file = platform::openFile(path, "wt");
        if (file == nullptr) {
            platform::consolePrint(L"***ERROR*** Failed to open output file (%s)!\n", path);
            return 1;
        }
    }
    Output out(file);
    BiosService bios;
    if (bios.available == 0) {
        platform::consolePrint(L"***ERROR*** The BIOS settings service is not available; nothing was retrieved!\n");
        out.close();
        bios.release();
        return 1;
    }
    uint32_t parallelMode = kUnread;
    for (const Section& section : kSections) writeSection(out, bios, section, parallelMode);
    const bool written = out.close();
    bios.release();
    if (!written) {
        platform::consolePrint(L"***ERROR*** Failed to write output file (%s)!\n", path);
        return 1;
    }
    return 0;
}
