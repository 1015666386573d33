// FolvaneCE's process on a host: the simulated unit loaded before the program runs, and its
// checks once the program is done. The platform functions that reach the firmware act on it.
#pragma once

namespace host {

// Loads the unit that FOLVANE_MACHINE names (or the default unit) and installs it; a state
// file that cannot be read or parsed ends the process with status 1.
void startSimulatedUnit();

// Flushes the console (finishProcess) and checks that no region is still reserved; returns
// `status`.
int finishSimulatedRun(int status);

}  // namespace host
