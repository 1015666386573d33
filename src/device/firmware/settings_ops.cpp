// The settings operations: one service call each, with its register image and message; the
// single choices and passwords by function number, the others of their own types.
#include <string.h>

#include "bios_service.h"
#include "firmware_settings.h"
#include "platform.h"
#include "reserved_region.h"
#include "scratch_buffer.h"

namespace {

uint32_t low8(uint32_t value) { return value & 0xFF; }
uint32_t low16(uint32_t value) { return value & 0xFFFF; }

// The tag the service left in the scratch buffer, measured within the buffer only.
size_t scratchTagLength(const char* scratch) {
    const void* end = memchr(scratch, 0, kAssetTagScratchSize);
    return end != 0 ? static_cast<size_t>(static_cast<const char*>(end) - scratch) : kAssetTagScratchSize;
}

bool isPassword(uint8_t function) { return function == kFnAdminPassword || function == kFnUserPassword; }

}  // namespace

bool BiosService::callReporting(Operation operation, uint8_t function, uint8_t subfunction, RegisterBlock& in,
                                RegisterBlock& out) const {
    if (call(function, subfunction, in, out)) return true;
    const FirmwareSetting& setting = *firmwareSetting(function);
    const wchar_t* line = operation == kGet ? setting.getFailure : setting.setFailure;
    if (line != 0) platform::consolePrint(line);
    return false;
}

bool BiosService::callWithRomWindow(Operation operation, uint8_t subfunction, char* scratch) const {
    ReservedRegion window(kRomWindowSize);
    if (!window.held() || !window.mapRom(kRomWindowPhysical)) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.esi = platform::flatAddress(scratch, kAssetTagScratchSize);
    in.edi = platform::flatAddress(window.address(), kRomWindowSize);
    return callReporting(operation, kFnAssetTag, subfunction, in, out);
}

bool BiosService::getChoice(uint8_t function, uint32_t& value) {
    const FirmwareSetting* setting = choiceSetting(function);
    if (available == 0 || setting == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    if (!callReporting(kGet, function, kSubRead, in, out)) return false;
    value = out.ecx & setting->width;
    return true;
}

bool BiosService::setChoice(uint8_t function, uint32_t value) {
    const FirmwareSetting* setting = choiceSetting(function);
    if (available == 0 || setting == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.ecx = value & setting->width;
    return callReporting(kSet, function, kSubWrite, in, out);
}

bool BiosService::getPasswordState(uint8_t function, uint32_t& present) {
    if (available == 0 || !isPassword(function)) return false;
    RegisterBlock in;
    RegisterBlock out;
    present = call(function, kSubPasswordState, in, out) ? 1 : 0;
    return true;
}

bool BiosService::setPassword(uint8_t function, const char* text) {
    if (available == 0 || !isPassword(function)) return false;
    const size_t length = strlen(text);
    RegisterBlock in;
    RegisterBlock out;
    in.ecx = low16(static_cast<uint32_t>(length));
    in.esi = platform::flatAddress(text, length);
    return callReporting(kSet, function, length != 0 ? kSubPasswordSet : kSubPasswordClear, in, out);
}

bool BiosService::getAdminPasswordState(uint32_t& present) { return getPasswordState(kFnAdminPassword, present); }
bool BiosService::setAdminPassword(const char* text) { return setPassword(kFnAdminPassword, text); }
bool BiosService::getUserPasswordState(uint32_t& present) { return getPasswordState(kFnUserPassword, present); }
bool BiosService::setUserPassword(const char* text) { return setPassword(kFnUserPassword, text); }

bool BiosService::getAssetTag(char* buffer, uint32_t& capacity) {
    if (available == 0 || capacity == 0) return false;
    ScratchBuffer scratch(kAssetTagScratchSize);
    if (!scratch.held()) return false;
    if (!callWithRomWindow(kGet, kSubAssetTagRead, scratch.data())) return false;
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
    if (!scratch.held()) return false;
    // The buffer holds at most 65535 characters and the terminator.
    const void* end = memchr(text, 0, kAssetTagScratchSize - 1);
    const size_t length =
        end != 0 ? static_cast<size_t>(static_cast<const char*>(end) - text) : kAssetTagScratchSize - 1;
    memcpy(scratch.data(), text, length);
    scratch.data()[length] = '\0';
    return callWithRomWindow(kSet, kSubAssetTagWrite, scratch.data());
}

bool BiosService::getBootSequence(BootSequence& buffer) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.esi = platform::flatAddress(buffer.data(), buffer.size());
    return callReporting(kGet, kFnBootSequence, kSubRead, in, out);
}

bool BiosService::setBootSequence(const BootSequence& buffer) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.esi = platform::flatAddress(buffer.data(), buffer.size());
    return callReporting(kSet, kFnBootSequence, kSubWrite, in, out);
}

bool BiosService::getWakeOnRtc(WakeSetting& value) {
    value = 0;
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    // The service stores the minute and the hour into bytes 2 and 3 of the value.
    in.esi = platform::flatAddress(reinterpret_cast<uint8_t*>(&value) + 2, 2);
    if (!callReporting(kGet, kFnWakeOnRtc, kSubRead, in, out)) return false;
    value = (value & 0xFFFF0000) | low8(out.ecx);
    return true;
}

bool BiosService::setWakeOnRtc(WakeSetting value) {
    if (available == 0) return false;
    RegisterBlock in;
    RegisterBlock out;
    in.ecx = wakeDays(value);
    in.esi = platform::flatAddress(reinterpret_cast<const uint8_t*>(&value) + 2, 2);
    return callReporting(kSet, kFnWakeOnRtc, kSubWrite, in, out);
}

// The single choices by name.
bool BiosService::getSerialPort(uint32_t& value) { return getChoice(kFnSerialPort, value); }
bool BiosService::setSerialPort(uint32_t value) { return setChoice(kFnSerialPort, value); }
bool BiosService::getParallelPort(uint32_t& value) { return getChoice(kFnParallelPort, value); }
bool BiosService::setParallelPort(uint32_t value) { return setChoice(kFnParallelPort, value); }
bool BiosService::getParallelMode(uint32_t& value) { return getChoice(kFnParallelMode, value); }
bool BiosService::setParallelMode(uint32_t value) { return setChoice(kFnParallelMode, value); }
bool BiosService::getEppType(uint32_t& value) { return getChoice(kFnEppType, value); }
bool BiosService::setEppType(uint32_t value) { return setChoice(kFnEppType, value); }
bool BiosService::getPs2Port(uint32_t& value) { return getChoice(kFnPs2Port, value); }
bool BiosService::setPs2Port(uint32_t value) { return setChoice(kFnPs2Port, value); }
bool BiosService::getPowerOnAfterFail(uint32_t& value) { return getChoice(kFnPowerOnAfterFail, value); }
bool BiosService::setPowerOnAfterFail(uint32_t value) { return setChoice(kFnPowerOnAfterFail, value); }
bool BiosService::getUsbController(uint32_t& value) { return getChoice(kFnUsbController, value); }
bool BiosService::setUsbController(uint32_t value) { return setChoice(kFnUsbController, value); }
bool BiosService::getNumlock(uint32_t& value) { return getChoice(kFnNumlock, value); }
bool BiosService::setNumlock(uint32_t value) { return setChoice(kFnNumlock, value); }
bool BiosService::getS3Support(uint32_t& value) { return getChoice(kFnS3Support, value); }
bool BiosService::setS3Support(uint32_t value) { return setChoice(kFnS3Support, value); }
