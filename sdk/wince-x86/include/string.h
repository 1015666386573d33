// The stand-in's <string.h>: the 8-bit buffer and string routines of CE's runtime, exported by
// coredll.dll, with the C signatures of CE's reference pages (no const overloads).
#pragma once

#include "crt_common.h"

#ifdef __cplusplus
extern "C" {
#endif

void* __cdecl memchr(const void* buffer, int c, size_t count);
void* __cdecl memcpy(void* destination, const void* source, size_t count);
void* __cdecl memset(void* destination, int c, size_t count);
size_t __cdecl strlen(const char* text);
char* __cdecl strchr(const char* text, int c);
int __cdecl strncmp(const char* first, const char* second, size_t count);

#ifdef __cplusplus
}
#endif
