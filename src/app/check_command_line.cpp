// FolvaneCheck's command line: "--plan", "--help", "--" and the data files, in any order; and
// each file opened, checked and its report printed.
#include "check_command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "platform.h"

namespace {

// After the message of a wrong argument: the usage, so that the right form is at hand.
int usageError() {
    platform::consolePrint(L"\n");
    printCheckerUsage();
    return kCheckFailed;
}

}  // namespace

void printCheckerUsage() {
    platform::consolePrint(L"Usage:  FolvaneCheck [--plan] FILE...\n\n");
    platform::consolePrint(L"Checks data files for FolvaneCE W before they reach a unit: reports every line that W\n");
    platform::consolePrint(L"ignores or reads in a surprising way, as FILE:LINE: warning: TEXT (or note: TEXT).\n\n");
    platform::consolePrint(L"  --plan   after each file's diagnostics, lists the settings operations that W would\n");
    platform::consolePrint(L"           call, in W's order, as FILE:LINE: OPERATION ARGUMENT\n");
    platform::consolePrint(L"  --help   prints this text\n");
    platform::consolePrint(L"  --       takes every later argument as a file\n\n");
    platform::consolePrint(L"Exit status: 0 when no file has a warning, 1 when one has, 2 when a file cannot be\n");
    platform::consolePrint(L"read or the arguments are wrong.\n");
}

int runChecker(int argc, const wchar_t* const* argv) {
    bool withPlan = false;
    bool optionsEnded = false;
    std::vector<const wchar_t*> files;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument = argv[i];
        // A lone "-" is no option; it names a file like any other word.
        if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            files.push_back(argv[i]);
        } else if (argument == L"--") {
            optionsEnded = true;
        } else if (argument == L"--plan") {
            withPlan = true;
        } else if (argument == L"--help" || argument == L"-h") {
            printCheckerUsage();
            return kCheckClean;
        } else {
            platform::consolePrint(L"FolvaneCheck: error: unknown option (%s)\n", argv[i]);
            return usageError();
        }
    }
    if (files.empty()) {
        platform::consolePrint(L"FolvaneCheck: error: no data file named\n");
        return usageError();
    }
    int status = kCheckClean;
    for (const wchar_t* file : files) status = std::max(status, checkSettingsFile(file, withPlan));
    return status;
}

int checkSettingsFile(const wchar_t* path, bool withPlan) {
    FILE* file = platform::openFile(path, "rt");
    if (file == nullptr) {
        platform::consolePrint(L"%s: error: cannot open the file (%S)\n", path, std::strerror(errno));
        return kCheckFailed;
    }
    const CheckReport report = checkDataFile(file);
    (void)std::fclose(file);
    for (const std::string& line : reportLines(report, withPlan)) {
        platform::consolePrint(L"%s:%S\n", path, line.c_str());
    }
    if (!report.wholeFileRead) return kCheckFailed;
    return report.hasWarning() ? kCheckWarnings : kCheckClean;
}
