// FolvaneCheck on what W reads in a way a file's author would not expect: texts after a time,
// bytes that end a line's text or the whole input, line ends of other systems, and what a
// golden file gives every unit alike. Each warning with its line, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "check.h"
#include "test_check_support.h"

namespace {

using Lines = std::vector<std::string>;

CheckReport checkText(const std::string& text, const CheckOptions& options = {}) {
    FILE* file = text.empty() ? std::tmpfile() : fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    const CheckReport report = checkDataFile(file, options);
    std::fclose(file);
    return report;
}

Lines check(const std::string& text, bool withPlan = false, const CheckOptions& options = {}) {
    return check_testing::printedLines(checkText(text, options), withPlan);
}

std::string w(size_t line, const std::string& text) { return std::to_string(line) + ": warning: " + text; }
std::string n(size_t line, const std::string& text) { return std::to_string(line) + ": note: " + text; }

struct Case {
    const char* name;
    std::string file;
    Lines report;  // with the plan
};

void expectReports(const std::vector<Case>& cases, const CheckOptions& options = {}) {
    for (const Case& c : cases) EXPECT_EQ(check(c.file, true, options), c.report) << c.name;
}

const std::string kNoon = "; W sets the wake time to 12:00";
const std::string kRefusedForNoSection =
    " error: no setting section; W refuses it: give it a section, a header line as R writes it";

TEST(CheckSurprises, TimeLines) {
    expectReports({
        {"text after the minutes",
         "Wake On RTC\n\t*Monday\n\t6:05pm\n",
         {w(3, "time line \"6:05pm\" holds more than a time; W reads it as 6:05"), "1: setWakeOnRtc 0x06050002"}},
        {"text between the hour and the colon, and no minutes at all",
         "Wake On RTC\n\t7h:30\nWake On RTC\n\t7:pm\n",
         {w(2, "time line \"7h:30\" holds more than a time; W reads it as 7:30"),
          w(3, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(4, "time line \"7:pm\" holds more than a time; W reads it as 7:00"), "1: setWakeOnRtc 0x071E0000",
          "3: setWakeOnRtc 0x07000000"}},
        {"blanks and signs around the numbers are no text",
         "Wake On RTC\n\t 7 : +30 \t\n",
         {"1: setWakeOnRtc 0x071E0000"}},
        {"a time that wraps to 0:00 is a warning at its line; 0:00 itself a note",
         "Wake On RTC\n\t256:256\nWake On RTC\n\t0:-256\nWake On RTC\n\t0:00\n",
         {w(2, "time line \"256:256\" reads as 0:00 (each number cut to 8 bits), which counts as no time" + kNoon),
          w(3, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(4, "time line \"0:-256\" reads as 0:00 (each number cut to 8 bits), which counts as no time" + kNoon),
          w(5, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          n(5, "the time reads as 0:00, which counts as no time" + kNoon), "1: setWakeOnRtc 0x0C000000",
          "3: setWakeOnRtc 0x0C000000", "5: setWakeOnRtc 0x0C000000"}},
        {"only the last time line counts for 0:00",
         "Wake On RTC\n\t256:0\n\t7:30\n",
         {w(3, "another time line (the first is on line 2); W uses the last one"), "1: setWakeOnRtc 0x071E0000"}},
    });
}

TEST(CheckSurprises, TagsAndBootNames) {
    expectReports({
        {"an asset tag ending in blanks",
         "Asset Tracking Number\n\tROOM 7 \t\n",
         {w(2, "the asset tag ends in blanks; W keeps them as part of the tag"), "2: setAssetTag \"ROOM 7 \\t\""}},
        {"the boot device Unknown, at its own line",
         "Boot Order\n\tLAN\n\tUnknown\n\tDisabled\n\tUnknown\n",
         {w(3, "boot device \"Unknown\" stands for any code that the table lacks; W sets code 7"),
          w(5, "boot device \"Unknown\" stands for any code that the table lacks; W sets code 7"),
          "1: setBootSequence 6 7 15 7 255"}},
    });
}

TEST(CheckSurprises, BytesThatEndTheTextOrTheInput) {
    const std::string zeroInChoice("Numlock\n\t*On\0ly\nUSB Controller\n\t*Enabled\n", 40);
    const std::string zeroInHeader("Num\0lock\n\t*On\n", 14);
    const std::string zeroInLastLine("Numlock\n\t*Of\0f", 14);
    const std::string zeroAtTheEnd("Numlock\n\t*On\0\0", 14);
    expectReports({
        {"a zero byte in an entry line: W reads the text before it",
         zeroInChoice,
         {w(2, "zero byte inside the line; W's text ends there, and W ignores the rest of the line"), "2: setNumlock 1",
          "4: setUsbController 1"}},
        {"a zero byte in a header line",
         zeroInHeader,
         {w(1, "zero byte inside the line; W's text ends there, and W ignores the rest of the line"),
          w(1, "header \"Num\" names no section; W skips it and its entry lines"), kRefusedForNoSection}},
        {"a zero byte in the last line, which has no line feed",
         zeroInLastLine,
         {w(2, "zero byte inside the line; W's text ends there, and W ignores the rest of the line"),
          w(2, "marked text \"*Of\" names no option of \"Numlock\"; W ignores the line (did you mean \"*Off\"?)")}},
        {"zero bytes that only the end of the file follows hide no text", zeroAtTheEnd, {"2: setNumlock 1"}},
        {"a Ctrl-Z in the middle of a line: the text before it is the last line",
         "Numlock\n\t*On\nBoot Order\n\tLAN\n\tFlo\x1Appy\n\tUSB\nUSB Controller\n\t*Disabled\n",
         {w(5, "boot device \"Flo\" matches no device name; W drops it"),
          w(5, "Ctrl-Z byte (1Ah); the device's text mode ends the input there, so W reads nothing after it"),
          "2: setNumlock 1", "3: setBootSequence 6 255"}},
        {"a Ctrl-Z at the start of a line",
         "Numlock\n\t*On\n\x1AUSB Controller\n\t*Disabled\n",
         {w(3, "Ctrl-Z byte (1Ah); the device's text mode ends the input there, so W reads nothing after it"),
          "2: setNumlock 1"}},
        {"a Ctrl-Z right after a whole piece: the line ends there, in one piece",
         "Asset Tracking Number\n\t" + std::string(254, 'a') + "\x1A\nNumlock\n\t*On\n",
         {w(2, "asset tag of 254 characters; W sets it, but R cannot read a tag of 64 characters or more back"),
          w(2, "Ctrl-Z byte (1Ah); the device's text mode ends the input there, so W reads nothing after it"),
          "2: setAssetTag \"" + std::string(254, 'a') + "\""}},
        {"a Ctrl-Z after a zero byte ends the input all the same",
         std::string("Numlock\n\t*On\0x\x1A\nNumlock\n\t*Off\n", 24),
         {w(2, "zero byte inside the line; W's text ends there, and W ignores the rest of the line"),
          w(2, "Ctrl-Z byte (1Ah); the device's text mode ends the input there, so W reads nothing after it"),
          "2: setNumlock 1"}},
    });
}

TEST(CheckSurprises, LineEndsAndByteOrderMark) {
    const std::string kByteOrderMark = "\xEF\xBB\xBF";
    expectReports({
        {"lines that end in a carriage return alone after a first line longer than a piece: one warning for the file",
         std::string(255, 'x') + "Numlock\r\t*On\r" + std::string(300, 'x') + "\rUSB Controller\r\t*Enabled\r",
         {" warning: the lines end in a carriage return alone; W ends lines at line feeds only, so it reads the file "
          "as long lines cut into pieces of 255 characters, each piece a line of its own",
          w(1, "header \"" + std::string(255, 'x') + "\" names no section; W skips it and its entry lines"),
          w(1, "header line \"Numlock\\r\\t*On\\r" + std::string(242, 'x') +
                   "\" is read as \"Numlock\"; W ignores the rest of the line"),
          w(1, "header \"" + std::string(58, 'x') +
                   "\\rUSB Controller\\r\\t*Enabled\\r\" names no section; W skips "
                   "it and its entry lines")}},
        {"carriage returns at a line's end alone are stray ones",
         "Numlock\n\t*On\r\r\n",
         {w(2, "carriage return inside the line; W keeps it as part of the text"),
          w(2, "marked text \"*On\\r\" names no option of \"Numlock\"; W ignores the line (did you mean \"*On\"?)")}},
        {"a second UTF-8 byte-order mark before the first header",
         kByteOrderMark + kByteOrderMark + "Numlock\n\t*On\nNumlock\n\t*Off\n",
         {w(1,
            "UTF-8 byte-order mark before the header \"Numlock\"; W reads the mark as part of the header, which "
            "then names no section, and skips it and its entry lines"),
          "4: setNumlock 0"}},
        {"a byte-order mark before a misspelt header",
         kByteOrderMark + "Numlok\n",
         {w(1, "header \"Numlok\" names no section; W skips it and its entry lines (did you mean \"Numlock\"?)"),
          kRefusedForNoSection}},
        {"the same bytes later in the file are no byte-order mark",
         "Numlock\n" + kByteOrderMark + "Numlock\n",
         {w(2, "header \"\\357\\273\\277Numlock\" names no section; W skips it and its entry lines")}},
    });
}

TEST(CheckSurprises, AGoldenFileWarnsOfWhatEveryUnitGetsAlike) {
    CheckOptions golden;
    golden.golden = true;
    expectReports(
        {
            {"a tag, and a password section without entry line",
             "Setup Password\n\t\nPower-On Password\nAsset Tracking Number\n\tROOM-7\n",
             {w(3,
                "no entry line under \"Power-On Password\" in a golden file; W clears the power-on password on "
                "every unit (a blank entry line keeps each unit's own)"),
              w(5,
                "asset tag \"ROOM-7\" in a golden file; W gives every unit the same tag (delete the section to "
                "keep each unit's own)"),
              "3: setUserPassword (cleared)", "5: setAssetTag \"ROOM-7\""}},
            {"a blank entry line and no tag section pass", "Setup Password\n\t\nPower-On Password\n\t\n", {}},
        },
        golden);
    // Without the option, the cleared password is a note and the tag nothing at all.
    EXPECT_EQ(check("Power-On Password\nAsset Tracking Number\n\tROOM-7\n"),
              (Lines{n(1, "no entry line under \"Power-On Password\"; W clears the power-on password")}));
}

TEST(CheckSurprises, EachDiagnosticKnowsItsSection) {
    const std::string file = "\t*On\nNumlok\n\t*On\n" + std::string("Numlock \r\r\n") + "\t*on\nBoot Order\n\tUnknown";
    std::vector<std::pair<size_t, std::string>> sections;
    for (const Diagnostic& d : checkText(file).diagnostics) {
        sections.emplace_back(d.line, d.section != nullptr ? d.section->header : "-");
    }
    EXPECT_EQ(sections, (std::vector<std::pair<size_t, std::string>>{
                            {1, "-"}, {2, "-"}, {4, "Numlock"}, {4, "Numlock"}, {5, "Numlock"}, {7, "Boot Order"}}));
}

}  // namespace
