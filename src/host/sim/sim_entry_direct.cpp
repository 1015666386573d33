// The service entry on a 64-bit host: the platform's call goes straight into the model, which
// first checks that the program called the announced entry.
#include "platform.h"
#include "sim_entry.h"
#include "sim_unit.h"

namespace sim {

host_memory::Access prepareServiceEntry(uint8_t*, uint32_t) { return host_memory::Access::Read; }

}  // namespace sim

namespace platform {

void callEntry(const void* entry, const RegisterBlock& in, RegisterBlock& out) {
    sim::currentUnit().call(entry, in, out);
}

}  // namespace platform
