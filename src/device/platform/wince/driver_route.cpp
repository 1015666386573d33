// Loading FolvaneMap.dll as CE's device manager loads a stream driver: a registry key of the
// program's own (not under Drivers\BuiltIn, which the device manager loads at every boot) names
// the file beside FolvaneCE.exe, its prefix FVM, a device index and no user-mode flag, so that
// CE 6.0 and 7 load it into the kernel; ActivateDeviceEx loads it, CreateFileW opens FVMn:, and
// DeviceIoControl carries each mapping request. The run ends by closing, unloading and removing
// all of it again. The device manager takes a driver's path of 63 characters at most: a longer
// one is refused before anything is written.
//
// Each run takes the first index from 1 to 9 whose device name is free, with the key
// Drivers\FolvaneMapN. A key that a run killed before its end left behind is replaced when its
// index is free again; the key of an index whose device is still loaded (another run's, or a
// killed run's driver) is left alone, and the next index tried.
#include <windows.h>

#include <wchar.h>

#include "driver_route.h"
#include "map_request.h"
#include "platform.h"

namespace {

const DWORD kFirstIndex = 1;
const DWORD kLastIndex = 9;
// The device manager's error for a device name that is taken.
const DWORD kErrorDeviceInUse = 2404;
// The device manager reads the driver's path into 64 characters with the terminator.
const size_t kLongestDriverPath = 63;
// Loaded into the kernel: no DEVFLAGS_LOAD_AS_USERPROC (10h).
const DWORD kKernelModeFlags = 0;

// What this run holds of the route. Zero until the first need; no constructor runs on the
// device, so the zero comes from the image's uninitialised data.
struct DriverRoute {
    bool tried;       // loading has been attempted
    bool loadFailed;  // ... and failed, for `loadError`
    DWORD loadError;
    bool pathTooLong;  // ... before it began: `dll` is longer than the device manager takes
    bool keyHeld;      // `key` is this run's and must be removed
    HANDLE device;     // from ActivateDeviceEx; null when not loaded
    HANDLE file;       // FVMn: opened; null when not open
    wchar_t dll[MAX_PATH];
    wchar_t key[24];
    wchar_t deviceName[8];
};

DriverRoute route;

bool loaded(HANDLE handle) { return handle != NULL && handle != INVALID_HANDLE_VALUE; }

// `text` with its last character replaced by the index's digit.
void setIndexDigit(wchar_t* text, DWORD index) { text[wcslen(text) - 1] = static_cast<wchar_t>(L'0' + index); }

void copyText(wchar_t* destination, const wchar_t* source) {
    while ((*destination++ = *source++) != L'\0') {}
}

// The driver's path: FolvaneCE.exe's folder and the driver's name; just the name, with the last
// error set, when the folder cannot be had.
bool locateDriver(wchar_t* path) {
    const DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    size_t folder = length;
    while (folder > 0 && path[folder - 1] != L'\\') --folder;
    const size_t nameLength = wcslen(FOLVANE_MAP_FILE);
    if (length == 0 || length >= MAX_PATH || folder + nameLength >= MAX_PATH) {
        if (length != 0) SetLastError(ERROR_FILENAME_EXCED_RANGE);
        copyText(path, FOLVANE_MAP_FILE);
        return false;
    }
    copyText(path + folder, FOLVANE_MAP_FILE);
    return true;
}

LONG setValue(HKEY key, const wchar_t* name, const wchar_t* text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

LONG setValue(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// Writes the key for device `index`, replacing what a key of that name held. `created`: the
// key did not exist. On failure the key is gone again and the result is the registry's error.
LONG writeKey(DWORD index, bool& created) {
    HKEY key = NULL;
    DWORD disposition = 0;
    LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, route.key, 0, NULL, 0, 0, NULL, &key, &disposition);
    if (error != ERROR_SUCCESS) return error;
    created = disposition != REG_OPENED_EXISTING_KEY;
    error = setValue(key, L"Dll", route.dll);
    if (error == ERROR_SUCCESS) error = setValue(key, L"Prefix", FOLVANE_MAP_PREFIX);
    if (error == ERROR_SUCCESS) error = setValue(key, L"Index", index);
    if (error == ERROR_SUCCESS) error = setValue(key, L"Flags", kKernelModeFlags);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS) RegDeleteKeyW(HKEY_LOCAL_MACHINE, route.key);
    return error;
}

// Loads and opens the driver; false, with route.loadError, when any step fails. Whatever a
// failed step leaves is undone here.
bool loadDriver() {
    if (!locateDriver(route.dll)) {
        route.loadError = GetLastError();
        return false;
    }
    if (wcslen(route.dll) > kLongestDriverPath) {
        route.pathTooLong = true;
        return false;
    }
    copyText(route.key, L"Drivers\\FolvaneMap0");
    copyText(route.deviceName, FOLVANE_MAP_PREFIX L"0:");
    for (DWORD index = kFirstIndex; index <= kLastIndex; ++index) {
        setIndexDigit(route.key, index);
        bool created = false;
        const LONG keyError = writeKey(index, created);
        if (keyError != ERROR_SUCCESS) {
            route.loadError = static_cast<DWORD>(keyError);
            return false;
        }
        route.device = ActivateDeviceEx(route.key, NULL, 0, NULL);
        if (loaded(route.device)) {
            route.keyHeld = true;
            route.deviceName[3] = static_cast<wchar_t>(L'0' + index);
            break;
        }
        route.device = NULL;
        const DWORD error = GetLastError();
        const bool taken = error == kErrorDeviceInUse;
        // A taken index's key that existed is the key of the driver loaded there: left alone.
        if (created || !taken) RegDeleteKeyW(HKEY_LOCAL_MACHINE, route.key);
        if (!taken || index == kLastIndex) {
            route.loadError = error;
            return false;
        }
    }
    route.file = CreateFileW(route.deviceName, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (!loaded(route.file)) {
        route.file = NULL;
        route.loadError = GetLastError();
        return false;
    }
    return true;
}

// Closes, unloads and removes what the route holds.
void releaseRoute() {
    if (loaded(route.file)) CloseHandle(route.file);
    route.file = NULL;
    if (loaded(route.device)) DeactivateDevice(route.device);
    route.device = NULL;
    if (route.keyHeld) RegDeleteKeyW(HKEY_LOCAL_MACHINE, route.key);
    route.keyHeld = false;
}

}  // namespace

namespace platform {

bool mapThroughDriver(void* region, uint32_t physicalForm, uint32_t size, uint32_t protection, uint32_t refusal) {
    if (!route.tried) {
        route.tried = true;
        route.loadFailed = !loadDriver();
        if (route.loadFailed) releaseRoute();
    }
    if (!loaded(route.file)) {
        SetLastError(refusal);
        return false;
    }
    mapdriver::MapRequest request;
    request.destination = reinterpret_cast<uint32_t>(region);
    request.physicalForm = physicalForm;
    request.size = size;
    request.protection = protection;
    uint8_t bytes[mapdriver::kMapRequestBytes];
    mapdriver::encodeMapRequest(request, bytes);
    DWORD returned = 0;
    return DeviceIoControl(route.file, mapdriver::kMapRequestCode, bytes, sizeof bytes, NULL, 0, &returned, NULL) !=
           FALSE;
}

void endDeviceRun() {
    releaseRoute();
    // After the mapping's own message and what the operation made of it.
    if (route.pathTooLong) {
        consolePrint(
            L"***ERROR*** The driver's path has more than 63 characters (%s)! Put FolvaneCE.exe and "
            L"FolvaneMap.dll into a shorter folder.\n",
            route.dll);
    } else if (route.loadFailed) {
        consolePrint(L"***ERROR*** Could not load the driver %s (%08X)!\n", route.dll,
                     static_cast<uint32_t>(route.loadError));
    }
}

}  // namespace platform
