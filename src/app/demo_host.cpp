// A look at the service object on the simulated unit: the version line and what it reads.
#include <cstdio>

#include "bios_service.h"
#include "host_entry.h"
#include "platform.h"

int main(int argc, char** argv) {
    host::startSimulatedUnit();
    host::wideArguments(argc, argv);
    BiosService service;
    if (service.available == 0) {
        service.release();
        return host::finishProcess(1);
    }
    uint32_t value = 0;
    if (service.getAdminPasswordState(value)) platform::consolePrint(L"setup password set: %u\n", value);
    if (service.getUserPasswordState(value)) platform::consolePrint(L"power-on password set: %u\n", value);
    char tag[64];
    uint32_t capacity = sizeof tag;
    if (service.getAssetTag(tag, capacity)) platform::consolePrint(L"asset tag: %S\n", tag);
    if (service.getSerialPort(value)) platform::consolePrint(L"serial port: %u\n", value);
    if (service.getParallelPort(value)) platform::consolePrint(L"parallel port: %u\n", value);
    if (service.getParallelMode(value)) platform::consolePrint(L"parallel mode: %04X\n", value);
    if (service.getEppType(value)) platform::consolePrint(L"EPP type: %u\n", value);
    BootSequence boot{};
    if (service.getBootSequence(boot)) {
        platform::consolePrint(L"boot sequence:");
        for (uint8_t code : boot) {
            if (code == kBootEnd) break;
            platform::consolePrint(L" %u", code);
        }
        platform::consolePrint(L"\n");
    }
    if (service.getPs2Port(value)) platform::consolePrint(L"PS/2 port: %u\n", value);
    if (service.getPowerOnAfterFail(value)) platform::consolePrint(L"power on after failure: %u\n", value);
    if (service.getUsbController(value)) platform::consolePrint(L"USB controller: %u\n", value);
    WakeSetting wake = 0;
    if (service.getWakeOnRtc(wake)) {
        platform::consolePrint(L"wake on RTC: days %02X at %u:%02u\n", wakeDays(wake), wakeHour(wake), wakeMinute(wake));
    }
    if (service.getNumlock(value)) platform::consolePrint(L"Numlock: %u\n", value);
    if (service.getS3Support(value)) platform::consolePrint(L"S3 support: %u\n", value);
    service.release();
    return host::finishProcess(0);
}
