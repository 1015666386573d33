// parseCommandLine: help options, the operation letter and the data file, checked in order.
#include "command_line.h"

#include "datafile.h"
#include "exit_status.h"
#include "platform.h"

namespace {

bool isOption(const wchar_t* argument) { return argument[0] == L'/' || argument[0] == L'-'; }

// "/h", "-H", "/?" and the like: exactly two characters.
bool isHelpOption(const wchar_t* argument) {
    return isOption(argument) && argument[1] != L'\0' && argument[2] == L'\0' &&
           (platform::upperCase(argument[1]) == L'H' || argument[1] == L'?');
}

int invalidParameter(const wchar_t* argument) {
    platform::consolePrint(L"***ERROR*** Invalid parameter (%s)!\n", argument);
    return kExitFailure;
}

}  // namespace

void printBanner() {
    platform::consolePrint(L"Norvik Folvane Utility for CE, Version 2.00.004\n");
    platform::consolePrint(L"Copyright (c) Norvik. All rights reserved.\n");
    platform::consolePrint(L"\n");
}

void printUsage() {
    platform::consolePrint(L"Usage:  FolvaneCE {R|W} <datafile>\n\n");
    platform::consolePrint(L"where\n\n");
    platform::consolePrint(L"{R|W}       Specifies the operation:\n");
    platform::consolePrint(L"                R - to retrieve BIOS settings,\n");
    platform::consolePrint(L"                W - to change BIOS settings,\n");
    platform::consolePrint(L"<datafile>  Specifies the output's (for R) or the input's (for W) file.\n\n");
}

int parseCommandLine(int argc, const wchar_t* const* argv) {
    printBanner();
    if (argc <= 1) {
        printUsage();
        return kExitSuccess;
    }
    wchar_t operation = L'\0';
    const wchar_t* dataFile = 0;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* argument = argv[i];
        if (isOption(argument)) {
            if (!isHelpOption(argument)) return invalidParameter(argument);
            printUsage();
            return kExitSuccess;
        }
        if (operation == L'\0') {
            const wchar_t letter = platform::upperCase(argument[0]);
            if ((letter != L'R' && letter != L'W') || argument[1] != L'\0') return invalidParameter(argument);
            operation = letter;
        } else if (dataFile == 0) {
            dataFile = argument;
        } else {
            return invalidParameter(argument);
        }
    }
    if (operation == L'R') return retrieveSettings(dataFile);
    if (dataFile == 0) {
        platform::consolePrint(L"***ERROR*** Missing data file!\n");
        return kExitFailure;
    }
    return changeSettings(dataFile);
}
