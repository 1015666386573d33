// What the simulated unit needs from the host operating system: pages with a protection, a file
// forced to the disk, and a file put in place of another in one step. One implementation per
// host system (-posix, -win32).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace sim::host_memory {

enum class Access { None, ReadWrite, Read, ReadExecute };

void* reserve(size_t size);  // inaccessible pages; null on failure
bool protect(void* region, size_t size, Access access);
void release(void* region, size_t size);

// Creates the new file that is written whole and then moved over `path`, in `path`'s folder, for
// writing in binary; `name` gets its name. A POSIX host gives it a name no other file has,
// creates it exclusively (never through a link that stands beside `path`), and gives it the
// permission bits, owner and group of the file at `path`; Windows names it "PATH.new" (its
// folders hold no links of that kind). Null on failure, errno tells why.
FILE* createReplacement(const std::string& path, std::string& name);

// Forces what was written to `file` onto the disk.
bool syncToDisk(FILE* file);

// Puts `from` in place of `to`, which may exist, in one step. Empty on success, else why.
std::string moveOver(const std::string& from, const std::string& to);

// Removes the new file `name` that was not put in place.
void removeReplacement(const std::string& name);

// Takes the lock file at `path` (created when absent, never removed) for the rest of the
// process, waiting for another process that holds it at most `waitMs` milliseconds. A folder
// where the lock file cannot be made is one where no state file can be saved either, so the run
// goes on without it.
enum class Lock { Held, Busy, Failed };
Lock lockForProcess(const std::string& path, unsigned long waitMs, std::string& why);

// Waits `milliseconds`.
void pause(unsigned long milliseconds);

}  // namespace sim::host_memory
