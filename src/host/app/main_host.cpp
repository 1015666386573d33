// The process entry on every machine that is not the device: the simulated unit is loaded
// first, then the program runs on the arguments converted in the user's locale.
#include <vector>

#include "argument_vector.h"
#include "command_line.h"
#include "host_entry.h"
#include "simulated_platform.h"

int main(int argc, char** argv) {
    host::startSimulatedUnit();
    const std::vector<std::wstring> arguments = host::wideArguments(argc, argv);
    const std::vector<const wchar_t*> pointers = argumentVector(arguments);
    const int status = parseCommandLine(static_cast<int>(pointers.size()), pointers.data());
    return host::finishSimulatedRun(status);
}
