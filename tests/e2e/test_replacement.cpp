// R's output file and the simulated unit's state file replaced on a POSIX host, as a fleet's
// file server sees them: links left at the old fixed name, files of other users, protected
// folders, and many runs on one file at once. The Windows build keeps its fixed name.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using testing_support::exampleFile;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

using Names = std::vector<std::string>;

const std::string kBanner = "Norvik Folvane Utility for CE, Version 2.00.004\nCopyright (c) Norvik. All rights reserved.\n\n";

// FolvaneCE run as the user "nobody" (CI runs as root, whom no file refuses). A coverage
// build's counts go where nobody may write them, and are not kept.
e2e::Result asNobody(const std::vector<std::string>& args, const std::string& cwd) {
    static TempDir counts;
    (void)chmod(counts.file("").c_str(), 0777);
    std::vector<std::string> all = {"--reuid=65534", "--regid=65534", "--clear-groups", FOLVANE_HOST_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    return e2e::runHostTool("setpriv", {all, {{"GCOV_PREFIX", counts.file("")}}, cwd});
}

TEST(Replacement, ProtectedTargetsAndFoldersAreRefusedAndKept) {
    if (e2e::windowsRuntime()) GTEST_SKIP() << "a POSIX host's files";
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run R as another user";
    TempDir dir;
    ASSERT_EQ(chmod(dir.file("").c_str(), 0755), 0);
    // "open": a folder where anyone may create files; "closed": one where nobody may not.
    ASSERT_EQ(mkdir(dir.file("open").c_str(), 0777), 0);
    ASSERT_EQ(chmod(dir.file("open").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(dir.file("closed").c_str(), 0755), 0);
    const std::string old = "an earlier unit's file\n";
    const auto make = [&](const std::string& name, mode_t mode) {
        writeFile(dir.file(name), old);
        EXPECT_EQ(chown(dir.file(name).c_str(), 65534, 65534), 0);
        EXPECT_EQ(chmod(dir.file(name).c_str(), mode), 0);
    };
    make("open/golden.txt", 0444);
    make("closed/unit.txt", 0666);
    make("open/unit.txt", 0640);
    struct Case {
        const char* file;
        const char* reason;
    };
    const Case refused[] = {
        {"open/golden.txt",
         "cannot overwrite open/golden.txt: write-protected (mode 0444); chmod u+w open/golden.txt allows it\n"},
        {"closed/unit.txt", "cannot create a file in closed: Permission denied\n"},
    };
    for (const Case& c : refused) {
        const e2e::Result r = asNobody({"R", c.file}, dir.file(""));
        EXPECT_EQ(r.status, 1) << c.file;
        EXPECT_EQ(r.out, kBanner + "***ERROR*** Failed to open output file (" + c.file + ")!\n") << c.file;
        EXPECT_EQ(r.err, c.reason) << c.file;
        EXPECT_EQ(readFile(dir.file(c.file)), old) << c.file;
    }
    // A file the user may write is replaced, and stays the user's with its mode.
    const e2e::Result r = asNobody({"R", "open/unit.txt"}, dir.file(""));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(dir.file("open/unit.txt")), exampleFile());
    struct stat info {};
    ASSERT_EQ(stat(dir.file("open/unit.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(testing_support::folderNames(dir.file("open")), (Names{"golden.txt", "unit.txt"}));
    EXPECT_EQ(testing_support::folderNames(dir.file("closed")), Names{"unit.txt"});
}

// A golden file protected with no write bit for its owner stays as it is, whoever runs R: root,
// to whom a plain write would be allowed, and the file's own user.
TEST(Replacement, AWriteProtectedGoldenFileIsRefusedWhoeverRunsR) {
    if (e2e::windowsRuntime() || e2e::deviceImage()) GTEST_SKIP() << "a POSIX host's permission bits";
    struct Case {
        const char* who;
        bool asNobody;
        mode_t mode;
    };
    const Case cases[] = {
        {"root", false, 0444}, {"root", false, 0400}, {"root", false, 0077},
        {"nobody", true, 0444}, {"nobody", true, 0555},
    };
    if (geteuid() != 0) GTEST_SKIP() << "runs R as root and as the user nobody: needs root";
    for (const Case& c : cases) {
        TempDir dir;
        ASSERT_EQ(chmod(dir.file("").c_str(), 0777), 0);
        const std::string old = "the golden file\n";
        writeFile(dir.file("golden.txt"), old);
        if (c.asNobody) {
            ASSERT_EQ(chown(dir.file("golden.txt").c_str(), 65534, 65534), 0);
        }
        ASSERT_EQ(chmod(dir.file("golden.txt").c_str(), c.mode), 0);
        const e2e::Result r =
            c.asNobody ? asNobody({"R", "golden.txt"}, dir.file("")) : e2e::run({{"R", "golden.txt"}, {}, dir.file("")});
        char mode[8];
        (void)std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(c.mode));
        const std::string shown = std::string(c.who) + " " + mode;
        EXPECT_EQ(r.status, 1) << shown;
        EXPECT_EQ(r.out, kBanner + "***ERROR*** Failed to open output file (golden.txt)!\n") << shown;
        EXPECT_EQ(r.err, std::string("cannot overwrite golden.txt: write-protected (mode ") + mode +
                             "); chmod u+w golden.txt allows it\n")
            << shown;
        EXPECT_EQ(readFile(dir.file("golden.txt")), old) << shown;
        EXPECT_EQ(dir.names(), Names{"golden.txt"}) << shown;
    }
}

// The Windows build refuses a file with the read-only attribute (wine gives it to a file with no
// write bit) before it writes anything beside it. The device image, whose runtime has no way to
// ask for the attribute, is refused when it would delete the file (wine lets root open it).
TEST(Replacement, AReadOnlyGoldenFileIsRefusedByTheWindowsBuild) {
    if (!e2e::windowsRuntime()) GTEST_SKIP() << "the Microsoft runtime's read-only attribute";
    TempDir dir;
    const std::string old = "the golden file\n";
    writeFile(dir.file("golden.txt"), old);
    ASSERT_EQ(chmod(dir.file("golden.txt").c_str(), 0444), 0);
    const e2e::Result r = e2e::run({{"R", "golden.txt"}, {}, dir.file("")});
    EXPECT_EQ(r.status, 1);
    const std::string refusal = e2e::deviceImage() && geteuid() == 0
                                    ? "Zentos Spec Version 1.02\n\n***ERROR*** Failed to write output file (golden.txt)!\n"
                                    : "***ERROR*** Failed to open output file (golden.txt)!\n";
    EXPECT_EQ(r.out, e2e::lines(kBanner + refusal));
    if (!e2e::deviceImage()) {
        EXPECT_EQ(r.err, e2e::lines("cannot overwrite golden.txt: read-only; attrib -r golden.txt allows it\n"));
    }
    EXPECT_EQ(readFile(dir.file("golden.txt")), old);
    EXPECT_EQ(dir.names(), Names{"golden.txt"});
}

// Each run writes a file of its own and renames it over the target, so that every reader, at
// any moment, finds one unit's whole file; a shared "unit.txt.new" used to mix them.
TEST(Replacement, ConcurrentRunsOnOneFileEachPutAWholeFileInPlace) {
    if (e2e::windowsRuntime()) GTEST_SKIP() << "the Windows build writes a fixed name beside its target";
    TempDir dir;
    constexpr int kRuns = 50;
    // Tags of every length, so that one file written over another shows; the file there before
    // is whole too, so that an empty or cut file is never taken for "none yet".
    std::set<std::string> whole = {exampleFile()};
    writeFile(dir.file("unit.txt"), exampleFile());
    Names names = {"unit.txt"};
    for (int i = 1; i <= kRuns; ++i) {
        const std::string tag = "Unit-" + std::string(static_cast<size_t>(i), 'x');
        writeFile(dir.file("u" + std::to_string(i) + ".state"), "asset_tag = \"" + tag + "\"\n");
        names.push_back("u" + std::to_string(i) + ".state");
        names.push_back("u" + std::to_string(i) + ".state.lock");
        std::string text = exampleFile();
        whole.insert(text.replace(text.find("ROOM-7"), 6, tag));
    }
    std::sort(names.begin(), names.end());
    const std::string script = "i=0; while [ $i -lt " + std::to_string(kRuns) +
                               " ]; do i=$((i+1)); FOLVANE_MACHINE=u$i.state \"$0\" R unit.txt >/dev/null & done; wait";
    size_t reads = 0;
    std::set<std::string> broken;
    for (int round = 0; round < 3; ++round) {
        std::atomic<bool> finished{false};
        e2e::Result runs;
        std::thread runner([&] {
            runs = e2e::runHostTool("/bin/sh", {{"-c", script, FOLVANE_HOST_PROGRAM}, {}, dir.file("")});
            finished = true;
        });
        while (!finished) {
            const std::string text = readFile(dir.file("unit.txt"));
            ++reads;
            if (whole.count(text) == 0) broken.insert(text);
        }
        runner.join();
        EXPECT_EQ(runs.status, 0) << runs.err;
        EXPECT_EQ(runs.err, "");
        const std::string last = readFile(dir.file("unit.txt"));
        if (whole.count(last) == 0) broken.insert(last);
    }
    EXPECT_TRUE(broken.empty()) << broken.size() << " texts of no one unit among " << reads << " reads, e.g.:\n"
                                << (broken.empty() ? "" : *broken.begin());
    EXPECT_EQ(dir.names(), names);
}

// The unit's state save, like R, never opens what stands beside the state file.
TEST(Replacement, AStateSaveLeavesALinkAtTheOldFixedNameAlone) {
    if (e2e::windowsRuntime()) GTEST_SKIP() << "the Windows build writes a fixed name beside the state file";
    TempDir dir;
    writeFile(dir.file("unit.state"), "numlock = 1\n");
    writeFile(dir.file("other.txt"), "another file\n");
    ASSERT_EQ(symlink("other.txt", dir.file("unit.state.new").c_str()), 0);
    writeFile(dir.file("in.txt"), "Numlock\n\t*Off\n");
    const e2e::Result r = e2e::run({{"W", "in.txt"}, {{"FOLVANE_MACHINE", dir.file("unit.state")}}, dir.file("")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("unit.state")), "numlock = 0\n");
    EXPECT_EQ(readFile(dir.file("other.txt")), "another file\n");
    EXPECT_EQ(dir.names(), (Names{"in.txt", "other.txt", "unit.state", "unit.state.lock", "unit.state.new"}));
}

}  // namespace
