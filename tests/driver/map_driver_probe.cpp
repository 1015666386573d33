// The mapping driver's probe: loads FolvaneMap.dll from its own folder as the program does,
// sends it the two mappings the program makes and every kind of request it must refuse, each
// into a region of its own, and gives everything back. One line a request: "NAME: mapped" or
// "NAME: refused (ERROR)"; tests/device/device_e2e.sh compares them. A step of the loading that fails
// prints "FAIL step (error)" and ends with status 1. Built for and run on the test machine only.
#include <stdio.h>
#include <windows.h>

#include "map_request.h"
#include "say.h"

namespace {

const wchar_t kKey[] = L"Drivers\\FolvaneMapProbe";
const DWORD kPageReadOnly = 0x02;
// Addresses outside the caller's own space (below 40000000h) that no one reserved: the line
// itself, the window's base one page too high to end below it, and the kernel's half.
const DWORD kSharedAreas = 0x40000000u;
const DWORD kWindowPastTheLine = 0x40000000u - 0x80000 + 0x1000;
const DWORD kKernelHalf = 0x80000000u;

int failed(const wchar_t* step, DWORD error) {
    say(L"FAIL %ls (%lu)\n", step, error);
    return 1;
}

// How a request differs from the mapping the program makes of its region: a region of its own,
// one released again, or a fixed address (`regionSize` then holds it).
enum Destination { Reserved, Released, Fixed };

struct Request {
    const wchar_t* name;
    DWORD code;
    DWORD form;
    DWORD size;
    DWORD protection;
    DWORD inLength;
    DWORD outLength;
    Destination destination;
    DWORD regionSize;
};

const DWORD kCode = mapdriver::kMapRequestCode;
const Request kRequests[] = {
    {L"segment", kCode, 0xF00, 0x10000, 0x602, 16, 0, Reserved, 0x10000},
    {L"window", kCode, 0xFFF800, 0x80000, 0x602, 16, 0, Reserved, 0x80000},
    {L"another range (E00h)", kCode, 0xE00, 0x10000, 0x602, 16, 0, Reserved, 0x10000},
    {L"another size (8000h)", kCode, 0xF00, 0x8000, 0x602, 16, 0, Reserved, 0x10000},
    {L"the window's size for the segment", kCode, 0xF00, 0x80000, 0x602, 16, 0, Reserved, 0x80000},
    {L"writable (604h)", kCode, 0xF00, 0x10000, 0x604, 16, 0, Reserved, 0x10000},
    {L"cached (402h)", kCode, 0xFFF800, 0x80000, 0x402, 16, 0, Reserved, 0x80000},
    {L"another request code", kCode + 4, 0xF00, 0x10000, 0x602, 16, 0, Reserved, 0x10000},
    {L"a longer request", kCode, 0xF00, 0x10000, 0x602, 20, 0, Reserved, 0x10000},
    {L"an output buffer", kCode, 0xF00, 0x10000, 0x602, 16, 4, Reserved, 0x10000},
    {L"the shared areas (40000000h)", kCode, 0xF00, 0x10000, 0x602, 16, 0, Fixed, kSharedAreas},
    {L"the window ending a page past 40000000h", kCode, 0xFFF800, 0x80000, 0x602, 16, 0, Fixed, kWindowPastTheLine},
    {L"the kernel's half", kCode, 0xF00, 0x10000, 0x602, 16, 0, Fixed, kKernelHalf},
    {L"a region not reserved", kCode, 0xF00, 0x10000, 0x602, 16, 0, Released, 0x10000},
};

void send(HANDLE device, const Request& r) {
    LPVOID region = 0;
    if (r.destination != Fixed) {
        region = VirtualAlloc(0, r.regionSize, MEM_RESERVE, kPageReadOnly);
        if (region == 0) {
            say(L"%ls: FAIL VirtualAlloc (%lu)\n", r.name, GetLastError());
            return;
        }
    }
    if (r.destination == Released) (void)VirtualFree(region, 0, MEM_RELEASE);
    mapdriver::MapRequest request;
    request.destination = r.destination == Fixed ? r.regionSize : reinterpret_cast<uint32_t>(region);
    request.physicalForm = r.form;
    request.size = r.size;
    request.protection = r.protection;
    uint8_t in[20] = {0};
    mapdriver::encodeMapRequest(request, in);
    uint8_t out[4] = {0};
    DWORD returned = 0;
    if (DeviceIoControl(device, r.code, in, r.inLength, r.outLength != 0 ? out : 0, r.outLength, &returned, 0)) {
        say(L"%ls: mapped\n", r.name);
    } else {
        say(L"%ls: refused (%lu)\n", r.name, GetLastError());
    }
    if (r.destination == Reserved) (void)VirtualFree(region, 0, MEM_RELEASE);
}

LONG setText(HKEY key, const wchar_t* name, const wchar_t* text, DWORD characters) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), characters * sizeof(wchar_t));
}

LONG setNumber(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

int withKey() {
    HANDLE device = ActivateDeviceEx(kKey, 0, 0, 0);
    if (device == 0) return failed(L"ActivateDeviceEx", GetLastError());
    int status = 0;
    HANDLE open = CreateFileW(FOLVANE_MAP_PREFIX L"1:", GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    if (open == INVALID_HANDLE_VALUE) {
        status = failed(L"CreateFileW", GetLastError());
    } else {
        for (size_t i = 0; i < sizeof kRequests / sizeof kRequests[0]; ++i) send(open, kRequests[i]);
        if (!CloseHandle(open)) status = failed(L"CloseHandle", GetLastError());
    }
    if (!DeactivateDevice(device)) status = failed(L"DeactivateDevice", GetLastError());
    return status;
}

}  // namespace

int wmain(int, wchar_t*[]) {
    HKEY key = 0;
    DWORD disposition = 0;
    const LONG created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, 0, 0, 0, 0, &key, &disposition);
    if (created != ERROR_SUCCESS) return failed(L"RegCreateKeyExW", static_cast<DWORD>(created));
    LONG result = setText(key, L"Dll", FOLVANE_MAP_FILE, sizeof FOLVANE_MAP_FILE / sizeof(wchar_t));
    if (result == ERROR_SUCCESS) result = setText(key, L"Prefix", FOLVANE_MAP_PREFIX, 4);
    if (result == ERROR_SUCCESS) result = setNumber(key, L"Index", 1);
    if (result == ERROR_SUCCESS) result = setNumber(key, L"Flags", 0);
    (void)RegCloseKey(key);
    const int status = result == ERROR_SUCCESS ? withKey() : failed(L"RegSetValueExW", static_cast<DWORD>(result));
    (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    say(L"done\n");
    return status;
}
