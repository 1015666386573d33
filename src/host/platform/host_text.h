// Wide strings on the host: arguments and paths arrive as bytes in the user's locale (UTF-8 on
// Windows, host_text_win32.cpp) and are carried as wide strings; bytes the locale cannot convert
// travel as U+DC80..U+DCFF and come back out as the same bytes, so the file named is the file
// opened.
#pragma once

#include <string>

namespace host {

std::wstring wideFromBytes(const std::string& bytes);
std::string bytesFromWide(const std::wstring& wide);

// Whether a backslash in a path separates its folders (Windows), rather than being a character
// of a name that a message must quote.
bool backslashSeparatesFolders();

}  // namespace host
