// What the simulated unit needs from the host operating system: pages with a protection, and a
// file replaced whole. One implementation per host system (-posix, -win32).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace sim::host_memory {

enum class Access { None, ReadWrite, Read, ReadExecute };

void* reserve(size_t size);  // inaccessible pages; null on failure
bool protect(void* region, size_t size, Access access);
void release(void* region, size_t size);

// Writes `text` to `temporary`, forces it to the disk, and puts it in place of `path` in one
// step, so that a crash leaves either the old or the new file whole. Empty on success, else why.
std::string replaceFile(const std::string& temporary, const std::string& path, const std::string& text);

}  // namespace sim::host_memory
