// Runs the built program as a process: arguments, environment, working directory, and what it
// printed on standard output and standard error, byte for byte.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

struct Launch {
    std::vector<std::string> args;                         // after the program's own path
    std::vector<std::pair<std::string, std::string>> env;  // set on top of the test's environment
    std::string cwd;                                       // empty: the test's own
};

// The program under test: FOLVANE_E2E_PROGRAM, or the host build's FolvaneCE. A launcher such
// as wine goes in FOLVANE_E2E_LAUNCHER.
Result run(const Launch& launch);
// Another copy of the program under test, under the same launcher.
Result runCopy(const std::string& program, const Launch& launch);
// A host tool of this build, such as FolvaneCheck, run as it is: never under the launcher.
Result runHostTool(const std::string& program, const Launch& launch);

// The text the program prints, in the line ends of the runtime under test.
std::string lines(const std::string& text);
// A data file's text as the runtime's text mode writes it.
std::string fileText(const std::string& text);
// FolvaneCheck under test, as the words that start it: FOLVANE_E2E_CHECK_PROGRAM (the Windows
// build's FolvaneCheck.exe) after FOLVANE_E2E_CHECK_LAUNCHER (wine) when they are set, else this
// build's FolvaneCheck, run as it is.
std::vector<std::string> checkCommand();
Result runCheck(const Launch& launch);
// Runs `start`, a run of FolvaneCheck with the arguments `args`, once more where the build
// under test is the Windows one and wine did not start it at all: status 1 with nothing on either
// stream, which FolvaneCheck itself ends with only under --quiet (every other status 1 of its own
// prints why). The repeat is said on the suite's standard error.
Result againIfWineDidNotStart(const std::vector<std::string>& args, const std::function<Result()>& start);
// Whether FolvaneCheck under test is the Windows build's (FOLVANE_E2E_CHECK_PROGRAM set).
bool windowsCheck();

// Whether the program under test is the Windows build (FOLVANE_E2E_WINDOWS=1).
bool windowsRuntime();
// Whether the program under test is the device image on the test machine's coredll.dll
// (FOLVANE_E2E_DEVICE=1), and its path.
bool deviceImage();
std::string programUnderTest();

}  // namespace e2e
