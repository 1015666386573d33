// The stand-in's <windows.h>: the CE kernel's types, constants and functions the device
// program calls, exported by coredll.dll with the C calling convention, as CE's API is.
// VirtualCopy is left out on purpose: app SDKs may lack pkfuncs.h, its real home, so the
// device code declares it itself and must go on doing so.
#pragma once

typedef int BOOL;
typedef unsigned long DWORD;
typedef unsigned int UINT;
typedef void* LPVOID;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef void* HANDLE;
typedef struct HINSTANCE__* HMODULE;

#define FALSE 0

// CE's values (winnt.h).
#define MEM_RESERVE 0x2000
#define MEM_RELEASE 0x8000

#ifdef __cplusplus
extern "C" {
#endif

LPVOID __cdecl VirtualAlloc(LPVOID address, DWORD size, DWORD allocationType, DWORD protection);
BOOL __cdecl VirtualFree(LPVOID address, DWORD size, DWORD freeType);
DWORD __cdecl GetLastError(void);

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
