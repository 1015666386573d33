// Pages and file replacement on a POSIX host.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim_memory.h"

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

std::string replaceFile(const std::string& temporary, const std::string& path, const std::string& text) {
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return std::strerror(errno);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0 &&
                         fsync(fileno(file)) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const int error = written ? errno : writeError;
        (void)std::remove(temporary.c_str());
        return std::strerror(error);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        (void)std::remove(temporary.c_str());
        return std::strerror(error);
    }
    return {};
}

}  // namespace sim::host_memory
