// W: applies a data file to the unit, one setting at a time, reporting each failure.
#include <stdio.h>

#include "bios_service.h"
#include "change_reader.h"
#include "datafile.h"
#include "platform.h"
#include "setting_binding.h"

namespace {

// What the readers ask for, done on the unit, with W's own line after each failed set.
class Applier : public ChangeEvents {
public:
    explicit Applier(BiosService& bios) : bios_(bios) {}

    void sectionStarted(size_t, const Section&, const char*, size_t) {}

    void setPassword(size_t, SectionId::Value section, const char* text) {
        if (section == SectionId::SetupPassword) {
            if (!bios_.setAdminPassword(text)) {
                platform::consolePrint(L"***ERROR*** Failed to set admin password (%S)!\n", text);
            }
        } else if (!bios_.setUserPassword(text)) {
            platform::consolePrint(L"***ERROR*** Failed to set user password (%S)!\n", text);
        }
    }

    void clearPassword(size_t, SectionId::Value section) {
        if (section == SectionId::SetupPassword) {
            if (!bios_.setAdminPassword("")) platform::consolePrint(L"***ERROR*** Failed to clear admin password!\n");
        } else if (!bios_.setUserPassword("")) {
            platform::consolePrint(L"***ERROR*** Failed to clear user password!\n");
        }
    }

    void setAssetTag(size_t, const char* text) {
        if (!bios_.setAssetTag(text)) platform::consolePrint(L"***ERROR*** Failed to set asset tag (%S)!\n", text);
    }

    void setChoice(size_t, const Section& section, uint32_t index) {
        const ChoiceBinding* binding = choiceBinding(section.id);
        if (!(bios_.*binding->set)(index)) platform::consolePrint(binding->changeFailure, static_cast<int>(index));
    }

    bool currentParallelMode(size_t, uint32_t& mode, bool&) { return bios_.getParallelMode(mode); }

    void setEcpDma(size_t, uint32_t dma, const uint32_t* parallelMode) {
        const uint32_t printerMode = parallelMode != 0 ? *parallelMode & 0xFF : 0;
        if (!bios_.setParallelMode(dma * 256 + printerMode)) {
            platform::consolePrint(L"***ERROR*** Failed to set ECP DMA (%d)!\n", static_cast<int>(dma));
        }
    }

    void setBootSequence(size_t, const BootSequence& sequence) {
        if (!bios_.setBootSequence(sequence)) platform::consolePrint(L"***ERROR*** Failed to set boot sequence!\n");
    }

    void setWake(size_t, WakeSetting value, bool) {
        if (!bios_.setWakeOnRtc(value)) {
            platform::consolePrint(L"***ERROR*** Failed to set Wake on RTC setting (%d)!\n",
                                   static_cast<int32_t>(value));
        }
    }

    void passedOver(size_t, PassReason::Value, const char*, size_t, bool) {}

private:
    BiosService& bios_;

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
        return 1;
    }
    BiosService bios;
    if (bios.available == 0) {
        platform::consolePrint(L"***ERROR*** The BIOS settings service is not available; nothing was changed!\n");
        bios.release();
        return 1;
    }
    Applier applier(bios);
    LineReader lines(input.get());
    const bool whole = readDataFile(lines, applier);
    lines.wipe();
    input.close();
    bios.release();
    if (!whole) {
        platform::consolePrint(L"***ERROR*** Failed to read input file (%s); the rest of it was not applied!\n", path);
        return 1;
    }
    return 0;
}
