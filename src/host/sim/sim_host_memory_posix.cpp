// Pages and files on a POSIX host.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "new_file_posix.h"
#include "sim_host_memory.h"

namespace sim::host_memory {

void* reserve(size_t size) {
    void* address = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return address == MAP_FAILED ? nullptr : address;
}

bool protect(void* region, size_t size, Access access) {
    int flags = PROT_NONE;
    switch (access) {
        case Access::None: flags = PROT_NONE; break;
        case Access::ReadWrite: flags = PROT_READ | PROT_WRITE; break;
        case Access::Read: flags = PROT_READ; break;
        case Access::ReadExecute: flags = PROT_READ | PROT_EXEC; break;
    }
    return mprotect(region, size, flags) == 0;
}

void release(void* region, size_t size) { munmap(region, size); }

FILE* createReplacement(const std::string& path, std::string& name) { return host::openBeside(path, name, "wb"); }

bool syncToDisk(FILE* file) { return fsync(fileno(file)) == 0; }

std::string moveOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? std::string() : std::strerror(errno);
}

}  // namespace sim::host_memory
