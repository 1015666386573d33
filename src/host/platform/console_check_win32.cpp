// FolvaneCheck's console and files on Windows. Its texts are UTF-8 (host_text_win32.cpp): to a
// console they go out as wide characters (WriteConsoleW), so that no name is lost to the
// console's code page; to a file or a pipe, as UTF-8 with line feeds, byte for byte what the
// Linux build writes. Its data files and lists open through host::openInput
// (host_input_windows.cpp), by their wide names and in binary, as on Linux.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cwctype>
#include <string>

#include "host_output.h"
#include "platform.h"

namespace {

// Whether `handle` is a console, which takes wide characters.
bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode);
}

// UTF-8 to a console as wide characters; to anything else as the bytes themselves. A console
// that refuses them gets them through the stream, whose error the run's end then reports.
void write(DWORD which, FILE* stream, const char* text, size_t length) {
    const HANDLE handle = GetStdHandle(which);
    if (length > 0 && length <= 0x7FFFFFFF && isConsole(handle)) {
        (void)std::fflush(stream);
        const int count = static_cast<int>(length);
        const int units = MultiByteToWideChar(CP_UTF8, 0, text, count, nullptr, 0);
        std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
        DWORD written = 0;
        if (units > 0 && MultiByteToWideChar(CP_UTF8, 0, text, count, wide.data(), units) == units &&
            WriteConsoleW(handle, wide.data(), static_cast<DWORD>(units), &written, nullptr) &&
            written == static_cast<DWORD>(units))
            return;
    }
    (void)std::fwrite(text, 1, length, stream);
}

}  // namespace

namespace host {

void writeStandardError(const char* text, size_t length) { write(STD_ERROR_HANDLE, stderr, text, length); }

FILE* temporaryFile() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    wchar_t name[MAX_PATH];
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"fvc", 0, name) == 0) {
        errno = EACCES;
        return nullptr;
    }
    // "D": removed when closed, also by the system when the program ends without closing it.
    FILE* file = _wfopen(name, L"w+bD");
    if (file == nullptr) (void)DeleteFileW(name);
    return file;
}

}  // namespace host

namespace platform {

void consoleWrite(const char* text, size_t length) { write(STD_OUTPUT_HANDLE, stdout, text, length); }

bool consoleFlushed() { return std::fflush(stdout) == 0 && std::ferror(stdout) == 0; }

// A file opened here hands every carriage return over, as on Linux.
bool textModeKeepsCarriageReturn() { return true; }

wchar_t upperCase(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }

}  // namespace platform
