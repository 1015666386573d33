// The program's main routine: banner, usage, the argument walk and the dispatch to R or W.
#pragma once

#include <string>
#include <vector>

void printBanner();
void printUsage();

// argv[0] is the program's own path. Returns the exit status: 0, or 1 for a usage error or a
// failed operation.
int parseCommandLine(int argc, const wchar_t* const* argv);

// The argument vector of pointers that an entry hands on, over strings that outlive it.
std::vector<const wchar_t*> argumentVector(const std::vector<std::wstring>& arguments);

// Splits one command line as the device's start-up does: white space outside double quotes
// separates arguments, every double quote is removed, and there is no escape character.
std::vector<std::wstring> splitCommandLine(const wchar_t* commandLine);
