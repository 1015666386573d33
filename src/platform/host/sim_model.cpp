// The firmware settings service of the simulated unit: answers functions 0-7 and 9-15 from the
// unit's state through the register conventions of the real service.
#include <cstdio>
#include <cstring>

#include "firmware_interface.h"
#include "sim_unit.h"
#include "text_format.h"

namespace sim {
namespace {

// Bits of ECX above what a get returns: the program must ignore them.
constexpr uint32_t kJunkAboveByte = 0xA5A5A500;
constexpr uint32_t kJunkAboveWord = 0xA5A50000;
constexpr uint32_t kFlagsBase = 0x202;  // IF and the reserved bit, as the processor has them

bool isRead(uint8_t function, uint8_t subfunction) {
    switch (function) {
        case kFnAdminPassword:
        case kFnUserPassword: return subfunction == kSubPasswordState;
        case kFnAssetTag: return subfunction == kSubAssetTagRead;
        default: return subfunction == kSubRead;
    }
}

std::string field(const char* name, uint32_t value, int digits) {
    char buffer[32];
    (void)std::snprintf(buffer, sizeof buffer, " %s=%0*X", name, digits, value);
    return buffer;
}

uint8_t* byteSetting(Settings& s, uint8_t function) {
    switch (function) {
        case kFnSerialPort: return &s.serialPort;
        case kFnParallelPort: return &s.parallelPort;
        case kFnEppType: return &s.eppType;
        case kFnPs2Port: return &s.ps2Port;
        case kFnPowerOnAfterFail: return &s.powerOnAfterFail;
        case kFnUsbController: return &s.usbController;
        case kFnNumlock: return &s.numlock;
        case kFnS3Support: return &s.s3Support;
        default: return nullptr;
    }
}

std::string answerPassword(Unit& unit, std::string& password, const RegisterBlock& in, bool& stored) {
    const auto subfunction = static_cast<uint8_t>(in.ebx >> 8);
    if (subfunction == kSubPasswordSet) {
        const uint32_t length = in.ecx & 0xFFFF;
        const uint8_t* text = unit.access(in.esi, length, "ESI");
        password.assign(reinterpret_cast<const char*>(text), length);
        stored = true;
        return field("len", length, 1);
    }
    password.clear();
    stored = true;
    return {};
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

}  // namespace

std::string answerCall(Unit& unit, const RegisterBlock& in, RegisterBlock& out, bool& stored) {
    const auto function = static_cast<uint8_t>(in.ebx & 0xFF);
    const auto subfunction = static_cast<uint8_t>((in.ebx >> 8) & 0xFF);
    Settings& s = unit.state().settings;
    const Faults& faults = unit.state().faults;
    const bool read = isRead(function, subfunction);
    const char* name = operationName(function, read);

    out.eflags = kFlagsBase;
    if (function == kFnAssetTag && !unit.isRomWindow(in.edi)) {
        fault("asset tag call with EDI = " + std::to_string(in.edi) + ", not the mapped ROM window");
    }
    const bool failing = faults.fails(name);
    bool carry = failing;
    std::string fields;

    if (function == kFnAdminPassword || function == kFnUserPassword) {
        std::string& password = function == kFnAdminPassword ? s.adminPassword : s.userPassword;
        if (read) {
            carry = failing || password.empty();
        } else if (!failing) {
            fields = answerPassword(unit, password, in, stored);
        }
    } else if (failing) {
        // A failing call touches nothing.
    } else if (function == kFnSupport) {
        out.ebx = (in.ebx & 0xFFFF0000) | static_cast<uint32_t>(faults.versionMajor) << 8 | faults.versionMinor;
        out.ecx = faults.signatureValid ? kSupportCx : 0x2141;  // the bytes swapped when invalid
        out.edx = faults.signatureValid ? kSupportDx : 0x3055;
    } else if (function == kFnAssetTag) {
        if (read) {
            uint8_t* buffer = unit.access(in.esi, s.assetTag.size() + 1, "ESI");
            std::memcpy(buffer, s.assetTag.data(), s.assetTag.size());
            buffer[s.assetTag.size()] = 0;
            fields = field("len", static_cast<uint32_t>(s.assetTag.size()), 1);
        } else {
            s.assetTag = zeroEndedText(unit, in.esi);
            stored = true;
            fields = " tag=" + stateFileText(s.assetTag);
        }
    } else if (function == kFnParallelMode) {
        if (read) {
            out.ecx = kJunkAboveWord | s.parallelMode;
        } else {
            s.parallelMode = static_cast<uint16_t>(in.ecx & 0xFFFF);
            stored = true;
        }
        fields = field("cx", s.parallelMode, 4);
    } else if (function == kFnBootSequence) {
        if (read) {
            uint8_t* buffer = unit.access(in.esi, kBootSequenceSize, "ESI");
            std::memset(buffer, kBootEnd, kBootSequenceSize);
            if (!s.bootSequence.empty()) std::memcpy(buffer, s.bootSequence.data(), s.bootSequence.size());
        } else {
            std::vector<uint8_t> codes;
            for (uint32_t i = 0; i < kBootSequenceSize; ++i) {
                const uint8_t code = *unit.access(in.esi + i, 1, "ESI");
                if (code == kBootEnd) break;
                codes.push_back(code);
            }
            s.bootSequence = codes;
            stored = true;
        }
        fields = " seq=";
        for (uint8_t code : s.bootSequence) fields += std::to_string(code) + ",";
        fields += "255";
    } else if (function == kFnWakeOnRtc) {
        if (read) {
            out.ecx = kJunkAboveByte | s.wakeDays;
            uint8_t* time = unit.access(in.esi, 2, "ESI");
            time[0] = s.wakeMinute;
            time[1] = s.wakeHour;
        } else {
            const uint8_t* time = unit.access(in.esi, 2, "ESI");
            s.wakeDays = static_cast<uint8_t>(in.ecx & 0xFF);
            s.wakeMinute = time[0];
            s.wakeHour = time[1];
            stored = true;
        }
        fields = field("days", s.wakeDays, 2) + field("hour", s.wakeHour, 2) + field("minute", s.wakeMinute, 2);
    } else if (uint8_t* setting = byteSetting(s, function)) {
        if (read) {
            out.ecx = kJunkAboveByte | *setting;
        } else {
            *setting = static_cast<uint8_t>(in.ecx & 0xFF);
            stored = true;
        }
        fields = field("cl", *setting, 2);
    }
    if (carry) out.eflags |= kCarryFlag;
    return fields;
}

}  // namespace sim
