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

#define FALSE 0

// MEM_RELEASE as Microsoft documents it; MEM_RESERVE is desktop Win32's value (CE's own is
// not confirmed).
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

// Only the start-up calls these.
LPWSTR __cdecl GetCommandLineW(void);
void __cdecl ExitProcess(UINT exitCode);

#ifdef __cplusplus
}
#endif
