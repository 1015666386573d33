// The stand-in's <wchar.h>: the wide string functions of CE's runtime, exported by coredll.dll.
// wchar_t is the compiler's own 16-bit type.
#pragma once

#include "crt_common.h"

#ifdef __cplusplus
extern "C" {
#endif

size_t __cdecl wcslen(const wchar_t* text);
wchar_t* __cdecl wcschr(const wchar_t* text, wchar_t c);

#ifdef __cplusplus
}
#endif
