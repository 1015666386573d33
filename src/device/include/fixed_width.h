// Fixed-width integers for every compiler of the program: from <stdint.h> where the compiler
// has it, and defined here for Visual C++ before 2010 (the CE SDKs' 2005 and 2008), which has
// none. Only the 8-, 16- and 32-bit types: the program needs no wider one.
#pragma once

#include <stddef.h>

#if defined(_MSC_VER) && _MSC_VER < 1600
typedef signed __int8 int8_t;
typedef signed __int16 int16_t;
typedef signed __int32 int32_t;
typedef unsigned __int8 uint8_t;
typedef unsigned __int16 uint16_t;
typedef unsigned __int32 uint32_t;
#else
#include <stdint.h>
#endif

// A check at compile time: an array of negative size when `condition` is false.
// NOLINTNEXTLINE(bugprone-macro-parentheses): `name` is the name being declared.
#define FOLVANE_COMPILE_CHECK(condition, name) typedef char name[(condition) ? 1 : -1]
