// The process entry of the Windows build over the simulated unit. The Microsoft runtime splits
// the command line its own way (a backslash escapes a double quote), so the entry takes the raw
// command line and splits it as the device's start-up does.
#include <windows.h>

#include <vector>

#include "argument_vector.h"
#include "command_line.h"
#include "host_entry.h"
#include "simulated_platform.h"

int wmain() {
    host::startSimulatedUnit();
    const std::vector<std::wstring> arguments = splitArguments(GetCommandLineW());
    std::vector<const wchar_t*> pointers = argumentVector(arguments);
    if (pointers.empty()) pointers.push_back(L"FolvaneCE");
    const int status = parseCommandLine(static_cast<int>(pointers.size()), pointers.data());
    return host::finishSimulatedRun(status);
}
