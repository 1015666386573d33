// The register image exchanged with the firmware settings service on every call.
#pragma once

#include "fixed_width.h"

// EAX, EBX, ECX, EDX, ESI, EDI, one word that no call uses, EFLAGS; all zero when made.
struct RegisterBlock {
    RegisterBlock() : eax(0), ebx(0), ecx(0), edx(0), esi(0), edi(0), unused(0), eflags(0) {}

    uint32_t eax;
    uint32_t ebx;
    uint32_t ecx;
    uint32_t edx;
    uint32_t esi;
    uint32_t edi;
    uint32_t unused;
    uint32_t eflags;
};

// The gate addresses the block by 4-byte word offsets.
FOLVANE_COMPILE_CHECK(sizeof(RegisterBlock) == 32, RegisterBlockIsEightWords);

const uint32_t kCarryFlag = 0x1;
