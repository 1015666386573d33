// The stand-in's <stdarg.h>: a variable argument list, through the compiler's own built-ins
// (clang and GCC spell them alike).
#pragma once

#ifndef _VA_LIST_DEFINED
#define _VA_LIST_DEFINED
typedef __builtin_va_list va_list;
#endif

#define va_start(list, last) __builtin_va_start(list, last)
#define va_end(list) __builtin_va_end(list)
