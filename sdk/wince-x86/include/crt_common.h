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

// Visual C++ 2005's ce\include and the CE 6/7-era SDK headers mark the runtime's unchecked
// functions deprecated (C4996) unless the build says it calls them knowingly; the stand-in
// asks for both names, since each generation of headers honours one of them.
#if defined(_CRT_SECURE_NO_DEPRECATE) && defined(_CRT_SECURE_NO_WARNINGS)
#define _CRT_INSECURE_DEPRECATE
#else
#define _CRT_INSECURE_DEPRECATE __declspec(deprecated)
#endif
