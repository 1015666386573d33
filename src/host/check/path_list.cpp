// FolvaneCheck's lists of files, read a line (or a record) at a time.
#include "path_list.h"

#include <cerrno>

namespace {

constexpr long kReplacementCharacter = 0xFFFD;

// A character of a UTF-16 list as the path's bytes: UTF-8, a surrogate that stands alone (as a
// Windows name may hold one) in the same three-byte form as any other character below U+10000.
void appendUtf8(std::string& path, long c) {
    const auto byte = [&](long b) { path += static_cast<char>(static_cast<unsigned char>(b)); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | (c >> 6));
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | (c >> 12));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | (c >> 18));
        byte(0x80 | ((c >> 12) & 0x3F));
        byte(0x80 | ((c >> 6) & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

}  // namespace

int PathList::nextByte() {
    if (pendingAt_ < pending_.size()) return static_cast<unsigned char>(pending_[pendingAt_++]);
    return std::getc(file_);
}

// A byte order mark at the start of a list of lines says how it is written: FF FE or FE FF,
// UTF-16 (PowerShell 5.1's "Unicode", which its ">" writes); EF BB BF, UTF-8, the mark passed
// over. Any other start is the list's first bytes.
void PathList::readByteOrderMark() {
    encoding_ = Encoding::Bytes;
    if (zeroSeparated_) return;
    const int first = std::getc(file_);
    if (first == EOF) return;
    pending_ += static_cast<char>(first);
    if (first != 0xFF && first != 0xFE && first != 0xEF) return;
    const int second = std::getc(file_);
    if (second == EOF) return;
    pending_ += static_cast<char>(second);
    if (first == 0xFF && second == 0xFE) encoding_ = Encoding::Utf16Little;
    if (first == 0xFE && second == 0xFF) encoding_ = Encoding::Utf16Big;
    if (encoding_ != Encoding::Bytes) return pending_.clear();
    if (first != 0xEF || second != 0xBB) return;
    const int third = std::getc(file_);
    if (third == EOF) return;
    pending_ += static_cast<char>(third);
    if (third == 0xBF) pending_.clear();
}

long PathList::nextUnit() {
    const int a = nextByte();
    if (a == EOF) return EOF;
    const int b = nextByte();
    if (b == EOF) return kReplacementCharacter;  // half a character at the end
    return encoding_ == Encoding::Utf16Little ? a | (b << 8) : (a << 8) | b;
}

long PathList::nextCharacter() {
    if (encoding_ == Encoding::Bytes) return nextByte();
    if (heldUnit_ >= 0) {
        const long held = heldUnit_;
        heldUnit_ = -1;
        return held;
    }
    const long unit = nextUnit();
    if (unit < 0xD800 || unit > 0xDBFF) return unit;
    const long low = nextUnit();
    if (low >= 0xDC00 && low <= 0xDFFF) return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    heldUnit_ = low;  // the high surrogate stands alone; what follows it is read next
    return unit;
}

PathList::Entry PathList::next(std::string& path) {
    if (encoding_ == Encoding::Unknown) readByteOrderMark();
    for (;;) {
        path.clear();
        bool zeroByte = false;
        bool anything = false;
        long c = 0;
        errno = 0;
        const long end = zeroSeparated_ ? 0x00 : 0x0A;  // the zero byte, or the line feed
        while ((c = nextCharacter()) != EOF && c != end) {
            anything = true;
            if (c == 0) zeroByte = true;
            // One byte beyond the longest path and its carriage return tells a line too long.
            if (path.size() > kLongestPath + 1) continue;
            if (encoding_ == Encoding::Bytes) {
                path += static_cast<char>(c);
            } else {
                appendUtf8(path, c);
            }
        }
        if (c == EOF && std::ferror(file_) != 0) {
            error_ = errno != 0 ? errno : EIO;
            return Entry::ReadFailed;
        }
        if (c == EOF && !anything) return Entry::End;
        ++line_;
        if (zeroSeparated_) {
            if (path.size() > kLongestPath) return Entry::TooLong;
            if (!path.empty()) return Entry::Path;
            continue;
        }
        if (!path.empty() && path.back() == '\r') path.pop_back();
        if (zeroByte) return Entry::ZeroByte;
        if (path.size() > kLongestPath) return Entry::TooLong;
        if (path.find_first_not_of(" \t") != std::string::npos) return Entry::Path;
    }
}
