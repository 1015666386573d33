// The device image on CE 6.0 and 7 units, which refuse its own VirtualCopy of physical memory:
// there it maps through FolvaneMap.dll, loaded by the test machine's device manager. R and W
// give what they give on a CE 5.0 unit, byte for byte and call for call; without the driver,
// or with any step of loading and asking it failing, each run ends with its messages and
// status and leaves no registry key, loaded driver or handle behind (which the test machine's
// coredll.dll reports as a fault at exit). Only the device image has this route: elsewhere the
// tests are skipped.
#include <gtest/gtest.h>

#include <algorithm>
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

// The image copied to a folder of its own with the test machine's coredll.dll and without the
// driver: the refusal's message, the line naming the driver looked for, status 1, and the unit
// and the files as they were.
TEST(DriverRoute, WithoutTheDriverFileStopsAndNamesIt) {
    if (!e2e::deviceImage()) GTEST_SKIP() << "the driver's route is the device image's";
    TempDir folder;
    const std::string built = folderOf(e2e::programUnderTest());
    writeFile(folder.file("FolvaneCE.exe"), readFile(built + "/FolvaneCE.exe"));
    writeFile(folder.file("coredll.dll"), readFile(built + "/coredll.dll"));
    struct Case {
        std::string generation;
        std::string refusal;
        bool retrieve;
    };
    const Case cases[] = {{"6", "00000032", true}, {"6", "00000032", false}, {"7", "00000005", true}};
    for (const Case& c : cases) {
        const std::string state = "ce_version = " + c.generation + "\n" + kUnit;
        const Outcome o = runOn(state, c.retrieve, folder.file("FolvaneCE.exe"));
        const std::string folderPath = folder.file("");
        const Lines expected = {E + "VirtualCopy failed (" + c.refusal + ")!", unavailable({}, c.retrieve).front(),
                                driverLine(folderPath.substr(0, folderPath.size() - 1), "0000007E")};
        EXPECT_EQ(o.errors, expected) << c.generation << (c.retrieve ? " R" : " W");
        EXPECT_EQ(o.result.status, 1);
        EXPECT_EQ(o.result.err, "");
        EXPECT_EQ(o.state, state);
        EXPECT_EQ(o.dataFile, c.retrieve ? "" : exampleFile());
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
        unavailable({E + "VirtualCopy failed (" + (step.loading ? "00000032" : "0000001F") + ")!"}, retrieve);
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
