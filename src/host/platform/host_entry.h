// What a host process entry needs of the host: the wide argument vector, and the console
// flushed at exit. No simulated unit: FolvaneCheck's entry has none (simulated_platform.h
// loads one for FolvaneCE's).
#pragma once

#include <string>
#include <vector>

namespace host {

// The arguments as wide strings, converted in the user's locale.
std::vector<std::wstring> wideArguments(int argc, char** argv);

// Flushes the console; returns `status`.
int finishProcess(int status);

}  // namespace host
