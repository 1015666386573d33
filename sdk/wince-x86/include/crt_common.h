// What the stand-in's C headers share: size_t and NULL for 32-bit x86. The stand-in's own
// header (the real SDK spreads these over its headers); no device source includes it.
#pragma once

#ifndef _SIZE_T_DEFINED
#define _SIZE_T_DEFINED
typedef unsigned int size_t;
#endif

#ifndef NULL
#define NULL 0
#endif
