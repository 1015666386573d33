// The runtime start-up's command-line splitter: quotes group, blanks separate, nothing escapes.
#include "command_splitter.h"

namespace {

// The six white-space characters of the C locale; any of them outside quotes separates.
bool isWhiteSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f'; }

}  // namespace

size_t splitCommandLine(const wchar_t* commandLine, wchar_t* text, wchar_t** argv) {
    // Each argument's characters and its terminator: never more than the line and one more,
    // since a separator or a removed quote stands for every terminator but the last.
    const bool writing = text != 0 && argv != 0;
    size_t count = 0;
    wchar_t* out = text;
    bool inArgument = false;
    bool quoted = false;
    for (const wchar_t* p = commandLine; *p != L'\0'; ++p) {
        const bool separates = !quoted && isWhiteSpace(*p);
        if (separates) {
            if (inArgument && writing) *out++ = L'\0';
            inArgument = false;
            continue;
        }
        if (!inArgument) {
            if (writing) argv[count] = out;
            ++count;
            inArgument = true;
        }
        if (*p == L'"') {
            quoted = !quoted;
        } else if (writing) {
            *out++ = *p;
        }
    }
    if (inArgument && writing) *out = L'\0';
    return count;
}
