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

// Gives `file` the permission bits of the file at `path`, where the host has them and the file
// exists.
void copyPermissions(const std::string& path, FILE* file);

// Forces what was written to `file` onto the disk.
bool syncToDisk(FILE* file);

// Puts `from` in place of `to`, which may exist, in one step. Empty on success, else why.
std::string moveOver(const std::string& from, const std::string& to);

}  // namespace sim::host_memory
