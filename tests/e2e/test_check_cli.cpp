// The built FolvaneCheck run as an administrator or a CI job runs it: arguments, standard
// output byte for byte, exit statuses, and R's files from the built FolvaneCE.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// The usage as the program prints it: the cases hold the other ways to ask for it to this, and
// every option it shows to the parser.
const std::string& usage() {
    static const std::string text = e2e::runCheck({{"--help"}, {}, ""}).out;
    return text;
}

// Why a name that no Windows file can have (a control character in it) cannot be opened: Linux
// looks for the file and finds none; Windows refuses the name itself.
std::string noSuchName() { return e2e::windowsCheck() ? "Invalid argument" : "No such file or directory"; }

const std::string kSetsNothing =
    "empty.txt: error: no setting section; W refuses it: give it a section, a header line as R writes it\n";
const std::string kMissing = "missing.txt: error: cannot open the file (No such file or directory)\n";
const std::string kWarning =
    "warn.txt:1: warning: header \"Numlok\" names no section; W skips it and its entry lines (did you mean "
    "\"Numlock\"?)\n";

e2e::Result check(const std::vector<std::string>& args, const std::string& cwd,
                  std::vector<std::pair<std::string, std::string>> env = {}) {
    return e2e::runCheck({args, std::move(env), cwd});
}

// `sh -c SCRIPT` with FolvaneCheck's words as $0 and the first of $@: SCRIPT starts it as
// "$0" "$@", whichever build is under test.
std::vector<std::string> shell(const std::string& script, const std::vector<std::string>& args = {}) {
    std::vector<std::string> words = {"-c", script};
    for (const std::string& word : e2e::checkCommand()) words.push_back(word);
    words.insert(words.end(), args.begin(), args.end());
    return words;
}

struct ArgumentCase {
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
    std::string input = "";  // standard input
};

// A wrong argument: two lines on standard error, whatever it is.
std::string wrong(const std::string& problem) {
    return "FolvaneCheck: " + problem + "\nTry 'FolvaneCheck --help' for more information.\n";
}

const std::string kSame = "same.txt: matches golden.txt\n";
std::string noUnit(const std::string& file) {
    return file + ": error: not a unit file (none of the sections that R always writes); not compared\n";
}

// A unit's file as R writes it, less what a fleet comparison needs no part of.
const char* const kUnitNumlockOff = "Numlock\n\t*Off\n\tOn\n";

// Runs each case with its standard input, in a folder of small data files and lists.
template <typename Cases>
void runCases(const Cases& cases) {
    for (const ArgumentCase& c : cases) {
        TempDir dir;
        writeFile(dir.file("clean.txt"), "Numlock\n\t*On\n");
        writeFile(dir.file("warn.txt"), "Numlok\n\t*On\nNumlock\n\t*On\n");
        writeFile(dir.file("golden.txt"), "Numlock\n\t*On\n");
        writeFile(dir.file("same.txt"), "Numlock\n\tOff\n\t*On\n");
        writeFile(dir.file("off.txt"), kUnitNumlockOff);
        writeFile(dir.file("empty.txt"), "");
        writeFile(dir.file("list.txt"), "same.txt\r\n\n \t\noff.txt");
        writeFile(dir.file("blank.txt"), "\n\r\n  \n");
        writeFile(dir.file("input"), c.input);
        // What W refuses: converted on the file's way, and what is no file.
        writeFile(dir.file("utf16.txt"), std::string("\xFF\xFEN\0u\0m\0l\0o\0c\0k\0\n\0", 18));
        writeFile(dir.file("cr.txt"), "Numlock\r\t*On\r");
        writeFile(dir.file("bom.txt"), "\xEF\xBB\xBFNumlock\n\t*On\n");
        mkdir(dir.file("sub").c_str(), 0700);
        EXPECT_EQ(symlink("/dev/zero", dir.file("zero.txt").c_str()), 0);
        EXPECT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
        // A hang ends at the timeout, with status 124.
        const std::vector<std::string> args = shell("exec timeout 10 \"$0\" \"$@\" < input", c.args);
        const e2e::Result r = e2e::againIfWineDidNotStart(c.args, [&] {
            return e2e::runHostTool("/bin/sh", {args, {}, dir.file("")});
        });
        std::string shown;
        for (const std::string& a : c.args) shown += "[" + a + "] ";
        EXPECT_EQ(r.out, c.out) << shown;
        EXPECT_EQ(r.err, c.err) << shown;
        EXPECT_EQ(r.status, c.status) << shown;
    }
}

// Every option that the usage shows, in each of its spellings and with the argument it shows,
// is one that the command line takes: none is an argument error.
TEST(CheckCommandLine, EveryOptionTheUsageShowsIsTaken) {
    ASSERT_EQ(usage().rfind("Usage:  FolvaneCheck [OPTION]... FILE...\n", 0), 0U) << usage();
    std::istringstream lines(usage());
    size_t spellings = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first;
        std::string second;
        if (line.rfind("  -", 0) != 0 || !(words >> first >> second) || first == "--") continue;
        const bool alias = first.back() == ',';
        if (alias) first.pop_back();
        const bool argument = std::all_of(second.begin(), second.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        for (const std::string& spelling :
             alias ? std::vector<std::string>{first, second} : std::vector<std::string>{first}) {
            TempDir dir;
            writeFile(dir.file("golden.txt"), "Numlock\n\t*On\n");
            std::vector<std::string> args = {spelling};
            if (argument) args.push_back("golden.txt");
            args.push_back("golden.txt");
            const e2e::Result r = e2e::runCheck({args, {}, dir.file("")});
            EXPECT_EQ(r.err.find("Try 'FolvaneCheck --help'"), std::string::npos) << line << "\n" << r.err;
            ++spellings;
        }
    }
    EXPECT_GE(spellings, 10U) << usage();
}

TEST(CheckCommandLine, ArgumentsOutputAndStatus) {
    const std::string numlock = "golden.txt:2: setNumlock 1\n";
    const ArgumentCase cases[] = {
        {{"-h"}, usage(), "", 0},
        {{"warn.txt", "--help", "--bogus"}, usage(), "", 0},
        {{"--against", "--help"}, "", wrong("no unit's file named"), 2},  // the golden file "--help"
        {{}, "", wrong("no data file named"), 2},
        {{"--plan"}, "", wrong("no data file named"), 2},
        {{"--bogus", "clean.txt"}, "", wrong("unknown option '--bogus'"), 2},
        {{"clean.txt"}, "", "", 0},
        {{"clean.txt", "warn.txt"}, kWarning, "", 1},
        // Every file is checked, also after one that cannot be read; the worst status wins.
        {{"missing.txt", "warn.txt", "clean.txt"}, kWarning, kMissing, 2},
        {{"warn.txt", "--plan"}, kWarning + "warn.txt:4: setNumlock 1\n", "", 1},
        {{"--", "--plan"}, "", "--plan: error: cannot open the file (No such file or directory)\n", 2},
        {{"-"}, "", "-: error: cannot open the file (No such file or directory)\n", 2},
        {{"sub"}, "", "sub: error: not a regular file; skipped\n", 2},
        // A fleet: the golden file, then each unit's file.
        {{"--against"}, "", wrong("no golden file after --against"), 2},
        {{"--against", "golden.txt"}, "", wrong("no unit's file named"), 2},
        {{"--against", "golden.txt", "--against", "golden.txt", "same.txt"},
         "",
         wrong("more than one golden file (--against)"),
         2},
        {{"--against", "golden.txt", "same.txt"}, kSame + "0 of 1 units differ from golden.txt (0 settings)\n", "", 0},
        {{"same.txt", "--plan", "--against", "golden.txt"},
         numlock + kSame + "0 of 1 units differ from golden.txt (0 settings)\n",
         "",
         0},
        {{"--against", "golden.txt", "same.txt", "off.txt", "same.txt"},
         kSame + "off.txt: Numlock: Off -> On (golden.txt:2)\n" + kSame +
             "1 of 3 units differ from golden.txt (1 setting)\n",
         "",
         1},
        // Units' files that cannot be read are counted apart from the units compared.
        {{"--against", "golden.txt", "missing.txt", "off.txt"},
         "off.txt: Numlock: Off -> On (golden.txt:2)\n1 of 1 units differ from golden.txt (1 setting); 1 could not be "
         "read\n",
         kMissing,
         2},
        // A file with none of the sections that R always writes is no unit's, and counted so.
        {{"--against", "golden.txt", "missing.txt", "off.txt", "sub", "same.txt", "empty.txt"},
         "off.txt: Numlock: Off -> On (golden.txt:2)\n" + kSame +
             "1 of 2 units differ from golden.txt (1 setting); 3 could not be read\n",
         kMissing + "sub: error: not a regular file; not compared\n" + noUnit("empty.txt"),
         2},
        // A file that sets nothing is refused as W refuses it; a golden one compares no unit.
        {{"empty.txt", "clean.txt"}, "", kSetsNothing, 2},
        {{"--against", "empty.txt", "same.txt"},
         "",
         "empty.txt: error: W refuses it (no setting section); no unit compared\n",
         2},
        {{"--against", "missing.txt", "off.txt"}, "", kMissing, 2},
        // A golden file's warning alone gives status 1; a unit without the setting differs.
        {{"--against", "warn.txt", "same.txt"},
         kWarning + "same.txt: matches warn.txt\n0 of 1 units differ from warn.txt (0 settings)\n",
         "",
         1},
        {{"--against", "golden.txt", "clean.txt", "empty.txt"},
         "clean.txt: matches golden.txt\n0 of 1 units differ from golden.txt (0 settings); 1 could not be read\n",
         noUnit("empty.txt"),
         2},
    };
    runCases(cases);
}

// Files that W refuses get one error naming the cause and the remedy; a golden one compares no
// unit, a unit's is counted with those that could not be read. What is no regular file is
// refused at once (a device through a link, a FIFO as a unit's file); a pipe is still read.
TEST(CheckCommandLine, FilesThatWRefusesAndWhatIsNoFile) {
    if (e2e::windowsCheck()) GTEST_SKIP() << "POSIX devices, links and FIFOs";
    const std::string utf16 = "utf16.txt: error: UTF-16 text; W refuses it: save it as 8-bit text\n";
    const std::string cr = "cr.txt: error: lines end in CR alone; W refuses it: save it with CR LF or LF line ends\n";
    const std::string unitsOnly = " (R writes 8-bit text with LF or CR LF line ends); not compared\n";
    const ArgumentCase cases[] = {
        {{"utf16.txt", "clean.txt"}, "", utf16, 2},
        {{"cr.txt", "--plan"}, "", cr, 2},
        {{"bom.txt", "--plan"}, "bom.txt:2: setNumlock 1\n", "", 0},
        {{"--against", "utf16.txt", "same.txt"},
         "",
         "utf16.txt: error: W refuses it (UTF-16 text); no unit compared\n",
         2},
        {{"--against", "cr.txt", "same.txt"},
         "",
         "cr.txt: error: W refuses it (lines end in CR alone); no unit compared\n",
         2},
        {{"--against", "golden.txt", "utf16.txt", "cr.txt", "bom.txt"},
         "bom.txt: matches golden.txt\n0 of 1 units differ from golden.txt (0 settings); 2 could not be read\n",
         "utf16.txt: error: UTF-16 text" + unitsOnly + "cr.txt: error: lines end in CR alone" + unitsOnly,
         2},
        {{"--json", "utf16.txt"},
         "{\"file\":\"utf16.txt\",\"line\":null,\"kind\":\"error\",\"section\":null,\"message\":\"UTF-16 text; W "
         "refuses it: save it as 8-bit text\",\"code\":\"utf-16\"}\n"
         "{\"file\":null,\"line\":null,\"kind\":\"summary\",\"section\":null,\"message\":\"1 file checked: 0 with "
         "warnings, 1 with errors\",\"format\":2,\"files\":1,\"with_warnings\":0,\"with_errors\":1}\n",
         "",
         2},
        // A device through a link, a folder: skipped, and the run goes on.
        {{"zero.txt", "sub", "clean.txt"},
         "",
         "zero.txt: error: not a regular file; skipped\nsub: error: not a regular file; skipped\n",
         2},
        {{"--against", "zero.txt", "same.txt"}, "", "zero.txt: error: not a regular file; no unit compared\n", 2},
        {{"--against", "golden.txt", "zero.txt", "fifo", "same.txt"},
         kSame + "0 of 1 units differ from golden.txt (0 settings); 2 could not be read\n",
         "zero.txt: error: not a regular file; not compared\nfifo: error: not a regular file; not compared\n",
         2},
    };
    runCases(cases);
    // A pipe is read, as a file to check and as a golden file.
    TempDir dir;
    writeFile(dir.file("warn.txt"), "Numlok\n\t*On\nNumlock\n\t*On\n");
    writeFile(dir.file("same.txt"), "Numlock\n\tOff\n\t*On\n");
    for (const std::string args : {"/dev/stdin", "--against /dev/stdin same.txt"}) {
        const e2e::Result r = e2e::runHostTool(
            "/bin/sh",
            {{"-c", "cat warn.txt | exec timeout 10 \"$0\" " + args, FOLVANE_CHECK_PROGRAM}, {}, dir.file("")});
        EXPECT_EQ(r.status, 1) << args << r.err;
        EXPECT_EQ(r.out.rfind("/dev/stdin:1: warning: header \"Numlok\" names no section", 0), 0u) << args << r.out;
    }
}

// For scripts: units from lists (a file, or standard input as "-"), after those on the command
// line, and --quiet, which leaves the errors and the summary and the same status.
TEST(CheckCommandLine, UnitsFromListsAndQuiet) {
    const std::string off = "off.txt: Numlock: Off -> On (golden.txt:2)\n";
    const std::string oneOfThree = "1 of 3 units differ from golden.txt (1 setting)\n";
    const std::string longLine(4096, 'a');
    const std::vector<std::string> fleet = {"--against", "golden.txt"};
    const auto with = [&](std::vector<std::string> args) {
        args.insert(args.begin(), fleet.begin(), fleet.end());
        return args;
    };
    const ArgumentCase cases[] = {
        {with({"--units-from", "list.txt", "same.txt"}), kSame + kSame + off + oneOfThree, "", 1},
        {with({"--units-from", "-"}), off + kSame + "1 of 2 units differ from golden.txt (1 setting)\n", "", 1,
         "off.txt\nsame.txt"},
        {with({"--units-from", "-", "--units-from", "list.txt"}),
         off + kSame + off + "2 of 3 units differ from golden.txt (2 settings)\n", "", 1, "off.txt\n"},
        // Without --against, the lists name files to check.
        {{"--units-from", "-"}, kWarning, "", 1, "clean.txt\r\nwarn.txt\r\n"},
        // A list that names nothing: a script's empty fleet must not pass.
        {with({"--units-from", "blank.txt"}), "", wrong("no unit's file named (none in blank.txt)"), 2},
        {{"--units-from", "-", "--units-from", "blank.txt"},
         "",
         wrong("no data file named (none in standard input, blank.txt)"),
         2},
        {with({"--units-from", "blank.txt", "same.txt"}), kSame + "0 of 1 units differ from golden.txt (0 settings)\n",
         "", 0},
        // Nothing is checked while a list is missing.
        {with({"same.txt", "--units-from", "missing.txt"}), "",
         "missing.txt: error: cannot open the list of files (No such file or directory)\n", 2},
        {with({"--units-from"}), "", wrong("no list of files after --units-from"), 2},
        {with({"--units-from", "-", "--units-from", "-"}), "", wrong("standard input named twice (--units-from -)"), 2},
        // Lines that can name no file are the list's errors; the others are compared.
        {with({"--units-from", "-"}), kSame + off + "1 of 2 units differ from golden.txt (1 setting)\n",
         "standard input:2: error: zero byte in the line, which no path holds; skipped\n"
         "standard input:3: error: line longer than 4095 bytes, which no path is; skipped\n",
         2, std::string("same.txt\no\0ff.txt\n", 18) + longLine + "\noff.txt\n"},
        // --quiet: the same status, errors and the summary only.
        {with({"--quiet", "off.txt", "same.txt", "missing.txt", "empty.txt"}),
         "1 of 2 units differ from golden.txt (1 setting); 2 could not be read\n", kMissing + noUnit("empty.txt"), 2},
        // A golden file's warnings concern every unit: printed under --quiet too.
        {{"--quiet", "--against", "warn.txt", "same.txt"},
         kWarning + "0 of 1 units differ from warn.txt (0 settings)\n",
         "",
         1},
        {{"--quiet", "warn.txt", "clean.txt"}, "", "", 1},
        {{"--quiet", "--plan", "clean.txt"}, "", wrong("--plan and --quiet exclude each other"), 2},
        {with({"--quiet", "--json", "same.txt", "missing.txt"}),
         "{\"file\":\"missing.txt\",\"line\":null,\"kind\":\"error\",\"section\":null,\"message\":\"cannot open the "
         "file (No such file or "
         "directory)\",\"code\":\"cannot-open\",\"unit\":\"missing.txt\",\"golden\":\"golden.txt\"}\n"
         "{\"file\":null,\"line\":null,\"kind\":\"summary\",\"section\":null,\"message\":\"0 of 1 units "
         "differ from golden.txt (0 settings); 1 could not be "
         "read\",\"format\":2,\"golden\":\"golden.txt\",\"units\":1,"
         "\"differing\":0,\"settings\":0,\"unreadable\":1}\n",
         "", 2},
    };
    runCases(cases);
}

TEST(CheckCommandLine, AStandardOutputThatCannotBeWrittenIsStatusTwo) {
    TempDir dir;
    writeFile(dir.file("warn.txt"), "Numlok\n\t*On\nNumlock\n\t*On\n");
    for (const char* json : {"", "--json"}) {
        const e2e::Result r = e2e::runHostTool(
            "/bin/sh",
            {shell(std::string("exec \"$0\" \"$@\" ") + json + " --plan warn.txt > /dev/full"), {}, dir.file("")});
        EXPECT_EQ(r.status, 2) << json;
        EXPECT_EQ(r.err, "FolvaneCheck: error: cannot write standard output (No space left on device)\n") << json;
    }
}

TEST(CheckCommandLine, PlanOfTheFileThatFolvaneCeRetrieves) {
    TempDir dir;
    ASSERT_EQ(e2e::run({{"R", "unit.txt"}, {}, dir.file("")}).status, 0);
    const e2e::Result r = check({"--plan", "unit.txt"}, dir.file(""));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "unit.txt:3: note: no entry line under \"Power-On Password\"; W clears the power-on password\n"
        "unit.txt:3: setUserPassword (cleared)\nunit.txt:5: setAssetTag \"ROOM-7\"\nunit.txt:8: setSerialPort 1\n"
        "unit.txt:15: setParallelPort 2\nunit.txt:20: setParallelMode 0x0002\nunit.txt:24: setParallelMode 0x0102\n"
        "unit.txt:26: setEppType 0\nunit.txt:28: setBootSequence 2 5 6 255\nunit.txt:33: setPs2Port 0\n"
        "unit.txt:38: setPowerOnAfterFail 2\nunit.txt:41: setUsbController 1\nunit.txt:42: setWakeOnRtc 0x0605003E\n"
        "unit.txt:53: setNumlock 1\nunit.txt:55: setS3Support 0\n");
}

TEST(CheckCommandLine, NeedsNoUnitAndTakesAbsolutePaths) {
    // A state file that no run of FolvaneCE would get past: the checker never loads it.
    TempDir dir;
    const std::string state = dir.file("unit.state");
    writeFile(state, "numlock = on\n");
    const std::string path = dir.file("device file.txt");
    writeFile(path, "Numlock\r\n\t*On\r\nBoot Order\r\n\tLAN\r\n");
    const e2e::Result r = check({"--plan", path}, "", {{"FOLVANE_MACHINE", state}});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, path + ":2: setNumlock 1\n" + path + ":3: setBootSequence 6 255\n");
    EXPECT_EQ(readFile(state), "numlock = on\n");
}

// The README's fleet, run as it says: three desks beside the unit that was configured by hand.
TEST(CheckCommandLine, TheReadmesFleet) {
    TempDir dir;
    mkdir(dir.file("units").c_str(), 0700);
    const std::pair<const char*, const char*> desks[] = {
        {"a", "asset_tag = \"Desk 12\"\nnumlock = 0\nboot_sequence = 6 2\n"},
        {"b",
         "asset_tag = \"Desk 14\"\nuser_password = \"1234\"\nparallel_mode = 0x0001\nwake_days = 0x41\n"
         "wake_hour = 21\nwake_minute = 30\n"},
        {"c", "asset_tag = \"Lab 3\"\n"}};
    const auto folvane = [&](const std::string& desk, const std::string& operation, const std::string& file) {
        const std::vector<std::pair<std::string, std::string>> unit = {{"FOLVANE_MACHINE", dir.file(desk + ".state")}};
        const e2e::Launch launch{{operation, file}, desk.empty() ? decltype(unit){} : unit, dir.file("")};
        EXPECT_EQ(e2e::runHostTool(FOLVANE_HOST_PROGRAM, launch).status, 0) << desk << " " << operation;
    };
    folvane("", "R", "golden.txt");
    const e2e::Result straight = check({"--against", "golden.txt", "golden.txt"}, dir.file(""));
    EXPECT_EQ(
        straight.out,
        "golden.txt:3: warning: no entry line under \"Power-On Password\" in a golden file; W clears the power-on "
        "password on every unit (a blank entry line keeps each unit's own)\n"
        "golden.txt:5: warning: asset tag \"ROOM-7\" in a golden file; W gives every unit the same tag (delete the "
        "section to keep each unit's own)\n"
        "golden.txt: matches golden.txt\n0 of 1 units differ from golden.txt (0 settings)\n");
    EXPECT_EQ(straight.status, 1);

    std::string golden = readFile(dir.file("golden.txt"));
    golden.replace(golden.find("Power-On Password\n"), 18, "Power-On Password\n\t\n");
    golden.erase(golden.find("Asset Tracking Number\n"), 30);
    writeFile(dir.file("golden.txt"), golden);
    const e2e::Result edited = check({"--against", "golden.txt", "golden.txt"}, dir.file(""));
    EXPECT_EQ(edited.out, "golden.txt: matches golden.txt\n0 of 1 units differ from golden.txt (0 settings)\n");
    EXPECT_EQ(edited.status, 0);

    for (const auto& [desk, state] : desks) {
        writeFile(dir.file(std::string(desk) + ".state"), state);
        folvane(desk, "R", "units/desk-" + std::string(desk) + ".txt");
    }
    const std::vector<std::string> fleet = {"--against", "golden.txt", "units/desk-a.txt", "units/desk-b.txt",
                                            "units/desk-c.txt"};
    const e2e::Result before = check(fleet, dir.file(""));
    EXPECT_EQ(before.out,
              "units/desk-a.txt: Boot Order: LAN, Hard Disk -> Hard Disk, USB, LAN (golden.txt:27)\n"
              "units/desk-a.txt: Numlock: Off -> On (golden.txt:52)\n"
              "units/desk-b.txt: Printer Mode: EPP -> ECP (golden.txt:19)\n"
              "units/desk-b.txt: ECP Mode Use DMA: unknown -> DMA3 (golden.txt:23)\n"
              "units/desk-b.txt: Wake On RTC: Sunday, Saturday 21:30 -> Monday, Tuesday, Wednesday, Thursday, Friday "
              "6:05 (golden.txt:41)\n"
              "units/desk-c.txt: matches golden.txt\n"
              "2 of 3 units differ from golden.txt (5 settings)\n");
    EXPECT_EQ(before.status, 1);
    // The JSON Lines records of the same run, as docs/folvanecheck.md shows them.
    std::vector<std::string> json = fleet;
    json.insert(json.begin(), "--json");
    const std::string records = check(json, dir.file("")).out;
    for (const char* record :
         {"{\"file\":\"units/desk-a.txt\",\"line\":null,\"kind\":\"change\",\"section\":\"Boot "
          "Order\",\"message\":\"Boot "
          "Order: LAN, Hard Disk -> Hard Disk, USB, LAN\",\"unit\":\"units/desk-a.txt\",\"golden\":\"golden.txt\","
          "\"golden_line\":27,\"old\":\"LAN, Hard Disk\",\"new\":\"Hard Disk, USB, LAN\"}\n",
          "{\"file\":\"units/desk-a.txt\",\"line\":null,\"kind\":\"unit\",\"section\":null,\"message\":\"differs from "
          "golden.txt (2 settings)\",\"unit\":\"units/desk-a.txt\",\"golden\":\"golden.txt\",\"status\":\"differs\","
          "\"settings\":2}\n",
          "{\"file\":null,\"line\":null,\"kind\":\"summary\",\"section\":null,\"message\":\"2 of 3 units differ from "
          "golden.txt (5 settings)\",\"format\":2,\"golden\":\"golden.txt\",\"units\":3,\"differing\":2,\"settings\":5,"
          "\"unreadable\":0}\n"}) {
        EXPECT_NE(records.find(record), std::string::npos) << record << records;
    }

    for (const auto& [desk, state] : desks) {
        folvane(desk, "W", "golden.txt");
        folvane(desk, "R", "units/desk-" + std::string(desk) + ".txt");
    }
    const e2e::Result after = check(fleet, dir.file(""));
    EXPECT_EQ(after.out,
              "units/desk-a.txt: matches golden.txt\nunits/desk-b.txt: matches golden.txt\n"
              "units/desk-c.txt: matches golden.txt\n0 of 3 units differ from golden.txt (0 settings)\n");
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.err, "");
}

TEST(CheckCommandLine, APlanTooLongToHoldInMemoryComesWholeAfterTheDiagnostics) {
    // 10,000 calls, more than the checker keeps in memory; the rest waits in a temporary file.
    TempDir dir;
    std::string file = "Numlok\n";
    std::string plan;
    for (int i = 0; i < 5000; ++i) {
        file += "Numlock\n\t*On\n\t*Off\n";
        plan += "big.txt:" + std::to_string(3 + 3 * i) + ": setNumlock 1\nbig.txt:" + std::to_string(4 + 3 * i) +
                ": setNumlock 0\n";
    }
    writeFile(dir.file("big.txt"), file + "Numlok\n");
    const e2e::Result r = check({"--plan", "big.txt"}, dir.file(""));
    const std::string last =
        "big.txt:15002: warning: header \"Numlok\" names no section; W skips it and its entry "
        "lines (did you mean \"Numlock\"?)\n";
    ASSERT_GT(r.out.size(), plan.size());
    EXPECT_EQ(r.out.substr(r.out.size() - plan.size() - last.size()), last + plan);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
}

}  // namespace

namespace {

// A wrong argument of each kind: two lines on standard error, nothing else, status 2; JSON Lines
// or not.
TEST(CheckCommandLine, EveryArgumentErrorIsTwoLines) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--agianst", "golden.txt", "same.txt"}, "unknown option '--agianst' (did you mean --against?)"},
        {{"--json", "--jsno", "clean.txt"}, "unknown option '--jsno' (did you mean --json?)"},
        {{"--agianst=golden.txt", "same.txt"}, "unknown option '--agianst' (did you mean --against?)"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x", "clean.txt"}, "unknown option '-x'"},
        {{"--a\tb\n", "clean.txt"}, "unknown option \"--a\\tb\\n\""},
        {{"--plan=yes", "clean.txt"}, "option '--plan' takes no argument"},
        {{"--null=", "clean.txt"}, "option '--null' takes no argument"},
        {{"--against=", "same.txt"}, "no golden file after --against"},
        {{"same.txt", "--against"}, "no golden file after --against"},
        {{"--units-from="}, "no list of files after --units-from"},
        {{"--against=golden.txt", "--against", "golden.txt", "same.txt"}, "more than one golden file (--against)"},
        {{"--units-from=-", "--units-from", "-"}, "standard input named twice (--units-from -)"},
        {{"--quiet", "--plan", "clean.txt"}, "--plan and --quiet exclude each other"},
        {{"--json"}, "no data file named"},
        {{"--against", "golden.txt", "--quiet"}, "no unit's file named"},
        {{"--units-from", "blank.txt"}, "no data file named (none in blank.txt)"},
        {{"-0", "--against", "golden.txt", "--units-from", "-"}, "no unit's file named (none in standard input)"},
    };
    std::vector<ArgumentCase> table;
    for (const auto& [args, problem] : cases) table.push_back({args, "", wrong(problem), 2, std::string(3, '\0')});
    runCases(table);
}

// GNU's forms: an option's argument as the next word or after "=", and "--" before files that
// look like options.
TEST(CheckCommandLine, BothFormsOfAnOptionsArgument) {
    const std::string off = "off.txt: Numlock: Off -> On (golden.txt:2)\n";
    const std::string summary = "1 of 3 units differ from golden.txt (1 setting)\n";
    const std::string wholeFleet = kSame + kSame + off + summary;
    const ArgumentCase cases[] = {
        {{"--against", "golden.txt", "--units-from", "list.txt", "same.txt"}, wholeFleet, "", 1},
        {{"--against=golden.txt", "--units-from=list.txt", "same.txt"}, wholeFleet, "", 1},
        {{"--units-from=list.txt", "--against", "golden.txt", "same.txt"}, wholeFleet, "", 1},
        {{"--against=golden.txt", "--units-from=-", "same.txt"}, wholeFleet, "", 1, "same.txt\noff.txt\n"},
        {{"--against=golden.txt", "--", "--units-from=list.txt"},
         "0 of 0 units differ from golden.txt (0 settings); 1 could not be read\n",
         "--units-from=list.txt: error: cannot open the file (No such file or directory)\n",
         2},
    };
    runCases(cases);
}

// Paths separated by zero bytes: a line feed, a carriage return and blanks are part of a name;
// empty records are passed over, the last record needs no zero byte, and the limit stays.
TEST(CheckCommandLine, NullSeparatedLists) {
    const std::string off = "off.txt: Numlock: Off -> On (golden.txt:2)\n";
    const std::string tooLong(4096, 'a');
    const ArgumentCase cases[] = {
        {{"--null", "--against", "golden.txt", "--units-from", "-"},
         kSame + off + "1 of 2 units differ from golden.txt (1 setting)\n",
         "",
         1,
         std::string("\0same.txt\0\0off.txt", 18)},
        {{"-0", "--units-from=-"}, kWarning, "", 1, std::string("clean.txt\0warn.txt\0", 19)},
        // Without --null the same list is one line with zero bytes.
        {{"--units-from=-", "clean.txt"},
         "",
         "standard input:1: error: zero byte in the line, which no path holds; skipped\n",
         2,
         std::string("clean.txt\0warn.txt\0", 19)},
        {{"-0", "--units-from=-"},
         "",
         "\"same.txt\\r\": error: cannot open the file (" + noSuchName() +
             ")\n"
             "\"same.txt\\n\": error: cannot open the file (" +
             noSuchName() +
             ")\n"
             "standard input:3: error: path longer than 4095 bytes, which no path is; skipped\n",
         2,
         std::string("same.txt\r\0same.txt\n\0", 20) + tooLong},
    };
    runCases(cases);
}

// As find writes them: names with a line feed, a carriage return, a blank at the end.
TEST(CheckCommandLine, NullSeparatedListsAsFindWritesThem) {
    if (e2e::windowsCheck()) GTEST_SKIP() << "Windows names hold no line feed, carriage return or blank at their end";
    TempDir dir;
    mkdir(dir.file("units").c_str(), 0700);
    writeFile(dir.file("golden.txt"), "Numlock\n\t*On\n");
    writeFile(dir.file("units/a b.txt"), kUnitNumlockOff);
    writeFile(dir.file("units/line\nfeed.txt"), kUnitNumlockOff);
    writeFile(dir.file("units/return\r.txt"), "Numlock\n\t*On\n");
    writeFile(dir.file("units/trailing "), "Numlock\n\t*On\n");
    const e2e::Result r = e2e::runHostTool("/bin/sh", {shell("find units -type f -print0 | LC_ALL=C sort -z | \"$0\" "
                                                             "\"$@\" --null --against golden.txt --units-from -"),
                                                       {},
                                                       dir.file("")});
    EXPECT_EQ(r.out,
              "units/a b.txt: Numlock: Off -> On (golden.txt:2)\n"
              "\"units/line\\nfeed.txt\": Numlock: Off -> On (golden.txt:2)\n"
              "\"units/return\\r.txt\": matches golden.txt\n"
              "\"units/trailing \": matches golden.txt\n"
              "2 of 4 units differ from golden.txt (2 settings)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
}

// Lists as PowerShell writes them: 5.1's ">" in UTF-16 with its byte order mark, Out-File
// -Encoding utf8 with UTF-8's, both with CR LF; names beyond ASCII and with blanks.
TEST(CheckCommandLine, ListsInUtf16AndWithAByteOrderMark) {
    TempDir dir;
    writeFile(dir.file("golden.txt"), "Numlock\n\t*On\n");
    writeFile(dir.file("d\xC3\xA9sk 1.txt"), kUnitNumlockOff);
    writeFile(dir.file("\xE5\x8D\x95\xE4\xBD\x8D 2.txt"), "Numlock\n\t*On\n");
    std::string utf16 = "\xFF\xFE";
    for (const char16_t c : std::u16string(u"d\u00e9sk 1.txt\r\n\u5355\u4f4d 2.txt\r\n\r\n"))
        utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    writeFile(dir.file("units-16.txt"), utf16);
    writeFile(dir.file("units-8.txt"), "\xEF\xBB\xBF\xE5\x8D\x95\xE4\xBD\x8D 2.txt\r\nmissing.txt\r\n");
    const e2e::Result r =
        check({"--against", "golden.txt", "--units-from", "units-16.txt", "--units-from", "units-8.txt"}, dir.file(""));
    const std::string unit2 = "\xE5\x8D\x95\xE4\xBD\x8D 2.txt";
    EXPECT_EQ(r.out,
              "d\xC3\xA9sk 1.txt: Numlock: Off -> On (golden.txt:2)\n" + unit2 + ": matches golden.txt\n" + unit2 +
                  ": matches golden.txt\n1 of 3 units differ from golden.txt (1 setting); 1 could not be read\n");
    EXPECT_EQ(r.err, kMissing);
    EXPECT_EQ(r.status, 2);
}

// Every kind of name in each kind of line: quoted where it would not name its file exactly.
TEST(CheckCommandLine, FileNamesAreShownExactly) {
    TempDir dir;
    const std::string warns = "Numlok\n\t*On\nNumlock\n\t*On\n";
    // The name, as shown, and as shown with ".missing" after it. Windows names are Unicode and hold
    // no control character, double quote or blank at their end; a backslash separates folders.
    const std::tuple<std::string, std::string, std::string> names[] = {
        {"plain.txt", "plain.txt", "plain.txt.missing"},
        {"in side.txt", "in side.txt", "in side.txt.missing"},
        {"g\xC3\xA9n\xC3\xA9ral.txt", "g\xC3\xA9n\xC3\xA9ral.txt", "g\xC3\xA9n\xC3\xA9ral.txt.missing"},
        {" lead.txt", "\" lead.txt\"", "\" lead.txt.missing\""},
        {"trail.txt ", "\"trail.txt \"", "trail.txt .missing"},
        {"tab\t.txt", "\"tab\\t.txt\"", "\"tab\\t.txt.missing\""},
        {"line\nfeed.txt", "\"line\\nfeed.txt\"", "\"line\\nfeed.txt.missing\""},
        {"quote\".txt", "\"quote\\\".txt\"", "\"quote\\\".txt.missing\""},
        {"back\\slash.txt", "\"back\\\\slash.txt\"", "\"back\\\\slash.txt.missing\""},
        {"latin\xE9.txt", "\"latin\\xE9.txt\"", "\"latin\\xE9.txt.missing\""},
        {"bell\x07.txt", "\"bell\\x07.txt\"", "\"bell\\x07.txt.missing\""},
    };
    for (const auto& [name, shown, missing] : names) {
        if (e2e::windowsCheck() && name.find_first_of("\t\n\"\\\x07\xE9") != std::string::npos) continue;
        if (e2e::windowsCheck() && name.back() == ' ') continue;
        writeFile(dir.file(name), warns);
        const std::string warning = shown +
                                    ":1: warning: header \"Numlok\" names no section; W skips it and its entry lines "
                                    "(did you mean \"Numlock\"?)\n";
        const e2e::Result plain = check({"--plan", name}, dir.file(""));
        EXPECT_EQ(plain.out, warning + shown + ":4: setNumlock 1\n") << name;
        const e2e::Result fleet = check({"--against", name, name, name + ".missing"}, dir.file(""));
        EXPECT_EQ(fleet.out, warning + shown + ": matches " + shown + "\n0 of 1 units differ from " + shown +
                                 " (0 settings); 1 could not be read\n")
            << name;
        EXPECT_EQ(fleet.err, missing + ": error: cannot open the file (No such file or directory)\n") << name;
    }
}

// The JSON records of a comparison with a matching, a differing and an unreadable unit, and of
// a plain check.
TEST(CheckCommandLine, JsonLinesFormatTwo) {
    const std::string summaryKeys = "\"file\":null,\"line\":null,\"kind\":\"summary\",\"section\":null,\"message\":";
    const ArgumentCase cases[] = {
        {{"--json", "--against", "golden.txt", "same.txt", "off.txt", "missing.txt"},
         "{\"file\":\"same.txt\",\"line\":null,\"kind\":\"unit\",\"section\":null,\"message\":\"matches golden.txt\","
         "\"unit\":\"same.txt\",\"golden\":\"golden.txt\",\"status\":\"match\",\"settings\":0}\n"
         "{\"file\":\"off.txt\",\"line\":null,\"kind\":\"change\",\"section\":\"Numlock\",\"message\":\"Numlock: Off "
         "-> "
         "On\",\"unit\":\"off.txt\",\"golden\":\"golden.txt\",\"golden_line\":2,\"old\":\"Off\",\"new\":\"On\"}\n"
         "{\"file\":\"off.txt\",\"line\":null,\"kind\":\"unit\",\"section\":null,\"message\":\"differs from golden.txt "
         "(1 setting)\",\"unit\":\"off.txt\",\"golden\":\"golden.txt\",\"status\":\"differs\",\"settings\":1}\n"
         "{\"file\":\"missing.txt\",\"line\":null,\"kind\":\"error\",\"section\":null,\"message\":\"cannot open the "
         "file "
         "(No such file or directory)\",\"code\":\"cannot-open\",\"unit\":\"missing.txt\",\"golden\":\"golden.txt\"}\n"
         "{\"file\":\"missing.txt\",\"line\":null,\"kind\":\"unit\",\"section\":null,\"message\":\"not compared with "
         "golden.txt\",\"unit\":\"missing.txt\",\"golden\":\"golden.txt\",\"status\":\"unreadable\",\"settings\":0}\n"
         "{" +
             summaryKeys +
             "\"1 of 2 units differ from golden.txt (1 setting); 1 could not be read\",\"format\":2,"
             "\"golden\":\"golden.txt\",\"units\":2,\"differing\":1,\"settings\":1,\"unreadable\":1}\n",
         "",
         2},
        {{"--json", "clean.txt", "warn.txt", "missing.txt"},
         "{\"file\":\"warn.txt\",\"line\":1,\"kind\":\"warning\",\"section\":null,\"message\":\"header \\\"Numlok\\\" "
         "names no section; W skips it and its entry lines (did you mean \\\"Numlock\\\"?)\"}\n"
         "{\"file\":\"missing.txt\",\"line\":null,\"kind\":\"error\",\"section\":null,\"message\":\"cannot open the "
         "file "
         "(No such file or directory)\",\"code\":\"cannot-open\"}\n"
         "{" +
             summaryKeys +
             "\"3 files checked: 1 with warnings, 1 with errors\",\"format\":2,\"files\":3,"
             "\"with_warnings\":1,\"with_errors\":1}\n",
         "",
         2},
        // A run that ends before any file is checked still ends with its summary.
        {{"--json", "--units-from", "missing.txt", "clean.txt"},
         "{\"file\":\"missing.txt\",\"line\":null,\"kind\":\"error\",\"section\":null,\"message\":\"cannot open the "
         "list "
         "of files (No such file or directory)\",\"code\":\"list-cannot-open\"}\n"
         "{" +
             summaryKeys +
             "\"0 files checked: 0 with warnings, 0 with errors\",\"format\":2,\"files\":0,"
             "\"with_warnings\":0,\"with_errors\":0}\n",
         "",
         2},
        {{"--json", "--quiet", "--against", "missing.txt", "same.txt"},
         "{\"file\":\"missing.txt\",\"line\":null,\"kind\":\"error\",\"section\":null,\"message\":\"cannot open the "
         "file "
         "(No such file or directory)\",\"code\":\"cannot-open\"}\n"
         "{" +
             summaryKeys +
             "\"0 of 0 units differ from missing.txt (0 settings)\",\"format\":2,"
             "\"golden\":\"missing.txt\",\"units\":0,\"differing\":0,\"settings\":0,\"unreadable\":0}\n",
         "",
         2},
        // A name that is not UTF-8: its bytes escaped, and the bytes themselves.
        {{"--json", "-0", "--units-from", "-"},
         "{\"file\":\"a\\u00e9\\n\",\"line\":null,\"kind\":\"error\",\"section\":null,\"message\":\"cannot open the "
         "file (" +
             noSuchName() +
             ")\",\"code\":\"cannot-open\",\"file_bytes_hex\":\"61E90A\"}\n"
             "{\"file\":\"standard input\",\"line\":2,\"kind\":\"error\",\"section\":null,\"message\":\"path longer "
             "than "
             "4095 bytes, which no path is; skipped\",\"code\":\"list-line\"}\n"
             "{" +
             summaryKeys +
             "\"1 file checked: 0 with warnings, 1 with errors\",\"format\":2,\"files\":1,"
             "\"with_warnings\":0,\"with_errors\":1}\n",
         "",
         2,
         std::string("a\xE9\n", 3) + '\0' + std::string(5000, 'x')},
    };
    runCases(cases);
}

}  // namespace
