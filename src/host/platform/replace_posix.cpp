// R's output file on a POSIX host: written as a new file of its own beside its target and renamed
// over it once whole, through a symbolic link to the file it names, with the replaced file's
// permission bits, owner and group. Nothing that stands at any fixed name beside the target is
// ever opened, so a leftover "unit.txt.new" (a link, another file's hard link) is left alone,
// and two runs on one file each put a whole file of their own in place.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host_file.h"
#include "host_text.h"
#include "new_file_posix.h"
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

// The replacement being written: R writes one file per run.
struct Replacement {
    std::string target;
    std::string written;  // the new file's name; empty when the target is written in place
    int syncFd = -1;      // the new file once more, to force it onto the disk before the rename
};
Replacement current;

void fail(const std::string& what) { host::noteFileFailure(what); }

void forget() {
    if (current.syncFd >= 0) (void)close(current.syncFd);
    current = Replacement();
}

}  // namespace

namespace platform {

FILE* openReplacement(const wchar_t* path) {
    forget();
    host::forgetFileFailure();
    // No name is no file: nothing beside it could be named.
    if (*path == L'\0') {
        errno = ENOENT;
        return nullptr;
    }
    const std::string target = targetOf(host::bytesFromWide(path));
    if (writtenInPlace(target)) {
        FILE* file = std::fopen(target.c_str(), "w");
        if (file == nullptr) fail("cannot write " + target);
        if (file != nullptr) current.target = target;
        return file;
    }
    // A file the caller could not overwrite is not replaced behind its back; a write-protected
    // golden file (no write bit for its owner) is refused whoever runs R, root included.
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0 && (existing.st_mode & S_IWUSR) == 0) {
        char mode[8];
        (void)std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(existing.st_mode & 07777));
        host::noteFileFailure("cannot overwrite " + target,
                              std::string("write-protected (mode ") + mode + "); chmod u+w " + target + " allows it");
        return nullptr;
    }
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
        fail("cannot overwrite " + target);
        return nullptr;
    }
    std::string written;
    FILE* file = host::openBeside(target, written, "w");
    if (file == nullptr) {
        fail("cannot create a file in " + host::folderOf(target));
        return nullptr;
    }
    current.target = target;
    current.written = written;
    current.syncFd = dup(fileno(file));
    return file;
}

bool commitReplacement(const wchar_t*) {
    if (current.written.empty()) return true;  // written in place
    const bool synced = current.syncFd >= 0 && fsync(current.syncFd) == 0;
    if (!synced) fail("cannot write " + current.written);
    const bool moved = synced && host::renameBeside(current.written, current.target);
    if (synced && !moved) fail("cannot put " + current.written + " in place of " + current.target);
    if (!moved) host::removeBeside(current.written);
    forget();
    return moved;
}

void discardReplacement(const wchar_t*) {
    // Discarded at once after a write failed: the runtime's errno still says why.
    if (!current.target.empty()) fail("cannot write " + current.target);
    if (!current.written.empty()) host::removeBeside(current.written);
    forget();
}
}  // namespace platform
