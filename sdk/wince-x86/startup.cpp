// The stand-in's process start-up for a console program entered at wmain: what a real SDK's
// runtime library provides as mainWCRTStartup. It splits the command line as the device's
// start-up does, runs wmain and ends the process with wmain's result.
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

#include "command_splitter.h"

int wmain(int argc, wchar_t* argv[]);

namespace {

wchar_t defaultProgramName[] = L"FolvaneCE";

// The arguments of `commandLine`, the first being the program's own path; null when the heap
// has no room for them. `argc` receives their count.
wchar_t** splitArguments(const wchar_t* commandLine, int& argc) {
    const size_t count = splitCommandLine(commandLine, NULL, NULL);
    wchar_t* text = static_cast<wchar_t*>(malloc((wcslen(commandLine) + 1) * sizeof(wchar_t)));
    wchar_t** argv = static_cast<wchar_t**>(malloc((count + 2) * sizeof(wchar_t*)));
    if (text == NULL || argv == NULL) return NULL;
    splitCommandLine(commandLine, text, argv);
    if (count == 0) argv[0] = defaultProgramName;
    argc = static_cast<int>(count == 0 ? 1 : count);
    argv[argc] = NULL;
    return argv;
}

}  // namespace

extern "C" void __cdecl mainWCRTStartup(void) {
    int argc = 0;
    wchar_t** argv = splitArguments(GetCommandLineW(), argc);
    if (argv == NULL) {
        static const char message[] = "***ERROR*** no memory for the command line\n";
        fwrite(message, 1, sizeof message - 1, stdout);
        ExitProcess(1);
    }
    ExitProcess(static_cast<UINT>(wmain(argc, argv)));
}
