// W: applies a data file to the unit, one setting at a time, reporting each failure.
#include <stdio.h>

#include "bios_service.h"
#include "change_reader.h"
#include "datafile.h"
#include "exit_status.h"
#include "platform.h"

namespace {

// What the readers ask for, done on the unit, with W's own line after each failed set; each
// section's row names its firmware function and its line.
// Never deleted through the events: its destructor needs no virtual, which on the device would
// bring the runtime's operator delete into the image.
class Applier : public ChangeEvents {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    explicit Applier(BiosService& bios) : bios_(bios), namedSection_(false) {}

    // Whether a header line named a section of the data file.
    bool namedSection() const { return namedSection_; }

    void sectionStarted(size_t, const Section&, const char*, size_t) { namedSection_ = true; }

    void setPassword(size_t, const Section& section, const char* text) {
        if (!bios_.setPassword(section.function, text)) platform::consolePrint(section.setFailure, text);
    }

    void clearPassword(size_t, const Section& section) {
        if (!bios_.setPassword(section.function, "")) platform::consolePrint(section.clearFailure);
    }

    void setAssetTag(size_t, const Section& section, const char* text) {
        if (!bios_.setAssetTag(text)) platform::consolePrint(section.setFailure, text);
    }

    void setChoice(size_t, const Section& section, uint32_t index) {
        if (!bios_.setChoice(section.function, index)) {
            platform::consolePrint(section.setFailure, static_cast<int>(index));
        }
    }

    bool currentParallelMode(size_t, const Section& section, uint32_t& mode, bool&) {
        return bios_.getChoice(section.function, mode);
    }

    void setEcpDma(size_t, const Section& section, uint32_t dma, const uint32_t* parallelMode) {
        const uint32_t printerMode = parallelMode != 0 ? *parallelMode & 0xFF : 0;
        if (!bios_.setChoice(section.function, dma * 256 + printerMode)) {
            platform::consolePrint(section.setFailure, static_cast<int>(dma));
        }
    }

    void setBootSequence(size_t, const Section& section, const BootSequence& sequence) {
        if (!bios_.setBootSequence(sequence)) platform::consolePrint(section.setFailure);
    }

    void setWake(size_t, const Section& section, WakeSetting value, bool) {
        if (!bios_.setWakeOnRtc(value)) platform::consolePrint(section.setFailure, static_cast<int32_t>(value));
    }

    void passedOver(size_t, PassReason::Value, const char*, size_t, bool) {}

    void refusedText(size_t, const Section& section, LineDamage::Value) { platform::consolePrint(section.invalidText); }

private:
    BiosService& bios_;
    bool namedSection_;

    Applier(const Applier&);  // applies to one unit: never copied
    Applier& operator=(const Applier&);
};

class InputFile {
public:
    explicit InputFile(const wchar_t* path) : file_(platform::openFile(path, "rt")) {}
    ~InputFile() { close(); }
    FILE* get() const { return file_; }
    void close() {
        if (file_ != 0) (void)fclose(file_);  // read only: nothing can be lost
        file_ = 0;
    }

private:
    FILE* file_;

    InputFile(const InputFile&);  // one owner of the file: never copied
    InputFile& operator=(const InputFile&);
};

}  // namespace

int changeSettings(const wchar_t* path) {
    InputFile input(path);
    if (input.get() == 0) {
        platform::consolePrint(L"***ERROR*** Failed to open input file (%s)!\n", path);
        platform::explainFileFailure();
        return kExitFailure;
    }
    // A file converted on its way is refused before the unit is touched: read as 8-bit lines,
    // it would set whatever its pieces happen to name. The piece read ahead may hold a password.
    LineReader lines(input.get());
    const FileStart::Value start = lines.start();
    if (start != FileStart::Text) {
        lines.wipe();
        platform::consolePrint(start == FileStart::Utf16
                                   ? L"***ERROR*** The input file is UTF-16 text; save it as 8-bit text (%s)!\n"
                                   : L"***ERROR*** The input file's lines end in CR alone; save it with CR LF or LF "
                                     L"line ends (%s)!\n",
                               path);
        return kExitFailure;
    }
    BiosService bios;
    if (bios.available == 0) {
        lines.wipe();
        platform::consolePrint(L"***ERROR*** The BIOS settings service is not available; nothing was changed!\n");
        bios.release();
        return kExitFailure;
    }
    Applier applier(bios);
    const bool whole = readDataFile(lines, applier);
    lines.wipe();
    input.close();
    bios.release();
    if (!whole) {
        platform::consolePrint(L"***ERROR*** Failed to read input file (%s); the rest of it was not applied!\n", path);
        return kExitFailure;
    }
    // A file that names no section sets nothing, which is never what it was given for.
    if (!applier.namedSection()) {
        platform::consolePrint(L"***ERROR*** No setting section in the input file (%s)!\n", path);
        return kExitFailure;
    }
    return kExitSuccess;
}
