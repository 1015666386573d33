// The program's main routine: banner, usage, the argument walk and the dispatch to R or W.
#pragma once

void printBanner();
void printUsage();

// argv[0] is the program's own path. Returns the exit status: 0, or 1 for a usage error or a
// failed operation.
int parseCommandLine(int argc, const wchar_t* const* argv);
