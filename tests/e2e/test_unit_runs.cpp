// Runs as a fleet's administrator meets them: interrupted by a signal, two at once on one unit,
// refused with a reason. What each leaves on the disk and what each says.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using e2e::lines;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

using Names = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const std::string kBanner =
    "Norvik Folvane Utility for CE, Version 2.00.004\nCopyright (c) Norvik. All rights reserved.\n\n";
const std::string kNothingKept = "FolvaneCE: simulated unit without FOLVANE_MACHINE: nothing of this run is kept\n";

template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// The host build run straight, not through a launcher, so that a signal reaches the program.
bool posixHostProgram() {
    return !e2e::windowsRuntime() && !e2e::deviceImage() && !std::getenv("FOLVANE_E2E_LAUNCHER");
}

bool holdsNewFile(const Names& names) {
    for (const std::string& n : names) {
        if (n.find(".new-") != std::string::npos) return true;
    }
    return false;
}

// Starts the program in `cwd` with `env`, with the signals at their defaults, output discarded.
pid_t startProgram(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env,
                   const std::string& cwd) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int null = open("/dev/null", O_WRONLY);
    (void)dup2(null, 1);
    (void)dup2(null, 2);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) (void)signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    (void)sigprocmask(SIG_SETMASK, &none, nullptr);
    unsetenv("FOLVANE_MACHINE");
    unsetenv("FOLVANE_MACHINE_LOG");
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<std::string> argv = {e2e::programUnderTest()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    execv(pointers[0], pointers.data());
    _exit(127);
}

struct InterruptCase {
    const char* name;
    const char* operation;  // R or W
    int signal;
    int shellStatus;
};
void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }  // a row by its name in the log

const InterruptCase kInterrupts[] = {
    {"R_SIGINT", "R", SIGINT, 130}, {"R_SIGTERM", "R", SIGTERM, 143}, {"R_SIGHUP", "R", SIGHUP, 129},
    {"W_SIGINT", "W", SIGINT, 130}, {"W_SIGTERM", "W", SIGTERM, 143}, {"W_SIGHUP", "W", SIGHUP, 129},
};

class Interrupted : public testing::TestWithParam<InterruptCase> {};

// Interrupted while a new file stands beside its target: R's file while the unit is read (a
// pause in every firmware call), the unit's state file while it is saved (a pause before its
// rename). Nothing new is left, the old files are whole, and the run ends by the signal.
TEST_P(Interrupted, LeavesNoNewFileAndEndsByTheSignal) {
    if (!posixHostProgram()) GTEST_SKIP() << "signals reach the POSIX host build, run without a launcher";
    const InterruptCase& c = GetParam();
    TempDir dir;
    const std::string oldState = "numlock = 1\n";
    const std::string oldFile = "an earlier unit's file\n";
    writeFile(dir.file("unit.state"), oldState);
    writeFile(dir.file("unit.txt"), oldFile);
    writeFile(dir.file("in.txt"), "Numlock\n\t*Off\n");
    const bool retrieve = std::string(c.operation) == "R";
    const pid_t pid =
        startProgram({c.operation, retrieve ? "unit.txt" : "in.txt"},
                     {{"FOLVANE_MACHINE", dir.file("unit.state")}, {"FOLVANE_MACHINE_PAUSE", "300"}}, dir.file(""));
    ASSERT_GT(pid, 0);
    const auto until = Clock::now() + std::chrono::seconds(10);
    bool seen = false;
    while (!seen && Clock::now() < until) {
        seen = holdsNewFile(dir.names());
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(seen) << "no new file appeared";
    ASSERT_EQ(kill(pid, c.signal), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(128 + WTERMSIG(status), c.shellStatus);
    EXPECT_EQ(dir.names(), (Names{"in.txt", "unit.state", "unit.state.lock", "unit.txt"}));
    EXPECT_EQ(readFile(dir.file("unit.txt")), oldFile);
    EXPECT_EQ(readFile(dir.file("unit.state")), oldState);
}

INSTANTIATE_TEST_SUITE_P(Runs, Interrupted, testing::ValuesIn(kInterrupts), caseName<InterruptCase>);

// Two W runs at once on one unit, each changing its own setting: one waits for the other, and
// the unit keeps both changes, round after round.
TEST(OneRunAtATime, TwoConcurrentChangesAreBothKept) {
    TempDir dir;
    writeFile(dir.file("numlock.txt"), "Numlock\n\t*Off\n");
    writeFile(dir.file("serial.txt"), "Serial Port Address\n\t*Disabled\n");
    const int rounds = posixHostProgram() ? 50 : 5;
    int lost = 0;
    for (int round = 0; round < rounds; ++round) {
        writeFile(dir.file("unit.state"), "numlock = 1\nserial_port = 1\n");
        const std::vector<std::pair<std::string, std::string>> env = {{"FOLVANE_MACHINE", dir.file("unit.state")}};
        e2e::Result serial;
        std::thread other([&] { serial = e2e::run({{"W", "serial.txt"}, env, dir.file("")}); });
        const e2e::Result numlock = e2e::run({{"W", "numlock.txt"}, env, dir.file("")});
        other.join();
        ASSERT_EQ(numlock.status, 0) << numlock.err;
        ASSERT_EQ(serial.status, 0) << serial.err;
        const std::string state = readFile(dir.file("unit.state"));
        if (state.find("numlock = 0\n") == std::string::npos || state.find("serial_port = 0\n") == std::string::npos)
            ++lost;
    }
    EXPECT_EQ(lost, 0) << "rounds of " << rounds << " that lost a change";
}

struct LockCase {
    const char* name;
    std::vector<std::string> args;
    long heldMs;       // how long the test holds the unit's lock
    const char* wait;  // FOLVANE_MACHINE_WAIT; empty: the unit's own 30 seconds
    int status;
    bool refused;
};
void PrintTo(const LockCase& c, std::ostream* os) { *os << c.name; }  // a row by its name in the log

const LockCase kLocks[] = {
    {"W_refused_after_its_wait", {"W", "in.txt"}, 4000, "1", 1, true},
    {"R_refused_after_its_wait", {"R", "unit.txt"}, 4000, "1", 1, true},
    {"W_runs_once_the_other_ends", {"W", "in.txt"}, 1500, "", 0, false},
    {"R_runs_once_the_other_ends", {"R", "unit.txt"}, 1500, "", 0, false},
};

class HeldLock : public testing::TestWithParam<LockCase> {};

// Another run holds the unit (the test holds its lock file as a run does): a run waits for it,
// and when the wait runs out it is refused with one line before it reads the unit.
TEST_P(HeldLock, WaitsThenRunsOrIsRefused) {
    if (!posixHostProgram()) GTEST_SKIP() << "the test holds the lock as a POSIX host's run does";
    const LockCase& c = GetParam();
    TempDir dir;
    const std::string state = dir.file("unit.state");
    writeFile(state, "numlock = 1\n");
    writeFile(dir.file("in.txt"), "Numlock\n\t*Off\n");
    const int lock = open((state + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(c.heldMs));
        (void)close(lock);
    });
    std::vector<std::pair<std::string, std::string>> env = {{"FOLVANE_MACHINE", state}};
    if (*c.wait != '\0') env.emplace_back("FOLVANE_MACHINE_WAIT", c.wait);
    const auto start = Clock::now();
    const e2e::Result r = e2e::run({c.args, env, dir.file("")});
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    release.join();
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.refused) {
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "FolvaneCE: the simulated unit " + state + " is in use by another run\n");
        EXPECT_GE(waited, 1000);
        EXPECT_LT(waited, 3500);
        EXPECT_EQ(readFile(state), "numlock = 1\n");
    } else {
        EXPECT_EQ(r.err, "");
        EXPECT_GE(waited, c.heldMs);
    }
    EXPECT_EQ(testing_support::fileExists(dir.file("unit.txt")), !c.refused && c.args[0] == "R");
    EXPECT_EQ(readFile(state) == "numlock = 0\n", !c.refused && c.args[0] == "W");
    EXPECT_TRUE(testing_support::fileExists(state + ".lock")) << "the lock file stays";
}

INSTANTIATE_TEST_SUITE_P(Runs, HeldLock, testing::ValuesIn(kLocks), caseName<LockCase>);

struct ReasonCase {
    const char* name;
    std::vector<std::string> args;
    bool machine;     // FOLVANE_MACHINE names a state file
    std::string out;  // after the banner
    int status;
    std::string err;         // a POSIX host's
    const char* windowsErr;  // the Windows build's; null: the row is a POSIX host's alone
};
void PrintTo(const ReasonCase& c, std::ostream* os) { *os << c.name; }  // a row by its name in the log

const ReasonCase kReasons[] = {
    {"W_of_a_missing_file",
     {"W", "missing.txt"},
     true,
     "***ERROR*** Failed to open input file (missing.txt)!\n",
     1,
     "cannot open missing.txt: No such file or directory\n",
     "cannot open missing.txt: No such file or directory\n"},
    {"W_of_a_folder",
     {"W", "folder"},
     true,
     "***ERROR*** Failed to open input file (folder)!\n",
     1,
     "cannot open folder: not a regular file\n",
     "cannot open folder: Permission denied\n"},
    {"R_into_a_full_disk",
     {"R", "full.txt"},
     true,
     "Zentos Spec Version 1.02\n\n***ERROR*** Failed to write output file (full.txt)!\n",
     1,
     "cannot write /dev/full: No space left on device\n",
     nullptr},
    {"R_on_the_default_unit",
     {"R", "unit.txt"},
     false,
     "Zentos Spec Version 1.02\n\n",
     0,
     kNothingKept,
     kNothingKept.c_str()},
    {"W_on_the_default_unit",
     {"W", "in.txt"},
     false,
     "Zentos Spec Version 1.02\n\n",
     0,
     kNothingKept,
     kNothingKept.c_str()},
    {"W_on_a_unit_of_its_own", {"W", "in.txt"}, true, "Zentos Spec Version 1.02\n\n", 0, "", ""},
    {"usage_on_the_default_unit", {"/?"}, false, "", 0, "", ""},
};

class Reasons : public testing::TestWithParam<ReasonCase> {};

// Every refusal says why on standard error, after the console's line; a run on the default unit
// says once that nothing of it is kept. Standard output stays as it was.
TEST_P(Reasons, OnStandardError) {
    const ReasonCase& c = GetParam();
    // The device image has no standard error of its own: only the unit's line reaches it.
    const char* err = !e2e::windowsRuntime() ? c.err.c_str()
                      : e2e::deviceImage()   ? (c.err == kNothingKept || c.err.empty() ? c.err.c_str() : nullptr)
                                             : c.windowsErr;
    if (err == nullptr) GTEST_SKIP() << "a reason this build does not give";
    TempDir dir;
    writeFile(dir.file("in.txt"), "Numlock\n\t*Off\n");
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
    ASSERT_EQ(symlink("/dev/full", dir.file("full.txt").c_str()), 0);
    std::vector<std::pair<std::string, std::string>> env;
    if (c.machine) env.emplace_back("FOLVANE_MACHINE", dir.file("unit.state"));
    const e2e::Result r = e2e::run({c.args, env, dir.file("")});
    const std::string out = c.args[0] == "/?" ? r.out.substr(0, lines(kBanner).size()) : r.out;
    EXPECT_EQ(out, lines(kBanner + c.out));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, lines(err));
}

INSTANTIATE_TEST_SUITE_P(Runs, Reasons, testing::ValuesIn(kReasons), caseName<ReasonCase>);

}  // namespace
