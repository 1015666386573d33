// R's output file on a POSIX host: written beside its target and renamed over it once whole,
// through a symbolic link to the file it names, with the replaced file's permission bits.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host_text.h"
#include "platform.h"

namespace {

// The file that `path` names: a symbolic link's target (resolved against the link's folder),
// so that the link stays a link; otherwise `path` itself.
std::string targetOf(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
        char link[PATH_MAX];
        const ssize_t length = readlink(target.c_str(), link, sizeof link - 1);
        if (length < 0) return target;
        const std::string next(link, static_cast<size_t>(length));
        const size_t slash = target.rfind('/');
        if (next[0] == '/' || slash == std::string::npos) {
            target = next;
        } else {
            target.resize(slash + 1);
            target += next;
        }
    }
    return target;
}

// Only a regular file is replaced; a device or a pipe (/dev/null, a FIFO) is written in place,
// since a file beside it could never stand in for it.
bool writtenInPlace(const std::string& target) {
    struct stat info {};
    return stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// Forces the new file's bytes onto the disk before it takes the target's place.
bool syncToDisk(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

}  // namespace

namespace platform {

FILE* openReplacement(const wchar_t* path) {
    // No name is no file: ".new" alone would name a file of its own.
    if (*path == L'\0') {
        errno = ENOENT;
        return nullptr;
    }
    const std::string target = targetOf(host::bytesFromWide(path));
    return std::fopen(writtenInPlace(target) ? target.c_str() : (target + ".new").c_str(), "w");
}

bool commitReplacement(const wchar_t* path) {
    const std::string target = targetOf(host::bytesFromWide(path));
    if (writtenInPlace(target)) return true;
    const std::string written = target + ".new";
    struct stat old {};
    const bool kept = stat(target.c_str(), &old) != 0 || chmod(written.c_str(), old.st_mode & 07777) == 0;
    if (kept && syncToDisk(written) && std::rename(written.c_str(), target.c_str()) == 0) return true;
    (void)std::remove(written.c_str());
    return false;
}

void discardReplacement(const wchar_t* path) {
    const std::string target = targetOf(host::bytesFromWide(path));
    if (!writtenInPlace(target)) (void)std::remove((target + ".new").c_str());
}

}  // namespace platform
