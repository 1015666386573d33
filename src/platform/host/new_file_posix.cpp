// New files beside others on a POSIX host: exclusive, with a name of their own.
#include "new_file_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace host {
namespace {

// Six letters or digits, different for every call in every process.
std::string uniqueSuffix() {
    static uint64_t calls = 0;
    timespec now{};
    (void)clock_gettime(CLOCK_REALTIME, &now);
    uint64_t x = (static_cast<uint64_t>(getpid()) << 32) ^ static_cast<uint64_t>(now.tv_nsec) ^
                 (static_cast<uint64_t>(now.tv_sec) << 20) ^ (++calls * 0x9E3779B97F4A7C15u);
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        x ^= x >> 31;
        x *= 0xBF58476D1CE4E5B9u;
        x ^= x >> 27;
        suffix += kLetters[x % (sizeof kLetters - 1)];
    }
    return suffix;
}

}  // namespace

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int createBeside(const std::string& path, std::string& name) {
    struct stat old {};
    const bool replaces = stat(path.c_str(), &old) == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + ".new-" + uniqueSuffix();
        // Owner-only until it takes the old file's bits: nobody else may open it meanwhile.
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, replaces ? 0600 : 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0 || !replaces) return fd;
        // Where the caller may not give the owner, the group alone may still be given.
        if (fchown(fd, old.st_uid, old.st_gid) != 0) (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        (void)fchmod(fd, old.st_mode & 07777);
        return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace host
