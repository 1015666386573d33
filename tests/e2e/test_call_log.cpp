// The program under test beside the host build, on copies of the same unit with the same data
// file: the same firmware calls in the same order with the same values, the same console text,
// the same data file and the same saved unit, apart from the line ends of the runtime's text
// mode. Against the device image under wine, this shows that the device's own platform layer and
// gate reach the firmware exactly as the host build's direct calls do; against the host build
// itself it holds trivially.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// A unit far from the default one, with a read and a write that fail.
const char* const kUnit =
    "admin_password = \"\"\nuser_password = \"1234\"\nasset_tag = \"Desk 12\"\nserial_port = 3\n"
    "parallel_mode = 0x0003\nboot_sequence = 6 2\nwake_days = 0x41\nwake_hour = 21\nwake_minute = 30\n"
    "fail = getNumlock setSerialPort\n";

// A fleet file as the device writes it (CR LF) that changes most settings.
const char* const kFleetFile =
    "Setup Password\r\n\tNight Shift\r\nPower-On Password\r\nAsset Tracking Number\r\n\tROOM-9\r\n"
    "Serial Port Address\r\n\t*2F8h/IRQ3\r\nPrinter Mode\r\n\t*ECP/EPP\r\nECP Mode Use DMA\r\n\t*DMA3\r\n"
    "Boot Order\r\n\tLAN\r\n\tHard Disk\r\nWake On RTC\r\n\t*Sunday\r\n\t*Saturday\r\n\t7:45\r\n"
    "Numlock\r\n\t*Off\r\n";

struct Outcome {
    e2e::Result result;
    std::string log;
    std::string state;
    std::string dataFile;
};

// Runs `operation` on unit.txt against a fresh copy of the unit: by the host build, or by the
// program under test.
Outcome runOnCopy(bool hostBuild, const std::string& operation, const std::string& dataText) {
    TempDir dir;
    writeFile(dir.file("unit.state"), kUnit);
    if (!dataText.empty()) writeFile(dir.file("unit.txt"), dataText);
    const e2e::Launch launch{
        {operation, "unit.txt"},
        {{"FOLVANE_MACHINE", dir.file("unit.state")}, {"FOLVANE_MACHINE_LOG", dir.file("calls.log")}},
        dir.file("")};
    Outcome outcome;
    outcome.result = hostBuild ? e2e::runHostTool(FOLVANE_HOST_PROGRAM, launch) : e2e::run(launch);
    outcome.log = readFile(dir.file("calls.log"));
    outcome.state = readFile(dir.file("unit.state"));
    outcome.dataFile = readFile(dir.file("unit.txt"));
    return outcome;
}

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(CallLog, RetrieveCallsTheFirmwareAsTheHostBuildDoes) {
    const Outcome host = runOnCopy(true, "R", "");
    const Outcome program = runOnCopy(false, "R", "");
    ASSERT_EQ(host.result.status, 0) << host.result.err;
    EXPECT_EQ(lineCount(host.log), 15u) << host.log;  // functions 0-7 and 9-15, one read each
    EXPECT_EQ(program.log, host.log);
    EXPECT_EQ(program.result.status, host.result.status);
    EXPECT_EQ(program.result.out, e2e::lines(host.result.out));
    EXPECT_EQ(program.result.err, host.result.err);
    EXPECT_EQ(program.dataFile, e2e::fileText(host.dataFile));
    EXPECT_EQ(program.state, kUnit) << "R changes nothing";
}

TEST(CallLog, ChangeCallsTheFirmwareAsTheHostBuildDoes) {
    const Outcome host = runOnCopy(true, "W", kFleetFile);
    const Outcome program = runOnCopy(false, "W", kFleetFile);
    ASSERT_EQ(host.result.status, 0) << host.result.err;
    EXPECT_NE(host.log.find("fn=1 sub=02 cf=0 len=B\n"), std::string::npos) << host.log;  // "Night Shift"
    EXPECT_NE(host.log.find("fn=4 sub=01 cf=1"), std::string::npos) << host.log;
    EXPECT_EQ(program.log, host.log);
    EXPECT_EQ(program.result.status, host.result.status);
    EXPECT_EQ(program.result.out, e2e::lines(host.result.out));
    EXPECT_EQ(program.result.err, host.result.err);
    EXPECT_EQ(program.state, host.state);
    EXPECT_NE(host.state, kUnit);
}

}  // namespace
