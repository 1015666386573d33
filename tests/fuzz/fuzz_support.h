// What every fuzz target shares: a check that stops the run as a finding, texts shown with
// their bytes, and a scratch directory of the process's own.
#pragma once

#include <string>
#include <string_view>

namespace fuzz {

// Prints where and what broke, then aborts, so that libFuzzer keeps the input as a finding.
[[noreturn]] void fail(const char* file, int line, const char* condition, const std::string& what);

// A text in double quotes with C escapes, so that a finding shows every byte.
std::string shown(std::string_view bytes);
std::string shown(std::wstring_view text);

// A directory made for this process under $TMPDIR (or /tmp) and removed when it exits.
const std::string& scratchDirectory();

}  // namespace fuzz

// `what` is only evaluated when the condition does not hold.
#define FUZZ_CHECK(condition, what)                                            \
    do {                                                                       \
        if (!(condition)) ::fuzz::fail(__FILE__, __LINE__, #condition, (what)); \
    } while (0)
