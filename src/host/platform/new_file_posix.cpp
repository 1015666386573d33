// New files beside others on a POSIX host: exclusive, with a name of their own.
#include "new_file_posix.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "interrupt_posix.h"

namespace host {
namespace {

// mkostemp makes the file owner-only; one that replaces nothing gets what a plain new file gets.
void giveNewFileBits(int fd) {
    const mode_t mask = umask(0);
    (void)umask(mask);
    (void)fchmod(fd, 0666 & ~mask);
}

// The replaced file's owner, group and bits; where the caller may not give the owner, the group
// alone may still be given.
void giveOldFileAttributes(int fd, const struct stat& old) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0) (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    (void)fchmod(fd, old.st_mode & 07777);
}

}  // namespace

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

FILE* openBeside(const std::string& path, std::string& name, const char* mode) {
    struct stat old {};
    const bool replaces = stat(path.c_str(), &old) == 0;
    // O_EXCL under a fresh name: an existing file or link at that name is never opened.
    const std::string pattern = path + ".new-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = -1;
    {
        // Made and recorded at once: a run interrupted from here on leaves no new file behind.
        const InterruptsHeld held;
        fd = mkostemp(buffer.data(), O_CLOEXEC);
        if (fd < 0) return nullptr;
        (void)removeOnInterrupt(buffer.data());
    }
    name = buffer.data();
    if (replaces) {
        giveOldFileAttributes(fd, old);
    } else {
        giveNewFileBits(fd);
    }
    FILE* file = fdopen(fd, mode);
    if (file != nullptr) return file;
    const int error = errno;
    (void)close(fd);
    removeBeside(name);
    errno = error;
    return nullptr;
}

// Gone and forgotten at once, so that a signal never removes another file that took its name.
void removeBeside(const std::string& name) {
    const InterruptsHeld held;
    (void)unlink(name.c_str());
    keepOnInterrupt(name);
}

bool renameBeside(const std::string& name, const std::string& path) {
    const InterruptsHeld held;
    const bool moved = std::rename(name.c_str(), path.c_str()) == 0;
    const int error = errno;
    if (moved) keepOnInterrupt(name);
    errno = error;
    return moved;
}

}  // namespace host
