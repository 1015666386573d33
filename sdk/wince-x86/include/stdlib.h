// The stand-in's <stdlib.h>: the heap of CE's runtime, exported by coredll.dll.
#pragma once

#include "crt_common.h"

#ifdef __cplusplus
extern "C" {
#endif

void* __cdecl malloc(size_t size);
void __cdecl free(void* block);

#ifdef __cplusplus
}
#endif
