// The CE generation that the test machine's coredll.dll plays (the state file's ce_version):
// CE 5.0 maps physical memory for the program itself; CE 6.0 and 7 hand a user-mode VirtualCopy
// of physical memory to the user-mode driver reflector, which maps only what a user-mode
// driver's key declares (none here: ERROR_INVALID_PARAMETER). On both, a driver that the device
// manager loaded into the kernel may map physical memory into a region its calling process
// reserved, through VirtualCopyEx (kernel only: user mode gets ERROR_NOT_SUPPORTED),
// OpenProcess and GetCallerVMProcessId. Also the small kernel functions a driver and its
// start-up use.
#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>

#include "device_manager.h"
#include "sim_unit.h"
#include "text_format.h"

namespace coredll {
namespace {

constexpr DWORD kCePagePhysical = 0x400;
constexpr uintptr_t kCurrentProcess = 0x42;  // GetCurrentProcess(): SH_CURPROC + SYS_HANDLE_BASE
constexpr DWORD kPlatformCe = 3;             // VER_PLATFORM_WIN32_CE
// Above it lie the shared DLL, shared heap and kernel areas of every process.
constexpr uintptr_t kProcessSpaceEnd = 0x40000000;

// Each reserved region and whether the process (not the kernel) reserved it.
std::map<uintptr_t, bool>& reservations() {
    static auto* regions = new std::map<uintptr_t, bool>;
    return *regions;
}

std::string hex8(uintptr_t value) { return hexDigits(value, 8); }

// The kernel-only functions are not in CE 5.0's coredll: an image importing them does not load.
void requireKernelFunctions(const char* function, int ordinal) {
    if (ceVersion() >= 6) return;
    sim::fault(std::string(function) + " (ordinal " + std::to_string(ordinal) +
               ") is not in CE 5.0's coredll; an image that imports it does not load on this unit");
}

template <typename Result>
Result failing(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

}  // namespace

// FOLVANE_MACHINE_CE, when set to 5, 6 or 7, makes every unit of the run that generation, over
// its state file's ce_version: the device stage runs part of the suite again on CE 6.0 units.
unsigned ceVersion() {
    static const unsigned forced = [] {
        const char* value = std::getenv("FOLVANE_MACHINE_CE");
        const std::string text = value != nullptr ? value : "";
        return text == "5" || text == "6" || text == "7" ? static_cast<unsigned>(text[0] - '0') : 0U;
    }();
    return forced != 0 ? forced : sim::currentUnit().state().faults.ceVersion;
}

std::string imageNameAt(const void* address) {
    HMODULE module = nullptr;
    char path[MAX_PATH] = "";
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module) ||
        GetModuleFileNameA(module, path, sizeof path) == 0) {
        return "no image (" + hex8(reinterpret_cast<uintptr_t>(address)) + "h)";
    }
    const std::string full = path;
    return full.substr(full.find_last_of("\\/") + 1);
}

Caller callerAt(const void* returnAddress) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(returnAddress), &module)) {
        return Caller::User;
    }
    if (module == GetModuleHandleW(nullptr)) return Caller::Program;
    return loadedIntoKernel(module) ? Caller::Kernel : Caller::User;
}

bool refusesPhysicalMapping(const void* returnAddress, DWORD protection) {
    if (ceVersion() < 6 || (protection & kCePagePhysical) == 0 || callerAt(returnAddress) == Caller::Kernel) {
        return false;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return true;
}

void noteReservation(const void* region, const void* returnAddress) {
    reservations()[reinterpret_cast<uintptr_t>(region)] = callerAt(returnAddress) != Caller::Kernel;
}

bool reservedByProcess(const void* region) {
    const auto found = reservations().find(reinterpret_cast<uintptr_t>(region));
    return found != reservations().end() && found->second;
}

void forgetReservation(const void* region) { reservations().erase(reinterpret_cast<uintptr_t>(region)); }

void checkMappingTarget(const void* region, bool intoProcess, const char* function) {
    const auto found = reservations().find(reinterpret_cast<uintptr_t>(region));
    if (found == reservations().end() || found->second == intoProcess) return;  // the unit judges the rest
    sim::fault(std::string(function) + " into " + hex8(reinterpret_cast<uintptr_t>(region)) + "h, which " +
               (intoProcess ? "the kernel reserved, not the calling process" : "the process reserved, not the kernel"));
}

bool failsOnDemand(const char* step) {
    if (!sim::currentUnit().state().faults.fails(step)) return false;
    SetLastError(ERROR_GEN_FAILURE);
    return true;
}

}  // namespace coredll

using coredll::Caller;
using coredll::callerAt;

extern "C" {

// CE 6/7, kernel only: maps into a process's address space. A driver in the kernel maps the
// physical source into a region that its calling process reserved (the handle from
// OpenProcess), or into its own (GetCurrentProcess()), under the same checks as the program's
// own VirtualCopy. CE 6 puts no upper bound on a process's destination: one at or above
// 40000000h would map over the shared areas, which here is a fault.
BOOL __cdecl ce_VirtualCopyEx(HANDLE destinationProcess, LPVOID destination, HANDLE sourceProcess, LPVOID source,
                              DWORD size, DWORD protection) {
    const void* caller = __builtin_return_address(0);
    coredll::requireKernelFunctions("VirtualCopyEx", 2565);
    if (callerAt(caller) != Caller::Kernel) return coredll::failing<BOOL>(ERROR_NOT_SUPPORTED, FALSE);
    if (coredll::failsOnDemand("VirtualCopyEx")) return FALSE;
    bool intoProcess = false;
    if (coredll::isCallerProcessHandle(destinationProcess)) {
        intoProcess = true;
    } else if (reinterpret_cast<uintptr_t>(destinationProcess) != coredll::kCurrentProcess) {
        return coredll::failing<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (sourceProcess != nullptr && reinterpret_cast<uintptr_t>(sourceProcess) != coredll::kCurrentProcess) {
        return coredll::failing<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    const auto at = reinterpret_cast<uintptr_t>(destination);
    if (intoProcess && (at >= coredll::kProcessSpaceEnd || size > coredll::kProcessSpaceEnd - at)) {
        sim::fault("VirtualCopyEx into " + coredll::hex8(at) + "h, " + coredll::hex8(size) +
                   "h bytes of the calling process: at or above 40000000h lie the shared DLL, shared heap and "
                   "kernel areas, which CE 6 would map over");
    }
    // A region the calling process did not reserve is the caller's mistake, not the driver's:
    // the kernel refuses it, and the driver hands the refusal back.
    if (intoProcess && !coredll::reservedByProcess(destination)) {
        return coredll::failing<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    coredll::checkMappingTarget(destination, intoProcess, "VirtualCopyEx");
    sim::Unit& unit = sim::currentUnit();
    const auto form = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(source));
    if (unit.map(destination, form, size, protection)) return TRUE;
    return coredll::failing<BOOL>(unit.lastError(), FALSE);
}

// CE 5, 6 and 7, from user mode as from the kernel: a handle to the calling process (the
// program: the unit runs one); any other id is no process of the unit.
HANDLE __cdecl ce_OpenProcess(DWORD, BOOL, DWORD processId) {
    if (coredll::failsOnDemand("OpenProcess")) return nullptr;
    if (processId != GetCurrentProcessId()) return coredll::failing<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    return coredll::openCallerProcess();
}

// CE 6/7: the process whose address space the caller works in: for a driver, the process on
// whose behalf it runs; for user-mode code, its own (the program: the unit runs one).
DWORD __cdecl ce_GetCallerVMProcessId() {
    coredll::requireKernelFunctions("GetCallerVMProcessId", 2603);
    return GetCurrentProcessId();
}

// The generation's version: major 5, 6 or 7, minor 0, on the CE platform.
BOOL __cdecl ce_GetVersionExW(OSVERSIONINFOW* info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof *info) {
        return coredll::failing<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    info->dwMajorVersion = coredll::ceVersion();
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 0;
    info->dwPlatformId = coredll::kPlatformCe;
    info->szCSDVersion[0] = L'\0';
    return TRUE;
}

// Desktop Win32's own under CE's calling convention.
void __cdecl ce_SetLastError(DWORD error) { SetLastError(error); }
HMODULE __cdecl ce_LoadLibraryW(LPCWSTR name) { return LoadLibraryW(name); }
BOOL __cdecl ce_FreeLibrary(HMODULE module) { return FreeLibrary(module); }
BOOL __cdecl ce_DisableThreadLibraryCalls(HMODULE module) { return DisableThreadLibraryCalls(module); }
// CE's CRITICAL_SECTION is five words, smaller than desktop Win32's: the first holds the host's.
void __cdecl ce_InitializeCriticalSection(void* section) {
    auto* host = new CRITICAL_SECTION;
    InitializeCriticalSection(host);
    *static_cast<CRITICAL_SECTION**>(section) = host;
}
void __cdecl ce_DeleteCriticalSection(void* section) {
    CRITICAL_SECTION* host = *static_cast<CRITICAL_SECTION**>(section);
    DeleteCriticalSection(host);
    delete host;
}
void __cdecl ce_EnterCriticalSection(void* section) { EnterCriticalSection(*static_cast<CRITICAL_SECTION**>(section)); }
void __cdecl ce_LeaveCriticalSection(void* section) { LeaveCriticalSection(*static_cast<CRITICAL_SECTION**>(section)); }

}  // extern "C"
