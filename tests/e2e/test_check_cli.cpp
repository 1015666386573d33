// The built FolvaneCheck run as an administrator or a CI job runs it: arguments, standard
// output byte for byte, exit statuses, and R's files from the built FolvaneCE.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kUsage =
    "Usage:  FolvaneCheck [--plan] FILE...\n\n"
    "Checks data files for FolvaneCE W before they reach a unit: reports every line that W\n"
    "ignores or reads in a surprising way, as FILE:LINE: warning: TEXT (or note: TEXT).\n\n"
    "  --plan   after each file's diagnostics, lists the settings operations that W would\n"
    "           call, in W's order, as FILE:LINE: OPERATION ARGUMENT\n"
    "  --help   prints this text\n"
    "  --       takes every later argument as a file\n\n"
    "Exit status: 0 when no file has a warning, 1 when one has, 2 when a file cannot be\n"
    "read or the arguments are wrong.\n";

const std::string kMissing = "missing.txt: error: cannot open the file (No such file or directory)\n";
const std::string kWarning =
    "warn.txt:1: warning: header \"Numlok\" names no section; W skips it and its entry lines (did you mean "
    "\"Numlock\"?)\n";

e2e::Result check(const std::vector<std::string>& args, const std::string& cwd,
                  std::vector<std::pair<std::string, std::string>> env = {}) {
    return e2e::runHostTool(FOLVANE_CHECK_PROGRAM, {args, std::move(env), cwd});
}

struct ArgumentCase {
    std::vector<std::string> args;
    std::string out;
    int status;
};

TEST(CheckCommandLine, ArgumentsOutputAndStatus) {
    const std::string noFile = "FolvaneCheck: error: no data file named\n\n" + kUsage;
    const ArgumentCase cases[] = {
        {{"--help"}, kUsage, 0},
        {{"-h"}, kUsage, 0},
        {{"warn.txt", "--help", "--bogus"}, kUsage, 0},
        {{}, noFile, 2},
        {{"--plan"}, noFile, 2},
        {{"--bogus", "clean.txt"}, "FolvaneCheck: error: unknown option (--bogus)\n\n" + kUsage, 2},
        {{"clean.txt"}, "", 0},
        {{"clean.txt", "warn.txt"}, kWarning, 1},
        // Every file is checked, also after one that cannot be read; the worst status wins.
        {{"missing.txt", "warn.txt", "clean.txt"}, kMissing + kWarning, 2},
        {{"warn.txt", "--plan"}, kWarning + "warn.txt:4: setNumlock 1\n", 1},
        {{"--", "--plan"}, "--plan: error: cannot open the file (No such file or directory)\n", 2},
        {{"-"}, "-: error: cannot open the file (No such file or directory)\n", 2},
        {{"sub"}, "sub: error: cannot open the file (Is a directory)\n", 2},
    };
    for (const ArgumentCase& c : cases) {
        TempDir dir;
        writeFile(dir.file("clean.txt"), "Numlock\n\t*On\n");
        writeFile(dir.file("warn.txt"), "Numlok\n\t*On\nNumlock\n\t*On\n");
        mkdir(dir.file("sub").c_str(), 0700);
        const e2e::Result r = check(c.args, dir.file(""));
        std::string shown;
        for (const std::string& a : c.args) shown += "[" + a + "] ";
        EXPECT_EQ(r.out, c.out) << shown;
        EXPECT_EQ(r.status, c.status) << shown;
        EXPECT_EQ(r.err, "") << shown;
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

}  // namespace
