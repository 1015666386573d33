// The stand-in's <ctype.h>: the wide upper-case mapping of CE's runtime, exported by
// coredll.dll; CE's reference page names ctype.h for it. wint_t is the Microsoft runtime's
// 16-bit type.
#pragma once

#ifndef _WCTYPE_T_DEFINED
#define _WCTYPE_T_DEFINED
typedef unsigned short wint_t;
#endif

#ifdef __cplusplus
extern "C" {
#endif

wint_t __cdecl towupper(wint_t c);

#ifdef __cplusplus
}
#endif
