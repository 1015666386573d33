// Console and files of the Microsoft runtime: the device's, and the Windows build's over the
// simulated unit. Messages go through the runtime's own wide printf; its text mode turns a
// line feed into CR LF on the way out and back into one line feed on the way in.
//
// mingw-w64 would otherwise route the printf family to its own C99 printf, which reads "%s" in
// a wide format as an 8-bit string; this file asks for the runtime's own.
#define __USE_MINGW_ANSI_STDIO 0

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

// After the runtime's headers: mingw-w64's <windows.h> included first would route the wide
// printf family to its own after all.
#include <windows.h>

#include "platform.h"

namespace {

// Whether the runtime's wide printf reads "%s" as a wide string, as Microsoft's does, rather
// than as an 8-bit one, as C99's does. Decided by the runtime itself, not by the platform.
bool readsPercentSAsWide() {
    wchar_t out[8];
    memset(out, 0, sizeof out);
    // A wide "AB" read as an 8-bit string ends after its first byte: "A". The count leaves
    // room for the terminator, which this runtime does not always write.
    (void)_snwprintf(out, sizeof out / sizeof out[0] - 1, L"%s", L"AB");
    return out[0] == L'A' && out[1] == L'B';
}

// The longest message format the program has, with room to spare.
const size_t kFormatCapacity = 256;

// The program's messages say "%s" for wide and "%S" for 8-bit strings; on a runtime that reads
// them the other way, the two swap in `adapted`. Returns the format to print with.
const wchar_t* forThisRuntime(const wchar_t* format, wchar_t* adapted) {
    static int wide = -1;  // decided at the first message
    if (wide < 0) wide = readsPercentSAsWide() ? 1 : 0;
    const size_t length = wcslen(format);
    if (wide == 1 || length >= kFormatCapacity) return format;
    memcpy(adapted, format, (length + 1) * sizeof(wchar_t));
    for (size_t i = 0; i < length; ++i) {
        if (adapted[i] != L'%') continue;
        size_t j = i + 1;
        while (j < length && wcschr(L"-+ #0123456789.", adapted[j]) != 0) ++j;
        if (j < length && adapted[j] == L's') {
            adapted[j] = L'S';
        } else if (j < length && adapted[j] == L'S') {
            adapted[j] = L's';
        }
        i = j;
    }
    return adapted;
}

}  // namespace

namespace platform {

void consolePrint(const wchar_t* format, ...) {
    wchar_t adapted[kFormatCapacity];
    va_list args;
    va_start(args, format);
    (void)vfwprintf(stdout, forThisRuntime(format, adapted), args);
    va_end(args);
}

void consoleWrite(const char* text, size_t length) {
    // Through the same wide stream as the messages, in pieces that each end in a zero byte.
    char piece[128];
    while (length > 0) {
        const size_t n = length < sizeof piece - 1 ? length : sizeof piece - 1;
        memcpy(piece, text, n);
        piece[n] = '\0';
        consolePrint(L"%S", piece);
        text += n;
        length -= n;
    }
}

FILE* openFile(const wchar_t* path, const char* mode) {
    wchar_t wideMode[8];
    size_t i = 0;
    for (; mode[i] != '\0' && i < sizeof wideMode / sizeof wideMode[0] - 1; ++i) {
        wideMode[i] = static_cast<wchar_t>(mode[i]);
    }
    wideMode[i] = L'\0';
    return _wfopen(path, wideMode);
}

void explainOpenFailure() {}

// "PATH.new" in memory from the heap, or null (no memory, or no name); the caller frees it.
wchar_t* replacementName(const wchar_t* path) {
    static const wchar_t kSuffix[] = L".new";
    const size_t length = wcslen(path);
    if (length == 0) return 0;  // no name is no file: ".new" alone would name a file of its own
    wchar_t* name = static_cast<wchar_t*>(malloc((length + sizeof kSuffix / sizeof kSuffix[0]) * sizeof(wchar_t)));
    if (name == 0) return 0;
    memcpy(name, path, length * sizeof(wchar_t));
    memcpy(name + length, kSuffix, sizeof kSuffix);
    return name;
}

FILE* openReplacement(const wchar_t* path) {
    wchar_t* name = replacementName(path);
    if (name == 0) return 0;
    FILE* file = _wfopen(name, L"wt");
    free(name);
    return file;
}

// MoveFileW never replaces an existing file, so the old one goes first. Power lost between the
// two steps leaves the whole new file under "PATH.new" and no old one; the next R replaces it.
bool commitReplacement(const wchar_t* path) {
    wchar_t* name = replacementName(path);
    if (name == 0) return false;
    (void)DeleteFileW(path);  // absent the first time; any other failure makes the move fail
    const bool moved = MoveFileW(name, path) != FALSE;
    if (!moved) (void)DeleteFileW(name);
    free(name);
    return moved;
}

void discardReplacement(const wchar_t* path) {
    wchar_t* name = replacementName(path);
    if (name == 0) return;
    (void)DeleteFileW(name);
    free(name);
}

// The console line says it all here.
void explainReplacementFailure() {}

bool consoleFlushed() { return fflush(stdout) == 0 && ferror(stdout) == 0; }

bool textModeKeepsCarriageReturn() { return false; }

wchar_t upperCase(wchar_t c) { return static_cast<wchar_t>(towupper(c)); }

}  // namespace platform
