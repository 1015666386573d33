// FolvaneCheck's lists of files, read a line (or a record) at a time.
#include "path_list.h"

#include <cerrno>

PathList::Entry PathList::next(std::string& path) {
    for (;;) {
        path.clear();
        bool zeroByte = false;
        bool anything = false;
        int c = 0;
        errno = 0;
        const int end = zeroSeparated_ ? 0x00 : 0x0A;  // the zero byte, or the line feed
        while ((c = std::getc(file_)) != EOF && c != end) {
            anything = true;
            if (c == '\0') zeroByte = true;
            // One byte beyond the longest path and its carriage return tells a line too long.
            if (path.size() <= kLongestPath + 1) path += static_cast<char>(c);
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
