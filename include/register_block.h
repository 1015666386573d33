// The register image exchanged with the firmware settings service on every call.
#pragma once

#include <cstdint>

// EAX, EBX, ECX, EDX, ESI, EDI, one word that no call uses, EFLAGS.
struct RegisterBlock {
    uint32_t eax = 0;
    uint32_t ebx = 0;
    uint32_t ecx = 0;
    uint32_t edx = 0;
    uint32_t esi = 0;
    uint32_t edi = 0;
    uint32_t unused = 0;
    uint32_t eflags = 0;
};

static_assert(sizeof(RegisterBlock) == 32, "the gate addresses the block by 4-byte word offsets");

constexpr uint32_t kCarryFlag = 0x1;
