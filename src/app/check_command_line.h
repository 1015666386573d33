// FolvaneCheck's main routine: its options, the files to check, and the exit status.
#pragma once

void printCheckerUsage();

// argv[0] is the program's own path. Checks every file named, also after one that fails, and
// returns 0 when no file has a warning, 1 when one has, and 2 when a file cannot be read or
// the arguments are wrong.
int runChecker(int argc, const wchar_t* const* argv);
