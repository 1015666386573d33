// How control reaches the simulated service on this build: straight into the model on a 64-bit
// host, through machine code at the announced entry on a 32-bit one (and in the test machine's
// coredll.dll under wine).
#pragma once

#include <cstdint>

#include "sim_host_memory.h"

namespace sim {

// Called on the writable segment image once it is mapped; returns the access the segment then
// keeps.
host_memory::Access prepareServiceEntry(uint8_t* segment, uint32_t entryAddress);

}  // namespace sim
