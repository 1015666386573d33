// What the test driver and its caller declare of CE's kernel beyond the stand-in SDK's
// <windows.h> (which holds the device manager and the registry, as the program uses them), as a
// CE 6/7 SDK would (pkfuncs.h, devload.h). C-convention functions of coredll.dll.
#pragma once

#include <windows.h>

#define DEVFLAGS_LOAD_AS_USERPROC 0x10
#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_NOCACHE 0x200
#define PAGE_PHYSICAL 0x400

// The test driver's requests.
#define TST_MAP 0x1             // in: TstMapRequest; maps the physical range into the caller's region
#define TST_ECHO 0x2            // in: bytes; out: each byte plus one; returns the input's length
#define TST_CALL_ENTRY 0x3      // in: a DWORD address, which the driver calls
#define TST_ACTIVE_KEY 0x4      // out: the key path Init was given, with its terminator
#define TST_INIT_REFUSES 0xBAD  // Init's parameter that makes it fail
#define TST_INIT_ERROR 21       // ERROR_NOT_READY, the error it fails with

struct TstMapRequest {
    DWORD region;    // the caller's reserved region
    DWORD physical;  // the physical address
    DWORD size;
};

extern "C" {
BOOL __cdecl VirtualCopy(LPVOID destination, LPVOID source, DWORD size, DWORD protection);
// Kernel only (CE 6/7).
BOOL __cdecl VirtualCopyEx(HANDLE destinationProcess, LPVOID destination, HANDLE sourceProcess, LPVOID source,
                           DWORD size, DWORD protection);
HANDLE __cdecl OpenProcess(DWORD access, BOOL inherit, DWORD processId);
DWORD __cdecl GetCallerVMProcessId(void);
}
