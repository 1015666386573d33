// Files to read on a POSIX host: a regular file is opened without waiting and looked at before a
// byte is read; a FIFO, where taken, is opened as a FIFO is, waiting for its writer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "host_input.h"
#include "host_text.h"

namespace host {

Input openInput(const wchar_t* widePath, bool pipes) {
    const std::string path = bytesFromWide(widePath);
    Input input;
    struct stat info {};
    // A FIFO's open would wait for a writer: it is known by its name first.
    if (stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) {
        if (!pipes) {
            input.notRegular = true;
            return input;
        }
        input.file = std::fopen(path.c_str(), "r");
        if (input.file == nullptr) input.error = errno;
        return input;
    }
    // Without waiting (a device may wait in its open), and looked at once open.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        input.error = errno;
        return input;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &info) != 0 || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        input.error = errno;
        (void)close(fd);
        return input;
    }
    if (!S_ISREG(info.st_mode)) {
        input.notRegular = true;
        (void)close(fd);
        return input;
    }
    input.file = fdopen(fd, "r");
    if (input.file == nullptr) {
        input.error = errno;
        (void)close(fd);
    }
    return input;
}

}  // namespace host
