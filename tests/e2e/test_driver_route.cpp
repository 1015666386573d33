// The device image on CE 6.0 and 7 units, which refuse its own VirtualCopy of physical memory:
// there it maps through FolvaneMap.dll, loaded by the test machine's device manager. R and W
// give what they give on a CE 5.0 unit, byte for byte and call for call; without the driver,
// or with any step of loading and asking it failing, each run ends with its messages and
// status and leaves no registry key, loaded driver or handle behind (which the test machine's
// coredll.dll reports as a fault at exit). The driver's path must fit the device manager's 63
// characters: the image runs from a short folder (tests/device/device_e2e.sh sees to it). Only the
// device image has this route: elsewhere the tests are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using testing_support::exampleFile;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
using Lines = std::vector<std::string>;

const std::string E = "***ERROR*** ";

// A unit far from the default one, with a read and a write that fail.
const std::string kUnit =
    "user_password = \"1234\"\nasset_tag = \"Desk 12\"\nserial_port = 3\nboot_sequence = 6 2\n"
    "wake_days = 0x41\nwake_hour = 21\nwake_minute = 30\nfail = getNumlock setSerialPort\n";

struct Outcome {
    e2e::Result result;
    Lines errors;
    std::string log;
    std::string state;
    std::string dataFile;
};

Lines errorLines(const std::string& out) {
    Lines lines;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        std::string line = out.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(E, 0) == 0) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Runs R into out.txt or W of the example file on a unit made from `state`, by `program`
// (empty: the image under test).
Outcome runOn(const std::string& state, bool retrieve, const std::string& program = "") {
    TempDir dir;
    writeFile(dir.file("unit.state"), state);
    if (!retrieve) writeFile(dir.file("unit.txt"), exampleFile());
    Outcome o;
    const e2e::Launch launch{
        {retrieve ? "R" : "W", retrieve ? "out.txt" : "unit.txt"},
        {{"FOLVANE_MACHINE", dir.file("unit.state")}, {"FOLVANE_MACHINE_LOG", dir.file("calls.log")}},
        dir.file("")};
    o.result = program.empty() ? e2e::run(launch) : e2e::runCopy(program, launch);
    o.errors = errorLines(o.result.out);
    o.log = readFile(dir.file("calls.log"));
    o.state = readFile(dir.file("unit.state"));
    o.dataFile = readFile(dir.file(retrieve ? "out.txt" : "unit.txt"));
    return o;
}

// The state file without its ce_version line, which is all that differs between the units.
std::string withoutGeneration(std::string state) {
    const size_t at = state.find("ce_version = ");
    if (at != std::string::npos) state.erase(at, state.find('\n', at) + 1 - at);
    return state;
}

// The path under which the image under wine sees a file of this machine's folder `folder`.
std::string windowsPath(const std::string& folder, const std::string& name) {
    std::string path = "Z:" + folder + "/" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

std::string driverLine(const std::string& folder, const std::string& code) {
    return E + "Could not load the driver " + windowsPath(folder, "FolvaneMap.dll") + " (" + code + ")!";
}

Lines unavailable(Lines first, bool retrieve) {
    first.push_back(E + "The BIOS settings service is not available; nothing was " +
                    (retrieve ? "retrieved!" : "changed!"));
    return first;
}

class OnEveryGeneration : public testing::TestWithParam<bool> {};

TEST_P(OnEveryGeneration, GivesWhatCeFiveGives) {
    if (!e2e::deviceImage()) GTEST_SKIP() << "the driver's route is the device image's";
    const bool retrieve = GetParam();
    const Outcome five = runOn("ce_version = 5\n" + kUnit, retrieve);
    ASSERT_EQ(five.result.status, 0) << five.result.out << five.result.err;
    ASSERT_NE(five.log, "");
    for (const char* generation : {"6", "7"}) {
        const Outcome o = runOn("ce_version = " + std::string(generation) + "\n" + kUnit, retrieve);
        EXPECT_EQ(o.result.status, five.result.status) << generation;
        EXPECT_EQ(o.result.out, five.result.out) << generation;
        EXPECT_EQ(o.result.err, "") << generation;
        EXPECT_EQ(o.log, five.log) << generation;
        EXPECT_EQ(o.dataFile, five.dataFile) << generation;
        EXPECT_EQ(withoutGeneration(o.state), withoutGeneration(five.state)) << generation;
    }
}

std::string operationName(const testing::TestParamInfo<bool>& test) { return test.param ? "R" : "W"; }

INSTANTIATE_TEST_SUITE_P(DriverRoute, OnEveryGeneration, testing::Values(true, false), operationName);

// The image copied with the test machine's coredll.dll (and `withDriver`, FolvaneMap.dll) into
// `folder`.
void copyImage(const std::string& folder, bool withDriver) {
    const std::string built = folderOf(e2e::programUnderTest());
    for (const char* name : {"FolvaneCE.exe", "coredll.dll", "FolvaneMap.dll"}) {
        if (withDriver || std::string(name) != "FolvaneMap.dll") {
            writeFile(folder + "/" + name, readFile(built + "/" + name));
        }
    }
}

// The image copied to a folder of its own without the driver: the refusal's message, the line
// naming the driver looked for with the device manager's error, status 1, and the unit and the
// files as they were.
TEST(DriverRoute, WithoutTheDriverFileStopsAndNamesIt) {
    if (!e2e::deviceImage()) GTEST_SKIP() << "the driver's route is the device image's";
    TempDir folder;
    copyImage(folder.file(""), false);
    struct Case {
        std::string generation;
        bool retrieve;
    };
    const Case cases[] = {{"6", true}, {"6", false}, {"7", true}};
    for (const Case& c : cases) {
        const std::string state = "ce_version = " + c.generation + "\n" + kUnit;
        const Outcome o = runOn(state, c.retrieve, folder.file("FolvaneCE.exe"));
        const std::string folderPath = folder.file("");
        const Lines expected = {E + "VirtualCopy failed (00000057)!", unavailable({}, c.retrieve).front(),
                                driverLine(folderPath.substr(0, folderPath.size() - 1), "00000002")};
        EXPECT_EQ(o.errors, expected) << c.generation << (c.retrieve ? " R" : " W");
        EXPECT_EQ(o.result.status, 1);
        EXPECT_EQ(o.result.err, "");
        EXPECT_EQ(o.state, state);
        EXPECT_EQ(o.dataFile, c.retrieve ? "" : exampleFile());
    }
}

// The image and its driver in a folder whose driver path, as the image sees it, has 63
// characters (the most the device manager takes) and 64: R works from the first; from the
// second it stops before writing any key, with the refusal, the service's line and the path
// named, status 1.
TEST(DriverRoute, TheDriverPathHasAtMost63Characters) {
    if (!e2e::deviceImage()) GTEST_SKIP() << "the driver's route is the device image's";
    TempDir base;
    const std::string baseFolder = folderOf(base.file("FolvaneMap.dll"));
    const size_t pathOfBase = windowsPath(baseFolder, "FolvaneMap.dll").size();
    ASSERT_LT(pathOfBase + 1, 63U) << "the temporary folder is too deep";
    const Outcome five = runOn("ce_version = 5\n" + kUnit, true);
    ASSERT_EQ(five.result.status, 0) << five.result.out;
    for (const char* generation : {"6", "7"}) {
        for (const size_t length : {size_t{63}, size_t{64}}) {
            const std::string name(length - pathOfBase - 1, 'f');
            const std::string folder = baseFolder + "/" + name;
            ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
            copyImage(folder, true);
            const std::string driver = windowsPath(folder, "FolvaneMap.dll");
            ASSERT_EQ(driver.size(), length);
            const std::string state = "ce_version = " + std::string(generation) + "\n" + kUnit;
            const Outcome o = runOn(state, true, folder + "/FolvaneCE.exe");
            EXPECT_EQ(o.result.err, "") << length;  // no key, driver or handle left at exit
            if (length == 63) {                     // what a CE 5.0 unit gives
                EXPECT_EQ(o.result.status, five.result.status) << generation << o.result.out;
                EXPECT_EQ(o.errors, five.errors) << generation;
                EXPECT_EQ(o.dataFile, five.dataFile) << generation;
                continue;
            }
            const Lines expected = {E + "VirtualCopy failed (00000057)!", unavailable({}, true).front(),
                                    E + "The driver's path has more than 63 characters (" + driver +
                                        ")! Put FolvaneCE.exe and FolvaneMap.dll into a shorter folder."};
            EXPECT_EQ(o.errors, expected) << generation;
            EXPECT_EQ(o.result.status, 1) << generation;
            EXPECT_EQ(o.state, state) << generation;
        }
    }
}

// A failure at each step of loading and asking the driver. Loading: the refusal's message and
// the driver line with the step's error; asking: the message with the error of the request.
// The test machine's failures come with ERROR_GEN_FAILURE (1Fh).
struct Step {
    const char* name;
    bool loading;
};

void PrintTo(const Step& step, std::ostream* out) { *out << step.name; }

class EachStep : public testing::TestWithParam<std::tuple<Step, bool>> {};

TEST_P(EachStep, FailsCleanly) {
    if (!e2e::deviceImage()) GTEST_SKIP() << "the driver's route is the device image's";
    const auto& [step, retrieve] = GetParam();
    const std::string state = "ce_version = 6\nfail = " + std::string(step.name) + "\n";
    const Outcome o = runOn(state, retrieve);
    Lines expected =
        unavailable({E + "VirtualCopy failed (" + (step.loading ? "00000057" : "0000001F") + ")!"}, retrieve);
    if (step.loading) expected.push_back(driverLine(folderOf(e2e::programUnderTest()), "0000001F"));
    EXPECT_EQ(o.errors, expected);
    EXPECT_EQ(o.result.status, 1);
    EXPECT_EQ(o.result.err, "");  // nothing held at exit
    EXPECT_EQ(o.state, state);
}

const Step kSteps[] = {
    {"RegCreateKeyExW", true},  {"RegSetValueExW", true}, {"ActivateDeviceEx", true}, {"CreateFileW", true},
    {"DeviceIoControl", false}, {"OpenProcess", false},   {"VirtualCopyEx", false},
};

std::string stepName(const testing::TestParamInfo<std::tuple<Step, bool>>& test) {
    return std::string(std::get<0>(test.param).name) + (std::get<1>(test.param) ? "_R" : "_W");
}

INSTANTIATE_TEST_SUITE_P(DriverRoute, EachStep, testing::Combine(testing::ValuesIn(kSteps), testing::Bool()), stepName);

}  // namespace
