// The stand-in's <windows.h>: the CE kernel's types, constants and functions the device
// program calls, exported by coredll.dll with the C calling convention, as CE's API is.
// VirtualCopy is left out on purpose: app SDKs may lack pkfuncs.h, its real home, so the
// device code declares it itself and must go on doing so.
#pragma once

typedef int BOOL;
typedef long LONG;
typedef unsigned char BYTE;
typedef unsigned long DWORD;
typedef unsigned int UINT;
typedef wchar_t WCHAR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* PBYTE;
typedef DWORD* PDWORD;
typedef DWORD* LPDWORD;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef void* HANDLE;
typedef struct HINSTANCE__* HMODULE;
typedef struct HKEY__* HKEY;
typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED* LPOVERLAPPED;

#define FALSE 0
#define TRUE 1
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)-1)

#define ERROR_SUCCESS 0L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_FILENAME_EXCED_RANGE 206L

#define GENERIC_READ 0x80000000
#define OPEN_EXISTING 3

#define HKEY_LOCAL_MACHINE ((HKEY)0x80000002)
#define REG_SZ 1
#define REG_DWORD 4
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

typedef struct _OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
} OSVERSIONINFOW;

// CE's values (winnt.h).
#define MEM_RESERVE 0x2000
#define MEM_RELEASE 0x8000

#ifdef __cplusplus
extern "C" {
#endif

LPVOID __cdecl VirtualAlloc(LPVOID address, DWORD size, DWORD allocationType, DWORD protection);
BOOL __cdecl VirtualFree(LPVOID address, DWORD size, DWORD freeType);
DWORD __cdecl GetLastError(void);
void __cdecl SetLastError(DWORD error);
BOOL __cdecl GetVersionExW(OSVERSIONINFOW* info);

// Stream drivers: loading one from its registry key, opening its device, its requests.
HANDLE __cdecl ActivateDeviceEx(LPCWSTR key, LPCVOID registryEntries, DWORD entryCount, LPVOID parameter);
BOOL __cdecl DeactivateDevice(HANDLE device);
HANDLE __cdecl CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                           DWORD flags, HANDLE templateFile);
BOOL __cdecl DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                             LPDWORD returned, LPOVERLAPPED overlapped);
BOOL __cdecl CloseHandle(HANDLE handle);

// The registry, whose functions return an error code rather than set the last error.
LONG __cdecl RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                             DWORD access, LPSECURITY_ATTRIBUTES security, HKEY* key, LPDWORD disposition);
LONG __cdecl RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG __cdecl RegDeleteKeyW(HKEY parent, LPCWSTR subKey);
LONG __cdecl RegCloseKey(HKEY key);

// Files by their wide names. MoveFileW fails when the new name exists: it never replaces.
BOOL __cdecl DeleteFileW(LPCWSTR path);
BOOL __cdecl MoveFileW(LPCWSTR existingPath, LPCWSTR newPath);

// Only the start-up calls these. CE's command line holds the arguments alone; the image's
// path is its module file name.
LPWSTR __cdecl GetCommandLineW(void);
DWORD __cdecl GetModuleFileNameW(HMODULE module, LPWSTR path, DWORD size);
BOOL __cdecl TerminateProcess(HANDLE process, DWORD exitCode);

#ifdef __cplusplus
}
#endif

// The calling process's pseudo-handle (SH_CURPROC 2 + SYS_HANDLE_BASE 64). ExitProcess is no
// export of CE's coredll.dll: it ends the process through TerminateProcess on this handle.
inline HANDLE GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(0x42); }
#define ExitProcess(code) TerminateProcess(GetCurrentProcess(), (code))
