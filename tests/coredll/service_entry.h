// The simulated unit's service entry and program checks on the test machine's coredll.dll.
#pragma once

#include "sim_unit.h"

namespace coredll {

// Makes `unit` the firmware behind the segment's announced entry for this process: a trap there
// is a service call, a trap anywhere else in the segment and a crash of the program are faults,
// and the firmware's accesses through ESI and EDI must lie in the program's own writable memory.
void installServiceEntry(sim::Unit& unit);

}  // namespace coredll
