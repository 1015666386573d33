// FolvaneCheck's lists of files (--units-from): the paths in a text file, one a line, or
// separated by zero bytes (--null).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The paths in a list of files, one a line, read as they are asked for, so that a list of any
// length takes no more memory than its longest line: a line feed ends a line, a carriage return
// before it is dropped, and lines that are empty or hold only blanks and tabs are passed over.
// Separated by zero bytes (as find -print0 writes them), each record is a path byte for byte,
// line feeds and carriage returns included; only empty records are passed over, and the last
// record needs no zero byte after it. line() then counts the records.
class PathList {
public:
    // The longest path taken, in bytes (the system's limit, less the zero byte). A longer line,
    // or one with a zero byte, can name no file; it is passed over without being kept.
    static constexpr size_t kLongestPath = 4095;

    enum class Entry { Path, ZeroByte, TooLong, End, ReadFailed };

    explicit PathList(FILE* file, bool zeroSeparated = false) : file_(file), zeroSeparated_(zeroSeparated) {}

    // The next line that is not blank, `path` its bytes; ReadFailed when the file cannot be read
    // past line(), with error() the reason.
    Entry next(std::string& path);
    size_t line() const { return line_; }
    int error() const { return error_; }

private:
    enum class Encoding { Unknown, Bytes, Utf16Little, Utf16Big };

    void readByteOrderMark();
    int nextByte();
    long nextUnit();
    // The next byte, or with UTF-16 the next character (a lone surrogate as itself); EOF at the end.
    long nextCharacter();

    FILE* file_;
    bool zeroSeparated_;
    Encoding encoding_ = Encoding::Unknown;
    std::string pending_;  // bytes read while looking for a byte order mark, not yet handed on
    size_t pendingAt_ = 0;
    long heldUnit_ = -1;  // the unit after a high surrogate that stood alone
    size_t line_ = 0;
    int error_ = 0;
};
