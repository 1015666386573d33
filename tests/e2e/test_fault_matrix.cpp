// Every fault of the simulated unit, alone and in random combinations, against R and W run as
// processes: each run ends with the messages the fault calls for, its status, and nothing on
// standard error (no sanitizer report, no simulated-unit fault).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../unit/test_support.h"
#include "process.h"

namespace {

using testing_support::exampleFile;
using testing_support::TempDir;
using testing_support::writeFile;
using Lines = std::vector<std::string>;

const std::string E = "***ERROR*** ";
const Lines kLocate = {E + "Failed to locate BIOS Service (DM) header!"};

struct Expected {
    std::string state;
    Lines r;  // the error lines of R to a file, in order
    Lines w;  // those of W of the example file
    int status = 0;
};

Lines unavailable(Lines first, bool retrieve) {
    first.push_back(E + "The BIOS settings service is not available; nothing was " +
                    (retrieve ? "retrieved!" : "changed!"));
    return first;
}

Expected broken(const std::string& state, const Lines& why) {
    return {state, unavailable(why, true), unavailable(why, false), 1};
}

// Each operation that can be told to fail, with what R and W then print.
std::vector<Expected> failingOperations() {
    const auto get = [](const std::string& op, const std::string& message) {
        return Expected{"fail = " + op, {E + "Failed to get " + message + "!"}, {}};
    };
    const auto set = [](const std::string& op, const std::string& unitMessage, const std::string& ownMessage) {
        return Expected{"fail = " + op, {}, {E + "Failed to set " + unitMessage + "!", E + ownMessage}};
    };
    std::vector<Expected> cases = {
        {"fail = checkSupport", {E + "Zentos not supported!"}, {E + "Zentos not supported!"}},
        {"fail = getAdminPasswordState", {}, {}},
        {"fail = getUserPasswordState", {}, {}},
        {"fail = getS3Support", {}, {}},
        {"fail = setAdminPassword", {}, {}},  // the example keeps the setup password: no call
        get("getAssetTag", "asset tag"),
        get("getSerialPort", "serial port setting"),
        get("getParallelPort", "parallel port setting"),
        get("getEppType", "parallel port EPP type"),
        get("getBootSequence", "boot sequence"),
        get("getPs2Port", "PS2 port setting"),
        get("getPowerOnAfterFail", "PWRON_After_PWRFail setting"),
        get("getUsbController", "USB controller setting"),
        get("getWakeOnRtc", "Wake on RTC setting"),
        get("getNumlock", "Numlock setting"),
        set("setUserPassword", "user password", "Failed to clear user password!"),
        set("setAssetTag", "asset tag", "Failed to set asset tag (ROOM-7)!"),
        set("setSerialPort", "serial port setting", "Failed to set serial port address (1)!"),
        set("setParallelPort", "parallel port setting", "Failed to set parallel port address (2)!"),
        set("setEppType", "parallel port EPP type", "Failed to set parallel port EPP type (0)!"),
        set("setBootSequence", "boot sequence", "Failed to set boot sequence!"),
        set("setPs2Port", "PS2 port setting", "Failed to set PS/2 port setting (0)!"),
        set("setPowerOnAfterFail", "PWRON_After_PWRFail setting", "Failed to set PWRON_After_PWRFail setting (2)!"),
        set("setUsbController", "USB controller setting", "Failed to set USB controller setting (1)!"),
        set("setWakeOnRtc", "Wake on RTC setting", "Failed to set Wake on RTC setting (100991038)!"),
        set("setNumlock", "Numlock setting", "Failed to set Numlock setting (1)!"),
        set("setS3Support", "S3 setting", "Failed to set S3 setting (0)!"),
    };
    Expected mode = get("getParallelMode", "parallel port mode");
    mode.w = mode.r;  // W reads the mode for "ECP Mode Use DMA"
    cases.push_back(mode);
    cases.push_back({"fail = setParallelMode",
                     {},
                     {E + "Failed to set parallel port mode!", E + "Failed to set printer mode (2)!",
                      E + "Failed to set parallel port mode!", E + "Failed to set ECP DMA (1)!"}});
    return cases;
}

std::vector<Expected> machineFaults() {
    const std::string tagLine = E + "Failed to set asset tag (ROOM-7)!";
    return {
        {"spec_version = 0.99", {}, {}},
        {"support_signature = invalid", {E + "Zentos not supported!"}, {E + "Zentos not supported!"}},
        {"header_offset = 0", {}, {}},
        {"header_offset = 0xFFE0", {}, {}},
        broken("header_offset = 0x7A38", kLocate),
        broken("header_offset = 0xFFF0", kLocate),
        broken("header_checksum = invalid", kLocate),
        {"decoy_headers = 0 0x10 0x7A20", {}, {}},
        {"entry_address = 0xF1234", {}, {}},
        broken("entry_address = 0xEFFFF", kLocate),
        broken("entry_address = 0x100000", kLocate),
        broken("segment_reserve_error = 0x57", {E + "VirtualAlloc failed (00000057)!"}),
        broken("segment_map_error = 0x0E", {E + "VirtualCopy failed (0000000E)!"}),
        {"window_reserve_error = 8", {E + "VirtualAlloc failed (00000008)!"}, {E + "VirtualAlloc failed (00000008)!", tagLine}},
        {"window_map_error = 0x1F", {E + "VirtualCopy failed (0000001F)!"}, {E + "VirtualCopy failed (0000001F)!", tagLine}},
        {"scratch_alloc = fail", {E + "Not enough memory!"}, {E + "Not enough memory!", tagLine}},
        // Read and ignored by the host builds: their unit maps for the program on every generation,
        // and has no device manager.
        {"ce_version = 7", {}, {}},
        {"fail = ActivateDeviceEx DeviceIoControl VirtualCopyEx", {}, {}},
    };
}

struct Outcome {
    int status;
    Lines errors;
    std::string err;
};

// Runs R (to a file) or W (of the example file) on a unit made from `state`.
Outcome run(const std::string& state, bool retrieve) {
    TempDir dir;
    writeFile(dir.file("unit.state"), state + "\n");
    writeFile(dir.file("in.txt"), exampleFile());
    const e2e::Result r = e2e::run({{retrieve ? "R" : "W", retrieve ? "out.txt" : "in.txt"},
                                    {{"FOLVANE_MACHINE", dir.file("unit.state")}},
                                    dir.file("")});
    Outcome outcome{r.status, {}, r.err};
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        std::string line = r.out.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(E, 0) == 0) outcome.errors.push_back(line);
        start = end + 1;
    }
    return outcome;
}

std::vector<Expected> everyFault() {
    std::vector<Expected> cases = failingOperations();
    for (const Expected& e : machineFaults()) cases.push_back(e);
    return cases;
}

void PrintTo(const Expected& e, std::ostream* out) { *out << e.state; }

// Each fault with R and with W is a test of its own, so that a run under a slow launcher can
// pick some: "fail = getBootSequence" with R is FaultMatrix/EachFault.*/fail_getBootSequence_R.
class EachFault : public testing::TestWithParam<std::tuple<Expected, bool>> {};

TEST_P(EachFault, GivesItsMessagesAndStatus) {
    const auto& [c, retrieve] = GetParam();
    const Outcome o = run(c.state, retrieve);
    EXPECT_EQ(o.errors, retrieve ? c.r : c.w);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(o.err, "");
}

std::string faultCaseName(const testing::TestParamInfo<std::tuple<Expected, bool>>& info) {
    std::string name;
    for (const char c : std::get<0>(info.param).state) {
        const bool word = std::isalnum(static_cast<unsigned char>(c)) != 0;
        if (word) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    if (name.back() != '_') name += '_';
    return name + (std::get<1>(info.param) ? "R" : "W");
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, EachFault, testing::Combine(testing::ValuesIn(everyFault()), testing::Bool()),
                         faultCaseName);

TEST(FaultMatrix, RandomCombinationsEndWithKnownMessagesAndTheRightStatus) {
    // Every line any single fault can print; together, faults may only pick among them.
    std::set<std::string> known;
    const std::vector<Expected> faults = everyFault();
    for (const Expected& e : faults) {
        known.insert(e.r.begin(), e.r.end());
        known.insert(e.w.begin(), e.w.end());
    }
    // Keys other than "fail" may stand once each; failing operations gather on one "fail" line.
    std::mt19937 rng(9);
    for (int round = 0; round < 40; ++round) {
        std::vector<std::string> lines;
        std::vector<std::string> failing;
        std::set<std::string> keys;
        bool breaks = false;
        const size_t count = 1 + rng() % 5;
        for (size_t i = 0; i < count; ++i) {
            const Expected& pick = faults[rng() % faults.size()];
            const std::string key = pick.state.substr(0, pick.state.find(' '));
            if (key == "fail") {
                failing.push_back(pick.state.substr(7));
            } else if (keys.insert(key).second) {
                lines.push_back(pick.state);
                breaks = breaks || pick.status == 1;
            }
        }
        std::string state;
        for (const std::string& l : lines) state += l + "\n";
        if (!failing.empty()) {
            state += "fail =";
            for (const std::string& f : failing) state += " " + f;
        }
        for (const bool retrieve : {true, false}) {
            const Outcome o = run(state, retrieve);
            EXPECT_EQ(o.status, breaks ? 1 : 0) << state;
            EXPECT_EQ(o.err, "") << state;
            for (const std::string& line : o.errors) EXPECT_TRUE(known.count(line)) << line << "\n" << state;
            if (breaks) {
                ASSERT_FALSE(o.errors.empty()) << state;
                EXPECT_EQ(o.errors.size(), 2u) << state;
                EXPECT_NE(o.errors.back().find("is not available"), std::string::npos) << state;
            }
        }
    }
}

TEST(FaultMatrix, ATruncatedStateFileLoadsOrStopsBeforeTheBanner) {
    const std::string full =
        "admin_password = \"a b\"\nasset_tag = \"Desk 12\"\nserial_port = 3\nboot_sequence = 6 0 2\n"
        "wake_hour = 21\nfail = getNumlock\nwindow_map_error = 0x1F\n";
    TempDir dir;
    for (size_t cut = 0; cut <= full.size(); cut += 3) {
        const std::string prefix = full.substr(0, cut);
        writeFile(dir.file("unit.state"), prefix);
        const e2e::Result r = e2e::run({{"R"}, {{"FOLVANE_MACHINE", dir.file("unit.state")}}, dir.file("")});
        if (r.status == 0) {
            EXPECT_EQ(r.err, "") << cut;
            EXPECT_EQ(r.out.rfind("Norvik Folvane Utility", 0), 0u) << cut;
            continue;
        }
        const std::string line = std::to_string(std::count(prefix.begin(), prefix.end(), '\n') + 1);
        EXPECT_EQ(r.status, 1) << cut;
        EXPECT_EQ(r.out, "") << cut;
        EXPECT_EQ(r.err.rfind("simulated unit: " + dir.file("unit.state") + ":" + line + ": ", 0), 0u)
            << cut << ": " << r.err;
    }
}

}  // namespace
