// Fuzz target: the argument walk of parseCommandLine on any argument vector, against the default
// simulated unit, in a scratch directory. Its output and status must be the ones that the walk's
// rules give for the vector: usage, an invalid parameter named, a missing data file, or R or W
// run on the data file named.
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "command_line.h"
#include "fuzz_support.h"
#include "host_text.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"
#include "test_support.h"

namespace {

using testing_support::exampleFile;
using testing_support::readFile;

// The one data file in the scratch directory, holding the example file.
const char* const kSeedFile = "d";
const std::string kVersion = "Zentos Spec Version 1.02\n\n";
const std::string kUsage =
    "Usage:  FolvaneCE {R|W} <datafile>\n\nwhere\n\n{R|W}       Specifies the operation:\n"
    "                R - to retrieve BIOS settings,\n                W - to change BIOS settings,\n"
    "<datafile>  Specifies the output's (for R) or the input's (for W) file.\n\n";
constexpr size_t kMostArguments = 8;
constexpr size_t kNone = static_cast<size_t>(-1);

std::string banner;  // the program's own: its notice line is its own wording

enum class Outcome { Usage, Invalid, MissingFile, Retrieve, Change };

struct Expected {
    Outcome outcome;
    size_t argument = kNone;  // the invalid parameter, or the data file
};

bool isOption(const std::wstring& a) { return !a.empty() && (a[0] == L'/' || a[0] == L'-'); }

wchar_t upper(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }

// The walk's rules: options first wherever they stand, then the operation letter, then one file.
Expected expectedWalk(const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) return {Outcome::Usage};
    wchar_t operation = 0;
    size_t file = kNone;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& a = arguments[i];
        if (isOption(a)) {
            const bool help = a.size() == 2 && (upper(a[1]) == L'H' || a[1] == L'?');
            return help ? Expected{Outcome::Usage} : Expected{Outcome::Invalid, i};
        }
        if (operation == 0) {
            if (a.size() != 1 || (upper(a[0]) != L'R' && upper(a[0]) != L'W')) return {Outcome::Invalid, i};
            operation = upper(a[0]);
        } else if (file == kNone) {
            file = i;
        } else {
            return {Outcome::Invalid, i};
        }
    }
    if (operation == L'R') return {Outcome::Retrieve, file};
    return file == kNone ? Expected{Outcome::MissingFile} : Expected{Outcome::Change, file};
}

// The vector's arguments are the input's zero-ended pieces. A slash after an argument's first
// byte becomes "_", so that every data file named stays inside the scratch directory.
std::vector<std::string> argumentsOf(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments;
    if (size == 0) return arguments;
    arguments.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            if (arguments.size() == kMostArguments) break;
            arguments.emplace_back();
        } else {
            arguments.back() += !arguments.back().empty() && data[i] == '/' ? '_' : static_cast<char>(data[i]);
        }
    }
    return arguments;
}

void writeSeed() { testing_support::writeFile(kSeedFile, exampleFile()); }

struct Run {
    int status;
    std::string console;
    size_t calls;
    bool settingsUnchanged;
};

void checkRetrieve(const Run& run, const std::string& file) {
    if (run.status == 0) {
        FUZZ_CHECK(run.console == banner + kVersion, "R into " + fuzz::shown(file) + " printed " + run.console);
        FUZZ_CHECK(readFile(file) == exampleFile(), "R wrote another file than the unit's into " + fuzz::shown(file));
        return;
    }
    FUZZ_CHECK(run.console == banner + "***ERROR*** Failed to open output file (" + file + ")!\n" && run.calls == 0,
               "R failed on " + fuzz::shown(file) + " with " + run.console);
    // R writes a new file of its own beside FILE first ("FILE.new-" and six letters or digits):
    // a FILE it could not overwrite, or a failure to create either, is a failure to open.
    const bool protectedFile = access(file.c_str(), F_OK) == 0 && access(file.c_str(), W_OK) != 0;
    FILE* attempt = std::fopen(file.c_str(), "wb");
    const std::string besideName = file + ".new-fuzzed";
    const int beside = open(besideName.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    const bool bothOpen = attempt != nullptr && beside >= 0;
    if (attempt != nullptr) std::fclose(attempt);
    if (beside >= 0) {
        close(beside);
        unlink(besideName.c_str());
    }
    FUZZ_CHECK(protectedFile || !bothOpen,
               "R could not open " + fuzz::shown(file) + ", which opens, and so does a file beside it");
}

void checkChange(const Run& run, const std::string& file) {
    if (run.status == 0) {
        FUZZ_CHECK(file == kSeedFile && run.console == banner + kVersion && run.settingsUnchanged,
                   "W on " + fuzz::shown(file) + " printed " + run.console);
        return;
    }
    const bool unopened = run.console == banner + "***ERROR*** Failed to open input file (" + file + ")!\n" &&
                          run.calls == 0;
    const bool unread = run.console == banner + kVersion + "***ERROR*** Failed to read input file (" + file +
                                           "); the rest of it was not applied!\n";
    FUZZ_CHECK(unopened || unread, "W failed on " + fuzz::shown(file) + " with " + run.console);
}

void checkOutcome(const Expected& expected, const std::vector<std::string>& arguments, const Run& run) {
    const std::string named = expected.argument == kNone ? "" : arguments[expected.argument];
    const bool quiet = run.calls == 0;
    switch (expected.outcome) {
        case Outcome::Usage:
            FUZZ_CHECK(run.status == 0 && run.console == banner + kUsage && quiet, "no usage: " + run.console);
            break;
        case Outcome::Invalid:
            FUZZ_CHECK(run.status == 1 && quiet && run.console == banner + "***ERROR*** Invalid parameter (" + named + ")!\n",
                       "invalid parameter " + fuzz::shown(named) + " not named: " + run.console);
            break;
        case Outcome::MissingFile:
            FUZZ_CHECK(run.status == 1 && quiet && run.console == banner + "***ERROR*** Missing data file!\n",
                       "W without a file: " + run.console);
            break;
        case Outcome::Retrieve:
            if (expected.argument == kNone) {
                FUZZ_CHECK(run.status == 0 && run.console == banner + kVersion + exampleFile(), "R: " + run.console);
            } else {
                checkRetrieve(run, named);
            }
            break;
        case Outcome::Change: checkChange(run, named); break;
    }
}

// Files that R may have made go; the data file goes back to the example file.
void cleanUp(const std::vector<std::string>& arguments) {
    for (const std::string& a : arguments) {
        if (a == kSeedFile) {
            writeSeed();
        } else if (!a.empty() && a[0] != '/' && a[0] != '-') {
            unlink(a.c_str());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Multibyte arguments, as a user's locale brings them.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    FUZZ_CHECK(chdir(fuzz::scratchDirectory().c_str()) == 0, "cannot enter the scratch directory");
    writeSeed();
    host::ConsoleCapture console;
    printBanner();
    banner = console.text();
    FUZZ_CHECK(banner.rfind("Norvik Folvane Utility for CE, Version 2.00.004\n", 0) == 0 &&
                   banner.size() > 2 && banner.compare(banner.size() - 2, 2, "\n\n") == 0,
               "banner: " + banner);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> arguments = argumentsOf(data, size);
    std::vector<std::wstring> wide = {L"FolvaneCE"};
    for (const std::string& a : arguments) wide.push_back(host::wideFromBytes(a));
    std::vector<const wchar_t*> argv;
    for (const std::wstring& w : wide) argv.push_back(w.c_str());
    const std::vector<std::wstring> given(wide.begin() + 1, wide.end());

    sim::ScopedUnit unit("");
    Run run{};
    {
        host::ConsoleCapture console;
        run.status = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        run.console = console.text();
    }
    run.calls = unit.unit().calls().size();
    run.settingsUnchanged = unit.settings() == sim::Settings{};
    FUZZ_CHECK(!unit.unit().regionsHeld(), "a region is still reserved");
    checkOutcome(expectedWalk(given), arguments, run);
    cleanUp(arguments);
    return 0;
}
