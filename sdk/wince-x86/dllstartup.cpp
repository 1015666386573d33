// The stand-in's start-up of a DLL: what a real SDK's runtime library provides as
// _DllMainCRTStartup. The loader's call goes on to the DLL's DllMain.
#include <windows.h>

extern "C" BOOL __cdecl DllMain(HANDLE module, DWORD reason, LPVOID reserved);

extern "C" BOOL __cdecl _DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved) {
    return DllMain(module, reason, reserved);
}
