// FolvaneCheck's command line: the options of one table (which the usage shows too) and the
// data files, in any order; each file opened, checked or compared, and its report printed.
#include "check_command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "check_fleet.h"
#include "check_output.h"
#include "check_run.h"
#include "host_input.h"
#include "host_output.h"
#include "host_text.h"
#include "path_list.h"
#include "platform.h"
#include "spelling.h"

namespace {

enum class OptionId { Plan, Against, UnitsFrom, Null, Quiet, Json, Help, Version, EndOfOptions };

// An option as the command line takes it and the usage shows it. An option with an argument
// takes it as the next word or after "=" ("--against=GOLDEN").
struct CheckerOption {
    OptionId id;
    const char* name;
    const char* shortName;  // or none
    const char* argument;   // or none
    const char* help;       // its lines, each after a line feed but the first
};

const CheckerOption kOptions[] = {
    {OptionId::Plan, "--plan", nullptr, nullptr,
     "after each file's diagnostics, lists the settings operations that W\n"
     "would call, in W's order, as FILE:LINE: OPERATION ARGUMENT"},
    {OptionId::Against, "--against", nullptr, "GOLDEN",
     "checks GOLDEN as a file for many units; then, for each UNIT (a file\n"
     "that R wrote on a unit), prints every setting that W with GOLDEN would\n"
     "change, as UNIT: SECTION: OLD -> NEW (GOLDEN:LINE), or UNIT: matches\n"
     "GOLDEN, and at the end N of M units differ from GOLDEN (K settings)"},
    {OptionId::UnitsFrom, "--units-from", nullptr, "LIST",
     "takes the FILEs (UNITs) named in LIST too, one path a line, after\n"
     "those on the command line; LIST - is standard input"},
    {OptionId::Null, "--null", "-0", nullptr, "the paths in each LIST end in a zero byte instead (find -print0)"},
    {OptionId::Quiet, "--quiet", nullptr, nullptr,
     "prints nothing but errors and, with --against, GOLDEN's warnings\n"
     "and the summary"},
    {OptionId::Json, "--json", nullptr, nullptr, "prints each line as a JSON object of its own (JSON Lines)"},
    {OptionId::Help, "--help", "-h", nullptr, "prints this text"},
    {OptionId::Version, "--version", nullptr, nullptr, "prints the version of FolvaneCheck"},
    {OptionId::EndOfOptions, "--", nullptr, nullptr, "takes every later argument as a file"},
};

// The column where the options' help begins.
constexpr size_t kHelpColumn = 20;

std::string usageText() {
    std::string usage =
        "Usage:  FolvaneCheck [OPTION]... FILE...\n"
        "        FolvaneCheck [OPTION]... --against GOLDEN UNIT...\n\n"
        "Checks data files for FolvaneCE W before they reach a unit: reports every line that W\n"
        "ignores or reads in a surprising way, as FILE:LINE: warning: TEXT (or note: TEXT).\n\n";
    for (const CheckerOption& option : kOptions) {
        std::string spelling = std::string("  ") + option.name;
        if (option.argument != nullptr) spelling += std::string(" ") + option.argument;
        if (option.shortName != nullptr) spelling += std::string(", ") + option.shortName;
        spelling.resize(std::max(spelling.size() + 1, kHelpColumn), ' ');
        usage += spelling;
        for (const char* help = option.help; *help != '\0';) {
            const char* const end = std::strchr(help, '\n');
            const size_t length = end == nullptr ? std::strlen(help) : static_cast<size_t>(end - help);
            usage.append(help, length).append("\n");
            help += length;
            if (*help == '\n') usage.append(kHelpColumn, ' '), ++help;
        }
    }
    return usage +
           "\nExit status: 0 when no file has a warning and no unit differs, 1 otherwise, 2 when a file\n"
           "cannot be read, is one that W refuses or is no unit's, a list of files fails, no file is\n"
           "named, or the arguments are wrong.\n";
}

// An error about the run rather than a file, on standard error; `text` ends in its line feed.
int runError(const std::string& text) {
    const std::string line = "FolvaneCheck: error: " + text;
    host::writeStandardError(line.data(), line.size());
    return kCheckFailed;
}

// A wrong argument: what is wrong, and where to read the right form, two lines.
int usageError(const std::string& problem) {
    const std::string text = "FolvaneCheck: " + problem + "\nTry 'FolvaneCheck --help' for more information.\n";
    host::writeStandardError(text.data(), text.size());
    return kCheckFailed;
}

struct Arguments {
    bool withPlan = false;
    bool quiet = false;
    bool json = false;
    bool zeroSeparated = false;
    bool help = false;
    bool version = false;
    const wchar_t* golden = nullptr;
    std::vector<const wchar_t*> files;
    std::vector<const wchar_t*> lists;  // in the order given
};

// An argument as the messages show it: in single quotes, or as a file's name is shown when it
// holds what would break the line.
std::string shownArgument(std::wstring_view argument) {
    const std::string bytes = host::bytesFromWide(std::wstring(argument));
    const std::string shown = shownFileName(bytes);
    return shown == bytes ? "'" + bytes + "'" : shown;
}

std::string unknownOption(std::wstring_view name) {
    std::vector<std::string> names;
    for (const CheckerOption& option : kOptions) {
        names.emplace_back(option.name);
        if (option.shortName != nullptr) names.emplace_back(option.shortName);
    }
    const std::string bytes = host::bytesFromWide(std::wstring(name));
    const std::optional<std::string_view> near = closestName(bytes, names);
    return "unknown option " + shownArgument(name) + (near ? " (did you mean " + std::string(*near) + "?)" : "");
}

// The arguments up to "--help", or the problem of the first wrong one.
std::string parseArguments(int argc, const wchar_t* const* argv, Arguments& parsed) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument = argv[i];
        // A lone "-" is no option; it names a file like any other word.
        if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            parsed.files.push_back(argv[i]);
            continue;
        }
        // "--name=VALUE" is "--name VALUE".
        const size_t equals = argument.substr(0, 2) == L"--" ? argument.find(L'=') : std::wstring_view::npos;
        const std::wstring_view name = argument.substr(0, equals);
        const CheckerOption* option = nullptr;
        for (const CheckerOption& o : kOptions) {
            if (name == host::wideFromBytes(o.name) ||
                (o.shortName != nullptr && name == host::wideFromBytes(o.shortName)))
                option = &o;
        }
        if (option == nullptr) return unknownOption(name);
        const std::string optionName = option->name;
        const wchar_t* value = nullptr;
        if (option->argument == nullptr && equals != std::wstring_view::npos) {
            return "option '" + optionName + "' takes no argument";
        }
        if (option->argument != nullptr) {
            if (equals != std::wstring_view::npos) {
                value = argv[i] + equals + 1;
            } else if (i + 1 < argc) {
                value = argv[++i];
            }
        }
        switch (option->id) {
            case OptionId::EndOfOptions: optionsEnded = true; break;
            case OptionId::Plan: parsed.withPlan = true; break;
            case OptionId::Quiet: parsed.quiet = true; break;
            case OptionId::Json: parsed.json = true; break;
            case OptionId::Null: parsed.zeroSeparated = true; break;
            case OptionId::Help: parsed.help = true; return "";        // whatever follows
            case OptionId::Version: parsed.version = true; return "";  // whatever follows, as --help
            case OptionId::Against:
                if (parsed.golden != nullptr) return "more than one golden file (--against)";
                if (value == nullptr || *value == L'\0') return "no golden file after --against";
                parsed.golden = value;
                break;
            case OptionId::UnitsFrom:
                if (value == nullptr || *value == L'\0') return "no list of files after --units-from";
                // Standard input can be read once.
                if (std::wstring_view(value) == L"-" &&
                    std::count_if(parsed.lists.begin(), parsed.lists.end(),
                                  [](const wchar_t* list) { return std::wstring_view(list) == L"-"; }) > 0)
                    return "standard input named twice (--units-from -)";
                parsed.lists.push_back(value);
                break;
        }
    }
    if (parsed.withPlan && parsed.quiet) return "--plan and --quiet exclude each other";
    return "";
}

const wchar_t* const kStandardInput = L"standard input";

// The files named on the command line, then those of each list in turn, read as they are asked
// for. A line of a list that can name no file, and a list that cannot be read on, are reported
// as errors of the list and passed over.
class NamedFiles final : public FileNames {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    NamedFiles(const std::vector<const wchar_t*>& named, bool zeroSeparated, CheckOutput& out)
        : named_(named), zeroSeparated_(zeroSeparated), out_(out) {}
    ~NamedFiles() {
        for (FILE* file : opened_) (void)std::fclose(file);
    }
    NamedFiles(const NamedFiles&) = delete;
    NamedFiles& operator=(const NamedFiles&) = delete;

    // Opens every list, "-" as standard input; false when one cannot be opened (each reported).
    bool open(const std::vector<const wchar_t*>& lists) {
        bool opened = true;
        for (const wchar_t* name : lists) {
            const bool standardInput = std::wstring_view(name) == L"-";
            const host::Input input = standardInput ? host::Input{stdin} : host::openInput(name, true);
            FILE* file = input.file;
            if (file == nullptr) {
                out_.fileError(name, input.notRegular ? ErrorCode::NotARegularFile : ErrorCode::ListCannotOpen,
                               openFailure("cannot open the list of files", input));
                opened = false;
                continue;
            }
            if (!standardInput) opened_.push_back(file);
            lists_.push_back({standardInput ? kStandardInput : name, PathList(file, zeroSeparated_)});
        }
        return opened;
    }

    // Whether the command line or a list names any file: the lists are read up to the first line
    // that is not blank.
    bool namesAny() { return !named_.empty() || readAhead(); }

    // The lists, as the messages name them.
    std::string listNames() const {
        std::string names;
        for (const List& list : lists_) {
            const std::string name = host::bytesFromWide(list.name);
            names += (names.empty() ? "" : ", ") + (list.name == kStandardInput ? name : shownFileName(name));
        }
        return names;
    }

    bool next(std::wstring& path) override {
        if (nextNamed_ < named_.size()) {
            path = named_[nextNamed_++];
            return true;
        }
        while (readAhead()) {
            ahead_ = false;
            const List& list = lists_[current_];
            switch (aheadEntry_) {
                case PathList::Entry::Path: path = host::wideFromBytes(aheadPath_); return true;
                case PathList::Entry::ZeroByte:
                    listError(list, ErrorCode::ListLine, "zero byte in the line, which no path holds; skipped");
                    break;
                case PathList::Entry::TooLong:
                    listError(list, ErrorCode::ListLine,
                              std::string(zeroSeparated_ ? "path" : "line") + " longer than " +
                                  std::to_string(PathList::kLongestPath) + " bytes, which no path is; skipped");
                    break;
                case PathList::Entry::ReadFailed:
                    errno = list.paths.error();
                    listError(list, ErrorCode::ListCannotRead,
                              failure(list.paths.line() == 0 ? "cannot read the list"
                                      : zeroSeparated_       ? "cannot read the list past this path"
                                                             : "cannot read the list past this line"));
                    ++current_;
                    break;
                case PathList::Entry::End: break;
            }
        }
        return false;
    }

    bool failed() const override { return failed_; }

private:
    struct List {
        const wchar_t* name;
        PathList paths;
    };

    // The next entry of the lists that is not their end, kept until next() takes it.
    bool readAhead() {
        while (!ahead_ && current_ < lists_.size()) {
            aheadEntry_ = lists_[current_].paths.next(aheadPath_);
            if (aheadEntry_ == PathList::Entry::End) {
                ++current_;
            } else {
                ahead_ = true;
            }
        }
        return ahead_;
    }

    void listError(const List& list, ErrorCode code, const std::string& text) {
        out_.lineError(list.name, list.paths.line(), code, text);
        failed_ = true;
    }

    const std::vector<const wchar_t*>& named_;
    bool zeroSeparated_;
    CheckOutput& out_;
    size_t nextNamed_ = 0;
    std::vector<List> lists_;
    std::vector<FILE*> opened_;  // the lists' files but standard input, closed at the end
    size_t current_ = 0;
    bool ahead_ = false;
    PathList::Entry aheadEntry_ = PathList::Entry::End;
    std::string aheadPath_;
    bool failed_ = false;
};

}  // namespace

bool checkerOutputWritten() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    (void)runError(failure("cannot write standard output") + "\n");
    return false;
}

void printCheckerUsage() {
    const std::string usage = usageText();
    platform::consoleWrite(usage.data(), usage.size());
}

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
    const char* const noFile = arguments.golden != nullptr ? "no unit's file named" : "no data file named";
    if (arguments.files.empty() && arguments.lists.empty()) return usageError(noFile);
    CheckOutput out(arguments.json, arguments.quiet);
    NamedFiles files(arguments.files, arguments.zeroSeparated, out);
    // Nothing is checked while a list is missing: a part of a fleet is no fleet.
    if (!files.open(arguments.lists)) {
        // A script reads the end of the run from the last record.
        if (!arguments.json) return kCheckFailed;
        if (arguments.golden != nullptr) {
            out.summary(arguments.golden, FleetCounts{});
        } else {
            out.summary(FileCounts{});
        }
        return kCheckFailed;
    }
    if (!files.namesAny()) return usageError(std::string(noFile) + " (none in " + files.listNames() + ")");
    if (arguments.golden != nullptr) return checkFleet(arguments.golden, files, arguments.withPlan, out);
    int status = kCheckClean;
    FileCounts counts;
    std::wstring file;
    while (files.next(file)) {
        bool hasWarning = false;
        const int fileStatus = checkFile(file.c_str(), arguments.withPlan, out, hasWarning);
        ++counts.files;
        if (hasWarning) ++counts.withWarnings;
        if (fileStatus == kCheckFailed) ++counts.withErrors;
        status = std::max(status, fileStatus);
    }
    out.summary(counts);
    return files.failed() ? kCheckFailed : status;
}

int checkSettingsFile(const wchar_t* path, bool withPlan) {
    CheckOutput out(false);
    return checkSettingsFile(path, withPlan, out);
}
