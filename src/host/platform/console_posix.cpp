// Console and files on a C library without text mode (glibc). The console formats the
// program's wide messages itself and writes bytes to a narrow standard output, so that 8-bit
// texts reach it unchanged in every locale (wide stdio on glibc refuses bytes 80h-FFh in the C
// locale) and R's file text stays in order with the messages.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include "console_sink.h"
#include "host_file.h"
#include "host_input.h"
#include "host_output.h"
#include "host_text.h"
#include "platform.h"

namespace host {

std::string* consoleCapture = nullptr;

namespace {

std::string fileFailure;

}  // namespace

void noteFileFailure(const std::string& what) { fileFailure = what + ": " + std::strerror(errno); }

void noteFileFailure(const std::string& what, const std::string& why) { fileFailure = what + ": " + why; }

void forgetFileFailure() { fileFailure.clear(); }

void writeStandardError(const char* text, size_t length) { (void)std::fwrite(text, 1, length, stderr); }

FILE* temporaryFile() { return std::tmpfile(); }

}  // namespace host

namespace {

void emit(const char* data, size_t length) {
    if (host::consoleCapture != nullptr) {
        host::consoleCapture->append(data, length);
        return;
    }
    (void)std::fwrite(data, 1, length, stdout);
}

// Formats one integer directive with the C library, from its narrow spelling; `directive` is built
// from the message's own directive, whose argument type the caller has matched.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename T>
void appendNumber(std::string& out, const std::string& directive, T value) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, directive.c_str(), value);
    if (n > 0) out.append(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
}
#pragma GCC diagnostic pop

}  // namespace

namespace host {

// The directives the program's messages use: %s (wide), %S (8-bit), %c, %d, %i, %u, %x, %X
// with flags and width, and %%. `args` was started by the caller; clang's analyzer cannot see
// that across the call and takes it for uninitialized.
// NOLINTBEGIN(clang-analyzer-valist.Uninitialized)
std::string formatMessage(const wchar_t* format, va_list args) {
    std::string out;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        if (*p != L'%') {
            out += bytesFromWide(std::wstring(1, *p));
            continue;
        }
        std::string directive = "%";
        ++p;
        while (*p == L'-' || *p == L'0' || *p == L'+' || *p == L' ' || *p == L'#') directive += static_cast<char>(*p++);
        while (*p >= L'0' && *p <= L'9') directive += static_cast<char>(*p++);
        bool isLong = false;
        while (*p == L'l' || *p == L'h') isLong = *p++ == L'l' || isLong;
        switch (*p) {
            case L'%': out += '%'; break;
            case L's': {
                const wchar_t* text = va_arg(args, const wchar_t*);
                out += bytesFromWide(text != nullptr ? text : L"(null)");
                break;
            }
            case L'S': {
                const char* text = va_arg(args, const char*);
                out += text != nullptr ? text : "(null)";
                break;
            }
            case L'c': out += bytesFromWide(std::wstring(1, static_cast<wchar_t>(va_arg(args, int)))); break;
            case L'd':
            case L'i':
                if (isLong) {
                    appendNumber(out, directive + "ld", va_arg(args, long));
                } else {
                    appendNumber(out, directive + "d", va_arg(args, int));
                }
                break;
            case L'u':
            case L'x':
            case L'X': {
                const char conversion = static_cast<char>(*p);
                if (isLong) {
                    appendNumber(out, directive + "l" + conversion, va_arg(args, unsigned long));
                } else {
                    appendNumber(out, directive + conversion, va_arg(args, unsigned int));
                }
                break;
            }
            case L'\0': --p; break;  // a lone "%" at the end: the loop ends on the terminator
            default: out += bytesFromWide(std::wstring(1, *p)); break;
        }
    }
    return out;
}
// NOLINTEND(clang-analyzer-valist.Uninitialized)

}  // namespace host

namespace platform {

void consolePrint(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = host::formatMessage(format, args);
    va_end(args);
    emit(text.data(), text.size());
}

void consoleWrite(const char* text, size_t length) { emit(text, length); }

FILE* openFile(const wchar_t* path, const char* mode) {
    // No text mode here: a line feed is a line feed, and a carriage return stays in the text.
    std::string narrowMode;
    for (const char* m = mode; *m != '\0'; ++m) {
        if (*m != 't') narrowMode += *m;
    }
    host::forgetFileFailure();
    const std::string name = host::bytesFromWide(path);
    if (narrowMode != "r") {
        FILE* file = std::fopen(name.c_str(), narrowMode.c_str());
        if (file == nullptr) host::noteFileFailure("cannot open " + name);
        return file;
    }
    // A folder or a device is no data file (a device would read without end); a pipe is read.
    const host::Input input = host::openInput(path, true);
    if (input.file != nullptr) return input.file;
    if (input.notRegular) {
        host::noteFileFailure("cannot open " + name, "not a regular file");
        errno = EISDIR;
    } else {
        errno = input.error;
        host::noteFileFailure("cannot open " + name);
    }
    return nullptr;
}

void explainFileFailure() {
    if (host::fileFailure.empty()) return;
    // After the console's own line, where both reach one terminal.
    if (host::consoleCapture == nullptr) (void)std::fflush(stdout);
    (void)std::fprintf(stderr, "%s\n", host::fileFailure.c_str());
    host::forgetFileFailure();
}

bool consoleFlushed() {
    if (host::consoleCapture != nullptr) return true;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    // Standard output itself failed, so the word goes to standard error.
    (void)std::fputs("***ERROR*** Failed to write standard output!\n", stderr);
    return false;
}

bool textModeKeepsCarriageReturn() { return true; }

wchar_t upperCase(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }

}  // namespace platform
