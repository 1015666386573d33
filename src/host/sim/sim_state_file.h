// Saving the unit's state: the state file rewritten in place in one step, keeping its mode and
// its comments.
#pragma once

#include <string>

#include "sim_state.h"

namespace sim {

// Merges `state` into the state file at `path` (a new file, synced, renamed over the old one),
// so that a crash at any moment leaves either the old or the new file whole. Empty on success,
// else why it failed. `pauseMs`: a wait while the new file stands whole beside the old one.
std::string saveStateFile(const std::string& path, const State& state, unsigned long pauseMs = 0);

}  // namespace sim
