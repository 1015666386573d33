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

// A setting that the firmware holds as one value, by its function number: a byte that a get
// returns in CL and a set takes from CL, or a word in CX. It has its own line in the state file.
struct ChoiceRow {
    uint8_t function;
    const char* getName;  // the operation names that `fail` takes
    const char* setName;
    const char* key;        // its state file key
    uint16_t defaultValue;  // the default unit's
    uint8_t width;          // 1: a byte in CL, saved in decimal; 2: a word in CX, saved as 0xHHHH
};

// Every such setting, in function order.
const std::vector<ChoiceRow>& choiceRows();

// The names that the `fail` key accepts, one per firmware operation.
const std::vector<std::string_view>& operationNames();

// Whether the service has `function` and knows `subfunction` for it; otherwise `why` is the
// program's fault.
bool knownCall(uint8_t function, uint8_t subfunction, std::string& why);

// Answers one known call from the unit's state, as the firmware would. Returns the call log's
// fields after "cf=" and sets `stored` when a set changed the unit's settings.
std::string answerCall(Unit& unit, const RegisterBlock& in, RegisterBlock& out, bool& stored);

}  // namespace sim
