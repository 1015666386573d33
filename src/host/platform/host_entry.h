// What the host's process entry needs from the platform layer: loading the simulated unit
// before the program runs, the wide argument vector, and the unit's checks at exit.
#pragma once

#include <string>
#include <vector>

namespace host {

// Loads the unit that FOLVANE_MACHINE names (or the default unit) and installs it; a state
// file that cannot be read or parsed ends the process with status 1.
void startSimulatedUnit();

// The arguments as wide strings, converted in the user's locale.
std::vector<std::wstring> wideArguments(int argc, char** argv);

// Flushes the console and checks that no region is still reserved; returns `status`.
int finishProcess(int status);

}  // namespace host
