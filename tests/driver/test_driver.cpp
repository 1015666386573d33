// A stream driver for the tests of the test machine's device manager (prefix TST): what a
// kernel-mode driver on CE 6/7 does to map physical memory into its caller. Never goes onto a
// unit.
#include "ce_driver_api.h"

namespace {

const DWORD kDeviceContext = 0x7E570001;
const DWORD kOpenContext = 0x7E570002;
const DWORD kPhysicalRom = PAGE_PHYSICAL | PAGE_NOCACHE | PAGE_READONLY;
// The key path Init was given, as far as it fits.
wchar_t initKey[64];

BOOL failWith(DWORD error) {
    SetLastError(error);
    return 0;
}

// Maps the request's physical range into the region that the calling process reserved.
BOOL mapIntoCaller(const TstMapRequest& request) {
    HANDLE caller = OpenProcess(0, 0, GetCallerVMProcessId());
    if (caller == 0) return 0;  // OpenProcess's error is the request's
    const BOOL mapped = VirtualCopyEx(caller, reinterpret_cast<LPVOID>(request.region), 0,
                                      reinterpret_cast<LPVOID>(request.physical >> 8), request.size, kPhysicalRom);
    const DWORD error = GetLastError();
    (void)CloseHandle(caller);
    return mapped ? TRUE : failWith(error);
}

}  // namespace

extern "C" {

BOOL __cdecl DllMain(HANDLE, DWORD, LPVOID) { return TRUE; }

DWORD __cdecl TST_Init(LPCWSTR key, const void* parameter) {
    if (parameter != 0 && *static_cast<const DWORD*>(parameter) == TST_INIT_REFUSES) return failWith(TST_INIT_ERROR);
    DWORD i = 0;
    for (; key != 0 && key[i] != 0 && i + 1 < sizeof initKey / sizeof initKey[0]; ++i) initKey[i] = key[i];
    initKey[i] = 0;
    return kDeviceContext;
}

BOOL __cdecl TST_Deinit(DWORD device) { return device == kDeviceContext; }

DWORD __cdecl TST_Open(DWORD device, DWORD, DWORD) { return device == kDeviceContext ? kOpenContext : 0; }

BOOL __cdecl TST_Close(DWORD open) { return open == kOpenContext; }

BOOL __cdecl TST_IOControl(DWORD open, DWORD code, BYTE* in, DWORD inLength, BYTE* out, DWORD outLength,
                           DWORD* actualOut) {
    if (open != kOpenContext) return failWith(6);  // ERROR_INVALID_HANDLE
    if (code == TST_MAP && inLength == sizeof(TstMapRequest)) {
        return mapIntoCaller(*reinterpret_cast<const TstMapRequest*>(in));
    }
    if (code == TST_ECHO && outLength >= inLength) {
        for (DWORD i = 0; i < inLength; ++i) out[i] = static_cast<BYTE>(in[i] + 1);
        *actualOut = inLength;
        return TRUE;
    }
    if (code == TST_ACTIVE_KEY && outLength >= sizeof initKey) {
        for (DWORD i = 0; i < sizeof initKey; ++i) out[i] = reinterpret_cast<const BYTE*>(initKey)[i];
        *actualOut = sizeof initKey;
        return TRUE;
    }
    if (code == TST_CALL_ENTRY && inLength == sizeof(DWORD)) {
        (*reinterpret_cast<void (*)()>(*reinterpret_cast<const DWORD*>(in)))();
        return TRUE;
    }
    return failWith(87);  // ERROR_INVALID_PARAMETER
}

}  // extern "C"
