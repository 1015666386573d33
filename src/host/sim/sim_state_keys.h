// The simulated unit's state-file keys, in the order the file is written: each key's name,
// whether it is a fault, and how its value is read and written.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sim_state.h"

namespace sim {

using Parser = std::function<bool(std::string_view, State&, std::string&)>;
using Formatter = std::function<std::string(const State&)>;

struct Key {
    const char* name;
    bool fault;
    Parser parse;
    Formatter format;
};

// The settings' keys in function order (a function's own keys in the order given here), then
// the faults' keys.
const std::vector<Key>& keys();

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

inline std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace sim
