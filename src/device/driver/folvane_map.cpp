// FolvaneMap.dll: the kernel-mode stream driver that maps the firmware's memory into
// FolvaneCE's own address space on CE 6.0 and 7. The device manager loads it into the kernel
// from the registry key that the program writes; the program opens it as FVMn: and sends one
// request, on its own thread, naming a region it reserved and one of the two physical ranges
// it maps on CE 5.0 itself. The driver maps that range, read-only and uncached, into the
// calling process and nowhere else, and refuses everything else. It keeps no state: its
// device and open contexts are constants, and every request stands alone.
#include <windows.h>

#include "map_request.h"

// Exported by CE 6.0 and 7's coredll.dll to code running in the kernel; an application SDK
// declares none of them (pkfuncs.h and the kernel's headers belong to the platform's side).
extern "C" {
DWORD __cdecl GetCallerVMProcessId(void);
HANDLE __cdecl OpenProcess(DWORD access, BOOL inherit, DWORD processId);
BOOL __cdecl VirtualCopyEx(HANDLE destinationProcess, LPVOID destination, HANDLE sourceProcess, LPVOID source,
                           DWORD size, DWORD protection);
}

namespace {

// What Init and Open hand back: any value but 0, which would be failure.
const DWORD kDeviceContext = 1;
const DWORD kOpenContext = 2;

// Maps the request's range into the region at its destination in the calling process.
BOOL mapIntoCaller(const mapdriver::MapRequest& request) {
    HANDLE caller = OpenProcess(0, FALSE, GetCallerVMProcessId());
    if (caller == NULL) return FALSE;
    // With PAGE_PHYSICAL the source is the physical address divided by 256, not a pointer.
    const BOOL mapped = VirtualCopyEx(caller, reinterpret_cast<LPVOID>(request.destination), NULL,
                                      reinterpret_cast<LPVOID>(request.physicalForm), request.size, request.protection);
    const DWORD error = GetLastError();
    CloseHandle(caller);
    if (!mapped) SetLastError(error);
    return mapped;
}

}  // namespace

extern "C" {

BOOL __cdecl DllMain(HANDLE, DWORD, LPVOID) { return TRUE; }

DWORD __cdecl FVM_Init(LPCWSTR, LPCVOID) { return kDeviceContext; }

BOOL __cdecl FVM_Deinit(DWORD) { return TRUE; }

DWORD __cdecl FVM_Open(DWORD, DWORD, DWORD) { return kOpenContext; }

BOOL __cdecl FVM_Close(DWORD) { return TRUE; }

// The one request. A failed mapping keeps the kernel's error, which DeviceIoControl hands to
// the program; a request that is not one of the two mappings is ERROR_INVALID_PARAMETER.
BOOL __cdecl FVM_IOControl(DWORD, DWORD code, PBYTE in, DWORD inLength, PBYTE, DWORD outLength, PDWORD outDone) {
    mapdriver::MapRequest request;
    if (!mapdriver::decodeMapRequest(code, in, inLength, outLength, request)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (outDone != NULL) *outDone = 0;
    return mapIntoCaller(request);
}

}  // extern "C"
