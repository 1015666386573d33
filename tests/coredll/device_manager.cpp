// The device manager of the test machine's coredll.dll, as CE 6/7's: a registry kept in memory
// for the run, stream drivers activated from a key (Dll, Prefix, Index, Flags) under an active
// key Drivers\Active\NN, opened by their name `PFXn:`, asked through IOControl with copies of
// the caller's buffers, closed and deactivated; failing with the codes CE's device manager
// fails with. Everything the program makes here it must give back before it ends.
#include <windows.h>

#include <cstring>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "device_manager.h"
#include "sim_unit.h"
#include "text_format.h"

namespace coredll {
namespace {

constexpr DWORD kLoadAsUserProcess = 0x10;  // DEVFLAGS_LOAD_AS_USERPROC
// CE's device manager reads Dll into 64 characters with the terminator.
constexpr size_t kDllCharacters = 64;
constexpr DWORD kErrorBadConfiguration = 1610;  // ERROR_BAD_CONFIGURATION
constexpr DWORD kErrorOpenFailed = 110;         // ERROR_OPEN_FAILED
constexpr LONG kRegCreatedNewKey = 1;           // REG_CREATED_NEW_KEY
constexpr LONG kRegOpenedExistingKey = 2;       // REG_OPENED_EXISTING_KEY

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    return out;
}

std::wstring folded(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return text;
}

// Keys by their path below HKEY_LOCAL_MACHINE, compared without case.
struct Value {
    DWORD type = 0;
    std::vector<BYTE> data;
};
struct Key {
    std::wstring path;  // as first written
    std::map<std::wstring, Value> values;
    bool unitOwn = false;  // there before the program ran
};

using EntryInit = DWORD(__cdecl*)(LPCWSTR context, LPCVOID busContext);
using EntryDeinit = BOOL(__cdecl*)(DWORD device);
using EntryOpen = DWORD(__cdecl*)(DWORD device, DWORD access, DWORD share);
using EntryClose = BOOL(__cdecl*)(DWORD open);
using EntryIoControl = BOOL(__cdecl*)(DWORD open, DWORD code, BYTE* in, DWORD inLength, BYTE* out, DWORD outLength,
                                      DWORD* actualOut);

struct Device {
    std::wstring name;       // PFXn:, or empty when the key's Prefix was dropped
    std::wstring activeKey;  // Drivers\Active\NN
    HMODULE module = nullptr;
    bool kernel = false;
    DWORD context = 0;
    EntryDeinit deinit = nullptr;
    EntryOpen open = nullptr;
    EntryClose close = nullptr;
    EntryIoControl ioControl = nullptr;
};

enum class Kind { Key, Open, Process };
struct Handle {
    Kind kind;
    std::wstring key;      // Key: the folded path
    uintptr_t device = 0;  // Open: the device's handle, 0 once it was deactivated
    DWORD open = 0;        // Open: the driver's open context
};

struct Manager {
    std::map<std::wstring, Key> keys;
    std::map<uintptr_t, Device> devices;
    std::map<uintptr_t, Handle> handles;
    uintptr_t nextHandle = 0x5EC00004;
    unsigned nextActive = 20;  // the unit's own drivers hold the active keys below

    Manager() {
        // A unit's registry holds the device manager's own keys before any program runs.
        for (const wchar_t* path : {L"Drivers", L"Drivers\\Active", L"Drivers\\BuiltIn", L"Services"}) {
            keys[folded(path)] = Key{path, {}, true};
        }
    }
    uintptr_t add(Handle handle) {
        const uintptr_t value = nextHandle;
        nextHandle += 4;
        handles.emplace(value, std::move(handle));
        return value;
    }
};

Manager& manager() {
    static Manager* instance = new Manager;  // lives until the process's end, checked there
    return *instance;
}

Handle* handleOf(HANDLE value, Kind kind) {
    const auto found = manager().handles.find(reinterpret_cast<uintptr_t>(value));
    return found != manager().handles.end() && found->second.kind == kind ? &found->second : nullptr;
}

// The key `subKey` names below `parent` (HKEY_LOCAL_MACHINE or an open key), as a path; false
// when the parent is no key.
bool keyPath(HKEY parent, LPCWSTR subKey, std::wstring& path) {
    if (parent == HKEY_LOCAL_MACHINE) {
        path.clear();
    } else if (const Handle* handle = handleOf(parent, Kind::Key)) {
        path = manager().keys.count(handle->key) != 0 ? manager().keys[handle->key].path : handle->key;
    } else {
        return false;
    }
    if (subKey != nullptr && *subKey != L'\0') path += (path.empty() ? L"" : L"\\") + std::wstring(subKey);
    return true;
}

Key* findKey(const std::wstring& path) {
    const auto found = manager().keys.find(folded(path));
    return found != manager().keys.end() ? &found->second : nullptr;
}

// A value of a key as the device manager reads it: a text or a number, or absent.
bool textValue(const Key& key, const wchar_t* name, std::wstring& text) {
    const auto found = key.values.find(folded(name));
    if (found == key.values.end() || found->second.type != REG_SZ) return false;
    const auto& data = found->second.data;
    text.assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return true;
}
bool numberValue(const Key& key, const wchar_t* name, DWORD& number) {
    const auto found = key.values.find(folded(name));
    if (found == key.values.end() || found->second.type != REG_DWORD || found->second.data.size() != 4) return false;
    std::memcpy(&number, found->second.data.data(), 4);
    return true;
}

// What a driver's entry point left as its last error, or ERROR_GEN_FAILURE when it left none.
DWORD driverError(DWORD left) { return left != 0 ? left : ERROR_GEN_FAILURE; }

template <typename Result>
Result failing(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

void unload(Device& device) {
    (void)device.deinit(device.context);
    (void)FreeLibrary(device.module);
    manager().keys.erase(folded(device.activeKey));
}

// A key under Services\ holds a service, which CE loads in user mode whatever its Flags.
bool isServicesKey(const std::wstring& path) { return folded(path).compare(0, 9, L"services\\") == 0; }

// The loaded image's headers: a DLL, and whether it kept its relocations.
bool isDll(HMODULE module, bool& relocatable) {
    const auto base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& relocations = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    relocatable = (nt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED) == 0 && relocations.Size != 0;
    return (nt->FileHeader.Characteristics & IMAGE_FILE_DLL) != 0;
}

}  // namespace

bool loadedIntoKernel(HMODULE module) {
    for (const auto& entry : manager().devices) {
        if (entry.second.module == module) return entry.second.kernel;
    }
    return false;
}

HANDLE openCallerProcess() { return reinterpret_cast<HANDLE>(manager().add(Handle{Kind::Process, {}})); }

bool isCallerProcessHandle(HANDLE handle) { return handleOf(handle, Kind::Process) != nullptr; }

void checkNothingHeldAtExit() {
    Manager& m = manager();
    for (const auto& entry : m.devices) {
        const Device& d = entry.second;
        sim::fault("the driver " + narrow(d.name.empty() ? d.activeKey : d.name) +
                   " is still active at exit (DeactivateDevice)");
    }
    for (const auto& entry : m.handles) {
        const Handle& h = entry.second;
        const std::string value = hexDigits(entry.first, 8) + "h";
        if (h.kind == Kind::Open) sim::fault("the device handle " + value + " is still open at exit (CloseHandle)");
        if (h.kind == Kind::Process) sim::fault("the process handle " + value + " is still open at exit (CloseHandle)");
        if (h.kind == Kind::Key)
            sim::fault("the registry key handle " + value + " is still open at exit (RegCloseKey)");
    }
    for (const auto& entry : m.keys) {
        if (!entry.second.unitOwn) {
            sim::fault("the registry key HKEY_LOCAL_MACHINE\\" + narrow(entry.second.path) +
                       " is still there at exit (RegDeleteKeyW)");
        }
    }
}

}  // namespace coredll

using coredll::Device;
using coredll::failsOnDemand;
using coredll::Handle;
using coredll::Kind;
using coredll::manager;

extern "C" {

// CE: creates or opens a key below HKEY_LOCAL_MACHINE or an open key, and every key on the way.
LONG __cdecl ce_RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                                PHKEY result, LPDWORD disposition) {
    if (failsOnDemand("RegCreateKeyExW")) return static_cast<LONG>(GetLastError());
    std::wstring path;
    if (result == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
    if (!coredll::keyPath(parent, subKey, path)) return ERROR_INVALID_HANDLE;
    if (path.empty() || path.front() == L'\\' || path.back() == L'\\' || path.find(L"\\\\") != std::wstring::npos) {
        return ERROR_INVALID_PARAMETER;
    }
    const bool existed = coredll::findKey(path) != nullptr;
    for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
        const std::wstring part = path.substr(0, end);
        if (coredll::findKey(part) == nullptr) manager().keys[coredll::folded(part)] = coredll::Key{part, {}, false};
        if (end == std::wstring::npos) break;
    }
    *result = reinterpret_cast<HKEY>(manager().add(Handle{Kind::Key, coredll::folded(path)}));
    if (disposition != nullptr) {
        *disposition = static_cast<DWORD>(existed ? coredll::kRegOpenedExistingKey : coredll::kRegCreatedNewKey);
    }
    return ERROR_SUCCESS;
}

// CE: sets a value of an open key; the device manager reads REG_SZ and REG_DWORD values.
LONG __cdecl ce_RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (failsOnDemand("RegSetValueExW")) return static_cast<LONG>(GetLastError());
    const Handle* handle = coredll::handleOf(key, Kind::Key);
    if (handle == nullptr) return ERROR_INVALID_HANDLE;
    if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
    const auto found = manager().keys.find(handle->key);
    if (found == manager().keys.end()) return ERROR_KEY_DELETED;
    coredll::Value& value = found->second.values[coredll::folded(name != nullptr ? name : L"")];
    value.type = type;
    value.data.assign(data, data + size);
    return ERROR_SUCCESS;
}

// CE: deletes a key with the keys below it.
LONG __cdecl ce_RegDeleteKeyW(HKEY parent, LPCWSTR subKey) {
    std::wstring path;
    if (subKey == nullptr || *subKey == L'\0') return ERROR_INVALID_PARAMETER;
    if (!coredll::keyPath(parent, subKey, path)) return ERROR_INVALID_HANDLE;
    const std::wstring key = coredll::folded(path);
    if (manager().keys.erase(key) == 0) return ERROR_FILE_NOT_FOUND;
    auto& keys = manager().keys;
    for (auto at = keys.lower_bound(key + L"\\");
         at != keys.end() && at->first.compare(0, key.size() + 1, key + L"\\") == 0;) {
        at = keys.erase(at);
    }
    return ERROR_SUCCESS;
}

LONG __cdecl ce_RegCloseKey(HKEY key) {
    if (coredll::handleOf(key, Kind::Key) == nullptr) return ERROR_INVALID_HANDLE;
    manager().handles.erase(reinterpret_cast<uintptr_t>(key));
    return ERROR_SUCCESS;
}

// CE: loads the stream driver that the key below HKEY_LOCAL_MACHINE describes and calls its
// Init with the path of the active key made for it and the caller's parameter. Only Dll is
// required; a Prefix that is not three characters is dropped (the device then has no name and
// its entry points are looked up without one). `registryEntries` would go into the active key,
// which nothing here reads.
HANDLE __cdecl ce_ActivateDeviceEx(LPCWSTR deviceKey, const void*, DWORD, LPVOID parameter) {
    if (failsOnDemand("ActivateDeviceEx")) return nullptr;
    const coredll::Key* key = deviceKey != nullptr ? coredll::findKey(deviceKey) : nullptr;
    std::wstring dll;
    if (key == nullptr || !coredll::textValue(*key, L"Dll", dll) || dll.empty() ||
        dll.size() >= coredll::kDllCharacters) {
        return coredll::failing<HANDLE>(coredll::kErrorBadConfiguration, nullptr);
    }
    std::wstring prefix;
    if (!coredll::textValue(*key, L"Prefix", prefix) || prefix.size() != 3) prefix.clear();
    DWORD index = 1;
    DWORD flags = 0;
    // Not settled from CE's sources: a malformed Index or Flags is this DLL's 87.
    const bool indexOk = key->values.count(L"index") == 0 || coredll::numberValue(*key, L"Index", index);
    const bool flagsOk = key->values.count(L"flags") == 0 || coredll::numberValue(*key, L"Flags", flags);
    if (!indexOk || index > 9 || !flagsOk) return coredll::failing<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    Device device;
    if (!prefix.empty()) device.name = prefix + static_cast<wchar_t>(L'0' + index) + L":";
    for (const auto& entry : manager().devices) {
        if (!device.name.empty() && coredll::folded(entry.second.name) == coredll::folded(device.name)) {
            return coredll::failing<HANDLE>(ERROR_DEVICE_IN_USE, nullptr);
        }
    }
    // On CE 5.0 every driver runs in the device manager's user-mode process; on CE 6 and 7 too
    // when its Flags or a key under Services\ ask for it.
    device.kernel =
        (flags & coredll::kLoadAsUserProcess) == 0 && !coredll::isServicesKey(key->path) && coredll::ceVersion() >= 6;
    // Any failure to load the DLL is 2, whatever the loader's own reason.
    device.module = LoadLibraryW(dll.c_str());
    if (device.module == nullptr) return coredll::failing<HANDLE>(ERROR_FILE_NOT_FOUND, nullptr);
    bool relocatable = false;
    if (!coredll::isDll(device.module, relocatable) || (device.kernel && !relocatable && coredll::ceVersion() >= 7)) {
        (void)FreeLibrary(device.module);
        return coredll::failing<HANDLE>(ERROR_FILE_NOT_FOUND, nullptr);
    }
    if (device.kernel && !relocatable) {
        sim::fault(coredll::narrow(dll) +
                   " has no relocation information: CE 6 loads it into the kernel at another "
                   "base without fixing it up, which would crash the unit");
    }
    const std::string stem = prefix.empty() ? "" : coredll::narrow(prefix) + "_";
    const auto entry = [&](const char* name, auto& function) {
        const FARPROC found = GetProcAddress(device.module, (stem + name).c_str());
        static_assert(sizeof function == sizeof found);
        std::memcpy(&function, &found, sizeof function);  // the C convention, as CE exports are
    };
    coredll::EntryInit init = nullptr;
    FARPROC read = nullptr;
    FARPROC write = nullptr;
    FARPROC seek = nullptr;
    FARPROC preDeinit = nullptr;
    FARPROC preClose = nullptr;
    entry("Init", init);
    entry("Deinit", device.deinit);
    entry("Open", device.open);
    entry("Close", device.close);
    entry("IOControl", device.ioControl);
    entry("Read", read);
    entry("Write", write);
    entry("Seek", seek);
    entry("PreDeinit", preDeinit);
    entry("PreClose", preClose);
    // Init, Deinit, Open and Close, one way to move data, and PreClose only beside PreDeinit.
    const bool moves = device.ioControl != nullptr || read != nullptr || write != nullptr || seek != nullptr;
    if (init == nullptr || device.deinit == nullptr || device.open == nullptr || device.close == nullptr || !moves ||
        (preClose != nullptr && preDeinit == nullptr)) {
        (void)FreeLibrary(device.module);
        return coredll::failing<HANDLE>(ERROR_INVALID_FUNCTION, nullptr);
    }
    const unsigned active = manager().nextActive++;
    device.activeKey = L"Drivers\\Active\\" + std::to_wstring(active / 10) + std::to_wstring(active % 10);
    manager().keys[coredll::folded(device.activeKey)] = coredll::Key{device.activeKey, {}, true};
    // Init runs as a driver of its kind already: it may map from the kernel.
    const uintptr_t handle = manager().nextHandle;
    manager().devices[handle] = device;
    const DWORD context = init(device.activeKey.c_str(), parameter);
    if (context == 0) {
        manager().devices.erase(handle);
        manager().keys.erase(coredll::folded(device.activeKey));
        (void)FreeLibrary(device.module);
        return coredll::failing<HANDLE>(coredll::kErrorOpenFailed, nullptr);
    }
    manager().nextHandle += 4;
    manager().devices[handle].context = context;
    return reinterpret_cast<HANDLE>(handle);
}

// CE: calls the driver's Deinit and unloads it. Handles still open on it stay to be closed.
BOOL __cdecl ce_DeactivateDevice(HANDLE device) {
    const auto found = manager().devices.find(reinterpret_cast<uintptr_t>(device));
    if (found == manager().devices.end()) return coredll::failing<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    Device gone = found->second;
    for (auto& entry : manager().handles) {
        if (entry.second.kind == Kind::Open && entry.second.device == found->first) entry.second.device = 0;
    }
    manager().devices.erase(found);
    coredll::unload(gone);
    return TRUE;
}

// CE: `PFXn:` opens an active stream driver through its Open; any other name is a file.
HANDLE __cdecl ce_CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD attributes, HANDLE templateFile) {
    if (failsOnDemand("CreateFileW")) return INVALID_HANDLE_VALUE;
    const std::wstring wanted = name != nullptr ? coredll::folded(name) : L"";
    const bool deviceName = wanted.size() == 5 && std::iswalpha(wanted[0]) && std::iswalpha(wanted[1]) &&
                            std::iswalpha(wanted[2]) && std::iswdigit(wanted[3]) && wanted[4] == L':';
    if (!deviceName) return CreateFileW(name, access, share, security, disposition, attributes, templateFile);
    for (auto& entry : manager().devices) {
        if (coredll::folded(entry.second.name) != wanted) continue;
        SetLastError(0);
        const DWORD open = entry.second.open(entry.second.context, access, share);
        const DWORD left = GetLastError();
        if (open == 0) return coredll::failing<HANDLE>(coredll::driverError(left), INVALID_HANDLE_VALUE);
        return reinterpret_cast<HANDLE>(manager().add(Handle{Kind::Open, {}, entry.first, open}));
    }
    return coredll::failing<HANDLE>(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
}

// CE: the driver's IOControl gets copies of the caller's buffers, as the device manager's
// marshalling hands them to a kernel-mode driver; the output copy goes back when it succeeds,
// and the driver's last error reaches the caller when it fails.
BOOL __cdecl ce_DeviceIoControl(HANDLE open, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength,
                                LPDWORD returned, LPVOID overlapped) {
    if (failsOnDemand("DeviceIoControl")) return FALSE;
    const Handle* handle = coredll::handleOf(open, Kind::Open);
    if (handle == nullptr || handle->device == 0) return coredll::failing<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    if ((in == nullptr && inLength != 0) || (out == nullptr && outLength != 0) || overlapped != nullptr) {
        return coredll::failing<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    const Device& device = manager().devices.at(handle->device);
    // A driver that moves its data by Read, Write or Seek alone takes no requests.
    if (device.ioControl == nullptr) return coredll::failing<BOOL>(ERROR_INVALID_FUNCTION, FALSE);
    std::vector<BYTE> inCopy(static_cast<BYTE*>(in), static_cast<BYTE*>(in) + inLength);
    std::vector<BYTE> outCopy(static_cast<BYTE*>(out), static_cast<BYTE*>(out) + outLength);
    DWORD actual = 0;
    SetLastError(0);
    const BOOL done = device.ioControl(handle->open, code, inLength != 0 ? inCopy.data() : nullptr, inLength,
                                       outLength != 0 ? outCopy.data() : nullptr, outLength, &actual);
    const DWORD left = GetLastError();
    if (!done) return coredll::failing<BOOL>(coredll::driverError(left), FALSE);
    if (actual > outLength) {
        sim::fault(coredll::narrow(device.name) + " IOControl reports " + std::to_string(actual) +
                   " bytes returned into a buffer of " + std::to_string(outLength));
    }
    if (outLength != 0) std::memcpy(out, outCopy.data(), outLength);
    if (returned != nullptr) *returned = actual;
    return TRUE;
}

// CE: an open driver handle calls the driver's Close (unless the driver is gone); a process
// handle is let go; any other handle is the host's.
BOOL __cdecl ce_CloseHandle(HANDLE value) {
    const auto found = manager().handles.find(reinterpret_cast<uintptr_t>(value));
    if (found == manager().handles.end()) return CloseHandle(value);
    const Handle handle = found->second;
    if (handle.kind == Kind::Key) return coredll::failing<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    manager().handles.erase(found);
    if (handle.kind == Kind::Open && handle.device != 0) {
        (void)manager().devices.at(handle.device).close(handle.open);
    }
    return TRUE;
}

}  // extern "C"
