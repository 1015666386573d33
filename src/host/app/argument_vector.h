// Argument vectors for the host's process entries and tests: the device splitter's output as
// strings, and the pointer vector that parseCommandLine takes.
#pragma once

#include <string>
#include <vector>

// The argument vector of pointers that an entry hands on, over strings that outlive it.
std::vector<const wchar_t*> argumentVector(const std::vector<std::wstring>& arguments);

// One command line split as the device's start-up splits it.
std::vector<std::wstring> splitArguments(const wchar_t* commandLine);
