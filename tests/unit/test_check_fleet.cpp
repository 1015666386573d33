// FolvaneCheck --against: a unit's file read as R writes it, and what a golden file would change
// on the unit, line for line as W and then R on a simulated unit show it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "check.h"
#include "check_fleet.h"
#include "check_output.h"
#include "console_capture.h"
#include "path_list.h"
#include "sim_scoped_unit.h"
#include "test_check_support.h"

namespace {

using namespace check_testing;

FILE* openText(const std::string& text) {
    return text.empty() ? std::tmpfile() : fmemopen(const_cast<char*>(text.data()), text.size(), "r");
}

UnitSettings unitOf(const std::string& text) {
    FILE* file = openText(text);
    const UnitFile unit = readUnitFile(file);
    std::fclose(file);
    EXPECT_TRUE(unit.wholeFileRead);
    return unit.settings;
}

CheckReport goldenOf(const std::string& text) {
    FILE* file = openText(text);
    CheckOptions options;
    options.golden = true;
    const CheckReport report = checkDataFile(file, options);
    std::fclose(file);
    return report;
}

Lines differenceLines(const CheckReport& golden, const UnitSettings& unit) {
    Lines lines;
    for (const Difference& d : differences(golden, unit)) lines.push_back(differenceLine("unit.txt", "golden.txt", d));
    return lines;
}

Lines compare(const std::string& golden, const std::string& unit) {
    return differenceLines(goldenOf(golden), unitOf(unit));
}

// ---- a unit's file

using Values = std::map<SectionId::Value, std::string>;  // the known ones; the others unknown

Values knownValues(const UnitSettings& unit) {
    Values known;
    for (const Section& section : kSections) {
        if (unit[section.id]) known[section.id] = *unit[section.id];
    }
    return known;
}

struct ReadCase {
    const char* name;
    std::string file;
    Values known;
};

TEST(UnitFile, ValuesAsRWritesThem) {
    using S = SectionId;
    const Values example = {{S::SetupPassword, "set"},
                            {S::PowerOnPassword, "not set"},
                            {S::AssetTrackingNumber, "ROOM-7"},
                            {S::SerialPortAddress, "3F8h/IRQ4"},
                            {S::ParallelPortAddress, "378h/IRQ7"},
                            {S::PrinterMode, "ECP"},
                            {S::EcpModeUseDma, "DMA3"},
                            {S::ParallelPortEppType, "EPP 1.9"},
                            {S::BootOrder, "Hard Disk, USB, LAN"},
                            {S::Ps2PortStatus, "PS/2 port is keyboard"},
                            {S::PwronAfterPwrFail, "Former state"},
                            {S::UsbController, "Enabled"},
                            {S::WakeOnRtc, "Monday, Tuesday, Wednesday, Thursday, Friday 6:05"},
                            {S::Numlock, "On"},
                            {S::S3Support, "Disabled"}};
    std::string crlf;
    for (const char c : std::string(testing_support::exampleFile())) crlf += c == '\n' ? "\r\n" : std::string(1, c);
    std::string sixteen = "Boot Order\n";
    for (int i = 0; i < 16; ++i) sixteen += i < 15 ? "\tLAN\n" : "\tUSB\n";
    const ReadCase cases[] = {
        {"R's file of the default unit", testing_support::exampleFile(), example},
        {"the same with the device's CR LF line ends", crlf, example},
        {"an empty file tells nothing", "", {}},
        {"a choice with no mark, with two, with a mark naming nothing",
         "Numlock\n\tOff\n\tOn\nUSB Controller\n\t*Disabled\n\t*Enabled\nS3 Support\n\t*enabled\n",
         {}},
        {"a section given twice, with one mark each", "Numlock\n\t*On\nNumlock\n\t*On\n", {}},
        {"no channel is marked outside the ECP modes",
         "Printer Mode\n\t*EPP\nECP Mode Use DMA\n\tDMA1\n\tDMA3\n",
         {{S::PrinterMode, "EPP"}}},
        {"tags: an empty line, blanks kept as R wrote them, no line",
         "Asset Tracking Number\n\t\nPower-On Password\n\t\nSetup Password\n\tsecret\n",
         {{S::AssetTrackingNumber, ""}, {S::PowerOnPassword, "set"}}},
        {"a tag that begins and ends in blanks",
         "Asset Tracking Number\n\t  A \t\n",
         {{S::AssetTrackingNumber, "  A \t"}}},
        {"two tag lines, and a tag section without one",
         "Asset Tracking Number\n\tA\n\tB\nAsset Tracking Number\n",
         {}},
        {"boot orders: none, and all 16 codes of a unit without an end mark",
         "Boot Order\n" + sixteen.substr(11),
         {{S::BootOrder, "LAN, LAN, LAN, LAN, LAN, LAN, LAN, LAN, LAN, LAN, LAN, LAN, LAN, LAN, LAN, USB"}}},
        {"an empty boot order", "Boot Order\nNumlock\n\t*Off\n", {{S::BootOrder, "no devices"}, {S::Numlock, "Off"}}},
        {"wake: no days marked; a section without its time line",
         "Wake On RTC\n\tSunday\n\t0:00\nNumlock\nWake On RTC\n\t*Sunday\n",
         {}},
        {"wake: no days marked", "Wake On RTC\n\tSunday\n\t0:00\n", {{S::WakeOnRtc, "no days 0:00"}}},
        {"wake: Sunday and Saturday at 21:30",
         "Wake On RTC\n\t*Sunday\n\tMonday\n\t*Saturday\n\t21:30\n",
         {{S::WakeOnRtc, "Sunday, Saturday 21:30"}}},
        {"wake: two time lines", "Wake On RTC\n\t*Sunday\n\t6:05\n\t7:05\n", {}},
        {"a Ctrl-Z ends the file as on the device",
         "Numlock\n\t*On\n\x1A"
         "Boot Order\n\tLAN\n",
         {{S::Numlock, "On"}}},
    };
    for (const ReadCase& c : cases) EXPECT_EQ(knownValues(unitOf(c.file)), c.known) << c.name;
}

// R writes the passwords, the tag and the choices it reads without fail whatever the unit
// answers; a file with none of them is no file of R's.
TEST(UnitFile, HoldsASectionThatRAlwaysWrites) {
    const std::pair<std::string, bool> files[] = {
        {testing_support::exampleFile(), true},
        {"Boot Order\n\tLAN\nWake On RTC\n\t*Sunday\n\t0:00\nS3 Support\n\t*Enabled\n", false},
        {"Numlok\n\t*On\n", false},
        {"Numlock\n", true},
    };
    for (const auto& [text, holds] : files) {
        FILE* file = openText(text);
        EXPECT_EQ(readUnitFile(file).holdsAlwaysWrittenSection, holds) << text;
        std::fclose(file);
    }
}

// ---- a list of files (its errors' messages: the command line's tests)

Lines listed(FILE* file, bool zeroSeparated = false) {
    const char* const problems[] = {"", "zero byte", "too long"};
    PathList list(file, zeroSeparated);
    Lines entries;
    std::string path;
    for (PathList::Entry e; (e = list.next(path)) < PathList::Entry::End;) {
        entries.push_back(std::to_string(list.line()) + ": " + (e == PathList::Entry::Path ? path : problems[int(e)]));
    }
    if (list.error() != 0) entries.push_back(std::strerror(list.error()));
    return entries;
}

TEST(PathList, OnePathALine) {
    const std::string longest(PathList::kLongestPath, 'a');
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\r\n\n \t\n", {"1: a\r"}},       // one carriage return is the line end's
        {" lead.txt \n", {"1:  lead.txt "}},  // blanks around a path are its own
        {longest + "\r\n" + std::string(100000, 'b'), {"1: " + longest, "2: too long"}},
    };
    for (const auto& [text, entries] : cases) {
        FILE* file = openText(text);
        EXPECT_EQ(listed(file), entries) << text.substr(0, 40);
        std::fclose(file);
    }
    TempDir dir;
    FILE* unreadable = std::fopen(dir.file("list.txt").c_str(), "w");
    EXPECT_EQ(listed(unreadable), Lines{"Bad file descriptor"});
    std::fclose(unreadable);
}

TEST(PathList, ZeroSeparated) {
    const std::string longest(PathList::kLongestPath, 'a');
    const std::pair<std::string, Lines> cases[] = {
        {std::string("a\r\0\0b\nc\0", 8), {"1: a\r", "3: b\nc"}},  // an empty record is passed over
        {std::string(" \t\0last", 8), {"1:  \t", "2: last"}},      // no zero byte after the last
        {longest + '\0' + longest + "a", {"1: " + longest, "2: too long"}},
        {std::string("\0\0", 2), {}},
    };
    for (const auto& [text, entries] : cases) {
        FILE* file = openText(text);
        EXPECT_EQ(listed(file, true), entries) << text.substr(0, 40);
        std::fclose(file);
    }
}

// PowerShell 5.1's ">" writes UTF-16 with a byte order mark: each character two bytes.
std::string utf16(const std::u16string& text, bool little = true) {
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += little ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

TEST(PathList, ByteOrderMarks) {
    const std::string longest(PathList::kLongestPath / 3, 'a');
    const std::pair<std::string, Lines> cases[] = {
        {utf16(u"C:\\fleet\\u1.txt\r\nd\u00e9sk 2.txt\r\n\r\n \t\nlast"),
         {"1: C:\\fleet\\u1.txt", "2: d\xC3\xA9sk 2.txt", "5: last"}},
        {utf16(u"\u20AC.txt\n\U0001F600\n", false), {"1: \xE2\x82\xAC.txt", "2: \xF0\x9F\x98\x80"}},
        // A surrogate that stands alone, as a Windows name may hold one; a zero character; half a
        // character at the end.
        {utf16(u"x") + std::string("\x00\xD8", 2) + utf16(u"y\n").substr(2), {"1: x\xED\xA0\x80y"}},
        {utf16(u"a") + std::string("\0\0\n\0b\0c", 7), {"1: zero byte", "2: b\xEF\xBF\xBD"}},
        {utf16(std::u16string(PathList::kLongestPath / 3 + 1, u'\u20AC')), {"1: too long"}},
        {"\xEF\xBB\xBFu1.txt\r\nu2.txt", {"1: u1.txt", "2: u2.txt"}},  // UTF-8's mark, passed over
        // No mark: the first bytes are the list's own.
        {"\xFF\xFF\n\xEF\xBB", {"1: \xFF\xFF", "2: \xEF\xBB"}},
        {"\xFE", {"1: \xFE"}},
        {"\xFF\xFE", {}},
    };
    for (const auto& [text, entries] : cases) {
        FILE* file = openText(text);
        EXPECT_EQ(listed(file), entries) << text.substr(0, 40);
        std::fclose(file);
    }
    // Separated by zero bytes, a list is bytes: the mark is the first path's.
    const std::string zeroSeparated(
        "\xFF\xFE"
        "a\0",
        4);
    FILE* file = openText(zeroSeparated);
    EXPECT_EQ(listed(file, true), Lines{"1: \xFF\xFE"
                                        "a"});
    std::fclose(file);
}

// ---- what a golden file changes

struct CompareCase {
    const char* name;
    std::string golden;
    std::string unit;
    Lines lines;
};

const std::string kEcpDma3 = "Printer Mode\n\t*ECP\nECP Mode Use DMA\n\tDMA1\n\t*DMA3\n";
const std::string kEppUnit = "Printer Mode\n\t*EPP\nECP Mode Use DMA\n\tDMA1\n\tDMA3\n";

TEST(GoldenAgainstUnit, TheParallelPortAsRShowsIt) {
    const CompareCase cases[] = {
        {"the same mode and channel", kEcpDma3, kEcpDma3, {}},
        {"from EPP: the mode, and the channel that R did not show",
         kEcpDma3,
         kEppUnit,
         {"unit.txt: Printer Mode: EPP -> ECP (golden.txt:2)",
          "unit.txt: ECP Mode Use DMA: unknown -> DMA3 (golden.txt:5)"}},
        {"EPP on both: no channel either side", kEppUnit, kEppUnit, {}},
        {"to EPP: a channel that R no longer shows is no line",
         kEppUnit,
         kEcpDma3,
         {"unit.txt: Printer Mode: ECP -> EPP (golden.txt:2)"}},
        {"a printer mode alone sets DMA1: one call, a line for each section",
         "Printer Mode\n\t*ECP/EPP\n",
         kEppUnit,
         {"unit.txt: Printer Mode: EPP -> ECP/EPP (golden.txt:2)",
          "unit.txt: ECP Mode Use DMA: unknown -> DMA1 (golden.txt:2)"}},
        {"the same mode, written again, undoes DMA3",
         "Printer Mode\n\t*ECP\n",
         kEcpDma3,
         {"unit.txt: ECP Mode Use DMA: DMA3 -> DMA1 (golden.txt:2)"}},
        {"a channel without a mode, on a unit in an ECP mode",
         "ECP Mode Use DMA\n\t*DMA3\n",
         "Printer Mode\n\t*ECP/EPP\nECP Mode Use DMA\n\t*DMA1\n",
         {"unit.txt: ECP Mode Use DMA: DMA1 -> DMA3 (golden.txt:2)"}},
        {"a channel without a mode, on a unit in EPP: W does nothing", "ECP Mode Use DMA\n\t*DMA3\n", kEppUnit, {}},
        {"a channel without a mode, on a unit whose mode is unknown: counted as set",
         "ECP Mode Use DMA\n\t*DMA3\n",
         "Numlock\n\t*On\n",
         {"unit.txt: ECP Mode Use DMA: unknown -> DMA3 (golden.txt:2)"}},
        {"a unit that shows a channel but no mode is in an ECP mode",
         "ECP Mode Use DMA\n\t*DMA3\n",
         "Printer Mode\n\tECP\nECP Mode Use DMA\n\t*DMA1\n",
         {"unit.txt: ECP Mode Use DMA: DMA1 -> DMA3 (golden.txt:2)"}},
    };
    for (const CompareCase& c : cases) EXPECT_EQ(compare(c.golden, c.unit), c.lines) << c.name;
}

TEST(GoldenAgainstUnit, ValuesInTheFilesWords) {
    const std::string note =
        "unit.txt: Setup Password: note: set to a text, which a unit's file cannot show; not compared (golden.txt:2)";
    const CompareCase cases[] = {
        {"a password set to a text over one set is a note",
         "Setup Password\n\tNight Shift\n",
         "Setup Password\n\t\n",
         {note}},
        // A unit that never took the password must not pass the check after deployment.
        {"a password set to a text over none, or one the file does not show, is a change",
         "Setup Password\n\tNight Shift\nPower-On Password\n\t1234\n",
         "Setup Password\n",
         {"unit.txt: Setup Password: not set -> set (golden.txt:2)",
          "unit.txt: Power-On Password: unknown -> set (golden.txt:4)"}},
        {"a damaged line tells nothing of the unit",
         "Setup Password\n\tpw\n",
         "Setup Password\x01\n\t\n",
         {"unit.txt: Setup Password: unknown -> set (golden.txt:2)"}},
        {"a cleared password against a set one; a kept one is no call",
         "Setup Password\nPower-On Password\n\t\n",
         "Setup Password\n\t\nPower-On Password\n",
         {"unit.txt: Setup Password: set -> not set (golden.txt:1)"}},
        {"the last of two password sections counts",
         "Setup Password\n\tsecret\nSetup Password\n",
         "Setup Password\n",
         {}},
        {"a tag, quoted with C escapes, and one the unit does not show",
         "Asset Tracking Number\n\tDesk \"12\"\t\xE9\n",
         "Asset Tracking Number\n\tDesk 12\n",
         {"unit.txt: Asset Tracking Number: \"Desk 12\" -> \"Desk \\\"12\\\"\\t\\351\" (golden.txt:2)"}},
        {"an empty tag is a value",
         "Asset Tracking Number\n\tA\n",
         "Asset Tracking Number\n\t\n",
         {"unit.txt: Asset Tracking Number: \"\" -> \"A\" (golden.txt:2)"}},
        {"boot orders and wake settings",
         "Boot Order\nWake On RTC\n\t*Sunday\n\t*Friday\n\t7:5\n",
         "Boot Order\n\tLAN\n\tUnknown\nWake On RTC\n\tSunday\n\t0:00\n",
         {"unit.txt: Boot Order: LAN, Unknown -> no devices (golden.txt:1)",
          "unit.txt: Wake On RTC: no days 0:00 -> Sunday, Friday 7:05 (golden.txt:2)"}},
        {"a wake section without a time sets 12:00",
         "Wake On RTC\n",
         "Numlock\n",
         {"unit.txt: Wake On RTC: unknown -> no days 12:00 (golden.txt:1)"}},
        {"Unknown reads back as Unknown: no change", "Boot Order\n\tUnknown\n", "Boot Order\n\tUnknown\n", {}},
        {"in W's order: by the call that gives the last value",
         "Numlock\n\t*On\nSerial Port Address\n\t*Disabled\nNumlock\n\t*Off\n",
         "Numlock\n\t*On\nSerial Port Address\n\t*3F8h/IRQ4\n",
         {"unit.txt: Serial Port Address: 3F8h/IRQ4 -> Disabled (golden.txt:4)",
          "unit.txt: Numlock: On -> Off (golden.txt:6)"}},
        {"a setting the golden file leaves alone is no line, known or not",
         "Numlock\n\t*On\n",
         "S3 Support\n",
         {"unit.txt: Numlock: unknown -> On (golden.txt:2)"}},
    };
    for (const CompareCase& c : cases) EXPECT_EQ(compare(c.golden, c.unit), c.lines) << c.name;
}

// ---- JSON strings

TEST(CheckJson, TextsAreEscapedToAscii) {
    const std::pair<std::string, std::string> bytes[] = {
        {"ROOM-7", "\"ROOM-7\""},
        {"a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
        {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {std::string("\0\x01\x1A\x1F\x7F", 5), "\"\\u0000\\u0001\\u001a\\u001f\\u007f\""},
        {"caf\xE9 \x80\xFF", "\"caf\\u00e9 \\u0080\\u00ff\""},  // 8-bit bytes as U+0080-U+00FF
    };
    for (const auto& [text, json] : bytes) EXPECT_EQ(jsonText(std::string_view(text)), json) << text;
    const std::pair<std::wstring, std::string> wide[] = {
        {L"units/desk-a.txt", "\"units/desk-a.txt\""},
        {L"g\u00E9n\u00E9ral \u20AC", "\"g\\u00e9n\\u00e9ral \\u20ac\""},
        {L"\U0001F600", "\"\\ud83d\\ude00\""},                   // beyond U+FFFF: a surrogate pair
        {std::wstring(L"x") + wchar_t(0xDCE9), "\"x\\u00e9\""},  // a byte the locale could not convert
        {std::wstring(L"x") + wchar_t(0xDC41), "\"x\\udc41\""},  // no such byte: the character itself
    };
    for (const auto& [text, json] : wide) EXPECT_EQ(jsonText(std::wstring_view(text)), json);
}

TEST(CheckOutput, FileNamesAreShownExactly) {
    const std::pair<std::string, std::string> names[] = {
        {"units/desk-a.txt", "units/desk-a.txt"},
        {"in side", "in side"},
        {"g\xC3\xA9n\xC3\xA9ral \xE2\x82\xAC \xF0\x9F\x98\x80", "g\xC3\xA9n\xC3\xA9ral \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"", "\"\""},
        {" lead", "\" lead\""},
        {"trail ", "\"trail \""},
        {"a\tb\nc\rd", "\"a\\tb\\nc\\rd\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {std::string("z\0\x1B\x7F", 4), "\"z\\x00\\x1B\\x7F\""},
        {"nel\xC2\x85", "\"nel\\xC2\\x85\""},           // a control character beyond ASCII
        {"caf\xE9 \xC3\xA9", "\"caf\\xE9 \xC3\xA9\""},  // UTF-8 kept beside a stray byte
        {"\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80", "\"\\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80\""},  // no UTF-8
        {"cut\xE2\x82", "\"cut\\xE2\\x82\""},
    };
    for (const auto& [name, shown] : names) EXPECT_EQ(shownFileName(name), shown) << name;
}

// Where a backslash separates folders (the Windows build), every form of a Windows path is
// shown as it was given; quoted for another reason, its backslashes are escaped as ever.
TEST(CheckOutput, WindowsPathsAreShownAsGiven) {
    const std::pair<std::string, std::string> names[] = {
        {"C:\\fleet\\u1.txt", "C:\\fleet\\u1.txt"},
        {"C:/fleet/u1.txt", "C:/fleet/u1.txt"},
        {"c:fleet\\u1.txt", "c:fleet\\u1.txt"},
        {"\\\\server\\share\\units\\u1.txt", "\\\\server\\share\\units\\u1.txt"},
        {"\\\\?\\UNC\\server\\share\\u1.txt", "\\\\?\\UNC\\server\\share\\u1.txt"},
        {"\\\\.\\C:\\u1.txt", "\\\\.\\C:\\u1.txt"},
        {"D:\\Fl\xC3\xA8te 2\\\xE5\x8D\x95\xE4\xBD\x8D.txt", "D:\\Fl\xC3\xA8te 2\\\xE5\x8D\x95\xE4\xBD\x8D.txt"},
        {"C:\\a\\ trail ", "\"C:\\\\a\\\\ trail \""},
    };
    for (const auto& [name, shown] : names) {
        EXPECT_EQ(shownFileName(name, true), shown) << name;
        // Elsewhere a backslash is a character of the name, which the quotes make plain.
        if (name.find('\\') != std::string::npos) {
            EXPECT_EQ(shownFileName(name, false).front(), '"') << name;
        }
    }
}

TEST(CheckJson, FileNamesAreReadAsUtf8) {
    const std::tuple<std::string, std::string, bool> names[] = {
        {"desk.txt", "desk.txt", true},
        {"g\xC3\xA9n \xF0\x9F\x98\x80", "g\\u00e9n \\ud83d\\ude00", true},
        {"a\nb\"", "a\\nb\\\"", true},
        {"g\xE9n", "g\\u00e9n", false},
        {"\xED\xA0\x80", "\\u00ed\\u00a0\\u0080", false},
    };
    for (const auto& [name, json, isUtf8] : names) {
        bool utf8 = true;
        EXPECT_EQ(jsonFileName(name, utf8), json) << name;
        EXPECT_EQ(utf8, isUtf8) << name;
    }
}

TEST(CheckJson, ErrorCodes) {
    std::vector<std::string> names;
    for (size_t i = 0; i < kErrorCodeCount; ++i) names.emplace_back(errorCodeName(static_cast<ErrorCode>(i)));
    EXPECT_EQ(names, (std::vector<std::string>{"cannot-open", "cannot-read", "not-a-regular-file", "not-a-unit-file",
                                               "utf-16", "cr-line-ends", "no-section", "list-cannot-open",
                                               "list-cannot-read", "list-line", "output-failed"}));
}

// ---- the truth: W with the golden file on a simulated unit holding the unit file's values, then R

using Sections = std::map<std::string, Lines>;  // header: entry lines without their tab

Sections sectionsOf(const std::string& rFile) {
    Sections sections;
    Lines* current = nullptr;
    for (const std::string& line : splitLines(rFile)) {
        if (!line.empty() && line[0] != '\t') {
            current = &sections[line];
        } else if (current != nullptr) {
            current->push_back(line.substr(1));
        }
    }
    return sections;
}

std::string joinedOr(const Lines& names, const char* none) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return names.empty() ? none : text;
}

// A setting as a file of R's shows it, in the words of --against's lines; none when it does not.
std::optional<std::string> shownBy(const Sections& file, const Section& section) {
    const auto found = file.find(section.header);
    if (found == file.end()) return std::nullopt;
    const Lines& entries = found->second;
    Lines marked;
    Lines times;
    for (const std::string& e : entries) {
        if (!e.empty() && e[0] == '*') marked.push_back(e.substr(1));
        if (!e.empty() && e[0] >= '0' && e[0] <= '9') times.push_back(e);
    }
    switch (section.kind) {
        case EntryKind::Password:
            if (entries.empty()) return "not set";
            return entries.size() == 1 && entries[0].empty() ? std::optional<std::string>("set") : std::nullopt;
        case EntryKind::AssetTag: return entries.size() == 1 ? std::optional<std::string>(entries[0]) : std::nullopt;
        case EntryKind::BootList: return joinedOr(entries, "no devices");
        case EntryKind::Wake:
            if (times.size() != 1) return std::nullopt;
            return joinedOr(marked, "no days") + " " + times[0];
        default: return marked.size() == 1 ? std::optional<std::string>(marked[0]) : std::nullopt;
    }
}

std::string shownWords(const Section& section, const std::optional<std::string>& value) {
    if (!value) return "unknown";
    return section.kind == EntryKind::AssetTag ? quotedText(*value) : *value;
}

// A unit's file as it may come back from a unit: R's file, with sections lost, marks taken away
// or given twice, time lines and tag lines gone.
std::string damaged(const std::string& rFile, Rng& rng) {
    Lines lines = splitLines(rFile);
    const uint32_t count = pick(rng, 3);
    for (uint32_t i = 0; i < count && !lines.empty(); ++i) {
        size_t header = pick(rng, static_cast<uint32_t>(lines.size()));
        while (header > 0 && lines[header][0] == '\t') --header;
        size_t end = header + 1;
        while (end < lines.size() && !lines[end].empty() && lines[end][0] == '\t') ++end;
        const auto first = lines.begin() + static_cast<long>(header);
        switch (pick(rng, 4)) {
            case 0: lines.erase(first, lines.begin() + static_cast<long>(end)); break;
            case 1:  // no mark left
                for (size_t l = header + 1; l < end; ++l) {
                    if (lines[l].size() > 1 && lines[l][1] == '*') lines[l].erase(1, 1);
                }
                break;
            case 2:  // one more mark
                for (size_t l = header + 1; l < end; ++l) {
                    const bool time = lines[l].size() > 1 && lines[l][1] >= '0' && lines[l][1] <= '9';
                    if (lines[l].size() > 1 && lines[l][1] != '*' && !time) {
                        lines[l].insert(1, "*");
                        break;
                    }
                }
                break;
            case 3:  // the last entry line gone: a time line, a tag, a boot name or an option
                if (end > header + 1) lines.erase(lines.begin() + static_cast<long>(end - 1));
                break;
        }
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

uint32_t printerModeOf(const std::string& state) {
    const size_t at = state.find("parallel_mode = ");
    return at == std::string::npos ? 0 : static_cast<uint32_t>(std::stoul(state.substr(at + 16))) & 0xFF;
}

// W's set calls on the unit, as the plan writes them, and R's file afterwards.
struct ChangeThenRetrieve {
    Lines calls;
    std::string after;
};

ChangeThenRetrieve changeThenRetrieve(const std::string& state, const std::string& golden, const std::string& after,
                                      int status) {
    sim::ScopedUnit unit(state);
    host::ConsoleCapture console;
    unit.unit().recordCalls();
    EXPECT_EQ(changeSettings(wide(golden).c_str()), status);
    ChangeThenRetrieve result;
    const auto& records = unit.unit().calls();
    for (size_t i = 0; i < records.size(); ++i) {
        const std::string call = asPlanned(records[i], unit.unit().callLog()[i]);
        if (!call.empty()) result.calls.push_back(call);
    }
    EXPECT_EQ(retrieveSettings(wide(after).c_str()), 0);
    result.after = readFile(after);
    return result;
}

// The sections that a plan's call sets: a printer mode sets the DMA channel too.
std::vector<const Section*> sectionsSetBy(const PlannedCall& call) {
    if (call.section->kind != EntryKind::PrinterMode) return {call.section};
    return {call.section, &kSections[SectionId::EcpModeUseDma]};
}

struct LastCall {
    size_t order = 0;
    size_t line = 0;
    std::string call;  // as W made it
};

// The expected lines: for each setting that W's calls set, in the order of the call that set it
// last, R's value before and after, where they differ or the unit's file did not show it.
Lines truth(const CheckReport& golden, const ChangeThenRetrieve& w, const std::string& unitFile, uint32_t unitMode) {
    // Each call of W beside the plan's entry that makes it; a channel that depends on the unit
    // is called only in the unit's ECP modes.
    std::map<SectionId::Value, LastCall> last;
    size_t made = 0;
    for (const PlannedCall& call : golden.plan) {
        if (call.dependsOnUnit && unitMode < 2) continue;
        EXPECT_LT(made, w.calls.size());
        if (made >= w.calls.size()) return {};
        for (const Section* section : sectionsSetBy(call)) last[section->id] = {made, call.line, w.calls[made]};
        ++made;
    }
    EXPECT_EQ(made, w.calls.size());
    std::vector<std::pair<LastCall, const Section*>> order;
    for (const auto& [id, call] : last) order.emplace_back(call, &kSections[id]);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first.order < b.first.order; });
    const Sections before = sectionsOf(unitFile);
    const Sections after = sectionsOf(w.after);
    Lines lines;
    for (const auto& [call, section] : order) {
        const std::string where = " (golden.txt:" + std::to_string(call.line) + ")";
        // A text over a password that the unit's file shows set cannot be compared; over none, or
        // one the file does not show, it is a change to "set".
        if (section->kind == EntryKind::Password && call.call.find("characters)") != std::string::npos &&
            shownBy(before, *section) == std::optional<std::string>("set")) {
            lines.push_back("unit.txt: " + std::string(section->header) +
                            ": note: set to a text, which a unit's file cannot show; not compared" + where);
            continue;
        }
        const std::optional<std::string> old = shownBy(before, *section);
        std::optional<std::string> now = shownBy(after, *section);
        if (!now && section->kind == EntryKind::EcpDma) continue;  // R shows no channel in this mode
        // R does not write back a tag of 64 characters or more, nor a time with an hour or minute of FFh.
        if (!now && section->kind == EntryKind::AssetTag) now = call.call.substr(std::string("setAssetTag ").size());
        if (!now && section->kind == EntryKind::Wake) {
            const auto value = static_cast<uint32_t>(std::stoul(call.call.substr(13), nullptr, 16));
            Lines days;
            for (uint32_t day = 0; day < 7; ++day) {
                if (((value >> day) & 1) != 0) days.emplace_back(kDayOptions[day]);
            }
            char time[16];
            std::snprintf(time, sizeof time, "%u:%02u", value >> 24, (value >> 16) & 0xFF);
            now = joinedOr(days, "no days") + " " + time;
        }
        EXPECT_TRUE(now.has_value()) << section->header << "\n" << w.after;
        if (!old || old != now) {
            lines.push_back("unit.txt: " + std::string(section->header) + ": " + shownWords(*section, old) + " -> " +
                            shownWords(*section, now) + where);
        }
    }
    return lines;
}

TEST(GoldenAgainstUnit, LinesAreWhatWThenRChangeOnRandomUnits) {
    Rng rng(1703);
    TempDir dir;
    const std::string goldenPath = dir.file("golden.txt");
    const std::string unitPath = dir.file("unit.txt");
    const std::string afterPath = dir.file("after.txt");
    size_t compared = 0;
    size_t lines = 0;
    size_t unknown = 0;
    size_t notes = 0;
    size_t textOverNone = 0;
    size_t dma = 0;
    size_t alike = 0;
    size_t undecided = 0;
    size_t refusals = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string state = randomUnit(rng, pick(rng, 2) == 0);
        const std::string unitFile = damaged(retrieve(state, unitPath), rng);
        // A golden file from another unit or from this one, edited by hand or not.
        const std::string source = pick(rng, 4) == 0 ? state : randomUnit(rng, pick(rng, 2) == 0);
        std::string golden = retrieve(source, goldenPath);
        if (pick(rng, 3) != 0) golden = mutated(golden, rng);
        testing_support::writeFile(goldenPath, golden);
        const CheckReport report = goldenOf(golden);
        const UnitSettings unit = unitOf(unitFile);
        const uint32_t unitMode = printerModeOf(state);
        // A channel that depends on a unit whose file shows neither mode nor channel counts as set;
        // W sets it only in an ECP mode.
        const bool dependentDma =
            std::any_of(report.plan.begin(), report.plan.end(), [](const PlannedCall& c) { return c.dependsOnUnit; });
        if (dependentDma && !unit[SectionId::PrinterMode] && !unit[SectionId::EcpModeUseDma] && unitMode < 2) {
            ++undecided;
            continue;
        }
        // A golden file that W refuses changes nothing; the checker compares no unit with it.
        const bool refused = report.refusal != Refusal::None;
        const ChangeThenRetrieve w = changeThenRetrieve(state, goldenPath, afterPath, refused ? 1 : 0);
        if (refused) {
            EXPECT_TRUE(w.calls.empty()) << golden;
            ++refusals;
            continue;
        }
        const Lines expected = truth(report, w, unitFile, unitMode);
        const Lines found = differenceLines(report, unit);
        EXPECT_EQ(found, expected) << "--- golden:\n"
                                   << golden << "--- unit:\n"
                                   << unitFile << "--- after:\n"
                                   << w.after;
        if (HasFailure()) break;
        ++compared;
        lines += found.size();
        if (found.empty()) ++alike;
        for (const std::string& line : found) {
            if (line.find(": unknown -> ") != std::string::npos) ++unknown;
            if (line.find(": note: ") != std::string::npos) ++notes;
            if (line.find("Password: not set -> set") != std::string::npos) ++textOverNone;
            if (line.find("ECP Mode Use DMA: ") != std::string::npos) ++dma;
        }
    }
    // The cases must have reached what the comparison is about.
    EXPECT_GT(compared, 350u);
    EXPECT_GT(lines, 2000u);
    EXPECT_GT(unknown, 200u);
    EXPECT_GT(notes, 3u);
    EXPECT_GT(textOverNone, 3u);
    EXPECT_GT(dma, 50u);
    EXPECT_GT(alike, 5u);
    EXPECT_LT(undecided, 30u);
    EXPECT_GT(refusals, 5u);
}

}  // namespace
