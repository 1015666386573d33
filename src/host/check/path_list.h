// FolvaneCheck's lists of files (--units-from): the paths in a text file, one a line.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The paths in a list of files, one a line, read as they are asked for, so that a list of any
// length takes no more memory than its longest line: a line feed ends a line, a carriage return
// before it is dropped, and lines that are empty or hold only blanks and tabs are passed over.
class PathList {
public:
    // The longest path taken, in bytes (the system's limit, less the zero byte). A longer line,
    // or one with a zero byte, can name no file; it is passed over without being kept.
    static constexpr size_t kLongestPath = 4095;

    enum class Entry { Path, ZeroByte, TooLong, End, ReadFailed };

    explicit PathList(FILE* file) : file_(file) {}

    // The next line that is not blank, `path` its bytes; ReadFailed when the file cannot be read
    // past line(), with error() the reason.
    Entry next(std::string& path);
    size_t line() const { return line_; }
    int error() const { return error_; }

private:
    FILE* file_;
    size_t line_ = 0;
    int error_ = 0;
};
