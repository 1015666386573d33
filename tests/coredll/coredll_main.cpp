// The test machine's coredll.dll: what the device image imports from CE's coredll, for running
// that image under wine against the simulated unit. The runtime functions are the Windows
// runtime's own (msvcrt, forwarded by the export list); the memory manager, the last error, the
// asset tag's scratch allocation and the end of the process go through the unit, which is
// loaded when this DLL is. Host code: it never goes onto a unit.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "device_manager.h"
#include "firmware_interface.h"
#include "service_entry.h"
#include "sim_unit.h"
#include "simulated_platform.h"
#include "text_format.h"

namespace {

std::string hex8(uintptr_t value) { return hexDigits(value, 8); }

// CE's values, as the device program passes them (MEM_RESERVE and MEM_RELEASE are also
// desktop Win32's).
constexpr DWORD kCeMemReserve = 0x2000;
constexpr DWORD kCeMemRelease = 0x8000;
// CE's GetCurrentProcess(): SH_CURPROC 2 + SYS_HANDLE_BASE 64.
constexpr uintptr_t kCeCurrentProcess = 0x42;

// The device's kernel sets the thread's last error where a call fails; the unit says which.
template <typename Result>
Result failingWithUnitError(Result result) {
    SetLastError(sim::currentUnit().lastError());
    return result;
}

}  // namespace

extern "C" {

// CE: reserves address space; the program reserves read-only at no preferred address.
LPVOID __cdecl ce_VirtualAlloc(LPVOID address, DWORD size, DWORD type, DWORD protection) {
    if (address != nullptr || type != kCeMemReserve) {
        sim::fault("VirtualAlloc(" + hex8(reinterpret_cast<uintptr_t>(address)) + "h, " + hex8(size) + "h, " + hex8(type) +
                   "h, " + hex8(protection) +
                   "h); the device program only reserves, at no preferred address (MEM_RESERVE 2000h)");
    }
    void* region = sim::currentUnit().reserve(size, protection);
    if (region != nullptr) coredll::noteReservation(region, __builtin_return_address(0));
    return region != nullptr ? region : failingWithUnitError<LPVOID>(nullptr);
}

// CE: backs a reserved region with physical memory; with PAGE_PHYSICAL the source is the
// physical address divided by 256. The unit refuses any other region, size, source or
// protection as the device would. CE 6 and 7 refuse it to user-mode code (the program).
BOOL __cdecl ce_VirtualCopy(LPVOID destination, LPVOID source, DWORD size, DWORD protection) {
    const void* caller = __builtin_return_address(0);
    if (coredll::refusesPhysicalMapping(caller, protection)) return FALSE;
    coredll::checkMappingTarget(destination, coredll::callerAt(caller) != coredll::Caller::Kernel, "VirtualCopy");
    const auto form = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(source));
    if (sim::currentUnit().map(destination, form, size, protection)) return TRUE;
    return failingWithUnitError<BOOL>(FALSE);
}

// CE: MEM_RELEASE frees a whole reservation, named by its base, with size 0.
BOOL __cdecl ce_VirtualFree(LPVOID address, DWORD size, DWORD type) {
    if (type != kCeMemRelease || size != 0) {
        sim::fault("VirtualFree(" + hex8(reinterpret_cast<uintptr_t>(address)) + "h, " + hex8(size) + "h, " + hex8(type) +
                   "h); the device program releases whole regions (size 0, MEM_RELEASE 8000h)");
    }
    coredll::forgetReservation(address);
    return sim::currentUnit().release(address) ? TRUE : FALSE;
}

DWORD __cdecl ce_GetLastError() { return GetLastError(); }

// Files by their wide names, desktop Win32's under CE's calling convention. Neither replaces an
// existing file on either system: MoveFileW fails when the new name exists.
BOOL __cdecl ce_DeleteFileW(LPCWSTR path) { return DeleteFileW(path); }
BOOL __cdecl ce_MoveFileW(LPCWSTR existingPath, LPCWSTR newPath) { return MoveFileW(existingPath, newPath); }

// The heap, but the unit decides whether the asset tag's 64 KB scratch buffer can be had.
void* __cdecl ce_malloc(size_t size) {
    if (size == kAssetTagScratchSize) return sim::currentUnit().allocateScratch(size);
    return std::malloc(size);
}

// CE's way to the standard streams: the Windows runtime's own, which the forwarded stream
// functions then write in text mode.
FILE* __cdecl ce_getstdfilex(int stream) {
    switch (stream) {
        case 0: return stdin;
        case 1: return stdout;
        case 2: return stderr;
        default: return nullptr;
    }
}

// CE's command line holds the arguments alone (the program's path is its module file name):
// Windows' own, less the program's path at its start, which Windows quotes when it holds a
// blank. What follows keeps its quotes and blanks for the start-up's splitter.
LPWSTR __cdecl ce_GetCommandLineW() {
    LPWSTR line = GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"') ++line;
        if (*line == L'"') ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

DWORD __cdecl ce_GetModuleFileNameW(HMODULE module, LPWSTR path, DWORD size) {
    return GetModuleFileNameW(module, path, size);
}

// CE ends a process through TerminateProcess; the program ends only its own, through the
// pseudo-handle that CE's GetCurrentProcess() returns (ExitProcess is a macro over this). The
// end of the process: the console flushed and every region checked, as at the end of every
// other build's process, and the device manager's keys, drivers and handles.
BOOL __cdecl ce_TerminateProcess(HANDLE process, DWORD status) {
    if (reinterpret_cast<uintptr_t>(process) != kCeCurrentProcess) {
        sim::fault("TerminateProcess(" + hex8(reinterpret_cast<uintptr_t>(process)) + "h, " + hex8(status) +
                   "h); the device program ends only its own process (pseudo-handle 00000042h)");
    }
    coredll::checkNothingHeldAtExit();
    ExitProcess(static_cast<UINT>(host::finishSimulatedRun(static_cast<int>(status))));
}

}  // extern "C"

// The unit is loaded before the program's own code runs: a state file that cannot be read or
// parsed ends the process here, status 1, before the banner.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        host::startSimulatedUnit();
        coredll::installServiceEntry(sim::currentUnit());
    }
    return TRUE;
}
