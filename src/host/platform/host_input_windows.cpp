// Files to read on Windows: their bytes as they are, as the checker reads them on Linux (it
// models the device's text mode itself), looked at before a byte is read. A folder does not
// open here; it is known by its name.
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>

#include "host_input.h"

namespace host {

Input openInput(const wchar_t* path, bool pipes) {
    Input input;
    struct _stat info {};
    input.file = _wfopen(path, L"rb");
    if (input.file == nullptr) {
        input.error = errno;
        if (_wstat(path, &info) == 0 && (info.st_mode & _S_IFDIR) != 0) input.notRegular = true;
        return input;
    }
    if (_fstat(_fileno(input.file), &info) != 0) return input;
    const bool regular = (info.st_mode & _S_IFREG) != 0;
    const bool pipe = (info.st_mode & _S_IFIFO) != 0;
    if (!regular && !(pipes && pipe)) {
        (void)std::fclose(input.file);
        input.file = nullptr;
        input.notRegular = true;
    }
    return input;
}

}  // namespace host
