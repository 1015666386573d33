// The host process entry's arguments and exit.
#include "host_entry.h"

#include <clocale>
#include <cstdio>

#include "host_text.h"

namespace host {

std::vector<std::wstring> wideArguments(int argc, char** argv) {
    (void)std::setlocale(LC_CTYPE, "");
    std::vector<std::wstring> arguments;
    arguments.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) arguments.push_back(wideFromBytes(argv[i]));
    return arguments;
}

int finishProcess(int status) {
    (void)std::fflush(stdout);
    return status;
}

}  // namespace host
