// Wide strings on the host: arguments and paths arrive as bytes in the user's locale and are
// carried as wide strings; bytes the locale cannot convert travel as U+DC80..U+DCFF and come
// back out as the same bytes, so the file named is the file opened.
#pragma once

#include <string>

namespace host {

std::wstring wideFromBytes(const std::string& bytes);
std::string bytesFromWide(const std::wstring& wide);

}  // namespace host
