// R: the data file it writes, byte for byte, from simulated units in every state.
#include <gtest/gtest.h>

#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "datafile.h"
#include "option_tables.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"
#include "test_support.h"

namespace {

using testing_support::exampleFile;

const char* kVersion = "Zentos Spec Version 1.02\n\n";

struct Outcome {
    int status;
    std::string console;
};

// R to the console of a unit made from `state`.
Outcome retrieveToConsole(const std::string& state) {
    sim::ScopedUnit unit(state);
    EXPECT_TRUE(unit.ok()) << unit.error();
    host::ConsoleCapture console;
    const int status = retrieveSettings(nullptr);
    EXPECT_FALSE(unit.unit().regionsHeld());
    return {status, console.text()};
}

// The text of one section (header and entry lines) in a data file, empty when absent.
std::string section(const std::string& file, const std::string& header) {
    const size_t start = file.find(header + "\n");
    if (start == std::string::npos) return "";
    size_t end = start + header.size() + 1;
    while (end < file.size() && file[end] == '\t') end = file.find('\n', end) + 1;
    return file.substr(start, end - start);
}

TEST(SectionTable, HeadersAndPrefixLengthsInFileOrder) {
    const size_t lengths[] = {14, 17, 21, 19, 21, 12, 16, 22, 10, 16, 20, 14, 11, 7, 10};
    for (size_t i = 0; i < kSectionCount; ++i) {
        EXPECT_EQ(kSections[i].headerLength, lengths[i]) << i;
        EXPECT_EQ(std::strlen(kSections[i].header), lengths[i]) << i;
    }
    // No header is a prefix of another, so the first match in table order is the only one.
    for (const Section& a : kSections) {
        for (const Section& b : kSections) {
            if (&a != &b) {
                EXPECT_NE(std::string_view(b.header).substr(0, a.headerLength), a.header);
            }
        }
    }
    EXPECT_EQ(kBootDeviceOptions.count, 16u);
    EXPECT_EQ(kBootDeviceOptions.find("Unknown"), 7u);
    EXPECT_EQ(kBootDeviceOptions.find("Disabled"), 15u);
}

TEST(Retrieve, DefaultUnitGivesTheExampleFileOnTheConsole) {
    const Outcome run = retrieveToConsole("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console, std::string(kVersion) + exampleFile());
}

TEST(Retrieve, DefaultUnitGivesTheExampleFileInAFile) {
    testing_support::TempDir dir;
    sim::ScopedUnit unit("");
    host::ConsoleCapture console;
    const std::string path = dir.file("unit.txt");
    EXPECT_EQ(retrieveSettings(testing_support::wide(path).c_str()), 0);
    EXPECT_EQ(testing_support::readFile(path), exampleFile());
    EXPECT_EQ(console.text(), kVersion);
    EXPECT_EQ(unit.unit().calls().size(), 15u);  // the support check and one read per section but 7
}

TEST(Retrieve, EachFailingGetPrintsItsMessageAndLeavesItsSectionUnmarked) {
    struct Case {
        const char* fail;
        const char* header;
        const char* message;
        const char* sectionText;
    };
    const Case cases[] = {
        {"getAdminPasswordState", "Setup Password", "", "Setup Password\n"},
        {"getAssetTag", "Asset Tracking Number", "***ERROR*** Failed to get asset tag!\n", "Asset Tracking Number\n"},
        {"getSerialPort", "Serial Port Address", "***ERROR*** Failed to get serial port setting!\n",
         "Serial Port Address\n\tDisabled\n\t3F8h/IRQ4\n\t2F8h/IRQ3\n\t3E8h/IRQ4\n\t2E8h/IRQ3\n"},
        {"getParallelPort", "Parallel Port Address", "***ERROR*** Failed to get parallel port setting!\n",
         "Parallel Port Address\n\tDisabled\n\t3BCh/IRQ7\n\t378h/IRQ7\n\t278h/IRQ5\n"},
        {"getParallelMode", "Printer Mode", "***ERROR*** Failed to get parallel port mode!\n",
         "Printer Mode\n\tOutput-Only\n\tEPP\n\tECP\n\tECP/EPP\nECP Mode Use DMA\n\tDMA1\n\tDMA3\n"},
        {"getEppType", "Parallel Port EPP Type", "***ERROR*** Failed to get parallel port EPP type!\n",
         "Parallel Port EPP Type\n\tEPP 1.9\n\tEPP 1.7\n"},
        // A boot order or wake setting R could not read would be applied by W as an empty order
        // or a wake at 12:00: the whole section stays out, as for S3.
        {"getBootSequence", "Boot Order", "***ERROR*** Failed to get boot sequence!\n", ""},
        {"getPs2Port", "PS/2 Port Status", "***ERROR*** Failed to get PS2 port setting!\n",
         "PS/2 Port Status\n\tPS/2 port is keyboard\n\tPS/2 port is mouse\n"},
        {"getPowerOnAfterFail", "PWRON After PWR-Fail", "***ERROR*** Failed to get PWRON_After_PWRFail setting!\n",
         "PWRON After PWR-Fail\n\tOff\n\tOn\n\tFormer state\n"},
        {"getUsbController", "USB Controller", "***ERROR*** Failed to get USB controller setting!\n",
         "USB Controller\n\tDisabled\n\tEnabled\n"},
        {"getWakeOnRtc", "Wake On RTC", "***ERROR*** Failed to get Wake on RTC setting!\n", ""},
        {"getNumlock", "Numlock", "***ERROR*** Failed to get Numlock setting!\n", "Numlock\n\tOff\n\tOn\n"},
        {"getS3Support", "S3 Support", "", ""},
    };
    for (const Case& c : cases) {
        const Outcome run = retrieveToConsole(std::string("fail = ") + c.fail + "\nuser_password = x");
        EXPECT_EQ(run.status, 0) << c.fail;
        // On the console the message follows its header line, or stands alone when the
        // section is left out.
        const std::string after = (*c.sectionText != '\0' ? std::string(c.header) + "\n" : "") + c.message;
        if (*c.message != '\0') {
            EXPECT_NE(run.console.find(after), std::string::npos) << c.fail << "\n" << run.console;
        }
        const std::string body = run.console.substr(std::string(kVersion).size());
        std::string file = body;
        if (*c.message != '\0') file.erase(file.find(c.message), std::string(c.message).size());
        EXPECT_EQ(section(file, c.header) + (std::string(c.fail) == "getParallelMode"
                                                 ? section(file, "ECP Mode Use DMA")
                                                 : ""),
                  c.sectionText)
            << c.fail;
        // Every other section is still there: the run went on.
        size_t headers = 0;
        for (const Section& s : kSections) headers += file.find(std::string(s.header) + "\n") != std::string::npos;
        EXPECT_EQ(headers, *c.sectionText != '\0' ? 15u : 14u) << c.fail;
    }
}

TEST(Retrieve, PrinterModeAndEcpDmaPairs) {
    struct Case {
        const char* mode;
        const char* printer;
        const char* dma;
    };
    const Case cases[] = {
        {"0x0100", "\t*Output-Only\n\tEPP\n\tECP\n\tECP/EPP\n", "\tDMA1\n\tDMA3\n"},
        {"0x0101", "\tOutput-Only\n\t*EPP\n\tECP\n\tECP/EPP\n", "\tDMA1\n\tDMA3\n"},
        {"0x0102", "\tOutput-Only\n\tEPP\n\t*ECP\n\tECP/EPP\n", "\tDMA1\n\t*DMA3\n"},
        {"0x0003", "\tOutput-Only\n\tEPP\n\tECP\n\t*ECP/EPP\n", "\t*DMA1\n\tDMA3\n"},
        {"0x0504", "\tOutput-Only\n\tEPP\n\tECP\n\tECP/EPP\n", "\tDMA1\n\tDMA3\n"},
        {"0x0202", "\tOutput-Only\n\tEPP\n\t*ECP\n\tECP/EPP\n", "\tDMA1\n\tDMA3\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = retrieveToConsole(std::string("parallel_mode = ") + c.mode);
        EXPECT_EQ(section(run.console, "Printer Mode"), std::string("Printer Mode\n") + c.printer) << c.mode;
        EXPECT_EQ(section(run.console, "ECP Mode Use DMA"), std::string("ECP Mode Use DMA\n") + c.dma) << c.mode;
    }
}

TEST(Retrieve, AssetTagLines) {
    struct Case {
        std::string tag;
        std::string section;
    };
    const std::string tag63(63, 'T');
    const Case cases[] = {
        {"\"\"", "Asset Tracking Number\n\t\n"},
        {tag63, "Asset Tracking Number\n\t" + tag63 + "\n"},
        {tag63 + "U", "Asset Tracking Number\n"},
        {"\"\\x80\\xA0tag\\xFF\"", "Asset Tracking Number\n\t\x80\xA0tag\xFF\n"},
        {"\"x\\nSetup Password\"", "Asset Tracking Number\n"},
        {"\"x\\r\"", "Asset Tracking Number\n"},
        // Ctrl-Z ends the device's text-mode input: W would apply nothing after the tag.
        {"\"x\\x1Ay\"", "Asset Tracking Number\n"},
        {"\"\\x1A\"", "Asset Tracking Number\n"},
        {"\"  lead\"", "Asset Tracking Number\n\t  lead\n"},
        // W refuses a tag line with any other control byte: R never writes one. A tab is text.
        {"\"ROOM\\x1B[7\"", "Asset Tracking Number\n"},
        {"\"x\\x01\"", "Asset Tracking Number\n"},
        {"\"del\\x7F\"", "Asset Tracking Number\n"},
        {"\"A\\tB\"", "Asset Tracking Number\n\tA\tB\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = retrieveToConsole("asset_tag = " + c.tag);
        EXPECT_EQ(section(run.console, "Asset Tracking Number"), c.section) << c.tag;
        EXPECT_EQ(run.console.find("***ERROR***"), std::string::npos) << c.tag;
    }
}

TEST(Retrieve, BootOrderLines) {
    struct Case {
        const char* state;
        const char* section;
    };
    const Case cases[] = {
        {"boot_sequence =", "Boot Order\n"},
        {"boot_sequence = 0 1 2 3 4 5 6 7 14 15",
         "Boot Order\n\tFloppy\n\tLS120\n\tHard Disk\n\tCDROM\n\tZIP100\n\tUSB\n\tLAN\n\tUnknown\n\tUnknown\n\tDisabled\n"},
        {"boot_sequence = 16 200 254", "Boot Order\n\tUnknown\n\tUnknown\n\tUnknown\n"},
        {"boot_sequence = 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 6",
         "Boot Order\n\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n"
         "\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n\tFloppy\n\tLAN\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = retrieveToConsole(c.state);
        EXPECT_EQ(section(run.console, "Boot Order"), c.section) << c.state;
    }
}

TEST(Retrieve, WakeTimeLine) {
    struct Case {
        const char* state;
        const char* last;
    };
    const Case cases[] = {
        {"wake_hour = 6\nwake_minute = 5", "\tSaturday\n\t6:05\n"},
        {"wake_hour = 23\nwake_minute = 59", "\tSaturday\n\t23:59\n"},
        {"wake_hour = 255\nwake_minute = 5", "\tSaturday\n"},
        {"wake_hour = 6\nwake_minute = 255", "\tSaturday\n"},
        {"wake_hour = 0\nwake_minute = 0", "\tSaturday\n\t0:00\n"},
        {"wake_hour = 200\nwake_minute = 99", "\tSaturday\n\t200:99\n"},
        {"wake_hour = 254\nwake_minute = 123", "\tSaturday\n\t254:123\n"},
        {"wake_hour = 10\nwake_minute = 7", "\tSaturday\n\t10:07\n"},
    };
    for (const Case& c : cases) {
        const std::string text = section(retrieveToConsole(c.state).console, "Wake On RTC");
        EXPECT_EQ(text.substr(text.find("\tSaturday")), c.last) << c.state;
    }
    const std::string all = section(retrieveToConsole("wake_days = 0xFF").console, "Wake On RTC");
    EXPECT_EQ(all, "Wake On RTC\n\t*Sunday\n\t*Monday\n\t*Tuesday\n\t*Wednesday\n\t*Thursday\n\t*Friday\n"
                   "\t*Saturday\n\t6:05\n");
}

TEST(Retrieve, UnitWithoutS3EndsWithNumlock) {
    const Outcome run = retrieveToConsole("fail = getS3Support\ns3_support = 1");
    const std::string expected = exampleFile();
    EXPECT_EQ(run.console, kVersion + expected.substr(0, expected.find("S3 Support")));
    EXPECT_EQ(run.status, 0);
}

TEST(Retrieve, UnavailableServiceKeepsTheOldFile) {
    testing_support::TempDir dir;
    const std::string path = dir.file("out.txt");
    testing_support::writeFile(path, "old contents\n");
    sim::ScopedUnit unit("header_checksum = invalid");
    host::ConsoleCapture console;
    EXPECT_EQ(retrieveSettings(testing_support::wide(path).c_str()), 1);
    EXPECT_EQ(console.text(),
              "***ERROR*** Failed to locate BIOS Service (DM) header!\n"
              "***ERROR*** The BIOS settings service is not available; nothing was retrieved!\n");
    EXPECT_EQ(testing_support::readFile(path), "old contents\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.txt"});
    EXPECT_TRUE(unit.unit().calls().empty());
    EXPECT_FALSE(unit.unit().regionsHeld());
}

TEST(Retrieve, OutputThatCannotBeOpenedStopsBeforeTheService) {
    sim::ScopedUnit unit("");
    host::ConsoleCapture console;
    EXPECT_EQ(retrieveSettings(L"/nonexistent-dir/unit.txt"), 1);
    EXPECT_EQ(console.text(), "***ERROR*** Failed to open output file (/nonexistent-dir/unit.txt)!\n");
    EXPECT_TRUE(unit.unit().calls().empty());
    // An empty name is no file, and no ".new" of its own appears.
    console.clear();
    EXPECT_EQ(retrieveSettings(L""), 1);
    EXPECT_EQ(console.text(), "***ERROR*** Failed to open output file ()!\n");
    EXPECT_FALSE(testing_support::fileExists(".new"));
}

TEST(Retrieve, WriteErrorIsReportedNotSuccess) {
    sim::ScopedUnit unit("");
    host::ConsoleCapture console;
    EXPECT_EQ(retrieveSettings(L"/dev/full"), 1);
    EXPECT_EQ(console.text(), std::string(kVersion) + "***ERROR*** Failed to write output file (/dev/full)!\n");
    EXPECT_FALSE(unit.unit().regionsHeld());
}

}  // namespace

namespace {

TEST(Retrieve, EightBitTextIsByteExactInAnyLocale) {
    for (const char* locale : {"C", "C.UTF-8"}) {
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr) << locale;
        const Outcome run = retrieveToConsole("asset_tag = \"\\xE9t\\xE9 \\xC3\\x28\\x80\"");
        EXPECT_EQ(section(run.console, "Asset Tracking Number"), "Asset Tracking Number\n\t\xE9t\xE9 \xC3\x28\x80\n")
            << locale;
    }
    std::setlocale(LC_ALL, "C");
}

}  // namespace

namespace {

// Runs `body` in a child process with `prepare` applied there first (a file size limit, a
// standard output that fails); returns its exit status and what it wrote on standard error.
struct ChildOutcome {
    int status;
    std::string err;
};
ChildOutcome inChild(const std::function<void()>& prepare, const std::function<int()>& body) {
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        prepare();
        _exit(body());
    }
    close(pipeFds[1]);
    std::string err;
    char buffer[256];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) err.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, err};
}

// The unit R reads in every test below; its file is the example file.
constexpr const char* kOldText = "an earlier unit's file\n";

TEST(RetrieveReplacement, ReplacesTheFileWholeKeepingItsModeAndItsLink) {
    testing_support::TempDir dir;
    const std::string target = dir.file("target.txt");
    const std::string link = dir.file("link.txt");
    testing_support::writeFile(target, kOldText);
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(symlink("target.txt", link.c_str()), 0);
    testing_support::writeFile(target + ".new", "left over by a power loss\n");
    {
        sim::ScopedUnit unit("");
        host::ConsoleCapture console;
        EXPECT_EQ(retrieveSettings(testing_support::wide(link).c_str()), 0);
        EXPECT_EQ(console.text(), kVersion);
    }
    EXPECT_EQ(testing_support::readFile(target), exampleFile());
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));  // written through, the link stays
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    // A file at the old fixed name is no longer R's: it stays, and nothing else is left.
    EXPECT_EQ(testing_support::readFile(target + ".new"), "left over by a power loss\n");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"link.txt", "target.txt", "target.txt.new"}));
}

// What stands at "unit.txt.new" is never written through: a link there to another file used
// to make R write into that file.
TEST(RetrieveReplacement, ALinkAtTheOldFixedNameIsLeftAlone) {
    for (const bool symbolic : {true, false}) {
        testing_support::TempDir dir;
        const std::string target = dir.file("unit.txt");
        const std::string other = dir.file("golden.txt");
        testing_support::writeFile(target, kOldText);
        testing_support::writeFile(other, "Numlock\n\t*On\n");
        ASSERT_EQ(symbolic ? symlink("golden.txt", (target + ".new").c_str()) : link(other.c_str(), (target + ".new").c_str()),
                  0);
        {
            sim::ScopedUnit unit("");
            host::ConsoleCapture console;
            EXPECT_EQ(retrieveSettings(testing_support::wide(target).c_str()), 0) << symbolic;
        }
        EXPECT_EQ(testing_support::readFile(other), "Numlock\n\t*On\n") << symbolic;
        EXPECT_EQ(testing_support::readFile(target), exampleFile()) << symbolic;
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"golden.txt", "unit.txt", "unit.txt.new"})) << symbolic;
    }
}

// As root, a file of another user is replaced and keeps its mode, owner and group.
TEST(RetrieveReplacement, AReplacedFileKeepsItsOwnerGroupAndMode) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file another owner";
    testing_support::TempDir dir;
    const std::string target = dir.file("unit.txt");
    testing_support::writeFile(target, kOldText);
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    {
        sim::ScopedUnit unit("");
        host::ConsoleCapture console;
        EXPECT_EQ(retrieveSettings(testing_support::wide(target).c_str()), 0);
    }
    EXPECT_EQ(testing_support::readFile(target), exampleFile());
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(RetrieveReplacement, AWriteErrorPartWayLeavesTheOldFileAndNoNewOne) {
    testing_support::TempDir dir;
    const std::string path = dir.file("unit.txt");
    testing_support::writeFile(path, kOldText);
    const ChildOutcome run = inChild(
        [] {
            // 300 bytes: the file stops part-way through the boot order.
            const rlimit limit{300, 300};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        },
        [&] {
            sim::ScopedUnit unit("");
            host::ConsoleCapture console;
            const int status = retrieveSettings(testing_support::wide(path).c_str());
            const bool message =
                console.text() == std::string(kVersion) + "***ERROR*** Failed to write output file (" + path + ")!\n";
            return message ? status : 99;
        });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(testing_support::readFile(path), kOldText);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"unit.txt"});
}

TEST(RetrieveReplacement, AFailedWriteOfStandardOutputIsStatusOne) {
    const ChildOutcome run = inChild(
        [] {
            const int full = open("/dev/full", O_WRONLY);
            dup2(full, 1);
        },
        [] {
            sim::ScopedUnit unit("");
            return retrieveSettings(nullptr);
        });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "***ERROR*** Failed to write standard output!\n");
}

}  // namespace
