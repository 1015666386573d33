// The stand-in's process start-up for a console program entered at wmain: what a real SDK's
// runtime library provides as mainWCRTStartup. As that one does, it takes the image's path as
// the first argument (GetModuleFileNameW, 256 characters) and the arguments from the command
// line, which on CE holds them alone, split at white space outside double quotes with the
// quotes removed and no escapes; it runs wmain and ends the process with its result.
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

#include "command_splitter.h"

int wmain(int argc, wchar_t* argv[]);

namespace {

const DWORD kPathLength = 256;
wchar_t programPath[kPathLength];
wchar_t defaultProgramName[] = L"FolvaneCE";

// The image's path, then the arguments of `commandLine`; null when the heap has no room for
// them. `argc` receives their count.
wchar_t** argumentVector(const wchar_t* commandLine, int& argc) {
    const size_t count = splitCommandLine(commandLine, NULL, NULL);
    wchar_t* text = static_cast<wchar_t*>(malloc((wcslen(commandLine) + 1) * sizeof(wchar_t)));
    wchar_t** argv = static_cast<wchar_t**>(malloc((count + 2) * sizeof(wchar_t*)));
    if (text == NULL || argv == NULL) return NULL;
    const DWORD length = GetModuleFileNameW(NULL, programPath, kPathLength);
    argv[0] = length > 0 && length < kPathLength ? programPath : defaultProgramName;
    splitCommandLine(commandLine, text, argv + 1);
    argc = static_cast<int>(count + 1);
    argv[argc] = NULL;
    return argv;
}

}  // namespace

extern "C" void __cdecl mainWCRTStartup(void) {
    int argc = 0;
    wchar_t** argv = argumentVector(GetCommandLineW(), argc);
    if (argv == NULL) {
        static const char message[] = "***ERROR*** no memory for the command line\n";
        fwrite(message, 1, sizeof message - 1, stdout);
        ExitProcess(1);
        return;
    }
    ExitProcess(static_cast<DWORD>(wmain(argc, argv)));
}
