// W against simulated units: the firmware calls it makes, its messages, its statuses, and the
// round trip of R's file from one unit onto another.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "datafile.h"
#include "firmware_interface.h"
#include "random_unit.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"
#include "test_support.h"

namespace {

using testing_support::exampleFile;
using testing_support::TempDir;
using testing_support::wide;

struct Outcome {
    int status;
    std::string console;  // without the version line
    sim::Settings settings;
    size_t calls;
};

Outcome change(const std::string& state, const std::string& file) {
    TempDir dir;
    const std::string path = dir.file("in.txt");
    testing_support::writeFile(path, file);
    sim::ScopedUnit unit(state);
    EXPECT_TRUE(unit.ok()) << unit.error();
    host::ConsoleCapture console;
    const int status = changeSettings(wide(path).c_str());
    EXPECT_FALSE(unit.unit().regionsHeld());
    std::string text = console.text();
    const std::string version = "Zentos Spec Version 1.02\n\n";
    if (text.compare(0, version.size(), version) == 0) text.erase(0, version.size());
    return {status, text, unit.settings(), unit.unit().calls().size()};
}

TEST(Change, ExampleFileOntoTheDefaultUnitChangesNothingWithSixteenCalls) {
    const Outcome out = change("", exampleFile());
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.console, "");
    EXPECT_TRUE(out.settings == sim::Settings{});
    EXPECT_EQ(out.calls, 16u);
}

TEST(Change, ExampleFileConfiguresAnotherUnit) {
    const Outcome out = change(
        "admin_password = \"\"\nuser_password = pw\nasset_tag = OLD\nserial_port = 0\nparallel_port = 0\n"
        "parallel_mode = 0\nepp_type = 1\nboot_sequence = 0\nps2_port = 1\npower_on_after_fail = 0\n"
        "usb_controller = 0\nwake_days = 0\nwake_hour = 1\nwake_minute = 2\nnumlock = 0\ns3_support = 1",
        exampleFile());
    sim::Settings expected;
    expected.adminPassword = "";  // an empty entry line keeps the password the unit has
    EXPECT_TRUE(out.settings == expected);
    EXPECT_EQ(out.status, 0);
}

TEST(Change, EveryFailedSetPrintsBothLines) {
    struct Case {
        const char* fail;
        const char* file;
        const char* console;
    };
    const Case cases[] = {
        {"setAdminPassword", "Setup Password\n\tn\xE9w pw\n",
         "***ERROR*** Failed to set administrator password!\n***ERROR*** Failed to set admin password (n\xE9w pw)!\n"},
        {"setAdminPassword", "Setup Password\n",
         "***ERROR*** Failed to set administrator password!\n***ERROR*** Failed to clear admin password!\n"},
        {"setUserPassword", "Power-On Password\n\t%s%d\n",
         "***ERROR*** Failed to set user password!\n***ERROR*** Failed to set user password (%s%d)!\n"},
        {"setUserPassword", "Power-On Password",
         "***ERROR*** Failed to set user password!\n***ERROR*** Failed to clear user password!\n"},
        {"setAssetTag", "Asset Tracking Number\n\tT\xFF-1\n",
         "***ERROR*** Failed to set asset tag!\n***ERROR*** Failed to set asset tag (T\xFF-1)!\n"},
        {"setSerialPort", "Serial Port Address\n\t*2E8h/IRQ3\n",
         "***ERROR*** Failed to set serial port setting!\n***ERROR*** Failed to set serial port address (4)!\n"},
        {"setParallelPort", "Parallel Port Address\n\t*Disabled\n",
         "***ERROR*** Failed to set parallel port setting!\n***ERROR*** Failed to set parallel port address (0)!\n"},
        {"setParallelMode", "Printer Mode\n\t*ECP/EPP\n",
         "***ERROR*** Failed to set parallel port mode!\n***ERROR*** Failed to set printer mode (3)!\n"},
        {"setParallelMode", "ECP Mode Use DMA\n\t*DMA1\n",
         "***ERROR*** Failed to set parallel port mode!\n***ERROR*** Failed to set ECP DMA (0)!\n"},
        {"getParallelMode", "ECP Mode Use DMA\n\t*DMA1\n", "***ERROR*** Failed to get parallel port mode!\n"},
        {"setEppType", "Parallel Port EPP Type\n\t*EPP 1.7\n",
         "***ERROR*** Failed to set parallel port EPP type!\n***ERROR*** Failed to set parallel port EPP type (1)!\n"},
        {"setBootSequence", "Boot Order\n\tLAN\n",
         "***ERROR*** Failed to set boot sequence!\n***ERROR*** Failed to set boot sequence!\n"},
        {"setPs2Port", "PS/2 Port Status\n\t*PS/2 port is mouse\n",
         "***ERROR*** Failed to set PS2 port setting!\n***ERROR*** Failed to set PS/2 port setting (1)!\n"},
        {"setPowerOnAfterFail", "PWRON After PWR-Fail\n\t*On\n",
         "***ERROR*** Failed to set PWRON_After_PWRFail setting!\n"
         "***ERROR*** Failed to set PWRON_After_PWRFail setting (1)!\n"},
        {"setUsbController", "USB Controller\n\t*Disabled\n",
         "***ERROR*** Failed to set USB controller setting!\n***ERROR*** Failed to set USB controller setting (0)!\n"},
        {"setWakeOnRtc", "Wake On RTC\n\t*Monday\n",
         "***ERROR*** Failed to set Wake on RTC setting!\n***ERROR*** Failed to set Wake on RTC setting (201326594)!\n"},
        {"setWakeOnRtc", "Wake On RTC\n\t*Sunday\n\t255:0\n",
         "***ERROR*** Failed to set Wake on RTC setting!\n***ERROR*** Failed to set Wake on RTC setting (-16777215)!\n"},
        {"setNumlock", "Numlock\n\t*Off\n",
         "***ERROR*** Failed to set Numlock setting!\n***ERROR*** Failed to set Numlock setting (0)!\n"},
        {"setS3Support", "S3 Support\n\t*Enabled\n",
         "***ERROR*** Failed to set S3 setting!\n***ERROR*** Failed to set S3 setting (1)!\n"},
    };
    for (const Case& c : cases) {
        // The failing section comes first: the run carries on with the next one.
        std::string file = c.file;
        if (file.back() != '\n') file += '\n';
        const Outcome out = change(std::string("fail = ") + c.fail, file + "Numlock\n\t*Off\n");
        EXPECT_EQ(out.status, 0) << c.fail;
        EXPECT_EQ(out.console.substr(0, std::string(c.console).size()), c.console) << c.fail << " " << c.file;
        if (std::string(c.fail) != "setNumlock") {
            EXPECT_EQ(out.settings.choice(kFnNumlock), 0) << c.fail;
        }
    }
}

// A file whose lines end in a carriage return alone reads as long lines cut into pieces, where
// its first line is too long to show its end (W refuses the others); a piece that begins with a
// password's header used to set the password to the file's next sections, or clear it. Damaged
// lines give no password and no tag; every other section reads as before.
TEST(Change, DamagedLinesChangeNoPasswordAndNoTag) {
    const std::string unit = "admin_password = \"adm\"\nuser_password = \"usr\"\nasset_tag = \"OLD\"\nnumlock = 0\n";
    // A first line longer than a piece shows no line end to look at; the header ends the first piece, so the second begins with its entry line, or a header.
    const std::string filler = "Keyboard" + std::string(255 - 8, ' ');
    const std::string headerAtPiece = filler + "Setup Password\r" + std::string(240, 'x');
    struct Case {
        const char* name;
        std::string file;
        const char* console;
        const char* admin;
        const char* user;
        const char* tag;
    };
    const Case cases[] = {
        {"a header piece followed by an entry piece", headerAtPiece + "\tpassword\rNumlock\r\t*On\r",
         "***ERROR*** Invalid admin password text!\n", "adm", "usr", "OLD"},
        {"a header piece followed by a header piece", headerAtPiece + "Power-On Password\r",
         "***ERROR*** Invalid admin password text!\n***ERROR*** Invalid user password text!\n", "adm", "usr", "OLD"},
        {"a control byte in the header", "Power-On Password\x1B\n\tnew\nSetup Password\n\tnew\n",
         "***ERROR*** Invalid user password text!\n", "new", "usr", "OLD"},
        {"a control byte in the first entry line", "Setup Password\n\tn\x7F" "ew\n\tnew\nPower-On Password\n\t\x01\n",
         "***ERROR*** Invalid admin password text!\n***ERROR*** Invalid user password text!\n", "adm", "usr", "OLD"},
        {"a password line longer than a piece", "Power-On Password\n\t" + std::string(300, 'p') + "\n",
         "***ERROR*** Invalid user password text!\n", "adm", "usr", "OLD"},
        {"tags: a tab is text, a control byte refuses its line",
         "Asset Tracking Number\n\tA\tB\n\tROOM\x1B[7\nNumlock\n\t*On\n", "***ERROR*** Invalid asset tag text!\n",
         "adm", "usr", "A\tB"},
        {"a tag header with a zero byte", std::string("Asset Tracking Number\0\n\tNEW\n", 28),
         "***ERROR*** Invalid asset tag text!\n", "adm", "usr", "OLD"},
        {"line ends of the device", "Setup Password\r\n\tnew\r\nAsset Tracking Number\r\n\tT-1\r\n", "", "new", "usr",
         "T-1"},
    };
    for (const Case& c : cases) {
        const Outcome out = change(unit, c.file);
        EXPECT_EQ(out.status, 0) << c.name;
        EXPECT_EQ(out.console, c.console) << c.name;
        EXPECT_EQ(out.settings.adminPassword, c.admin) << c.name;
        EXPECT_EQ(out.settings.userPassword, c.user) << c.name;
        EXPECT_EQ(out.settings.assetTag, c.tag) << c.name;
    }
    // Numlock, after the refused sections, is set all the same.
    EXPECT_EQ(change(unit, headerAtPiece + "\tpassword\r\nNumlock\n\t*On\n").settings.choice(kFnNumlock), 1);
}

TEST(Change, EcpDmaBeforeAndAfterPrinterMode) {
    // "Printer Mode" writes the DMA byte as 0, so only a DMA choice after it survives.
    EXPECT_EQ(change("", "Printer Mode\n\t*ECP\nECP Mode Use DMA\n\t*DMA3\n").settings.choice(kFnParallelMode), 0x0102);
    EXPECT_EQ(change("", "ECP Mode Use DMA\n\t*DMA3\nPrinter Mode\n\t*ECP\n").settings.choice(kFnParallelMode), 0x0002);
    const Outcome epp = change("parallel_mode = 0x0001", "ECP Mode Use DMA\n\t*DMA3\n");
    EXPECT_EQ(epp.settings.choice(kFnParallelMode), 0x0001);
    EXPECT_EQ(epp.console, "");
    EXPECT_EQ(change("parallel_mode = 0x0003", "ECP Mode Use DMA\n\t*DMA3\n").settings.choice(kFnParallelMode), 0x0103);
}

TEST(Change, CarriageReturnFileGivesTheSameUnit) {
    std::string crlf;
    for (const char* p = exampleFile(); *p != '\0'; ++p) crlf += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    const std::string state = "serial_port = 3\nboot_sequence = 1\nwake_hour = 9\nasset_tag = X";
    const Outcome lf = change(state, exampleFile());
    const Outcome cr = change(state, crlf);
    EXPECT_TRUE(lf.settings == cr.settings);
    EXPECT_EQ(cr.settings.assetTag, "ROOM-7");
    EXPECT_EQ(cr.settings.bootSequence, (std::vector<uint8_t>{2, 5, 6}));
}

TEST(Change, FailuresOfTheRunItself) {
    sim::ScopedUnit unit("");
    host::ConsoleCapture console;
    EXPECT_EQ(changeSettings(L"/nonexistent-dir/in.txt"), 1);
    EXPECT_EQ(console.text(), "***ERROR*** Failed to open input file (/nonexistent-dir/in.txt)!\n");
    EXPECT_TRUE(unit.unit().calls().empty());
    console.clear();
    // A folder is no data file: refused before the service is constructed.
    EXPECT_EQ(changeSettings(L"/tmp"), 1);
    EXPECT_EQ(console.text(), "***ERROR*** Failed to open input file (/tmp)!\n");
    EXPECT_TRUE(unit.unit().calls().empty());
    EXPECT_FALSE(unit.unit().regionsHeld());
}

TEST(Change, UnavailableServiceChangesNothing) {
    const Outcome out = change("segment_map_error = 5", exampleFile());
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.console, "***ERROR*** VirtualCopy failed (00000005)!\n"
                           "***ERROR*** The BIOS settings service is not available; nothing was changed!\n");
    EXPECT_EQ(out.calls, 0u);
}

// What the second unit holds after W of the first unit's file, where the format loses a value.
sim::Settings expectedAfterRoundTrip(const sim::Settings& first, const sim::Settings& second) {
    sim::Settings e = first;
    e.adminPassword = first.adminPassword.empty() ? "" : second.adminPassword;  // kept when set
    e.userPassword = first.userPassword.empty() ? "" : second.userPassword;
    const bool tagCarried = first.assetTag.size() < 64 && !first.assetTag.empty() &&
                            std::none_of(first.assetTag.begin(), first.assetTag.end(),
                                         [](char c) {
                                             const auto byte = static_cast<unsigned char>(c);
                                             return (byte < 0x20 && c != '\t') || byte == 0x7F;
                                         });
    const size_t lead = first.assetTag.find_first_not_of(" \t");
    e.assetTag = !tagCarried || lead == std::string::npos ? second.assetTag : first.assetTag.substr(lead);
    // A value beyond the section's options is unnamed in the file, so the second unit keeps its own.
    const std::pair<uint8_t, uint16_t> optionCounts[] = {
        {kFnSerialPort, 5},       {kFnParallelPort, 4},  {kFnEppType, 2}, {kFnPs2Port, 2},
        {kFnPowerOnAfterFail, 3}, {kFnUsbController, 2}, {kFnNumlock, 2}, {kFnS3Support, 2},
    };
    for (const auto& [function, count] : optionCounts) {
        e.choice(function) = first.choice(function) < count ? first.choice(function) : second.choice(function);
    }
    // "Printer Mode" applies a named mode with DMA 0; a marked DMA (R marks one whenever the
    // low byte is 2 or more) then applies when the unit's mode by then is an ECP one.
    const uint8_t printer = static_cast<uint8_t>(first.choice(kFnParallelMode) & 0xFF);
    const uint8_t dma = static_cast<uint8_t>(first.choice(kFnParallelMode) >> 8);
    uint16_t mode = second.choice(kFnParallelMode);
    if (printer < 4) mode = printer;
    if (printer >= 2 && dma < 2 && (mode & 0xFF) >= 2) mode = static_cast<uint16_t>(dma << 8 | (mode & 0xFF));
    e.choice(kFnParallelMode) = mode;
    // Boot codes 8-14 and above 15 read back as 7; the first 15 of 16 codes are kept.
    e.bootSequence.clear();
    for (uint8_t code : first.bootSequence) {
        if (e.bootSequence.size() == 15) break;
        e.bootSequence.push_back(code >= 7 && code != 15 ? 7 : code);
    }
    e.wakeDays = first.wakeDays & 0x7F;
    const bool timeCarried = first.wakeHour != 0xFF && first.wakeMinute != 0xFF;
    e.wakeHour = timeCarried ? first.wakeHour : 0;
    e.wakeMinute = timeCarried ? first.wakeMinute : 0;
    if (e.wakeHour == 0 && e.wakeMinute == 0) e.wakeHour = 12;  // no time line, and 0:00, read back as 12:00
    return e;
}

TEST(RoundTrip, RetrieveOnOneUnitThenChangeOnAnotherCarriesEverySettingItCan) {
    testing_support::Rng rng(20261208);
    TempDir dir;
    const std::string path = dir.file("unit.txt");
    for (int i = 0; i < 300; ++i) {
        const std::string state = testing_support::randomUnit(rng, false, true);
        sim::Settings first;
        {
            sim::ScopedUnit unit(state);
            ASSERT_TRUE(unit.ok()) << unit.error() << "\n" << state;
            host::ConsoleCapture console;
            ASSERT_EQ(retrieveSettings(wide(path).c_str()), 0);
            first = unit.settings();
        }
        sim::ScopedUnit second("");
        host::ConsoleCapture console;
        ASSERT_EQ(changeSettings(wide(path).c_str()), 0);
        const sim::Settings expected = expectedAfterRoundTrip(first, sim::Settings{});
        EXPECT_TRUE(second.settings() == expected) << state << "\n--- file:\n" << testing_support::readFile(path);
        if (HasFailure()) break;
    }
}

TEST(RoundTrip, FailedReadsLeaveWhatTheFileStillSays) {
    TempDir dir;
    const std::string path = dir.file("unit.txt");
    {
        sim::ScopedUnit unit("fail = getBootSequence getWakeOnRtc getAdminPasswordState getSerialPort getAssetTag");
        host::ConsoleCapture console;
        ASSERT_EQ(retrieveSettings(wide(path).c_str()), 0);
    }
    sim::ScopedUnit second("serial_port = 4\nasset_tag = KEEP");
    host::ConsoleCapture console;
    ASSERT_EQ(changeSettings(wide(path).c_str()), 0);
    // R left the boot order and wake sections out, so W changes neither.
    EXPECT_EQ(second.settings().bootSequence, (std::vector<uint8_t>{2, 5, 6}));
    EXPECT_EQ(second.settings().wakeDays, 0x3E);
    EXPECT_EQ(second.settings().wakeHour, 6);
    EXPECT_EQ(second.settings().wakeMinute, 5);
    EXPECT_EQ(std::count_if(second.unit().callLog().begin(), second.unit().callLog().end(),
                            [](const std::string& line) { return line.rfind("fn=9 ", 0) == 0 || line.rfind("fn=13 ", 0) == 0; }),
              0);
    EXPECT_EQ(second.settings().adminPassword, "");  // no entry line clears it
    EXPECT_EQ(second.settings().choice(kFnSerialPort), 4);  // unmarked: left as it was
    EXPECT_EQ(second.settings().assetTag, "KEEP");   // no line: left as it was
}

// W on files that set nothing: those converted on their way (UTF-16, line ends of a carriage
// return alone) are refused before the unit is touched, with no version line and no firmware
// call; those that name no section after the whole file was read, the version line before.
TEST(Change, FilesThatSetNothingAreRefusedWithStatusOne) {
    std::string crOnly = exampleFile();
    std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
    const std::string utf16le("\xFF\xFEN\0u\0m\0l\0o\0c\0k\0\r\0\n\0\t\0*\0O\0n\0", 28);
    const std::string utf16be("\xFE\xFF\0N\0u\0m\0l\0o\0c\0k\0\r\0\n\0\t\0*\0O\0n", 28);
    const char* const kUtf16 = "***ERROR*** The input file is UTF-16 text; save it as 8-bit text (%s)!\n";
    const char* const kCrAlone =
        "***ERROR*** The input file's lines end in CR alone; save it with CR LF or LF line ends (%s)!\n";
    const char* const kNoSection = "***ERROR*** No setting section in the input file (%s)!\n";
    struct Case {
        const char* name;
        std::string file;
        const char* message;
        bool touchesUnit;  // the service object is constructed: version line and support check
    };
    const Case cases[] = {
        {"UTF-16 with the little-endian mark", utf16le, kUtf16, false},
        {"UTF-16 with the big-endian mark", utf16be, kUtf16, false},
        {"a UTF-16 mark alone", "\xFF\xFE", kUtf16, false},
        {"R's file with carriage returns alone", crOnly, kCrAlone, false},
        {"a header whose carriage return ends the file", "Numlock\r", kCrAlone, false},
        {"carriage returns, then text", "Numlock\r\r\t*On\n", kCrAlone, false},
        {"a UTF-8 mark, then carriage returns alone", "\xEF\xBB\xBFNumlock\r\t*On\r", kCrAlone, false},
        {"an empty file", "", kNoSection, true},
        {"a UTF-8 mark alone", "\xEF\xBB\xBF", kNoSection, true},
        {"entry lines alone", "\t*On\n\tNumlock\n", kNoSection, true},
        {"headers that name no section", "Numlok\n\t*On\nKeyboard\n", kNoSection, true},
        {"a Ctrl-Z before the first header", "\x1ANumlock\n\t*On\n", kNoSection, true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir.file("in.txt");
        testing_support::writeFile(path, c.file);
        sim::ScopedUnit unit("numlock = 0\nadmin_password = \"adm\"\n");
        host::ConsoleCapture console;
        EXPECT_EQ(changeSettings(wide(path).c_str()), 1) << c.name;
        std::string message = c.message;
        message.replace(message.find("%s"), 2, path);
        EXPECT_EQ(console.text(), (c.touchesUnit ? "Zentos Spec Version 1.02\n\n" : "") + message) << c.name;
        EXPECT_EQ(unit.unit().calls().size(), c.touchesUnit ? 1u : 0u) << c.name;  // the support check alone
        EXPECT_EQ(unit.settings().choice(kFnNumlock), 0) << c.name;
        EXPECT_EQ(unit.settings().adminPassword, "adm") << c.name;
        EXPECT_FALSE(unit.unit().regionsHeld()) << c.name;
    }
}

// A UTF-8 byte order mark is skipped: the file reads as without it, its first section (R's
// setup password) included, whatever the length of its first line.
TEST(Change, AUtf8MarkIsSkipped) {
    const std::string unit = "admin_password = \"adm\"\nnumlock = 0\nasset_tag = OLD\n";
    std::vector<std::string> files = {
        "Setup Password\n\tnew\nNumlock\n\t*On\n",
        "Setup Password\r\n\tnew\r\n",
        "Numlock\r\r\n\t*On\n",  // carriage returns before a line feed end a line as CR LF
        exampleFile(),
    };
    // First lines about one piece long: the piece without the mark takes three more bytes.
    for (size_t length = 250; length <= 258; ++length) {
        files.push_back("Asset Tracking Number\n\t" + std::string(length - 1, 't') + "\nNumlock\n\t*On\n");
        files.push_back(std::string(length, 'h') + "\nNumlock\n\t*On\n");
        files.push_back(std::string(length, 'h') + "\r\nNumlock\r\n\t*On\r\n");
    }
    for (const std::string& file : files) {
        const Outcome plain = change(unit, file);
        const Outcome marked = change(unit, "\xEF\xBB\xBF" + file);
        EXPECT_EQ(plain.status, 0) << file;
        EXPECT_EQ(marked.status, plain.status) << file;
        EXPECT_EQ(marked.console, plain.console) << file;
        EXPECT_TRUE(marked.settings == plain.settings) << file;
        EXPECT_EQ(marked.calls, plain.calls) << file;
    }
    EXPECT_EQ(change(unit, "\xEF\xBB\xBFSetup Password\n\tnew\n").settings.adminPassword, "new");
}

}  // namespace
