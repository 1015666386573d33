// FolvaneCheck's process entry: the arguments converted in the user's locale, no unit at all,
// since the checker only reads data files.
#include <vector>

#include "argument_vector.h"
#include "check_command_line.h"
#include "host_entry.h"

int main(int argc, char** argv) {
    const std::vector<std::wstring> arguments = host::wideArguments(argc, argv);
    const std::vector<const wchar_t*> pointers = argumentVector(arguments);
    const int status = runChecker(static_cast<int>(pointers.size()), pointers.data());
    return host::finishProcess(checkerOutputWritten() ? status : kCheckFailed);
}
