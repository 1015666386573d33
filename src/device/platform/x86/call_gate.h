// The near-call gate into the firmware settings service, for every 32-bit x86 build.
#pragma once

#include "register_block.h"

namespace gate {

// Loads EAX..EDI from `in`, near-calls `entry`, captures EFLAGS at once and stores EAX..EDI
// and EFLAGS into `out` (word 6 untouched). The caller's EBX, ESI, EDI and EBP survive, and
// the direction flag is clear again on return.
void callGate(const void* entry, const RegisterBlock* in, RegisterBlock* out);

}  // namespace gate
