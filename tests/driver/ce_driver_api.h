// What the test driver and its caller declare of CE's device manager, registry and kernel, as a
// CE 6/7 SDK would (winbase.h, winreg.h, pkfuncs.h, devload.h); the stand-in SDK's headers hold
// only what the device program uses. C-convention functions of coredll.dll.
#pragma once

#include <windows.h>

typedef void* HANDLE;
typedef void* HKEY;
typedef long LONG;
typedef unsigned char BYTE;

#define TRUE 1
#define HKEY_LOCAL_MACHINE ((HKEY)(unsigned long)0x80000002)
#define INVALID_HANDLE_VALUE ((HANDLE)(long)-1)
#define REG_SZ 1
#define REG_DWORD 4
#define DEVFLAGS_LOAD_AS_USERPROC 0x10
#define GENERIC_READ 0x80000000UL
#define OPEN_EXISTING 3
#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_NOCACHE 0x200
#define PAGE_PHYSICAL 0x400

// The test driver's requests.
#define TST_MAP 0x1             // in: TstMapRequest; maps the physical range into the caller's region
#define TST_ECHO 0x2            // in: bytes; out: each byte plus one; returns the input's length
#define TST_CALL_ENTRY 0x3      // in: a DWORD address, which the driver calls
#define TST_INIT_REFUSES 0xBAD  // Init's parameter that makes it fail
#define TST_INIT_ERROR 21       // ERROR_NOT_READY, the error it fails with

struct TstMapRequest {
    DWORD region;    // the caller's reserved region
    DWORD physical;  // the physical address
    DWORD size;
};

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    wchar_t szCSDVersion[128];
};

extern "C" {
LONG __cdecl RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, DWORD access,
                             void* security, HKEY* result, DWORD* disposition);
LONG __cdecl RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG __cdecl RegDeleteKeyW(HKEY parent, LPCWSTR subKey);
LONG __cdecl RegCloseKey(HKEY key);
HANDLE __cdecl ActivateDeviceEx(LPCWSTR deviceKey, const void* registryEntries, DWORD count, LPVOID parameter);
BOOL __cdecl DeactivateDevice(HANDLE device);
HANDLE __cdecl CreateFileW(LPCWSTR name, DWORD access, DWORD share, void* security, DWORD disposition, DWORD attributes,
                           HANDLE templateFile);
BOOL __cdecl DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength,
                             DWORD* returned, void* overlapped);
BOOL __cdecl CloseHandle(HANDLE handle);
BOOL __cdecl GetVersionExW(OSVERSIONINFOW* info);
void __cdecl SetLastError(DWORD error);
BOOL __cdecl VirtualCopy(LPVOID destination, LPVOID source, DWORD size, DWORD protection);
// Kernel only (CE 6/7).
BOOL __cdecl VirtualCopyEx(HANDLE destinationProcess, LPVOID destination, HANDLE sourceProcess, LPVOID source,
                           DWORD size, DWORD protection);
HANDLE __cdecl OpenProcess(DWORD access, BOOL inherit, DWORD processId);
DWORD __cdecl GetCallerVMProcessId(void);
}
