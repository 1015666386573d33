// The caller of the test driver: registers it, activates it through the device manager, opens
// TST1:, has it map the firmware's segment into a region this process reserved, reads the
// service header there, and gives everything back; the first argument picks a path (see
// tests/device/device_e2e.sh). Each step that fails prints "FAIL step (error)" and ends with status
// 1 after undoing what was done. Built for and run on the test machine only.
#include <stdio.h>
#include <wchar.h>

#include "ce_driver_api.h"
#include "say.h"

namespace {

const wchar_t* key = L"Drivers\\FolvaneTest";
const DWORD kSegmentPhysical = 0xF0000;
const DWORD kSegmentSize = 0x10000;
const DWORD kHeaderOffset = 0x7A30;  // the default unit's
const DWORD kEntryOffset = 0x8000;   // the default unit's entry, F8000h

const wchar_t* mode = L"";

bool modeIs(const wchar_t* name) {
    const wchar_t* a = mode;
    while (*a != 0 && *a == *name) {
        ++a;
        ++name;
    }
    return *a == *name;
}

int failed(const wchar_t* step, DWORD error) {
    say(L"FAIL %ls (%lu)\n", step, error);
    return 1;
}

int withOpen(HANDLE open, LPVOID region) {
    TstMapRequest request = {static_cast<DWORD>(reinterpret_cast<size_t>(region)), kSegmentPhysical, kSegmentSize};
    DWORD returned = 99;
    if (!DeviceIoControl(open, TST_MAP, &request, sizeof request, 0, 0, &returned, 0)) {
        return failed(L"DeviceIoControl", GetLastError());
    }
    const BYTE* header = static_cast<const BYTE*>(region) + kHeaderOffset;
    say(L"mapped: %02X %02X %02X %02X, %lu bytes returned\n", header[0], header[1], header[2], header[3], returned);
    BYTE in[3] = {1, 2, 0xFF};
    BYTE out[4] = {9, 9, 9, 9};
    if (!DeviceIoControl(open, TST_ECHO, in, sizeof in, out, sizeof out, &returned, 0)) {
        return failed(L"DeviceIoControl", GetLastError());
    }
    say(L"echo: %lu bytes, %02X %02X %02X %02X; sent %02X %02X %02X\n", returned, out[0], out[1], out[2], out[3], in[0],
        in[1], in[2]);
    if (!DeviceIoControl(open, 0x99, 0, 0, 0, 0, &returned, 0)) say(L"unknown request: error %lu\n", GetLastError());
    wchar_t initKey[64];
    if (!DeviceIoControl(open, TST_ACTIVE_KEY, 0, 0, initKey, sizeof initKey, &returned, 0)) {
        return failed(L"DeviceIoControl", GetLastError());
    }
    say(L"Init was given %ls\n", initKey);
    if (modeIs(L"driver-calls-firmware")) {
        DWORD entry = request.region + kEntryOffset;
        (void)DeviceIoControl(open, TST_CALL_ENTRY, &entry, sizeof entry, 0, 0, &returned, 0);
    }
    return 0;
}

int withDevice() {
    LPVOID region = VirtualAlloc(0, kSegmentSize, MEM_RESERVE, PAGE_READONLY);
    if (region == 0) return failed(L"VirtualAlloc", GetLastError());
    int status = 0;
    HANDLE open = CreateFileW(L"TST1:", GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    if (open == INVALID_HANDLE_VALUE) {
        status = failed(L"CreateFileW", GetLastError());
    } else {
        status = withOpen(open, region);
        if (!modeIs(L"leave-handle") && !CloseHandle(open)) status = failed(L"CloseHandle", GetLastError());
    }
    (void)VirtualFree(region, 0, MEM_RELEASE);
    return status;
}

// The Dll value of each mode: a file that is not there, a path of 63 and of 64 characters (the
// device manager takes 63), a program rather than a DLL, and the driver without relocations.
const wchar_t* dllOfMode() {
    if (modeIs(L"missing-dll")) return L"absent_driver.dll";
    if (modeIs(L"dll-63")) return L"\\Windows\\Drivers of the plant\\Folvane tests\\absent_driver12.dll";
    if (modeIs(L"dll-64")) return L"\\Windows\\Drivers of the plant\\Folvane tests\\absent_driver123.dll";
    if (modeIs(L"not-a-dll")) return L"driver_caller.exe";
    if (modeIs(L"no-relocations")) return L"folvane_test_driver_norelocs.dll";
    return L"folvane_test_driver.dll";
}

int withKey(HKEY opened) {
    const wchar_t* dll = dllOfMode();
    const wchar_t* prefix = modeIs(L"missing-entries") ? L"XYZ" : modeIs(L"short-prefix") ? L"TS" : L"TST";
    const DWORD index = 1;
    const DWORD flags = modeIs(L"user-mode") ? DEVFLAGS_LOAD_AS_USERPROC : 0;
    LONG result = 0;
    if (!modeIs(L"no-dll")) {
        result = RegSetValueExW(opened, L"Dll", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll),
                                static_cast<DWORD>((wcslen(dll) + 1) * sizeof(wchar_t)));
    }
    if (result == 0) {
        result = RegSetValueExW(opened, L"Prefix", 0, REG_SZ, reinterpret_cast<const BYTE*>(prefix),
                                static_cast<DWORD>((wcslen(prefix) + 1) * sizeof(wchar_t)));
    }
    if (result == 0) result = RegSetValueExW(opened, L"Index", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&index), 4);
    if (result == 0) result = RegSetValueExW(opened, L"Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), 4);
    if (result != 0) return failed(L"RegSetValueExW", static_cast<DWORD>(result));
    DWORD parameter = modeIs(L"init-fails") ? TST_INIT_REFUSES : 0;
    HANDLE device = ActivateDeviceEx(modeIs(L"no-key") ? L"Drivers\\FolvaneAbsent" : key, 0, 0, &parameter);
    if (device == 0) return failed(L"ActivateDeviceEx", GetLastError());
    say(L"activated\n");
    int status = 0;
    if (modeIs(L"twice")) {
        HANDLE again = ActivateDeviceEx(key, 0, 0, 0);
        status = again == 0 ? failed(L"second ActivateDeviceEx", GetLastError()) : 0;
        if (again != 0) (void)DeactivateDevice(again);
    } else {
        status = withDevice();
    }
    if (!modeIs(L"leave-driver") && !DeactivateDevice(device)) status = failed(L"DeactivateDevice", GetLastError());
    return status;
}

// The program's own calls: VirtualCopy of the segment, OpenProcess, and the kernel-only functions.
int direct() {
    LPVOID region = VirtualAlloc(0, kSegmentSize, MEM_RESERVE, PAGE_READONLY);
    if (region == 0) return failed(L"VirtualAlloc", GetLastError());
    const DWORD protection = PAGE_PHYSICAL | PAGE_NOCACHE | PAGE_READONLY;
    BOOL done = VirtualCopy(region, reinterpret_cast<LPVOID>(kSegmentPhysical >> 8), kSegmentSize, protection);
    say(L"VirtualCopy: %d, error %lu\n", done, done ? 0 : GetLastError());
    // Process 1 is none of the unit's: OpenProcess, on every generation, looks for it.
    const HANDLE process = OpenProcess(0, 0, 1);
    say(L"OpenProcess: %d, error %lu\n", process != 0, process != 0 ? 0 : GetLastError());
    if (process != 0) (void)CloseHandle(process);
    done = VirtualCopyEx(reinterpret_cast<HANDLE>(0x42), region, 0, reinterpret_cast<LPVOID>(kSegmentPhysical >> 8),
                         kSegmentSize, protection);
    say(L"VirtualCopyEx: %d, error %lu\n", done, done ? 0 : GetLastError());
    // User-mode code opens its own process as a driver opens its caller's.
    const HANDLE own = OpenProcess(0, 0, GetCallerVMProcessId());
    say(L"OpenProcess of its own: %d, error %lu\n", own != 0, own != 0 ? 0 : GetLastError());
    if (own != 0) (void)CloseHandle(own);
    (void)VirtualFree(region, 0, MEM_RELEASE);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    if (argc > 1) mode = argv[1];
    OSVERSIONINFOW version;
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(&version)) return failed(L"GetVersionExW", GetLastError());
    say(L"CE %lu.%lu\n", version.dwMajorVersion, version.dwMinorVersion);
    if (modeIs(L"direct")) return direct();
    // A key under Services\ holds a service: the device manager loads it in user mode.
    if (modeIs(L"services")) key = L"Services\\FolvaneTest";
    HKEY opened = 0;
    DWORD disposition = 0;
    const LONG created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, 0, 0, 0, 0, &opened, &disposition);
    if (created != 0) return failed(L"RegCreateKeyExW", static_cast<DWORD>(created));
    const int status = withKey(opened);
    if (!modeIs(L"leave-key")) (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    (void)RegCloseKey(opened);
    say(L"done\n");
    return status;
}
