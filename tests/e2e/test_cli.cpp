// The built FolvaneCE run as a user runs it, against simulated units: arguments, standard
// output byte for byte, exit statuses, data files and state files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using e2e::lines;
using testing_support::exampleFile;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kBanner = "Norvik Folvane Utility for CE, Version 2.00.004\nCopyright (c) Norvik. All rights reserved.\n\n";
const std::string kUsage =
    "Usage:  FolvaneCE {R|W} <datafile>\n\nwhere\n\n{R|W}       Specifies the operation:\n"
    "                R - to retrieve BIOS settings,\n                W - to change BIOS settings,\n"
    "<datafile>  Specifies the output's (for R) or the input's (for W) file.\n\n";
const std::string kVersion = "Zentos Spec Version 1.02\n\n";

std::string invalid(const std::string& argument) { return "***ERROR*** Invalid parameter (" + argument + ")!\n"; }

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

struct ArgumentCase {
    const char* name;  // the case's own test name, by which a run can pick it
    std::vector<std::string> args;
    std::string out;  // after the banner
    int status;
    std::string hostReason = "";  // what a POSIX host adds on standard error
    bool usesTheUnit = false;     // reaches the default unit, which says that it keeps nothing
    std::string windowsReason = "";  // what the Windows build adds on standard error
};

const std::string kNothingKept = "FolvaneCE: simulated unit without FOLVANE_MACHINE: nothing of this run is kept\n";

const ArgumentCase kArgumentCases[] = {
    {"no_arguments", {}, kUsage, 0},
    {"help_slash_question", {"/?"}, kUsage, 0},
    {"help_slash_h", {"/h"}, kUsage, 0},
    {"help_dash_upper_h", {"-H"}, kUsage, 0},
    {"help_dash_question", {"-?"}, kUsage, 0},
    {"help_after_an_operation", {"R", "out.txt", "/?"}, kUsage, 0},
    {"help_before_an_unknown_option", {"/?", "/x"}, kUsage, 0},
    {"unknown_option_before_help", {"/x", "/?"}, invalid("/x"), 1},
    {"retrieve_to_the_console", {"R"}, kVersion + exampleFile(), 0, "", true},
    {"retrieve_lower_case", {"r"}, kVersion + exampleFile(), 0, "", true},
    {"two_letter_operation", {"RW", "cfg.txt"}, invalid("RW"), 1},
    {"unknown_operation", {"x"}, invalid("x"), 1},
    {"long_option", {"-help"}, invalid("-help"), 1},
    {"bare_slash", {"/"}, invalid("/"), 1},
    {"bare_dash", {"-"}, invalid("-"), 1},
    {"change_without_a_file", {"W"}, "***ERROR*** Missing data file!\n", 1},
    {"change_lower_case_without_a_file", {"w"}, "***ERROR*** Missing data file!\n", 1},
    {"file_before_the_operation", {"cfg.txt", "W"}, invalid("cfg.txt"), 1},
    {"file_name_beginning_with_a_dash", {"W", "-cfg.txt"}, invalid("-cfg.txt"), 1},
    {"absolute_unix_path", {"W", "/tmp/cfg.txt"}, invalid("/tmp/cfg.txt"), 1},
    {"change_of_two_files", {"W", "a.txt", "b.txt"}, invalid("b.txt"), 1},
    {"retrieve_into_two_files", {"R", "a.txt", "b.txt"}, invalid("b.txt"), 1},
    {"change_of_a_missing_file",
     {"W", "missing.txt"},
     "***ERROR*** Failed to open input file (missing.txt)!\n",
     1,
     "cannot open missing.txt: No such file or directory\n",
     false,
     "cannot open missing.txt: No such file or directory\n"},
    {"retrieve_into_a_missing_folder",
     {"R", "no-such-dir/out.txt"},
     "***ERROR*** Failed to open output file (no-such-dir/out.txt)!\n",
     1,
     "cannot create a file in no-such-dir: No such file or directory\n",
     false,
     "cannot create no-such-dir/out.txt.new: No such file or directory\n"},
};

void PrintTo(const ArgumentCase& c, std::ostream* out) {
    for (const std::string& a : c.args) *out << "[" << a << "] ";
}

// Each argument vector is a test of its own, so that a run under a slow launcher can pick some.
class Arguments : public testing::TestWithParam<ArgumentCase> {};

TEST_P(Arguments, OutputAndStatus) {
    const ArgumentCase& c = GetParam();
    TempDir dir;
    const e2e::Result r = e2e::run({c.args, {}, dir.file("")});
    EXPECT_EQ(r.out, lines(kBanner + c.out));
    EXPECT_EQ(r.status, c.status);
    const std::string reason = !e2e::windowsRuntime() ? c.hostReason
                               : e2e::deviceImage()    ? ""
                                                       : lines(c.windowsReason);
    EXPECT_EQ(r.err, (c.usesTheUnit ? lines(kNothingKept) : "") + reason);
    EXPECT_FALSE(exists(dir.file("out.txt"))) << "nothing was retrieved";
}

std::string argumentCaseName(const testing::TestParamInfo<ArgumentCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(CommandLine, Arguments, testing::ValuesIn(kArgumentCases), argumentCaseName);

TEST(CommandLine, RetrieveIntoAFileNamedW) {
    TempDir dir;
    const e2e::Result r = e2e::run({{"R", "W"}, {}, dir.file("")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, lines(kBanner + kVersion));
    EXPECT_EQ(readFile(dir.file("W")), e2e::fileText(exampleFile()));
}

TEST(CommandLine, RetrieveThenChangeOfRealFilesWithSpacesInTheirNames) {
    TempDir dir;
    const std::string source = dir.file("source unit.state");
    const std::string target = dir.file("target unit.state");
    writeFile(source, "serial_port = 4\nboot_sequence = 6 0\nasset_tag = \"Desk 12\"\nwake_hour = 21\n");
    writeFile(target, "# a unit straight from the factory\nadmin_password = \"\"\n");
    const e2e::Result r = e2e::run({{"R", "fleet file.txt"}, {{"FOLVANE_MACHINE", source}}, dir.file("")});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string file = readFile(dir.file("fleet file.txt"));
    EXPECT_NE(file.find(e2e::fileText("Asset Tracking Number\n\tDesk 12\n")), std::string::npos);

    const std::string log = dir.file("calls.log");
    const e2e::Result w = e2e::run(
        {{"w", "fleet file.txt"}, {{"FOLVANE_MACHINE", target}, {"FOLVANE_MACHINE_LOG", log}}, dir.file("")});
    EXPECT_EQ(w.status, 0) << w.out << w.err;
    EXPECT_EQ(w.out, lines(kBanner + kVersion));
    const std::string saved = readFile(target);
    EXPECT_NE(saved.find("serial_port = 4\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("boot_sequence = 6 0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("asset_tag = \"Desk 12\"\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("wake_hour = 21\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("admin_password = \"\"\n"), std::string::npos) << saved;  // the source had one: kept
    const std::string calls = readFile(log);
    EXPECT_EQ(calls.substr(0, calls.find('\n')), "fn=0 sub=00 cf=0");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 16);
}

TEST(CommandLine, FileNamesAreTheBytesTyped) {
    // How a Unix shell's bytes become a name is the host's business; a Windows program is handed
    // its command line already in UTF-16.
    if (e2e::windowsRuntime()) GTEST_SKIP() << "host locale conversion";
    for (const char* locale : {"C", "C.UTF-8"}) {
        TempDir dir;
        const std::string name = "caf\xE9 \xC3\x28.txt";  // not valid UTF-8
        const e2e::Result r = e2e::run({{"R", name}, {{"LC_ALL", locale}}, dir.file("")});
        EXPECT_EQ(r.status, 0) << locale;
        EXPECT_EQ(readFile(dir.file(name)), e2e::fileText(exampleFile())) << locale;
        const e2e::Result w = e2e::run({{"W", "x" + name}, {{"LC_ALL", locale}}, dir.file("")});
        EXPECT_EQ(w.out, lines(kBanner + "***ERROR*** Failed to open input file (x" + name + ")!\n")) << locale;
    }
}

TEST(Retrieve, ConsoleOutputKeepsMessagesInOrderWithTheFileText) {
    TempDir dir;
    writeFile(dir.file("unit.state"), "fail = getSerialPort getBootSequence\n");
    const e2e::Result r = e2e::run({{"R"}, {{"FOLVANE_MACHINE", dir.file("unit.state")}}, dir.file("")});
    EXPECT_EQ(r.status, 0);
    std::string expected = exampleFile();
    const auto replace = [&](const std::string& from, const std::string& to) {
        expected.replace(expected.find(from), from.size(), to);
    };
    replace("Serial Port Address\n\tDisabled\n\t*3F8h/IRQ4\n",
            "Serial Port Address\n***ERROR*** Failed to get serial port setting!\n\tDisabled\n\t3F8h/IRQ4\n");
    // A boot order R could not read is left out, header and all; its message stands alone.
    replace("Boot Order\n\tHard Disk\n\tUSB\n\tLAN\n", "***ERROR*** Failed to get boot sequence!\n");
    EXPECT_EQ(r.out, lines(kBanner + kVersion + expected));
}

TEST(Change, LineFeedAndCarriageReturnFilesGiveTheSameUnit) {
    TempDir dir;
    std::string crlf;
    for (const char* p = exampleFile(); *p != '\0'; ++p) crlf += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    writeFile(dir.file("lf.txt"), exampleFile());
    writeFile(dir.file("crlf.txt"), crlf);
    const std::string factory = "serial_port = 0\nboot_sequence = 1\nnumlock = 0\nasset_tag = X\n";
    writeFile(dir.file("a.state"), factory);
    writeFile(dir.file("b.state"), factory);
    const e2e::Result a = e2e::run({{"W", "lf.txt"}, {{"FOLVANE_MACHINE", dir.file("a.state")}}, dir.file("")});
    const e2e::Result b = e2e::run({{"W", "crlf.txt"}, {{"FOLVANE_MACHINE", dir.file("b.state")}}, dir.file("")});
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(b.status, 0);
    EXPECT_EQ(readFile(dir.file("a.state")), readFile(dir.file("b.state")));
    EXPECT_NE(readFile(dir.file("b.state")).find("asset_tag = \"ROOM-7\"\n"), std::string::npos);
}

TEST(Change, MessagesShowWideAndEightBitTextsAsTheyAre) {
    TempDir dir;
    writeFile(dir.file("unit.state"), "fail = setAdminPassword setAssetTag\n");
    writeFile(dir.file("in file.txt"), "Setup Password\n\tp\xE9ss w\x80rd %s\nAsset Tracking Number\n\tT\xFF\xA0g\n");
    const e2e::Result r = e2e::run({{"W", "in file.txt"}, {{"FOLVANE_MACHINE", dir.file("unit.state")}}, dir.file("")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, lines(kBanner + kVersion +
                           "***ERROR*** Failed to set administrator password!\n"
                           "***ERROR*** Failed to set admin password (p\xE9ss w\x80rd %s)!\n"
                           "***ERROR*** Failed to set asset tag!\n"
                           "***ERROR*** Failed to set asset tag (T\xFF\xA0g)!\n"));
    const e2e::Result missing = e2e::run({{"W", "no such file.txt"}, {}, dir.file("")});
    EXPECT_EQ(missing.out, lines(kBanner + "***ERROR*** Failed to open input file (no such file.txt)!\n"));
}

// What is no file is refused at once, under a short timeout: a device through a link would read
// without end, a folder never reads. A pipe is still read: a script may hand the file over so.
TEST(Change, WhatIsNoRegularFileIsRefusedAtOnceAndAPipeIsRead) {
    if (e2e::windowsRuntime()) GTEST_SKIP() << "POSIX devices, links and pipes";
    TempDir dir;
    ASSERT_EQ(symlink("/dev/zero", dir.file("zero.txt").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0700), 0);
    writeFile(dir.file("in.txt"), "Numlock\n\t*Off\n");
    const std::string program = e2e::programUnderTest();
    const auto shell = [&](const std::string& command) {
        return e2e::runHostTool("/bin/sh", {{"-c", command, program}, {{"FOLVANE_MACHINE", dir.file("unit.state")}},
                                            dir.file("")});
    };
    for (const char* name : {"zero.txt", "sub"}) {
        const e2e::Result r = shell(std::string("exec timeout 10 \"$0\" W ") + name);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out, kBanner + "***ERROR*** Failed to open input file (" + name + ")!\n") << name;
        EXPECT_EQ(r.err, std::string("cannot open ") + name + ": not a regular file\n") << name;
    }
    // W takes no name that begins with a slash: the pipe through a link.
    ASSERT_EQ(symlink("/dev/stdin", dir.file("stdin.txt").c_str()), 0);
    const e2e::Result piped = shell("cat in.txt | exec timeout 10 \"$0\" W stdin.txt");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, kBanner + kVersion);
    EXPECT_NE(readFile(dir.file("unit.state")).find("numlock = 0\n"), std::string::npos);
}

TEST(SimulatedUnit, SavingReplacesAnExistingStateFile) {
    TempDir dir;
    writeFile(dir.file("unit.state"), "numlock = 1\n");
    for (const char* choice : {"Off", "On", "Off"}) {
        writeFile(dir.file("in.txt"), std::string("Numlock\n\t*") + choice + "\n");
        const e2e::Result r = e2e::run({{"W", "in.txt"}, {{"FOLVANE_MACHINE", dir.file("unit.state")}}, dir.file("")});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(readFile(dir.file("unit.state")).find(std::string("numlock = ") + (choice[1] == 'f' ? "0" : "1") + "\n"),
                  std::string::npos)
            << choice;
    }
    EXPECT_FALSE(exists(dir.file("unit.state.new")));
}

TEST(SimulatedUnit, StateFileErrorsStopEveryRunBeforeTheBanner) {
    TempDir dir;
    const std::string state = dir.file("unit.state");
    writeFile(state, "serial_port = 1\n\nnumlock = on\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"/?"}, std::vector<std::string>{"R"}}) {
        const e2e::Result r = e2e::run({args, {{"FOLVANE_MACHINE", state}}, ""});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, lines("simulated unit: " + state + ":3: numlock: value out of range (0 to 255)\n"));
    }
}

TEST(SimulatedUnit, AMissingStateFileIsCreatedAtTheFirstSave) {
    TempDir dir;
    const std::string state = dir.file("new.state");
    writeFile(dir.file("in.txt"), "Numlock\n\t*Off\n");
    const e2e::Result read = e2e::run({{"R"}, {{"FOLVANE_MACHINE", state}}, dir.file("")});
    EXPECT_EQ(read.status, 0);
    EXPECT_FALSE(exists(state)) << "R sets nothing, so nothing is saved";
    const e2e::Result r = e2e::run({{"W", "in.txt"}, {{"FOLVANE_MACHINE", state}}, dir.file("")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readFile(state).find("numlock = 0\n"), std::string::npos);
    EXPECT_FALSE(exists(state + ".new"));
}

TEST(SimulatedUnit, ASaveKeepsTheStateFilesModeAndComments) {
    TempDir dir;
    const std::string state = dir.file("unit.state");
    writeFile(state, "# bench unit 7\nnumlock = 1 \n# end\n");
    ASSERT_EQ(chmod(state.c_str(), 0600), 0);
    writeFile(dir.file("in.txt"), "Numlock\n\t*Off\nUSB Controller\n\t*Disabled\n");
    const e2e::Result r = e2e::run({{"W", "in.txt"}, {{"FOLVANE_MACHINE", state}}, dir.file("")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(state), "# bench unit 7\nnumlock = 0\n# end\nusb_controller = 0\n");
    // Windows keeps no permission bits of this kind.
    if (e2e::windowsRuntime()) return;
    struct stat info {};
    ASSERT_EQ(stat(state.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST(SimulatedUnit, ACallLogThatCannotBeWrittenStopsBeforeTheBanner) {
    const e2e::Result r = e2e::run({{"R"}, {{"FOLVANE_MACHINE_LOG", "/nonexistent-dir/calls.log"}}, ""});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              lines("simulated unit: cannot write call log /nonexistent-dir/calls.log: No such file or directory\n"));
}

TEST(SimulatedUnit, ASaveThatFailsIsTheUnitLosingPower) {
    TempDir dir;
    writeFile(dir.file("in.txt"), "Numlock\n\t*Off\n");
    const e2e::Result r = e2e::run({{"W", "in.txt"}, {{"FOLVANE_MACHINE", "/nonexistent-dir/unit.state"}}, dir.file("")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, lines("simulated unit: /nonexistent-dir/unit.state: cannot save: No such file or directory\n"));
}

}  // namespace
