// FolvaneCheck's process entry on Windows: the arguments as the C runtime splits the command
// line by Microsoft's rules (wmain), in wide characters, so that every name survives; the
// standard streams in binary, so that a list read from standard input keeps every byte and the
// output's line feeds stay line feeds.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "check_command_line.h"
#include "host_entry.h"

int wmain(int argc, wchar_t** argv) {
    (void)_setmode(_fileno(stdin), _O_BINARY);
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)_setmode(_fileno(stderr), _O_BINARY);
    const int status = runChecker(argc, argv);
    return host::finishProcess(checkerOutputWritten() ? status : kCheckFailed);
}
