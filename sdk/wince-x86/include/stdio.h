// The stand-in's <stdio.h>: the streams of CE's runtime, exported by coredll.dll. FILE is
// opaque: the program only passes its pointers around.
#pragma once

#include "crt_common.h"

#ifndef _VA_LIST_DEFINED
#define _VA_LIST_DEFINED
typedef __builtin_va_list va_list;
#endif

typedef struct _iobuf FILE;

#define EOF (-1)

#ifdef __cplusplus
extern "C" {
#endif

// How CE's own header reaches the standard streams is not confirmed; the stand-in's choice is
// a coredll function that returns stream 0, 1 or 2, so code can only use the name stdout.
FILE* __cdecl _getstdfilex(int stream);
#define stdout (_getstdfilex(1))

_CRT_INSECURE_DEPRECATE FILE* __cdecl _wfopen(const wchar_t* path, const wchar_t* mode);
int __cdecl fclose(FILE* stream);
int __cdecl fflush(FILE* stream);
char* __cdecl fgets(char* buffer, int count, FILE* stream);
int __cdecl fgetc(FILE* stream);
int __cdecl ungetc(int c, FILE* stream);
int __cdecl feof(FILE* stream);
int __cdecl ferror(FILE* stream);
size_t __cdecl fwrite(const void* buffer, size_t size, size_t count, FILE* stream);
int __cdecl vfwprintf(FILE* stream, const wchar_t* format, va_list arguments);
// At most `count` characters; no terminator and a negative result when the text is longer.
_CRT_INSECURE_DEPRECATE int __cdecl _snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...);
_CRT_INSECURE_DEPRECATE int __cdecl _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format,
                                                va_list arguments);

#ifdef __cplusplus
}
#endif
