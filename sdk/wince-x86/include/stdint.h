// The stand-in's <stdint.h>: the 8-, 16- and 32-bit integers. Visual C++ 2005 and 2008, the
// compilers of CE SDKs, have no <stdint.h>, so under their _MSC_VER code must not ask for one.
#pragma once

#if defined(_MSC_VER) && _MSC_VER < 1600
#error "Visual C++ before 2010 has no <stdint.h>; take the fixed-width types from fixed_width.h"
#endif

typedef signed char int8_t;
typedef short int16_t;
typedef int int32_t;
typedef unsigned char uint8_t;
typedef unsigned short uint16_t;
typedef unsigned int uint32_t;
