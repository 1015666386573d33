// The simulated unit's firmware settings service: one row per function of the service, with
// its operation names, the subfunctions it knows and the handler that answers it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "register_block.h"

namespace sim {

class Unit;

// The names that the `fail` key accepts, one per firmware operation.
const std::vector<std::string_view>& operationNames();
// The name of a function's read or write operation; null for a function the service lacks.
const char* operationName(uint8_t function, bool read);

// Whether the service has `function` and knows `subfunction` for it; otherwise `why` is the
// program's fault.
bool knownCall(uint8_t function, uint8_t subfunction, std::string& why);

// Answers one known call from the unit's state, as the firmware would. Returns the call log's
// fields after "cf=" and sets `stored` when a set changed the unit's settings.
std::string answerCall(Unit& unit, const RegisterBlock& in, RegisterBlock& out, bool& stored);

}  // namespace sim
