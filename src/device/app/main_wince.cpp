// The process entry on the device: the start-up hands over the arguments as wide strings,
// split at white space outside double quotes, and takes the result as the exit status. The
// platform layer's run ends before the process does, whatever the operation's outcome.
#include "command_line.h"
#include "driver_route.h"

int wmain(int argc, wchar_t* argv[]) {
    const int status = parseCommandLine(argc, argv);
    platform::endDeviceRun();
    return status;
}
