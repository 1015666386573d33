// Where the POSIX console's output goes: standard output, or a string that a test points it at
// to read what the program said (tests/support/console_capture.h).
#pragma once

#include <string>

namespace host {

// Null while the console writes to standard output.
extern std::string* consoleCapture;

}  // namespace host
