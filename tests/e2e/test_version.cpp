// The build's one version (the project's in CMake) where each program shows it: the device
// banner of FolvaneCE and FolvaneCheck --version.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../unit/test_support.h"
#include "process.h"

namespace {

// The banner's form of a version: "2.0.4" is "Version 2.00.004".
std::string bannerVersion(const std::string& version) {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned patch = 0;
    char after = 0;
    if (std::sscanf(version.c_str(), "%u.%u.%u%c", &major, &minor, &patch, &after) != 3 || minor > 99 || patch > 999)
        return "no version the banner can show: " + version;
    char text[64];
    (void)std::snprintf(text, sizeof text, "Version %u.%02u.%03u", major, minor, patch);
    return text;
}

TEST(Version, TheDeviceBannerShowsTheBuildsVersion) {
    testing_support::TempDir dir;
    const e2e::Result r = e2e::run({{}, {}, dir.file("")});
    EXPECT_EQ(r.status, 0);
    const std::string title = e2e::lines("Norvik Folvane Utility for CE, " + bannerVersion(FOLVANE_VERSION) + "\n");
    EXPECT_EQ(r.out.substr(0, title.size()), title);
}

TEST(Version, FolvaneCheckPrintsItWhateverFollowsAsWithHelp) {
    const std::string version = std::string("FolvaneCheck ") + FOLVANE_VERSION + "\n";
    const std::string wrong = "FolvaneCheck: ";
    struct Case {
        std::vector<std::string> args;
        std::string out;
        std::string errorLine;  // the first line on standard error (a pointer to --help follows a wrong argument)
        int status;
    };
    const Case cases[] = {
        {{"--version"}, version, "", 0},
        {{"--version", "--bogus", "missing.txt"}, version, "", 0},
        {{"--plan", "--json", "--version"}, version, "", 0},
        {{"--against", "missing.txt", "--version", "unit.txt"}, version, "", 0},
        {{"--bogus", "--version"}, "", wrong + "unknown option '--bogus'\n", 2},
        {{"--version=2"}, "", wrong + "option '--version' takes no argument\n", 2},
        {{"--versoin"}, "", wrong + "unknown option '--versoin' (did you mean --version?)\n", 2},
        {{"--against", "--version"}, "", wrong + "no unit's file named\n", 2},  // the golden file "--version"
        {{"--", "--version"}, "", "--version: error: cannot open the file (No such file or directory)\n", 2},
    };
    for (const Case& c : cases) {
        testing_support::TempDir dir;
        const e2e::Result r = e2e::runCheck({c.args, {}, dir.file("")});
        std::string shown;
        for (const std::string& a : c.args) shown += "[" + a + "] ";
        EXPECT_EQ(r.out, c.out) << shown;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.errorLine) << shown;
        EXPECT_EQ(r.status, c.status) << shown;
    }
}

}  // namespace
