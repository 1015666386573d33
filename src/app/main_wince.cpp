// The process entry on the device: the start-up hands over the arguments as wide strings,
// split at white space outside double quotes, and takes the result as the exit status.
#include "command_line.h"

int wmain(int argc, wchar_t* argv[]) { return parseCommandLine(argc, argv); }
