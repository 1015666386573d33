// Fuzz target: R against a firmware that answers anything: random registers, flags and buffer
// contents. R reads every setting once and changes none, prints the message of each failed read,
// and its data file, read back by W's readers, asks for exactly the settings that R was given,
// less what the format cannot carry.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bios_service.h"
#include "change_reader.h"
#include "data_file_oracle.h"
#include "datafile.h"
#include "fuzz_support.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"

namespace {

// One answer of the firmware, with what it left in the program's buffers.
struct Answer {
    uint8_t function;
    uint8_t subfunction;
    bool carry;
    uint32_t ebx;
    uint32_t ecx;
    uint32_t edx;
    std::optional<std::string> tag;  // the zero-ended text in the scratch buffer; none without a zero
    std::array<uint8_t, kBootSequenceSize> boot{};
    uint8_t wakeMinute = 0;
    uint8_t wakeHour = 0;
};

// Answers each call from the input's bytes, in order; an exhausted input answers zeros.
class Firmware {
public:
    Firmware(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool answer(sim::Unit& unit, const RegisterBlock& in, RegisterBlock& out) {
        Answer a{static_cast<uint8_t>(in.ebx), static_cast<uint8_t>(in.ebx >> 8), false, 0, 0, 0, {}, {}, 0, 0};
        const uint8_t flags = byte();
        a.carry = (flags & 1) != 0;
        const bool store = (flags & 2) != 0;
        a.ecx = word();
        if (a.function == kFnSupport) support(a, flags);
        if (a.function == kFnAssetTag) assetTag(unit.access(in.esi, kAssetTagScratchSize, "ESI"), store, a);
        if (a.function == kFnBootSequence) {
            uint8_t* buffer = unit.access(in.esi, kBootSequenceSize, "ESI");
            for (size_t i = 0; store && i < kBootSequenceSize; ++i) buffer[i] = byte();
            std::memcpy(a.boot.data(), buffer, kBootSequenceSize);
        }
        if (a.function == kFnWakeOnRtc) {
            uint8_t* time = unit.access(in.esi, 2, "ESI");
            if (store) {
                time[0] = byte();
                time[1] = byte();
            }
            a.wakeMinute = time[0];
            a.wakeHour = time[1];
        }
        out.eax = ~a.ecx;
        out.ebx = a.ebx;
        out.ecx = a.ecx;
        out.edx = a.edx;
        out.esi = a.ecx ^ 0x5A5A5A5A;
        out.edi = a.ecx * 3;
        out.eflags = static_cast<uint32_t>(flags & 0xFE) << 4 | (a.carry ? kCarryFlag : 0);
        answers.push_back(a);
        return true;
    }

    std::vector<Answer> answers;  // in call order

private:
    uint8_t byte() { return next_ < size_ ? data_[next_++] : 0; }
    uint32_t word() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(byte()) << (8 * i);
        return value;
    }

    void support(Answer& a, uint8_t flags) {
        a.ebx = word();
        a.edx = word();
        if ((flags & 4) != 0) {  // the signature, so that the right answer is near at hand
            a.ecx = (a.ecx & 0xFFFF0000) | 0x4121;
            a.edx = (a.edx & 0xFFFF0000) | 0x5530;
        }
    }

    // A tag of up to 255 bytes, ended by a zero or repeated through the whole 64 KB buffer.
    void assetTag(uint8_t* buffer, bool ended, Answer& a) {
        std::string tag(byte(), '\0');
        for (char& c : tag) c = static_cast<char>(byte());
        if (ended) {
            std::memcpy(buffer, tag.data(), tag.size());
            buffer[tag.size()] = 0;
        } else {
            if (tag.empty()) tag = "Q";
            size_t filled = std::min<size_t>(tag.size(), kAssetTagScratchSize);
            std::memcpy(buffer, tag.data(), filled);
            while (filled < kAssetTagScratchSize) {  // doubling copies: a byte loop here would cost most of a run
                const size_t more = std::min(filled, kAssetTagScratchSize - filled);
                std::memcpy(buffer + filled, buffer, more);
                filled += more;
            }
        }
        const void* end = std::memchr(buffer, 0, kAssetTagScratchSize);
        if (end != nullptr) a.tag.emplace(reinterpret_cast<const char*>(buffer), static_cast<const uint8_t*>(end) - buffer);
    }

    const uint8_t* data_;
    size_t size_;
    size_t next_ = 0;
};

// What W's readers ask for, one line per request; unmarked lines and the like are no requests.
class Requests final : public ChangeEvents {
public:
    explicit Requests(std::optional<uint32_t> unitMode) : unitMode_(unitMode) {}
    std::vector<std::string> asked;

    void sectionStarted(size_t, const Section&, const char*, size_t) override {}
    void setPassword(size_t, const Section&, const char* text) override { asked.push_back("password " + std::string(text)); }
    void clearPassword(size_t, const Section& section) override {
        asked.push_back(section.id == SectionId::SetupPassword ? "clear admin" : "clear user");
    }
    void setAssetTag(size_t, const Section&, const char* text) override { asked.push_back("tag " + fuzz::shown(text)); }
    void setChoice(size_t, const Section& section, uint32_t index) override {
        asked.push_back("choice " + std::string(section.header) + " " + std::to_string(index));
        if (section.kind == EntryKind::PrinterMode) unitMode_ = index;  // as the unit would hold it now
    }
    // The unit W writes to is the one R read: its mode as R read it, or as "Printer Mode" set it.
    bool currentParallelMode(size_t, const Section&, uint32_t& mode, bool&) override {
        if (unitMode_) mode = *unitMode_;
        return unitMode_.has_value();
    }
    void setEcpDma(size_t, const Section&, uint32_t dma, const uint32_t* mode) override {
        asked.push_back("dma " + std::to_string(dma) + " mode " + std::to_string(mode != nullptr ? *mode : 0xFFFFFFFF));
    }
    void setBootSequence(size_t, const Section&, const BootSequence& sequence) override {
        std::string text = "boot";
        for (size_t i = 0; i < sequence.size() && sequence[i] != kBootEnd; ++i) text += " " + std::to_string(sequence[i]);
        asked.push_back(text);
    }
    void setWake(size_t, const Section&, WakeSetting value, bool) override { asked.push_back("wake " + std::to_string(value)); }
    void passedOver(size_t, PassReason::Value, const char*, size_t, bool) override {}
    void refusedText(size_t, const Section& section, LineDamage::Value) override {
        asked.push_back("refused " + std::string(section.header));
    }

private:
    std::optional<uint32_t> unitMode_;
};

constexpr uint8_t kReadOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15};

uint8_t readSubfunction(uint8_t function) {
    if (function == kFnAdminPassword || function == kFnUserPassword) return kSubPasswordState;
    return function == kFnAssetTag ? kSubAssetTagRead : kSubRead;
}

const char* failedReadMessage(uint8_t function) {
    switch (function) {
        case kFnAssetTag: return "***ERROR*** Failed to get asset tag!";
        case kFnSerialPort: return "***ERROR*** Failed to get serial port setting!";
        case kFnParallelPort: return "***ERROR*** Failed to get parallel port setting!";
        case kFnParallelMode: return "***ERROR*** Failed to get parallel port mode!";
        case kFnEppType: return "***ERROR*** Failed to get parallel port EPP type!";
        case kFnBootSequence: return "***ERROR*** Failed to get boot sequence!";
        case kFnPs2Port: return "***ERROR*** Failed to get PS2 port setting!";
        case kFnPowerOnAfterFail: return "***ERROR*** Failed to get PWRON_After_PWRFail setting!";
        case kFnUsbController: return "***ERROR*** Failed to get USB controller setting!";
        case kFnWakeOnRtc: return "***ERROR*** Failed to get Wake on RTC setting!";
        case kFnNumlock: return "***ERROR*** Failed to get Numlock setting!";
        default: return nullptr;  // the password states and S3 fail silently
    }
}

std::vector<std::string> expectedMessages(const std::vector<Answer>& answers) {
    std::vector<std::string> messages;
    const Answer& support = answers[0];
    if (!support.carry && (support.ecx & 0xFFFF) == 0x4121 && (support.edx & 0xFFFF) == 0x5530) {
        char version[48];
        std::snprintf(version, sizeof version, "Zentos Spec Version %X.%02X", support.ebx >> 8 & 0xFF, support.ebx & 0xFF);
        messages.emplace_back(version);
    } else {
        messages.emplace_back("***ERROR*** Zentos not supported!");
    }
    for (const Answer& a : answers) {
        if (a.carry && failedReadMessage(a.function) != nullptr) messages.emplace_back(failedReadMessage(a.function));
    }
    return messages;
}

// A single choice carries its value when the read succeeded and the value has a name.
void choiceRequest(std::vector<std::string>& out, const Answer& a, uint32_t value) {
    const fuzz::ChoiceNames* names = fuzz::choiceByFunction(a.function);
    if (!a.carry && value < names->names.size()) out.push_back("choice " + std::string(names->header) + " " + std::to_string(value));
}

void tagRequest(std::vector<std::string>& out, const Answer& a) {
    // R writes a tag that fits its 64 bytes and holds no control byte (below 20h other than the
    // tab, or 7Fh), which W would refuse; W skips the blanks and tabs that lead it.
    if (a.carry || !a.tag || a.tag->size() >= 64) return;
    if (std::any_of(a.tag->begin(), a.tag->end(), fuzz::isControlByte)) return;
    const size_t lead = a.tag->find_first_not_of(" \t");
    if (lead != std::string::npos) out.push_back("tag " + fuzz::shown(a.tag->substr(lead)));
}

void parallelRequests(std::vector<std::string>& out, const Answer& a) {
    const uint32_t mode = a.ecx & 0xFFFF;
    const uint32_t printer = mode & 0xFF;
    const uint32_t dma = mode >> 8;
    choiceRequest(out, a, printer);
    // DMA is marked for the ECP modes; W then finds the unit at the mode "Printer Mode" set.
    if (a.carry || printer < 2 || dma >= fuzz::kEcpDmaNames.size()) return;
    const uint32_t unitMode = printer < 4 ? printer : mode;
    out.push_back("dma " + std::to_string(dma) + " mode " + std::to_string(unitMode));
}

// Codes 7 to 14 and those beyond the table all read back as "Unknown", 7; W keeps 15 codes. A
// boot order R could not read is left out of its file, so it asks for nothing.
void bootRequest(std::vector<std::string>& out, const Answer& a) {
    if (a.carry) return;
    std::string text = "boot";
    for (size_t i = 0, kept = 0; i < a.boot.size() && a.boot[i] != kBootEnd && kept < 15; ++i, ++kept) {
        const uint8_t code = a.boot[i] <= 6 || a.boot[i] == 15 ? a.boot[i] : 7;
        text += " " + std::to_string(code);
    }
    out.push_back(text);
}

// The days R marks, and its time line unless a byte is FFh; no time, or 0:00, reads as 12:00.
// A wake setting R could not read is left out of its file, so it asks for nothing.
void wakeRequest(std::vector<std::string>& out, const Answer& a) {
    if (a.carry) return;
    const uint8_t days = static_cast<uint8_t>(a.ecx & 0x7F);
    const bool timeLine = a.wakeHour != 0xFF && a.wakeMinute != 0xFF;
    uint8_t hour = timeLine ? a.wakeHour : 0;
    const uint8_t minute = timeLine ? a.wakeMinute : 0;
    if (hour == 0 && minute == 0) hour = 12;
    out.push_back("wake " + std::to_string(packWake(days, hour, minute)));
}

std::vector<std::string> expectedRequests(const std::vector<Answer>& answers) {
    std::vector<std::string> out;
    for (const Answer& a : answers) {
        switch (a.function) {
            case kFnSupport: break;
            case kFnAdminPassword: if (a.carry) out.emplace_back("clear admin"); break;
            case kFnUserPassword: if (a.carry) out.emplace_back("clear user"); break;
            case kFnAssetTag: tagRequest(out, a); break;
            case kFnParallelMode: parallelRequests(out, a); break;
            case kFnBootSequence: bootRequest(out, a); break;
            case kFnWakeOnRtc: wakeRequest(out, a); break;
            default: choiceRequest(out, a, a.ecx & 0xFF); break;
        }
    }
    return out;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The console's lines split into the program's messages and R's data file.
void splitConsole(const std::string& console, std::vector<std::string>& messages, std::string& file) {
    size_t start = 0;
    while (start < console.size()) {
        size_t end = console.find('\n', start);
        end = end == std::string::npos ? console.size() : end + 1;
        const std::string line = console.substr(start, end - start);
        if (line.rfind("***ERROR*** ", 0) == 0 || line.rfind("Zentos Spec Version ", 0) == 0) {
            messages.push_back(line.substr(0, line.size() - 1));
        } else {
            file += line;
        }
        start = end;
    }
}

std::vector<std::string> readBack(const std::string& file, std::optional<uint32_t> unitMode) {
    Requests requests(unitMode);
    if (file.empty()) return requests.asked;
    std::string bytes = file;
    FILE* stream = fmemopen(bytes.data(), bytes.size(), "r");
    FUZZ_CHECK(stream != nullptr, "fmemopen failed");
    LineReader lines(stream);
    FUZZ_CHECK(readDataFile(lines, requests), "a read error on R's text in memory");
    std::fclose(stream);
    return requests.asked;
}

void checkReads(const std::vector<Answer>& answers) {
    FUZZ_CHECK(answers.size() == sizeof kReadOrder, "R made " + std::to_string(answers.size()) + " calls");
    for (size_t i = 0; i < answers.size(); ++i) {
        FUZZ_CHECK(answers[i].function == kReadOrder[i] && answers[i].subfunction == readSubfunction(kReadOrder[i]),
                   "call " + std::to_string(i) + " is function " + std::to_string(answers[i].function) + " sub " +
                       std::to_string(answers[i].subfunction));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::ScopedUnit unit("");
    Firmware firmware(data, size);
    unit.unit().setResponder([&](sim::Unit& u, const RegisterBlock& in, RegisterBlock& out) {
        return firmware.answer(u, in, out);
    });
    host::ConsoleCapture console;
    FUZZ_CHECK(retrieveSettings(nullptr) == 0, "R failed: " + console.text());
    FUZZ_CHECK(!unit.unit().regionsHeld(), "R kept a region reserved");
    const std::vector<Answer>& answers = firmware.answers;
    checkReads(answers);

    std::vector<std::string> messages;
    std::string file;
    splitConsole(console.text(), messages, file);
    FUZZ_CHECK(messages == expectedMessages(answers), "R's messages:\n" + joined(messages) + "expected:\n" +
                                                          joined(expectedMessages(answers)));
    const Answer& mode = answers[6];
    const std::vector<std::string> asked = readBack(file, mode.carry ? std::nullopt : std::optional<uint32_t>(mode.ecx & 0xFFFF));
    const std::vector<std::string> expected = expectedRequests(answers);
    FUZZ_CHECK(asked == expected, "R's file asks for:\n" + joined(asked) + "R was given:\n" + joined(expected) +
                                      "the file:\n" + file);
    return 0;
}
