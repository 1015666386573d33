// The 64 KB image of the F0000h segment that a state describes: CCh filler, decoy headers and
// the service header.
#pragma once

#include <cstdint>
#include <vector>

#include "sim_state.h"

namespace sim {

std::vector<uint8_t> segmentImage(const Faults& faults);

}  // namespace sim
