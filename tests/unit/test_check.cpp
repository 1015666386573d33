// FolvaneCheck's report on data files, read without a unit: each warning and note with its
// line, byte for byte, and the plan's line formats.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "check.h"
#include "test_check_support.h"

namespace {

using Lines = std::vector<std::string>;

CheckReport checkText(const std::string& text) {
    FILE* file = text.empty() ? std::tmpfile() : fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    const CheckReport report = checkDataFile(file);
    std::fclose(file);
    return report;
}

Lines check(const std::string& text, bool withPlan = false) {
    return check_testing::printedLines(checkText(text), withPlan);
}

std::string w(size_t line, const std::string& text) { return std::to_string(line) + ": warning: " + text; }
std::string n(size_t line, const std::string& text) { return std::to_string(line) + ": note: " + text; }

struct Case {
    const char* name;
    std::string file;
    Lines report;
};

void expectReports(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(check(c.file), c.report) << c.name;
}

const std::string kIgnores = "; W ignores the line";
const std::string kSetsNothing = " error: no setting section; W refuses it: give it a section, a header line as R writes it";

TEST(Check, HeadersAndLines) {
    expectReports({
        {"entry lines before the first header; blank ones are harmless",
         "\n\t*On\n  \nNumlock\n",
         {w(2, "entry line before the first header; W ignores it")}},
        {"a header a letter away",
         "Numlok\n\t*On\n",
         {w(1, "header \"Numlok\" names no section; W skips it and its entry lines (did you mean \"Numlock\"?)"), kSetsNothing}},
        {"a header in other letter case, also with more words",
         "BOOT ORDER\n\tLAN\nnumlock on\n",
         {w(1, "header \"BOOT ORDER\" names no section; W skips it and its entry lines (did you mean \"Boot Order\"?)"),
          w(3, "header \"numlock on\" names no section; W skips it and its entry lines (did you mean \"Numlock\"?)"), kSetsNothing}},
        {"a marked header, and one near nothing",
         "*Numlock\nKeyboard\n",
         {w(1, "header \"*Numlock\" names no section; W skips it and its entry lines (did you mean \"Numlock\"?)"),
          w(2, "header \"Keyboard\" names no section; W skips it and its entry lines"), kSetsNothing}},
        {"a header as the prefix of a longer text, blanks included",
         "Numlock extra\nUSB Controller \n",
         {w(1, "header line \"Numlock extra\" is read as \"Numlock\"; W ignores the rest of the line"),
          w(2, "header line \"USB Controller \" is read as \"USB Controller\"; W ignores the rest of the line")}},
        {"a section that occurs again",
         "Numlock\n\t*On\nBoot Order\n\tLAN\nNumlock\n\t*Off\n",
         {w(5, "\"Numlock\" occurs again (first on line 1); W applies each occurrence in turn")}},
        {"254 characters before the line feed fit; 255 do not",
         "Asset Tracking Number\n\t" + std::string(253, 'a') + "\nAsset Tracking Number\n\t" + std::string(254, 'b') +
             "\n",
         {w(2, "asset tag of 253 characters; W sets it, but R cannot read a tag of 64 characters or more back"),
          w(3, "\"Asset Tracking Number\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(4, "line longer than 254 characters; W reads it in pieces of 255 characters, each as a line of its own"),
          w(4, "entry line under \"Asset Tracking Number\" is a piece of a line longer than 254 characters; W refuses "
               "the line and sets no asset tag from it")}},
        {"a carriage return inside a line, once per line",
         "Numlock\n\t*O\rn\r\r\n" + std::string(300, '\r') + "\n",
         {w(2, "carriage return inside the line; W keeps it as part of the text"),
          w(2, "marked text \"*O\\rn\\r\" names no option of \"Numlock\"" + kIgnores),
          w(3, "line longer than 254 characters; W reads it in pieces of 255 characters, each as a line of its own"),
          w(3, "carriage return inside the line; W keeps it as part of the text")}},
        {"CR LF line ends, as the device writes them, are no carriage return", "Numlock\r\n\t*On\r\n", {}},
        {"an empty file", "", {kSetsNothing}},
        {"a last line without line feed that ends in a carriage return",
         "Numlock\n\t*On\r",
         {w(2, "carriage return inside the line; W keeps it as part of the text"),
          w(2, "marked text \"*On\\r\" names no option of \"Numlock\"" + kIgnores + " (did you mean \"*On\"?)")}},
    });
}

TEST(Check, Choices) {
    expectReports({
        {"a blank after the mark, and letter case",
         "USB Controller\n\t* Enabled\n\t*enabled\n\t*Enabled \n",
         {w(2, "marked text \"* Enabled\" names no option of \"USB Controller\"" + kIgnores +
                   " (did you mean \"*Enabled\"?)"),
          w(3, "marked text \"*enabled\" names no option of \"USB Controller\"" + kIgnores +
                   " (did you mean \"*Enabled\"?)"),
          w(4, "marked text \"*Enabled \" names no option of \"USB Controller\"" + kIgnores +
                   " (did you mean \"*Enabled\"?)")}},
        {"unmarked texts; short names are not guessed at",
         "Numlock\n\tOnn\n\tX\n\t*\n",
         {w(2, "text \"Onn\" names no option of \"Numlock\"" + kIgnores),
          w(3, "text \"X\" names no option of \"Numlock\"" + kIgnores),
          w(4, "marked text \"*\" names no option of \"Numlock\"" + kIgnores)}},
        {"a misspelt unmarked option",
         "PWRON After PWR-Fail\n\tFormer stat\n",
         {w(2, "text \"Former stat\" names no option of \"PWRON After PWR-Fail\"" + kIgnores +
                   " (did you mean \"Former state\"?)")}},
        {"more than one marked line: each is set",
         "Serial Port Address\n\t*3F8h/IRQ4\n\tDisabled\n\t*Disabled\n\t*2E8h/IRQ3\n",
         {w(4,
            "another marked option in \"Serial Port Address\" (the first is on line 2); W sets each in turn, so the "
            "last one stays"),
          w(5,
            "another marked option in \"Serial Port Address\" (the first is on line 2); W sets each in turn, so the "
            "last one stays")}},
        {"one marked line in each occurrence is no second mark",
         "Numlock\n\t*On\nNumlock\n\t*Off\n",
         {w(3, "\"Numlock\" occurs again (first on line 1); W applies each occurrence in turn")}},
    });
}

const std::string kDmaReset = "; W sets the DMA channel back to \"DMA1\"";

TEST(Check, EcpDmaAndPrinterMode) {
    expectReports({
        {"a DMA channel with no printer mode before it",
         "ECP Mode Use DMA\n\tDMA1\n\t*DMA3\n",
         {w(3,
            "\"DMA3\" is marked with no printer mode set before it in the file; W sets it only if the unit's "
            "printer mode is ECP or ECP/EPP, and does nothing otherwise")}},
        {"an unmarked printer mode section sets no mode",
         "Printer Mode\n\tECP\nECP Mode Use DMA\n\t*DMA1\n",
         {w(4,
            "\"DMA1\" is marked with no printer mode set before it in the file; W sets it only if the unit's "
            "printer mode is ECP or ECP/EPP, and does nothing otherwise")}},
        {"a DMA channel under Output-Only and EPP",
         "Printer Mode\n\t*Output-Only\nECP Mode Use DMA\n\t*DMA3\n"
         "Printer Mode\n\t*EPP\nECP Mode Use DMA\n\t*DMA1\n",
         {w(4,
            "\"DMA3\" is marked while the file's printer mode is \"Output-Only\"; W does nothing with it, the "
            "channel applies to ECP and ECP/EPP only"),
          w(5, "\"Printer Mode\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(7, "\"ECP Mode Use DMA\" occurs again (first on line 3); W applies each occurrence in turn"),
          w(8,
            "\"DMA1\" is marked while the file's printer mode is \"EPP\"; W does nothing with it, the channel "
            "applies to ECP and ECP/EPP only")}},
        {"a printer mode after DMA3 undoes it",
         "Printer Mode\n\t*ECP\nECP Mode Use DMA\n\t*DMA3\nPrinter Mode\n\t*ECP/EPP\n",
         {w(5, "\"Printer Mode\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(6, "a printer mode after \"DMA3\" was chosen on line 4" + kDmaReset)}},
        {"also when the DMA choice depended on the unit",
         "ECP Mode Use DMA\n\t*DMA3\nPrinter Mode\n\t*ECP\n",
         {w(2,
            "\"DMA3\" is marked with no printer mode set before it in the file; W sets it only if the unit's "
            "printer mode is ECP or ECP/EPP, and does nothing otherwise"),
          w(4, "a printer mode after \"DMA3\" was chosen on line 2" + kDmaReset)}},
        {"after DMA1 a printer mode changes no channel",
         "Printer Mode\n\t*ECP\nECP Mode Use DMA\n\t*DMA3\n\t*DMA1\n"
         "Printer Mode\n\t*ECP\n",
         {w(5,
            "another marked option in \"ECP Mode Use DMA\" (the first is on line 4); W sets each in turn, so the "
            "last one stays"),
          w(6, "\"Printer Mode\" occurs again (first on line 1); W applies each occurrence in turn")}},
        {"a misspelt channel",
         "Printer Mode\n\t*ECP\nECP Mode Use DMA\n\t*DMA 3\n",
         {w(4, "marked text \"*DMA 3\" names no option of \"ECP Mode Use DMA\"" + kIgnores +
                   " (did you mean \"*DMA3\"?)")}},
    });
}

TEST(Check, BootOrder) {
    std::string sixteen = "Boot Order\n";
    for (int i = 0; i < 17; ++i) sixteen += i % 2 ? "\tLAN\n" : "\tUSB\n";
    expectReports({
        {"a name that matches nothing, a marked name",
         "Boot Order\n\tZIP250\n\t*Floppy\n\t* Hard Disk\n\tusb\n\tLAN\n",
         {w(2, "boot device \"ZIP250\" matches no device name; W drops it (did you mean \"ZIP100\"?)"),
          w(3,
            "marked boot device \"*Floppy\"; the boot order takes no marks, W drops the line (did you mean "
            "\"Floppy\"?)"),
          w(4,
            "marked boot device \"* Hard Disk\"; the boot order takes no marks, W drops the line (did you mean "
            "\"Hard Disk\"?)"),
          w(5, "boot device \"usb\" matches no device name; W drops it (did you mean \"USB\"?)")}},
        {"more than 15 names",
         sixteen,
         {w(17, "more than 15 boot devices; W keeps the first 15 and drops \"LAN\""),
          w(18, "more than 15 boot devices; W keeps the first 15 and drops \"USB\"")}},
        {"no name at all: blank lines and unknown names count for nothing",
         "Boot Order\n\n\tNone\nNumlock\nBoot Order",
         {w(1, "\"Boot Order\" names no boot device; W leaves the unit with an empty boot order"),
          w(3, "boot device \"None\" matches no device name; W drops it"),
          w(5, "\"Boot Order\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(5, "\"Boot Order\" names no boot device; W leaves the unit with an empty boot order")}},
    });
}

const std::string kNoon = "; W sets the wake time to 12:00";

TEST(Check, WakeOnRtc) {
    expectReports({
        {"a time line without colon",
         "Wake On RTC\n\t7:30\n\t730\n",
         {w(3, "time line \"730\" has no \":\"; W ignores it")}},
        {"hours and minutes as W reads them, cut to 8 bits",
         "Wake On RTC\n\t24:00\nWake On RTC\n\t7:60\nWake On RTC\n\t300:5\nWake On RTC\n\t8: -1\nWake On "
         "RTC\n\t256:30\n"
         "Wake On RTC\n\t23:59\n",
         {w(2,
            "the time reads as hour 24, minute 0 (each number cut to 8 bits), which is no time of day; W sets it as it "
            "is"),
          w(3, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(4,
            "the time reads as hour 7, minute 60 (each number cut to 8 bits), which is no time of day; W sets it as it "
            "is"),
          w(5, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(6,
            "the time reads as hour 44, minute 5 (each number cut to 8 bits), which is no time of day; W sets it as it "
            "is"),
          w(7, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(8,
            "the time reads as hour 8, minute 255 (each number cut to 8 bits), which is no time of day; W sets it as "
            "it is"),
          w(9, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(11, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn")}},
        {"more than one time line; a marked one is a time line too",
         "Wake On RTC\n\t*Monday\n\t7:30\n\t*8:15\n",
         {w(4, "another time line (the first is on line 3); W uses the last one")}},
        {"no time, 0:00, and a time that reads as 0:00",
         "Wake On RTC\n\t*Monday\nNumlock\nWake On RTC\n\t0:00\n"
         "Wake On RTC\n\t512:0\n",
         {n(1, "\"Wake On RTC\" gives no time" + kNoon),
          w(4, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          n(4, "the time reads as 0:00, which counts as no time" + kNoon),
          w(6, "\"Wake On RTC\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(7, "time line \"512:0\" reads as 0:00 (each number cut to 8 bits), which counts as no time" + kNoon)}},
        {"an unknown day",
         "Wake On RTC\n\t*Funday\n\tmonday\n\t6:05\n",
         {w(2,
            "marked text \"*Funday\" names no option of \"Wake On RTC\"" + kIgnores + " (did you mean \"*Sunday\"?)"),
          w(3, "text \"monday\" names no option of \"Wake On RTC\"" + kIgnores + " (did you mean \"Monday\"?)")}},
    });
}

TEST(Check, PasswordsAndAssetTag) {
    expectReports({
        {"a password beginning with a star, one ending in blanks",
         "Setup Password\n\t*secret\nPower-On Password\n\tpw \t\n",
         {w(2, "the setup password begins with \"*\"; W sets the whole text, the \"*\" included, as the password"),
          w(4, "the power-on password ends in blanks; W makes them part of the password")}},
        {"further entry lines; a blank first line keeps the password",
         "Setup Password\n\n\tnew\n\t\nPower-On Password\n\tpw\n\tpw\n",
         {w(3, "further entry line under \"Setup Password\"; W ignores it, only the first entry line counts"),
          w(7, "further entry line under \"Power-On Password\"; W ignores it, only the first entry line counts")}},
        {"no entry line clears, also at the end of the file",
         "Setup Password\nNumlock\nPower-On Password",
         {n(1, "no entry line under \"Setup Password\"; W clears the setup password"),
          n(3, "no entry line under \"Power-On Password\"; W clears the power-on password")}},
        {"more than one tag line; blank ones do nothing",
         "Asset Tracking Number\n\tA-1\n\t\n\tB-2\n\tC-3\n",
         {w(4, "another asset tag line (the first is on line 2); W sets each in turn, so the last one stays"),
          w(5, "another asset tag line (the first is on line 2); W sets each in turn, so the last one stays")}},
        {"63 characters come back through R; 64 do not",
         "Asset Tracking Number\n\t" + std::string(63, 't') + "\nAsset Tracking Number\n\t  " + std::string(64, 'u') +
             "\n",
         {w(3, "\"Asset Tracking Number\" occurs again (first on line 1); W applies each occurrence in turn"),
          w(4, "asset tag of 64 characters; W sets it, but R cannot read a tag of 64 characters or more back")}},
    });
}

TEST(Check, PlanLines) {
    const std::string file =
        "Setup Password\n\tab c \nPower-On Password\nAsset Tracking Number\n\ta\"b\\c\td\xFF"
        "7\n"
        "ECP Mode Use DMA\n\t*DMA3\nPrinter Mode\n\t*ECP/EPP\nECP Mode Use DMA\n\t*DMA3\nEPP\n"
        "Parallel Port EPP Type\n\t*EPP 1.7\nBoot Order\n\tLAN\n\tUnknown\n\tDisabled\nWake On RTC\n\t*Sunday\n"
        "\t*Saturday\n\t7:30\nS3 Support\n\t*Enabled\n";
    const Lines all = check(file, true);
    const Lines plan(all.end() - 10, all.end());
    EXPECT_EQ(plan, (Lines{"2: setAdminPassword (5 characters)", "3: setUserPassword (cleared)",
                           "5: setAssetTag \"a\\\"b\\\\c\\td\\3777\"",
                           "7: setParallelMode DMA=1 (only if the unit's printer mode is ECP or ECP/EPP)",
                           "9: setParallelMode 0x0003", "11: setParallelMode 0x0103", "14: setEppType 1",
                           "15: setBootSequence 6 7 15 255", "19: setWakeOnRtc 0x071E0041", "24: setS3Support 1"}));
    // Without --plan, the diagnostics alone.
    EXPECT_EQ(check(file), Lines(all.begin(), all.end() - 10));
}

}  // namespace
