// Console and files of the Microsoft runtime: the device's, and the Windows build's over the
// simulated unit. Messages go through the runtime's own wide printf; its text mode turns a
// line feed into CR LF on the way out and back into one line feed on the way in.
//
// mingw-w64 would otherwise route the printf family to its own C99 printf, which reads "%s" in
// a wide format as an 8-bit string; this file asks for the runtime's own.
#define __USE_MINGW_ANSI_STDIO 0

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "platform.h"

namespace {

// Whether the runtime's wide printf reads "%s" as a wide string, as Microsoft's does, rather
// than as an 8-bit one, as C99's does. Decided by the runtime itself, not by the platform.
bool readsPercentSAsWide() {
    static const bool wide = [] {
        wchar_t out[8] = {};
        // A wide "AB" read as an 8-bit string ends after its first byte: "A".
        swprintf(out, sizeof out / sizeof out[0], L"%s", L"AB");
        return out[0] == L'A' && out[1] == L'B';
    }();
    return wide;
}

// The program's messages say "%s" for wide and "%S" for 8-bit strings; on a runtime that reads
// them the other way, the two swap.
std::wstring forThisRuntime(const wchar_t* format) {
    std::wstring adapted(format);
    if (readsPercentSAsWide()) return adapted;
    for (size_t i = 0; i < adapted.size(); ++i) {
        if (adapted[i] != L'%') continue;
        size_t j = i + 1;
        while (j < adapted.size() && std::wcschr(L"-+ #0123456789.", adapted[j]) != nullptr) ++j;
        if (j < adapted.size() && adapted[j] == L's') {
            adapted[j] = L'S';
        } else if (j < adapted.size() && adapted[j] == L'S') {
            adapted[j] = L's';
        }
        i = j;
    }
    return adapted;
}

}  // namespace

namespace platform {

void consolePrint(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfwprintf(stdout, forThisRuntime(format).c_str(), args);
    va_end(args);
}

void consoleWrite(const char* text, size_t length) {
    const std::string copy(text, length);
    consolePrint(L"%S", copy.c_str());
}

FILE* openFile(const wchar_t* path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path, wideMode.c_str());
}

bool textModeKeepsCarriageReturn() { return false; }

}  // namespace platform
