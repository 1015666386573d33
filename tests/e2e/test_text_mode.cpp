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

// Files that W refuses, the same on the device: one converted on its way touches no unit (no
// version line, no firmware call, no driver on CE 6 and 7); one that names no section is read
// whole after the support check. Status 1 for each.
TEST(TextMode, FilesThatSetNothingAreRefusedAsOnTheDevice) {
    const std::string version = "Zentos Spec Version 1.02\n\n";
    const std::string banner = "Norvik Folvane Utility for CE, Version 2.00.004\nCopyright (c) Norvik. All rights reserved.\n\n";
    struct Refusal {
        const char* name;
        std::string file;
        std::string out;  // after the banner
        std::string log;
    };
    const Refusal cases[] = {
        {"UTF-16", std::string("\xFF\xFEN\0u\0m\0\r\0\n\0", 12),
         "***ERROR*** The input file is UTF-16 text; save it as 8-bit text (unit.txt)!\n", ""},
        {"lines that end in a carriage return alone", "Numlock\r\t*Off\r",
         "***ERROR*** The input file's lines end in CR alone; save it with CR LF or LF line ends (unit.txt)!\n", ""},
        {"an empty file", "", version + "***ERROR*** No setting section in the input file (unit.txt)!\n",
         "fn=0 sub=00 cf=0\n"},
        {"headers that name no section", crlf("Numlok\n\t*Off\n"),
         version + "***ERROR*** No setting section in the input file (unit.txt)!\n", "fn=0 sub=00 cf=0\n"},
    };
    for (const Refusal& c : cases) {
        const Outcome host = changeOnDefaultUnit(true, c.file);
        const Outcome program = changeOnDefaultUnit(false, c.file);
        EXPECT_EQ(host.result.status, 1) << c.name;
        EXPECT_EQ(host.result.out, banner + c.out) << c.name;
        EXPECT_EQ(host.log, c.log) << c.name;
        EXPECT_EQ(program.log, host.log) << c.name;
        EXPECT_EQ(program.result.status, host.result.status) << c.name;
        EXPECT_EQ(program.result.out, e2e::lines(host.result.out)) << c.name;
    }
    // A UTF-8 mark is skipped: the header after it names its section.
    const std::string marked = "\xEF\xBB\xBF" + crlf("Numlock\n\t*Off\n");
    const Outcome host = changeOnDefaultUnit(true, marked);
    const Outcome program = changeOnDefaultUnit(false, marked);
    EXPECT_EQ(host.result.status, 0);
    EXPECT_EQ(host.log, "fn=0 sub=00 cf=0\nfn=14 sub=01 cf=0 cl=00\n");
    EXPECT_EQ(program.log, host.log);
    EXPECT_EQ(program.result.status, 0);
}

}  // namespace
