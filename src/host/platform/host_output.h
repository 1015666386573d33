// What the host's tools write beside the console's standard output (platform.h).
#pragma once

#include <cstddef>
#include <cstdio>

namespace host {

// Standard error: bytes as the tool composed them (the locale's; UTF-8 on Windows), which reach
// a Windows console as its wide characters.
void writeStandardError(const char* text, size_t length);

// A new temporary file, open for writing and reading in binary, gone once it is closed (or the
// program ends). Null on failure, with errno set. On Windows it is made in the user's
// temporary folder: the runtime's tmpfile() makes it in the drive's root, which only
// administrators may write to.
FILE* temporaryFile();

}  // namespace host
