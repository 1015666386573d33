// The shared part of the fuzz targets, and the simulated unit's faults made findings.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace fuzz {

void fail(const char* file, int line, const char* condition, const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr, "\n%s:%d: invariant broken: %s\n%s\n", file, line, condition, what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string shown(std::string_view bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string shown(std::wstring_view text) {
    std::string out = "L\"";
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\') {
            out += static_cast<char>(c);
        } else {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        }
    }
    return out + "\"";
}

namespace {

std::string madeDirectory;

void removeScratch() {
    if (!madeDirectory.empty()) std::system(("rm -rf '" + madeDirectory + "'").c_str());
}

}  // namespace

const std::string& scratchDirectory() {
    if (madeDirectory.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/folvane-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("fuzz: cannot make a scratch directory");
            std::abort();
        }
        madeDirectory = pattern;
        std::atexit(removeScratch);
    }
    return madeDirectory;
}

}  // namespace fuzz

// The simulated unit ends the process with status 3 at once when the program does something the
// device would punish. The targets link with --wrap=_Exit, so that such an end becomes an abort,
// which libFuzzer reports as a finding with its input; every other status ends as it would.
extern "C" [[noreturn]] void __real__Exit(int status);

extern "C" [[noreturn]] void __wrap__Exit(int status) {
    if (status == 3) {
        std::fprintf(stderr, "fuzz: the simulated unit reported a fault of the program (above)\n");
        std::abort();
    }
    __real__Exit(status);
}
