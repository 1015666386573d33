// Fuzz target: W on any data file onto a simulated unit. What the unit receives must come from
// the file's own text, a documented default, or, for the ECP DMA, the unit's printer mode.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bios_service.h"
#include "data_file_oracle.h"
#include "datafile.h"
#include "firmware_interface.h"
#include "fuzz_support.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"

namespace {

// One call as it reached the unit, with the bytes it handed over and the unit's printer mode.
struct Received {
    uint8_t function;
    uint8_t subfunction;
    uint32_t ecx;
    std::string bytes;  // a password's or tag's text, boot codes up to FFh, the wake minute and hour
    bool bootEnded = false;
    uint16_t parallelModeBefore;
};

// Reads what the model will read, as the model reads it, and leaves the answer to the model.
bool observe(sim::Unit& unit, const RegisterBlock& in, std::vector<Received>& received) {
    Received r{static_cast<uint8_t>(in.ebx), static_cast<uint8_t>(in.ebx >> 8), in.ecx, {}, false,
               unit.state().settings.choice(kFnParallelMode)};
    if ((r.function == kFnAdminPassword || r.function == kFnUserPassword) && r.subfunction == kSubPasswordSet) {
        const uint32_t length = in.ecx & 0xFFFF;
        r.bytes.assign(reinterpret_cast<const char*>(unit.access(in.esi, length, "ESI")), length);
    } else if (r.function == kFnAssetTag && r.subfunction == kSubAssetTagWrite) {
        for (uint32_t i = 0;; ++i) {
            const uint8_t byte = *unit.access(in.esi + i, 1, "ESI");
            if (byte == 0) break;
            r.bytes += static_cast<char>(byte);
        }
    } else if (r.function == kFnBootSequence && r.subfunction == kSubWrite) {
        for (uint32_t i = 0; i < kBootSequenceSize && !r.bootEnded; ++i) {
            const uint8_t code = *unit.access(in.esi + i, 1, "ESI");
            r.bootEnded = code == kBootEnd;
            if (!r.bootEnded) r.bytes += static_cast<char>(code);
        }
    } else if (r.function == kFnWakeOnRtc && r.subfunction == kSubWrite) {
        r.bytes.assign(reinterpret_cast<const char*>(unit.access(in.esi, 2, "ESI")), 2);
    }
    received.push_back(r);
    return false;
}

class Verdict {
public:
    explicit Verdict(std::string_view file) : file_(file) {}

    void check(const std::vector<Received>& calls) {
        FUZZ_CHECK(!calls.empty() && calls[0].function == kFnSupport, "W did not start with the support check");
        for (size_t i = 1; i < calls.size(); ++i) {
            const bool afterModeRead = calls[i - 1].function == kFnParallelMode && calls[i - 1].subfunction == kSubRead;
            one(calls[i], afterModeRead);
        }
    }

private:
    void one(const Received& r, bool afterModeRead) {
        const std::string call = "function " + std::to_string(r.function) + " sub " + std::to_string(r.subfunction);
        switch (r.function) {
            case kFnAdminPassword:
            case kFnUserPassword: password(r); break;
            case kFnAssetTag:
                FUZZ_CHECK(r.subfunction == kSubAssetTagWrite && hasHeader(2), "W read the asset tag");
                FUZZ_CHECK(fuzz::isTakenText(r.bytes) && fuzz::standsAsEntry(file_, r.bytes),
                           "asset tag " + fuzz::shown(r.bytes) + " is no entry's text in the file");
                break;
            case kFnParallelMode: parallelMode(r, afterModeRead); break;
            case kFnBootSequence: boot(r); break;
            case kFnWakeOnRtc: wake(r); break;
            default: {
                const fuzz::ChoiceNames* names = fuzz::choiceByFunction(r.function);
                FUZZ_CHECK(names != nullptr && r.subfunction == kSubWrite && fuzz::contains(file_, names->header),
                           "W made " + call + " without its section");
                FUZZ_CHECK(r.ecx < names->names.size() && fuzz::standsMarked(file_, names->names[r.ecx]),
                           call + " with ECX " + std::to_string(r.ecx) + ", no marked name of the file");
            }
        }
    }

    bool hasHeader(size_t index) const { return fuzz::contains(file_, fuzz::kHeaders[index]); }

    void password(const Received& r) {
        FUZZ_CHECK(hasHeader(r.function == kFnAdminPassword ? 0 : 1), "a password set without its section");
        if (r.subfunction == kSubPasswordClear) {
            FUZZ_CHECK(r.ecx == 0, "a cleared password with a length");
            return;
        }
        FUZZ_CHECK(r.subfunction == kSubPasswordSet, "W read a password's state");
        FUZZ_CHECK(fuzz::isTakenText(r.bytes) && fuzz::standsAsEntry(file_, r.bytes),
                   "password " + fuzz::shown(r.bytes) + " is no entry's text in the file");
    }

    // "Printer Mode" sets a named mode with DMA 0; "ECP Mode Use DMA" sets a marked DMA channel
    // with the printer mode the unit reported just before, only when that mode is an ECP one.
    void parallelMode(const Received& r, bool afterModeRead) {
        if (r.subfunction == kSubRead) return;
        FUZZ_CHECK(r.ecx <= 0xFFFF, "parallel mode with bits above CX");
        const uint32_t printer = r.ecx & 0xFF;
        const uint32_t dma = r.ecx >> 8;
        const std::vector<std::string_view>& modes = fuzz::choiceByFunction(kFnParallelMode)->names;
        const bool named = dma == 0 && printer < modes.size() && hasHeader(5) && fuzz::standsMarked(file_, modes[printer]);
        const uint32_t unitPrinter = r.parallelModeBefore & 0xFF;
        const bool ecpDma = afterModeRead && hasHeader(6) && unitPrinter >= 2 && printer == unitPrinter &&
                            dma < fuzz::kEcpDmaNames.size() && fuzz::standsMarked(file_, fuzz::kEcpDmaNames[dma]);
        FUZZ_CHECK(named || ecpDma, "parallel mode " + std::to_string(r.ecx) + " over the unit's " +
                                        std::to_string(r.parallelModeBefore) + " comes from nowhere");
    }

    void boot(const Received& r) {
        FUZZ_CHECK(r.subfunction == kSubWrite && hasHeader(8), "W read the boot order, or set it without its section");
        FUZZ_CHECK(r.bootEnded && r.bytes.size() < kBootSequenceSize, "a boot sequence without FFh in 16 bytes");
        for (char c : r.bytes) {
            const auto code = static_cast<uint8_t>(c);
            FUZZ_CHECK(code < fuzz::kBootNames.size() && fuzz::firstBootCode(fuzz::kBootNames[code]) == code &&
                           fuzz::standsAsEntry(file_, fuzz::kBootNames[code]),
                       "boot code " + std::to_string(code) + " is no name of the file");
        }
    }

    void wake(const Received& r) {
        FUZZ_CHECK(r.subfunction == kSubWrite && hasHeader(12), "W read the wake setting, or set it without its section");
        FUZZ_CHECK(r.ecx <= 0x7F, "wake days " + std::to_string(r.ecx) + " beyond the seven days");
        for (size_t day = 0; day < fuzz::kDayNames.size(); ++day) {
            if ((r.ecx >> day & 1) != 0) {
                FUZZ_CHECK(fuzz::standsMarked(file_, fuzz::kDayNames[day]), "day " + std::to_string(day) + " not marked");
            }
        }
        const std::pair<uint8_t, uint8_t> time{static_cast<uint8_t>(r.bytes[1]), static_cast<uint8_t>(r.bytes[0])};
        const bool noon = time == std::pair<uint8_t, uint8_t>{12, 0};
        FUZZ_CHECK(noon || (time.first | time.second) != 0, "wake at 0:00, which W sets as 12:00");
        FUZZ_CHECK(noon || fuzz::timesIn(file_).count(time) == 1,
                   "wake time " + std::to_string(time.first) + ":" + std::to_string(time.second) + " not in the file");
    }

    std::string_view file_;
};

std::string writeInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::scratchDirectory() + "/in.txt";
    FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0,
               "cannot write " + path);
    return path;
}

// The unit's printer mode before W runs, one of four by the file's size, so that an ECP DMA line
// meets every kind of mode: Output-Only, EPP, ECP and ECP/EPP, each with a DMA byte of its own.
std::string unitState(size_t size) {
    const char* modes[] = {"0x0000", "0x0101", "0x0102", "0x0103"};
    return std::string("parallel_mode = ") + modes[size % 4];
}

// The version line, then only W's refusals of damaged password and tag lines, each for a
// section the file holds (the units' sets never fail here), and the refusal of a file that names
// no section, which sets nothing.
void checkConsole(const std::string& text, std::string_view file, const std::string& path, bool noSection) {
    const std::string version = "Zentos Spec Version 1.02\n\n";
    FUZZ_CHECK(text.compare(0, version.size(), version) == 0, "W printed no version line first: " + text);
    const std::pair<const char*, size_t> refusals[] = {{"***ERROR*** Invalid admin password text!\n", 0},
                                                       {"***ERROR*** Invalid user password text!\n", 1},
                                                       {"***ERROR*** Invalid asset tag text!\n", 2}};
    const std::string none = "***ERROR*** No setting section in the input file (" + path + ")!\n";
    const size_t end = noSection ? text.size() - std::min(text.size(), none.size()) : text.size();
    FUZZ_CHECK(!noSection || text.compare(end, none.size(), none) == 0, "W ended with status 1 but not for no section: " + text);
    for (size_t at = version.size(); at < end;) {
        bool known = false;
        for (const auto& [line, header] : refusals) {
            if (text.compare(at, std::strlen(line), line) != 0) continue;
            FUZZ_CHECK(fuzz::contains(file, fuzz::kHeaders[header]), std::string("a refusal without its section: ") + line);
            at += std::strlen(line);
            known = true;
        }
        FUZZ_CHECK(known, "W printed more than the version and its refusals: " + text);
    }
}

// A file converted on its way: refused before the unit is touched, with its one line.
void checkConverted(fuzz::FileStartVerdict::Kind kind, int status, const std::string& console, const std::string& path,
                    size_t calls) {
    const std::string expected = kind == fuzz::FileStartVerdict::Kind::Utf16
                                     ? "***ERROR*** The input file is UTF-16 text; save it as 8-bit text (" + path + ")!\n"
                                     : "***ERROR*** The input file's lines end in CR alone; save it with CR LF or LF "
                                       "line ends (" + path + ")!\n";
    FUZZ_CHECK(status == 1 && console == expected, "W did not refuse a converted file: " + console);
    FUZZ_CHECK(calls == 0, "W touched the unit for a converted file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = writeInput(data, size);
    const std::wstring widePath(path.begin(), path.end());
    sim::ScopedUnit unit(unitState(size));
    std::vector<Received> received;
    unit.unit().setResponder([&](sim::Unit& u, const RegisterBlock& in, RegisterBlock&) {
        return observe(u, in, received);
    });
    host::ConsoleCapture console;
    const int status = changeSettings(widePath.c_str());
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const fuzz::FileStartVerdict start = fuzz::fileStart(bytes);
    FUZZ_CHECK(!unit.unit().regionsHeld(), "W kept a region reserved");
    FUZZ_CHECK(received.size() == unit.unit().calls().size(), "a call passed the observer by");
    if (start.kind != fuzz::FileStartVerdict::Kind::Text) {
        checkConverted(start.kind, status, console.text(), path, received.size());
        return 0;
    }
    // A file that names no section sets nothing; one whose first line is a header names one.
    const bool noSection = status == 1;
    bool firstLineHeader = false;
    for (const std::string_view header : fuzz::kHeaders) firstLineHeader |= start.text.substr(0, header.size()) == header;
    FUZZ_CHECK(!noSection || (received.size() == 1 && !firstLineHeader), "W refused a file that names a section");
    checkConsole(console.text(), bytes, path, noSection);
    Verdict(bytes).check(received);
    return 0;
}
