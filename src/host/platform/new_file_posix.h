// A new file beside another on a POSIX host, to be written whole and then renamed over it: made
// exclusively under a name that no other file has, never through a symbolic link or into a file
// that a leftover link names. R's output and the simulated unit's state file are saved so.
#pragma once

#include <cstdio>
#include <string>

namespace host {

// The folder that holds `path`: "." for a bare name.
std::string folderOf(const std::string& path);

// Creates "PATH.new-XXXXXX" beside `path` and opens it for writing in `mode` ("w" or "wb");
// `name` gets its name. Where `path` exists, the new file takes its permission bits, and its
// owner and group as far as the caller may give them; otherwise it is made as a plain new file
// would be. Null with errno set on failure, and then no file is left. Until it is renamed or
// removed below, a run ended by SIGINT, SIGTERM or SIGHUP removes it (interrupt_posix.h).
FILE* openBeside(const std::string& path, std::string& name, const char* mode);

// Removes the new file `name`.
void removeBeside(const std::string& name);

// Puts the new file `name` in place of `path`; false with errno set when it cannot, and then the
// new file stays until removeBeside.
bool renameBeside(const std::string& name, const std::string& path);

}  // namespace host
