// Pages and files on a POSIX host.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
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
    return host::renameBeside(from, to) ? std::string() : std::strerror(errno);
}

void removeReplacement(const std::string& name) { host::removeBeside(name); }

namespace {

unsigned long long nowMs() {
    timespec now{};
    (void)clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long long>(now.tv_sec) * 1000u +
           static_cast<unsigned long long>(now.tv_nsec) / 1000000u;
}

// A folder that takes no new file takes no new state file either.
bool folderRefusesFiles(const std::string& path, int error) {
    if (error == ENOENT || error == ENOTDIR || error == EROFS) return true;
    return error == EACCES && access(host::folderOf(path).c_str(), W_OK) != 0;
}

}  // namespace

Lock lockForProcess(const std::string& path, unsigned long waitMs, std::string& why) {
    // Held by its descriptor until the process ends, however it ends; never inherited.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (folderRefusesFiles(path, errno)) return Lock::Held;
        why = std::strerror(errno);
        return Lock::Failed;
    }
    const unsigned long long until = nowMs() + waitMs;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            why = std::strerror(errno);
            (void)close(fd);
            return Lock::Failed;
        }
        if (nowMs() >= until) {
            (void)close(fd);
            return Lock::Busy;
        }
        pause(20);
    }
    return Lock::Held;
}

void pause(unsigned long milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {}
}

}  // namespace sim::host_memory
