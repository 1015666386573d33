// FolvaneCheck's run of one data file, and why a file could not be opened or read.
#pragma once

#include <string>

#include "host_input.h"

class CheckOutput;

// A file checked alone: its status, and whether it has a warning (also when it has an error).
int checkFile(const wchar_t* path, bool withPlan, CheckOutput& out, bool& hasWarning);

// WHAT, and the system's reason for errno in parentheses.
std::string failure(const char* what);

// Why a file did not open: what is no regular file is named so, whatever the platform's errno.
std::string openFailure(const char* what, const host::Input& input);
