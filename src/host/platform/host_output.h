// Standard error for the host's tools, beside the console's standard output (platform.h): bytes
// as the tool composed them (the locale's; UTF-8 on Windows), which reach a Windows console as
// its wide characters.
#pragma once

#include <cstddef>

namespace host {

void writeStandardError(const char* text, size_t length);

}  // namespace host
