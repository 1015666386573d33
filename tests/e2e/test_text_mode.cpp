// W reads a data file as the device's text mode hands it over: a Ctrl-Z byte (1Ah) ends the
// input, also in the middle of a line, on the host build as on the device. The host build's call
// log is written out here; the program under test (the device image under wine, whose runtime
// is the reference) must make the very same calls.
#include <gtest/gtest.h>

#include <string>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

struct Outcome {
    e2e::Result result;
    std::string log;
};

Outcome changeOnDefaultUnit(bool hostBuild, const std::string& dataText) {
    TempDir dir;
    writeFile(dir.file("unit.txt"), dataText);
    const e2e::Launch launch{{"W", "unit.txt"}, {{"FOLVANE_MACHINE_LOG", dir.file("calls.log")}}, dir.file("")};
    Outcome outcome;
    outcome.result = hostBuild ? e2e::runHostTool(FOLVANE_HOST_PROGRAM, launch) : e2e::run(launch);
    outcome.log = readFile(dir.file("calls.log"));
    return outcome;
}

struct Case {
    const char* name;
    std::string file;
    std::string log;  // the support check, then W's set calls
};

std::string crlf(const std::string& text) {
    std::string converted;
    for (const char c : text) converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return converted;
}

TEST(TextMode, ACtrlZEndsTheInputOfWAsOnTheDevice) {
    const std::string inLine =
        "Numlock\n\t*Off\nBoot Order\n\tLAN\n\tFlo\x1A"
        "ppy\n\tUSB\nUSB Controller\n\t*Disabled\n";
    const std::string cut = "fn=0 sub=00 cf=0\nfn=14 sub=01 cf=0 cl=00\nfn=9 sub=01 cf=0 seq=6,255\n";
    const Case cases[] = {
        {"in the middle of a line: the text before it is the last line", inLine, cut},
        {"the same in the device's CR LF line ends", crlf(inLine), cut},
        {"at the start of a line",
         "Numlock\n\t*Off\n\x1A"
         "USB Controller\n\t*Disabled\n",
         "fn=0 sub=00 cf=0\nfn=14 sub=01 cf=0 cl=00\n"},
        {"right after a 255-character line, before its line feed",
         "Boot Order\n\tLAN\n\t" + std::string(254, 'x') + "\x1A\nNumlock\n\t*Off\n",
         "fn=0 sub=00 cf=0\nfn=9 sub=01 cf=0 seq=6,255\n"},
    };
    for (const Case& c : cases) {
        const Outcome host = changeOnDefaultUnit(true, c.file);
        const Outcome program = changeOnDefaultUnit(false, c.file);
        EXPECT_EQ(host.result.status, 0) << c.name << host.result.err;
        EXPECT_EQ(host.log, c.log) << c.name;
        EXPECT_EQ(program.log, host.log) << c.name;
        EXPECT_EQ(program.result.status, host.result.status) << c.name;
        EXPECT_EQ(program.result.out, e2e::lines(host.result.out)) << c.name;
    }
}

}  // namespace
