// The one owner of a file that host code opens: closed when it goes, whatever the path out.
#pragma once

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

namespace host {

struct FileCloser {
    void operator()(FILE* file) const { (void)std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

inline File openHostFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

// Reads the whole file at `path` into `text`. False when it cannot be opened or read; `error`
// is then the errno of the failure (ENOENT for a file that does not exist).
inline bool readWholeFile(const std::string& path, std::string& text, int& error) {
    const File file = openHostFile(path, "rb");
    if (!file) {
        error = errno;
        return false;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, n);
    error = errno;
    return std::ferror(file.get()) == 0;
}

// Why the last file that the program's platform functions opened or wrote failed (WHAT: WHY, or
// WHAT: the system's reason for errno), said on standard error by platform::explainFileFailure
// after the console's line. A POSIX host's console keeps it.
void noteFileFailure(const std::string& what);
void noteFileFailure(const std::string& what, const std::string& why);
void forgetFileFailure();

}  // namespace host
