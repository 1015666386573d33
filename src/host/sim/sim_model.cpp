// The firmware settings service of the simulated unit: answers functions 0-7 and 9-15 from the
// unit's state through the register conventions of the real service, one handler per kind of
// setting.
#include <algorithm>
#include <cstring>

#include "firmware_interface.h"
#include "sim_model.h"
#include "sim_unit.h"
#include "text_format.h"

namespace sim {
namespace {

// Bits of ECX above what a get returns: the program must ignore them.
constexpr uint32_t kJunkAboveByte = 0xA5A5A500;
constexpr uint32_t kJunkAboveWord = 0xA5A50000;
constexpr uint32_t kFlagsBase = 0x202;  // IF and the reserved bit, as the processor has them

std::string field(const char* name, uint32_t value, int digits) {
    return " " + std::string(name) + "=" + hexDigits(value, digits);
}

// The text at ESI up to its zero byte, which must lie inside the buffer the program registered.
std::string zeroEndedText(Unit& unit, uint32_t flat) {
    std::string text;
    for (uint32_t i = 0;; ++i) {
        const uint8_t byte = *unit.access(flat + i, 1, "ESI");
        if (byte == 0) return text;
        text += static_cast<char>(byte);
    }
}

// What a handler is given: the call, the answer to fill, whether it is the function's read,
// and the row's setting. A failing call never reaches a handler (passwords aside).
struct Call {
    Unit& unit;
    const RegisterBlock& in;
    RegisterBlock& out;
    bool read;
    bool& stored;
};

struct FunctionRow;
using Handler = std::string (*)(const FunctionRow& row, Call& call);

struct FunctionRow {
    uint8_t function;
    uint8_t readSubfunction;
    const char* getName;
    const char* setName;
    std::vector<uint8_t> subfunctions;  // every one the function knows
    Handler answer;
    std::string Settings::*password = nullptr;  // null but for the passwords
    const ChoiceRow* choice = nullptr;          // null but for a value in CL or CX
};

std::string answerSupport(const FunctionRow&, Call& c) {
    const Faults& faults = c.unit.state().faults;
    c.out.ebx = (c.in.ebx & 0xFFFF0000) | static_cast<uint32_t>(faults.versionMajor) << 8 | faults.versionMinor;
    c.out.ecx = faults.signatureValid ? kSupportCx : 0x2141;  // the bytes swapped when invalid
    c.out.edx = faults.signatureValid ? kSupportDx : 0x3055;
    return {};
}

// The state query answers by the carry flag itself, which answerCall sets for an empty password.
std::string answerPassword(const FunctionRow& row, Call& c) {
    std::string& password = c.unit.state().settings.*row.password;
    if (c.read) return {};
    c.stored = true;
    if (static_cast<uint8_t>(c.in.ebx >> 8) != kSubPasswordSet) {
        password.clear();
        return {};
    }
    const uint32_t length = c.in.ecx & 0xFFFF;
    const uint8_t* text = c.unit.access(c.in.esi, length, "ESI");
    password.assign(reinterpret_cast<const char*>(text), length);
    return field("len", length, 1);
}

std::string answerAssetTag(const FunctionRow&, Call& c) {
    std::string& tag = c.unit.state().settings.assetTag;
    if (c.read) {
        uint8_t* buffer = c.unit.access(c.in.esi, tag.size() + 1, "ESI");
        std::memcpy(buffer, tag.data(), tag.size());
        buffer[tag.size()] = 0;
        return field("len", static_cast<uint32_t>(tag.size()), 1);
    }
    tag = zeroEndedText(c.unit, c.in.esi);
    c.stored = true;
    return " tag=" + stateFileText(tag);
}

std::string answerBootSequence(const FunctionRow&, Call& c) {
    std::vector<uint8_t>& sequence = c.unit.state().settings.bootSequence;
    if (c.read) {
        uint8_t* buffer = c.unit.access(c.in.esi, kBootSequenceSize, "ESI");
        std::memset(buffer, kBootEnd, kBootSequenceSize);
        if (!sequence.empty()) std::memcpy(buffer, sequence.data(), sequence.size());
    } else {
        std::vector<uint8_t> codes;
        for (uint32_t i = 0; i < kBootSequenceSize; ++i) {
            const uint8_t code = *c.unit.access(c.in.esi + i, 1, "ESI");
            if (code == kBootEnd) break;
            codes.push_back(code);
        }
        sequence = codes;
        c.stored = true;
    }
    std::string fields = " seq=";
    for (uint8_t code : sequence) fields += std::to_string(code) + ",";
    return fields + "255";
}

std::string answerWakeOnRtc(const FunctionRow&, Call& c) {
    Settings& s = c.unit.state().settings;
    if (c.read) {
        c.out.ecx = kJunkAboveByte | s.wakeDays;
        uint8_t* time = c.unit.access(c.in.esi, 2, "ESI");
        time[0] = s.wakeMinute;
        time[1] = s.wakeHour;
    } else {
        const uint8_t* time = c.unit.access(c.in.esi, 2, "ESI");
        s.wakeDays = static_cast<uint8_t>(c.in.ecx & 0xFF);
        s.wakeMinute = time[0];
        s.wakeHour = time[1];
        c.stored = true;
    }
    return field("days", s.wakeDays, 2) + field("hour", s.wakeHour, 2) + field("minute", s.wakeMinute, 2);
}

// A value in CL, or in CX for a word: the get returns it with junk above, the set stores
// what it is given.
std::string answerChoice(const FunctionRow& row, Call& c) {
    const bool word = row.choice->width == 2;
    uint16_t& setting = c.unit.state().settings.choice(row.function);
    if (c.read) {
        c.out.ecx = (word ? kJunkAboveWord : kJunkAboveByte) | setting;
    } else {
        setting = static_cast<uint16_t>(c.in.ecx & (word ? 0xFFFF : 0xFF));
        c.stored = true;
    }
    return word ? field("cx", setting, 4) : field("cl", setting, 2);
}

// One row per function of the service (8 has none): the settings with their own answers, and
// one for each value in CL or CX, in function order.
const std::vector<FunctionRow>& functions() {
    static const std::vector<FunctionRow> rows = [] {
        const std::vector<uint8_t> readWrite = {kSubRead, kSubWrite};
        const std::vector<uint8_t> password = {kSubPasswordClear, kSubPasswordState, kSubPasswordSet};
        std::vector<FunctionRow> all = {
            {kFnSupport, kSubRead, "checkSupport", "checkSupport", {kSubRead}, answerSupport},
            {kFnAdminPassword, kSubPasswordState, "getAdminPasswordState", "setAdminPassword", password, answerPassword,
             &Settings::adminPassword},
            {kFnUserPassword, kSubPasswordState, "getUserPasswordState", "setUserPassword", password, answerPassword,
             &Settings::userPassword},
            {kFnAssetTag,
             kSubAssetTagRead,
             "getAssetTag",
             "setAssetTag",
             {kSubAssetTagRead, kSubAssetTagWrite},
             answerAssetTag},
            {kFnBootSequence, kSubRead, "getBootSequence", "setBootSequence", readWrite, answerBootSequence},
            {kFnWakeOnRtc, kSubRead, "getWakeOnRtc", "setWakeOnRtc", readWrite, answerWakeOnRtc},
        };
        for (const ChoiceRow& choice : choiceRows()) {
            all.push_back(
                {choice.function, kSubRead, choice.getName, choice.setName, readWrite, answerChoice, nullptr, &choice});
        }
        std::stable_sort(all.begin(), all.end(),
                         [](const FunctionRow& a, const FunctionRow& b) { return a.function < b.function; });
        return all;
    }();
    return rows;
}

const FunctionRow* rowOf(uint8_t function) {
    for (const FunctionRow& row : functions()) {
        if (row.function == function) return &row;
    }
    return nullptr;
}

}  // namespace

// The settings held as one value, one row each.
const std::vector<ChoiceRow>& choiceRows() {
    static const std::vector<ChoiceRow> rows = {
        {kFnSerialPort, "getSerialPort", "setSerialPort", "serial_port", 1, 1},
        {kFnParallelPort, "getParallelPort", "setParallelPort", "parallel_port", 2, 1},
        {kFnParallelMode, "getParallelMode", "setParallelMode", "parallel_mode", 0x0102, 2},
        {kFnEppType, "getEppType", "setEppType", "epp_type", 0, 1},
        {kFnPs2Port, "getPs2Port", "setPs2Port", "ps2_port", 0, 1},
        {kFnPowerOnAfterFail, "getPowerOnAfterFail", "setPowerOnAfterFail", "power_on_after_fail", 2, 1},
        {kFnUsbController, "getUsbController", "setUsbController", "usb_controller", 1, 1},
        {kFnNumlock, "getNumlock", "setNumlock", "numlock", 1, 1},
        {kFnS3Support, "getS3Support", "setS3Support", "s3_support", 0, 1},
    };
    return rows;
}

const std::vector<std::string_view>& operationNames() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> all;
        for (const FunctionRow& row : functions()) {
            for (const char* name : {row.getName, row.setName}) {
                if (std::find(all.begin(), all.end(), name) == all.end()) all.emplace_back(name);
            }
        }
        return all;
    }();
    return names;
}

bool knownCall(uint8_t function, uint8_t subfunction, std::string& why) {
    const FunctionRow* row = rowOf(function);
    if (row == nullptr) {
        why = "call of function " + std::to_string(function);
        return false;
    }
    if (std::find(row->subfunctions.begin(), row->subfunctions.end(), subfunction) == row->subfunctions.end()) {
        why = "call of function " + std::to_string(function) + " with unknown subfunction " +
              hexDigits(subfunction, 8) + "h";
        return false;
    }
    return true;
}

std::string answerCall(Unit& unit, const RegisterBlock& in, RegisterBlock& out, bool& stored) {
    const FunctionRow& row = *rowOf(static_cast<uint8_t>(in.ebx & 0xFF));
    const bool read = static_cast<uint8_t>((in.ebx >> 8) & 0xFF) == row.readSubfunction;
    const Faults& faults = unit.state().faults;
    const bool failing = faults.fails(read ? row.getName : row.setName);

    out.eflags = kFlagsBase;
    if (row.function == kFnAssetTag && !unit.isRomWindow(in.edi)) {
        fault("asset tag call with EDI = " + std::to_string(in.edi) + ", not the mapped ROM window");
    }
    bool carry = failing;
    std::string fields;
    Call call{unit, in, out, read, stored};
    if (row.password != nullptr && read) {
        carry = failing || (unit.state().settings.*row.password).empty();
    } else if (!failing) {
        fields = row.answer(row, call);  // a failing call touches nothing
    }
    if (carry) out.eflags |= kCarryFlag;
    return fields;
}

}  // namespace sim
