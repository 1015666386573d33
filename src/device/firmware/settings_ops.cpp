// The typed settings operations: one service call each, with its register image and message.
#include <string.h>

#include "bios_service.h"
#include "platform.h"
#include "reserved_region.h"
#include "scratch_buffer.h"

namespace {

const uint32_t kByte = 0xFF;    // an option index in CL
const uint32_t kWord = 0xFFFF;  // the parallel mode word in CX

uint32_t low8(uint32_t value) { return value & kByte; }
uint32_t low16(uint32_t value) { return value & kWord; }

// The tag the service left in the scratch buffer, measured within the buffer only.
size_t scratchTagLength(const char* scratch) {
    const void* end = memchr(scratch, 0, kAssetTagScratchSize);
    return end != 0 ? static_cast<size_t>(static_cast<const char*>(end) - scratch) : kAssetTagScratchSize;
}

// Runs an asset-tag call with the scratch buffer in ESI and the mapped ROM window in EDI.
// Prints the mapping's failure messages; false when the window could not be set up.
bool callWithRomWindow(const BiosService& service, RegisterBlock& in, RegisterBlock& out, char* scratch) {
    ReservedRegion window(kRomWindowSize);
    if (!window.held() || !window.mapRom(kRomWindowPhysical)) return false;
    in.esi = platform::flatAddress(scratch, kAssetTagScratchSize);
    in.edi = platform::flatAddress(window.address(), kRomWindowSize);
    service.callService(in, out);
    return true;
}

bool carrySet(const RegisterBlock& out) { return (out.eflags & kCarryFlag) != 0; }

}  // namespace

bool BiosService::getValue(uint8_t function, uint32_t width, const wchar_t* failure, uint32_t& value) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    if (!call(function, kSubRead, in, out)) {
        if (failure != 0) platform::consolePrint(failure);
        return false;
    }
    value = out.ecx & width;
    return true;
}

bool BiosService::setValue(uint8_t function, uint32_t width, const wchar_t* failure, uint32_t value) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.ecx = value & width;
    if (!call(function, kSubWrite, in, out)) {
        platform::consolePrint(failure);
        return false;
    }
    return true;
}

bool BiosService::passwordState(uint8_t function, uint32_t& present) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    present = call(function, kSubPasswordState, in, out) ? 1 : 0;
    return true;
}

bool BiosService::setPassword(uint8_t function, const wchar_t* failure, const char* text) {
    if (available == 0) return false;
    const size_t length = strlen(text);
    RegisterBlock in;
    RegisterBlock out;
    in.ecx = low16(static_cast<uint32_t>(length));
    in.esi = platform::flatAddress(text, length);
    if (!call(function, length != 0 ? kSubPasswordSet : kSubPasswordClear, in, out)) {
        platform::consolePrint(failure);
        return false;
    }
    return true;
}

bool BiosService::getAdminPasswordState(uint32_t& present) { return passwordState(kFnAdminPassword, present); }

bool BiosService::setAdminPassword(const char* text) {
    return setPassword(kFnAdminPassword, L"***ERROR*** Failed to set administrator password!\n", text);
}

bool BiosService::getUserPasswordState(uint32_t& present) { return passwordState(kFnUserPassword, present); }

bool BiosService::setUserPassword(const char* text) {
    return setPassword(kFnUserPassword, L"***ERROR*** Failed to set user password!\n", text);
}

bool BiosService::getAssetTag(char* buffer, uint32_t& capacity) {
    if (available == 0 || capacity == 0) return false;
    ScratchBuffer scratch(kAssetTagScratchSize);
    if (!scratch.held()) {
        platform::consolePrint(L"***ERROR*** Not enough memory!\n");
        return false;
    }
    RegisterBlock in;
    RegisterBlock out;
    in.eax = kServiceSelector;
    in.ebx = static_cast<uint32_t>(kSubAssetTagRead) << 8 | kFnAssetTag;
    if (!callWithRomWindow(*this, in, out, scratch.data())) return false;
    if (carrySet(out)) {
        platform::consolePrint(L"***ERROR*** Failed to get asset tag!\n");
        return false;
    }
    const size_t length = scratchTagLength(scratch.data());
    const size_t room = capacity - 1;
    const size_t copied = length < room ? length : room;
    memcpy(buffer, scratch.data(), copied);
    memset(buffer + copied, 0, capacity - copied);
    const bool whole = length < capacity;
    capacity = static_cast<uint32_t>(whole ? length : length + 1);
    return whole;
}

bool BiosService::setAssetTag(const char* text) {
    if (available == 0) return false;
    ScratchBuffer scratch(kAssetTagScratchSize);
    if (!scratch.held()) {
        platform::consolePrint(L"***ERROR*** Not enough memory!\n");
        return false;
    }
    // The buffer holds at most 65535 characters and the terminator.
    const void* end = memchr(text, 0, kAssetTagScratchSize - 1);
    const size_t length =
        end != 0 ? static_cast<size_t>(static_cast<const char*>(end) - text) : kAssetTagScratchSize - 1;
    memcpy(scratch.data(), text, length);
    scratch.data()[length] = '\0';
    RegisterBlock in;
    RegisterBlock out;
    in.eax = kServiceSelector;
    in.ebx = static_cast<uint32_t>(kSubAssetTagWrite) << 8 | kFnAssetTag;
    if (!callWithRomWindow(*this, in, out, scratch.data())) return false;
    if (carrySet(out)) {
        platform::consolePrint(L"***ERROR*** Failed to set asset tag!\n");
        return false;
    }
    return true;
}

bool BiosService::getSerialPort(uint32_t& value) {
    return getValue(kFnSerialPort, kByte, L"***ERROR*** Failed to get serial port setting!\n", value);
}
bool BiosService::setSerialPort(uint32_t value) {
    return setValue(kFnSerialPort, kByte, L"***ERROR*** Failed to set serial port setting!\n", value);
}
bool BiosService::getParallelPort(uint32_t& value) {
    return getValue(kFnParallelPort, kByte, L"***ERROR*** Failed to get parallel port setting!\n", value);
}
bool BiosService::setParallelPort(uint32_t value) {
    return setValue(kFnParallelPort, kByte, L"***ERROR*** Failed to set parallel port setting!\n", value);
}

bool BiosService::getParallelMode(uint32_t& value) {
    return getValue(kFnParallelMode, kWord, L"***ERROR*** Failed to get parallel port mode!\n", value);
}
bool BiosService::setParallelMode(uint32_t value) {
    return setValue(kFnParallelMode, kWord, L"***ERROR*** Failed to set parallel port mode!\n", value);
}

bool BiosService::getEppType(uint32_t& value) {
    return getValue(kFnEppType, kByte, L"***ERROR*** Failed to get parallel port EPP type!\n", value);
}
bool BiosService::setEppType(uint32_t value) {
    return setValue(kFnEppType, kByte, L"***ERROR*** Failed to set parallel port EPP type!\n", value);
}

bool BiosService::getBootSequence(BootSequence& buffer) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.esi = platform::flatAddress(buffer.data(), buffer.size());
    if (!call(kFnBootSequence, kSubRead, in, out)) {
        platform::consolePrint(L"***ERROR*** Failed to get boot sequence!\n");
        return false;
    }
    return true;
}

bool BiosService::setBootSequence(const BootSequence& buffer) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.esi = platform::flatAddress(buffer.data(), buffer.size());
    if (!call(kFnBootSequence, kSubWrite, in, out)) {
        platform::consolePrint(L"***ERROR*** Failed to set boot sequence!\n");
        return false;
    }
    return true;
}

bool BiosService::getPs2Port(uint32_t& value) {
    return getValue(kFnPs2Port, kByte, L"***ERROR*** Failed to get PS2 port setting!\n", value);
}
bool BiosService::setPs2Port(uint32_t value) {
    return setValue(kFnPs2Port, kByte, L"***ERROR*** Failed to set PS2 port setting!\n", value);
}
bool BiosService::getPowerOnAfterFail(uint32_t& value) {
    return getValue(kFnPowerOnAfterFail, kByte, L"***ERROR*** Failed to get PWRON_After_PWRFail setting!\n", value);
}
bool BiosService::setPowerOnAfterFail(uint32_t value) {
    return setValue(kFnPowerOnAfterFail, kByte, L"***ERROR*** Failed to set PWRON_After_PWRFail setting!\n", value);
}
bool BiosService::getUsbController(uint32_t& value) {
    return getValue(kFnUsbController, kByte, L"***ERROR*** Failed to get USB controller setting!\n", value);
}
bool BiosService::setUsbController(uint32_t value) {
    return setValue(kFnUsbController, kByte, L"***ERROR*** Failed to set USB controller setting!\n", value);
}

bool BiosService::getWakeOnRtc(WakeSetting& value) {
    value = 0;
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    // The service stores the minute and the hour into bytes 2 and 3 of the value.
    in.esi = platform::flatAddress(reinterpret_cast<uint8_t*>(&value) + 2, 2);
    if (!call(kFnWakeOnRtc, kSubRead, in, out)) {
        platform::consolePrint(L"***ERROR*** Failed to get Wake on RTC setting!\n");
        return false;
    }
    value = (value & 0xFFFF0000) | low8(out.ecx);
    return true;
}

bool BiosService::setWakeOnRtc(WakeSetting value) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.ecx = wakeDays(value);
    in.esi = platform::flatAddress(reinterpret_cast<const uint8_t*>(&value) + 2, 2);
    if (!call(kFnWakeOnRtc, kSubWrite, in, out)) {
        platform::consolePrint(L"***ERROR*** Failed to set Wake on RTC setting!\n");
        return false;
    }
    return true;
}

bool BiosService::getNumlock(uint32_t& value) {
    return getValue(kFnNumlock, kByte, L"***ERROR*** Failed to get Numlock setting!\n", value);
}
bool BiosService::setNumlock(uint32_t value) {
    return setValue(kFnNumlock, kByte, L"***ERROR*** Failed to set Numlock setting!\n", value);
}

// The one get that fails silently: a firmware without the setting simply has no S3 section.
bool BiosService::getS3Support(uint32_t& value) { return getValue(kFnS3Support, kByte, 0, value); }

bool BiosService::setS3Support(uint32_t value) {
    return setValue(kFnS3Support, kByte, L"***ERROR*** Failed to set S3 setting!\n", value);
}
