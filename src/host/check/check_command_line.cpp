// FolvaneCheck's command line: "--plan", "--json", "--against GOLDEN", "--help", "--version",
// "--" and the data files, in any order; each file opened, checked or compared, and its report
// printed.
#include "check_command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "check_fleet.h"
#include "check_output.h"
#include "host_text.h"
#include "platform.h"

namespace {

const char* const kUsage =
    "Usage:  FolvaneCheck [--plan] [--json] FILE...\n"
    "        FolvaneCheck [--plan] [--json] --against GOLDEN UNIT...\n\n"
    "Checks data files for FolvaneCE W before they reach a unit: reports every line that W\n"
    "ignores or reads in a surprising way, as FILE:LINE: warning: TEXT (or note: TEXT).\n\n"
    "  --plan            after each file's diagnostics, lists the settings operations that W\n"
    "                    would call, in W's order, as FILE:LINE: OPERATION ARGUMENT\n"
    "  --against GOLDEN  checks GOLDEN as a file for many units; then, for each UNIT (a file\n"
    "                    that R wrote on a unit), prints every setting that W with GOLDEN would\n"
    "                    change, as UNIT: SECTION: OLD -> NEW (GOLDEN:LINE), and at the end\n"
    "                    N of M units differ from GOLDEN (K settings)\n"
    "  --json            prints each line as a JSON object of its own (JSON Lines)\n"
    "  --help            prints this text\n"
    "  --version         prints the version of FolvaneCheck\n"
    "  --                takes every later argument as a file\n\n"
    "Exit status: 0 when no file has a warning and no unit differs, 1 otherwise, 2 when a file\n"
    "cannot be read or the arguments are wrong.\n";

// A wrong argument: its message and the usage on standard error, so that the right form is at hand.
int usageError(const std::string& message) {
    const std::string text = "FolvaneCheck: error: " + message + "\n\n" + kUsage;
    (void)std::fwrite(text.data(), 1, text.size(), stderr);
    return kCheckFailed;
}

struct Arguments {
    bool withPlan = false;
    bool json = false;
    bool help = false;
    bool version = false;
    const wchar_t* golden = nullptr;
    std::vector<const wchar_t*> files;
};

// The arguments up to "--help", or the message of the first wrong one.
std::string parseArguments(int argc, const wchar_t* const* argv, Arguments& parsed) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument = argv[i];
        // A lone "-" is no option; it names a file like any other word.
        if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            parsed.files.push_back(argv[i]);
        } else if (argument == L"--") {
            optionsEnded = true;
        } else if (argument == L"--plan") {
            parsed.withPlan = true;
        } else if (argument == L"--json") {
            parsed.json = true;
        } else if (argument == L"--help" || argument == L"-h") {
            parsed.help = true;  // whatever follows
            return "";
        } else if (argument == L"--version") {
            parsed.version = true;  // whatever follows, as --help
            return "";
        } else if (argument == L"--against") {
            if (parsed.golden != nullptr) return "more than one golden file (--against)";
            if (i + 1 == argc) return "no golden file after --against";
            parsed.golden = argv[++i];
        } else {
            return "unknown option (" + host::bytesFromWide(argv[i]) + ")";
        }
    }
    return "";
}

std::string failure(const char* what) { return std::string(what) + " (" + std::strerror(errno) + ")"; }

}  // namespace

bool checkerOutputWritten() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    const std::string line = failure("FolvaneCheck: error: cannot write standard output") + "\n";
    (void)std::fwrite(line.data(), 1, line.size(), stderr);
    return false;
}

void printCheckerUsage() { platform::consoleWrite(kUsage, std::strlen(kUsage)); }

int runChecker(int argc, const wchar_t* const* argv) {
    Arguments arguments;
    const std::string wrong = parseArguments(argc, argv, arguments);
    if (arguments.help) {
        printCheckerUsage();
        return kCheckClean;
    }
    if (arguments.version) {
        // The version of the packages this program ships in, set once in the build.
        const char* const version = "FolvaneCheck " FOLVANE_VERSION "\n";
        platform::consoleWrite(version, std::strlen(version));
        return kCheckClean;
    }
    if (!wrong.empty()) return usageError(wrong);
    if (arguments.files.empty()) {
        return usageError(arguments.golden != nullptr ? "no unit's file named" : "no data file named");
    }
    CheckOutput out(arguments.json);
    if (arguments.golden != nullptr) return checkFleet(arguments.golden, arguments.files, arguments.withPlan, out);
    int status = kCheckClean;
    for (const wchar_t* file : arguments.files)
        status = std::max(status, checkSettingsFile(file, arguments.withPlan, out));
    return status;
}

int checkSettingsFile(const wchar_t* path, bool withPlan) {
    CheckOutput out(false);
    return checkSettingsFile(path, withPlan, out);
}

namespace {

// A file's report as it is read: its diagnostics printed at once, its plan kept until they are
// all out, and with --against, the golden file's effect on a unit.
class FileReport final : public CheckSink {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    FileReport(const wchar_t* path, CheckOutput& out, bool withPlan, GoldenEffect* effect = nullptr)
        : path_(path), out_(out), withPlan_(withPlan), effect_(effect) {}

    void diagnostic(const Diagnostic& d) override { out_.diagnostic(path_, d); }
    void plannedCall(const PlannedCall& call) override {
        if (withPlan_) plan_.add(call);
        if (effect_ != nullptr) effect_->apply(call);
    }

    // Reads the open file through the checker, then prints the plan. False when the plan could
    // not be kept whole (reported).
    bool check(FILE* file, const CheckOptions& options, CheckSummary& summary) {
        summary = checkDataFile(file, *this, options);
        std::string failure;
        if (plan_.print(path_, out_, failure)) return true;
        out_.fileError(path_, failure);
        return false;
    }

private:
    const wchar_t* path_;
    CheckOutput& out_;
    bool withPlan_;
    GoldenEffect* effect_;
    HeldPlan plan_;
};

}  // namespace

int checkSettingsFile(const wchar_t* path, bool withPlan, CheckOutput& out) {
    FILE* file = platform::openFile(path, "rt");
    if (file == nullptr) {
        out.fileError(path, failure("cannot open the file"));
        return kCheckFailed;
    }
    FileReport report(path, out, withPlan);
    CheckSummary summary;
    const bool planWhole = report.check(file, {}, summary);
    (void)std::fclose(file);
    if (!summary.wholeFileRead || !planWhole) return kCheckFailed;
    return summary.hasWarning ? kCheckWarnings : kCheckClean;
}

namespace {

// The differences of one unit's file, compared as it is read; false when it cannot be read.
bool compareUnit(const wchar_t* unit, const wchar_t* golden, const GoldenEffect& effect, CheckOutput& out,
                 size_t& changes) {
    FILE* file = platform::openFile(unit, "rt");
    if (file == nullptr) {
        out.fileError(unit, failure("cannot open the file"), true);
        return false;
    }
    const UnitFile read = readUnitFile(file);
    const std::string readFailure = failure("cannot read the file");
    (void)std::fclose(file);
    if (!read.wholeFileRead) {
        out.fileError(unit, readFailure + "; not compared", true);
        return false;
    }
    changes = 0;
    for (const Difference& d : effect.differences(read.settings)) {
        out.difference(unit, golden, d);
        if (d.kind == Difference::Kind::Change) ++changes;
    }
    return true;
}

}  // namespace

int checkFleet(const wchar_t* golden, const std::vector<const wchar_t*>& units, bool withPlan, CheckOutput& out) {
    FILE* file = platform::openFile(golden, "rt");
    if (file == nullptr) {
        out.fileError(golden, failure("cannot open the file"));
        return kCheckFailed;
    }
    CheckOptions options;
    options.golden = true;
    // Of the golden file, only what it does to a unit is kept: the last call of each setting.
    GoldenEffect effect;
    FileReport report(golden, out, withPlan, &effect);
    CheckSummary summary;
    const bool planWhole = report.check(file, options, summary);
    (void)std::fclose(file);
    // W stops where it cannot read on; no unit is compared with a part of the file.
    if (!summary.wholeFileRead) return kCheckFailed;
    FleetCounts counts;
    for (const wchar_t* unit : units) {
        size_t changes = 0;
        if (!compareUnit(unit, golden, effect, out, changes)) {
            ++counts.unreadable;
            continue;
        }
        ++counts.units;
        if (changes > 0) ++counts.differing;
        counts.settings += changes;
    }
    out.summary(golden, counts);
    if (counts.unreadable > 0 || !planWhole) return kCheckFailed;
    return summary.hasWarning || counts.differing > 0 ? kCheckWarnings : kCheckClean;
}
