// The simulated unit itself: its state file, and the faults of the program that it catches.
#include <gtest/gtest.h>

#include <algorithm>

#include "bios_service.h"
#include "firmware_interface.h"
#include "platform.h"
#include "sim_model.h"
#include "sim_state.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"
#include "text_format.h"

namespace {

TEST(StateFile, EmptyTextIsTheDefaultUnit) {
    sim::State state;
    std::string error;
    ASSERT_TRUE(sim::parseState("# nothing here\n\n   \n", state, error)) << error;
    EXPECT_TRUE(state == sim::State{});
    EXPECT_EQ(state.settings.bootSequence, (std::vector<uint8_t>{2, 5, 6}));
}

TEST(StateFile, ValuesAndTheirForms) {
    sim::State state;
    std::string error;
    ASSERT_TRUE(sim::parseState("asset_tag =   bare text  \n"
                                "admin_password = \"a\\\\b\\\"c\\t\\n\\r\\x80\\xff\"\n"
                                "parallel_mode = 0x0203\r\n"
                                "serial_port=4\n"
                                "boot_sequence =\n"
                                "spec_version = A.05\n"
                                "fail = getNumlock setNumlock getNumlock\n"
                                "decoy_headers = 0x10 0x7A20\n",
                                state, error))
        << error;
    EXPECT_EQ(state.settings.assetTag, "bare text");
    EXPECT_EQ(state.settings.adminPassword, "a\\b\"c\t\n\r\x80\xff");
    EXPECT_EQ(state.settings.choice(kFnParallelMode), 0x0203);
    EXPECT_EQ(state.settings.choice(kFnSerialPort), 4);
    EXPECT_TRUE(state.settings.bootSequence.empty());
    EXPECT_EQ(state.faults.versionMajor, 0x0A);
    EXPECT_EQ(state.faults.versionMinor, 0x05);
    EXPECT_EQ(state.faults.fail, (std::vector<std::string>{"getNumlock", "setNumlock"}));
    EXPECT_EQ(state.givenFaultKeys, (std::vector<std::string>{"spec_version", "decoy_headers", "fail"}));
}

TEST(StateFile, ErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"serial_port = 1\nbogus = 2\n", "2: unknown key 'bogus'"},
        {"numlock = 1\nnumlock = 0\n", "2: repeated key 'numlock'"},
        {"serial_port = 256\n", "1: serial_port: value out of range (0 to 255)"},
        {"serial_port = -1\n", "1: serial_port: value out of range (0 to 255)"},
        {"serial_port = 0x\n", "1: serial_port: value out of range (0 to 255)"},
        {"\n\nserial_port\n", "3: expected key = value"},
        {"asset_tag = \"abc\n", "1: asset_tag: unterminated quoted text"},
        {"asset_tag = \"a\\qb\"\n", "1: asset_tag: unknown escape \\q"},
        {"asset_tag = \"a\\x4\"\n", "1: asset_tag: \\x needs two hexadecimal digits"},
        {"asset_tag = \"a\" b\n", "1: asset_tag: text after the closing quote"},
        {"boot_sequence = 1 2 255\n", "1: boot_sequence: boot code out of range (0 to 254): 255"},
        {"boot_sequence = 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 0\n", "1: boot_sequence: more than 16 boot codes"},
        {"fail = getBogus\n", "1: fail: unknown operation: getBogus"},
        {"spec_version = 102\n", "1: spec_version: expected M.NN, two hexadecimal bytes"},
        {"support_signature = maybe\n", "1: support_signature: expected valid or invalid"},
        {"header_offset = 0xFFF4\n", "1: header_offset: value out of range (0 to 0xFFF3)"},
        {"decoy_headers = 0x18\n", "1: decoy_headers: decoy offset must be a multiple of 16 below FFF0h: 0x18"},
        {"decoy_headers = 0x7A30\n", "1: decoy_headers: offset 0x7A30 is not below header_offset"},
        {"scratch_alloc = yes\n", "1: scratch_alloc: expected fail"},
        {"ce_version = 4\n", "1: ce_version: expected 5, 6 or 7"},
        {"ce_version = 0x6\n", "1: ce_version: expected 5, 6 or 7"},
        {"fail = ActivateDevice\n", "1: fail: unknown operation: ActivateDevice"},
        // What follows a one-word value is named, not taken for a value out of range.
        {"numlock = 0 # comment\n", "1: numlock: text after the value: '# comment'"},
        {"spec_version = 1.02 2\n", "1: spec_version: text after the value: '2'"},
        {"support_signature = valid  x\n", "1: support_signature: text after the value: 'x'"},
        {"segment_map_error = 5 6\n", "1: segment_map_error: text after the value: '6'"},
    };
    for (const Case& c : cases) {
        sim::State state;
        state.settings.choice(kFnNumlock) = 77;
        std::string error;
        EXPECT_FALSE(sim::parseState(c.text, state, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(state.settings.choice(kFnNumlock), 77) << "a failed parse leaves the state as it was";
    }
    sim::State state;
    std::string error;
    EXPECT_FALSE(sim::parseState(std::string_view("numlock = 1\0\n", 13), state, error));
    EXPECT_EQ(error, "1: zero byte in line");
}

TEST(StateFile, SavedTextParsesBackToTheSameState) {
    sim::State state;
    std::string error;
    ASSERT_TRUE(sim::parseState("asset_tag = \"x\\x01\\x7F\\xFE\\\"\"\nwake_days = 0xFF\nboot_sequence = 0 1 2 3 4 5 6 "
                                "7 8 9 10 11 12 13 14 254\nheader_offset = 0x100\nwindow_map_error = 0x57\n"
                                "scratch_alloc = fail\nsupport_signature = invalid\nce_version = 7\n"
                                "fail = ActivateDeviceEx getNumlock VirtualCopyEx\n",
                                state, error))
        << error;
    EXPECT_EQ(state.faults.ceVersion, 7);
    const std::string saved = sim::formatState(state);
    sim::State again;
    ASSERT_TRUE(sim::parseState(saved, again, error)) << error << "\n" << saved;
    EXPECT_TRUE(again == state) << saved;
    // Fault keys that were not given are not saved.
    EXPECT_EQ(saved.find("entry_address"), std::string::npos);
    EXPECT_NE(saved.find("window_map_error = 0x00000057"), std::string::npos);
    EXPECT_NE(saved.find("fail = ActivateDeviceEx getNumlock VirtualCopyEx\n"), std::string::npos);
    EXPECT_NE(saved.find("scratch_alloc = fail\nce_version = 7\n"), std::string::npos);
    // Not given: CE 5.0, and not saved.
    EXPECT_EQ(sim::formatState(sim::State{}).find("ce_version"), std::string::npos);
}

TEST(StateFile, MergedSaveKeepsCommentsAndRewritesOnlyWhatChanged) {
    const std::string text =
        "# the unit on the bench\r\n"
        "serial_port = 0x01\r\n"
        "\n"
        "  # numlock as shipped\n"
        "numlock = 1\n"
        "asset_tag = bare tag\n"
        "fail = getNumlock";
    sim::State state;
    std::string error;
    ASSERT_TRUE(sim::parseState(text, state, error)) << error;
    state.settings.choice(kFnNumlock) = 0;
    state.settings.choice(kFnEppType) = 1;
    const std::string merged = sim::mergeState(text, state);
    EXPECT_EQ(merged,
              "# the unit on the bench\r\n"
              "serial_port = 0x01\r\n"  // unchanged: as it was written
              "\n"
              "  # numlock as shipped\n"
              "numlock = 0\n"
              "asset_tag = bare tag\n"
              "fail = getNumlock\n"
              "epp_type = 1\n");
    sim::State again;
    ASSERT_TRUE(sim::parseState(merged, again, error)) << error;
    EXPECT_TRUE(again == state);
    // A changed line that ended in CR LF keeps its CR; nothing to merge into gives the whole state.
    state.settings.choice(kFnSerialPort) = 3;
    EXPECT_NE(sim::mergeState(text, state).find("serial_port = 3\r\n"), std::string::npos);
    EXPECT_EQ(sim::mergeState("", state), sim::formatState(state));
}

TEST(StateFile, SavedDefaultUnitKeepsItsKeysFormsAndOrder) {
    EXPECT_EQ(sim::formatState(sim::State{}),
              "# FolvaneCE simulated unit\nadmin_password = \"admin\"\nuser_password = \"\"\nasset_tag = \"ROOM-7\"\n"
              "serial_port = 1\nparallel_port = 2\nparallel_mode = 0x0102\nepp_type = 0\nboot_sequence = 2 5 6\n"
              "ps2_port = 0\npower_on_after_fail = 2\nusb_controller = 1\nwake_days = 0x3E\nwake_hour = 6\n"
              "wake_minute = 5\nnumlock = 1\ns3_support = 0\n");
}

// Every setting held as one value reaches its own value alone: through its state file key, and
// through its get and set in CL (CX for a word), which its own `fail` names make fail.
TEST(ChoiceRows, EachKeyAndCallReachesItsOwnValue) {
    const auto marker = [](const sim::ChoiceRow& row) {
        return row.width == 2 ? 0xA500u + row.function : 0x80u + row.function;
    };
    const auto stored = [&](const sim::ChoiceRow& row) {
        return (marker(row) ^ 0x5A5A) & (row.width == 2 ? 0xFFFF : 0xFF);
    };
    std::string text;
    for (const sim::ChoiceRow& row : sim::choiceRows())
        text += std::string(row.key) + " = " + std::to_string(marker(row)) + "\n";
    sim::State state;
    std::string error;
    ASSERT_TRUE(sim::parseState(text, state, error)) << error;
    const std::string saved = sim::formatState(state);
    sim::Unit unit(state);
    unit.recordCalls();
    for (const sim::ChoiceRow& row : sim::choiceRows()) {
        const bool word = row.width == 2;
        const std::string fn = "fn=" + std::to_string(row.function);
        const std::string reg = word ? " cx=" : " cl=";
        EXPECT_EQ(state.settings.choice(row.function), marker(row)) << row.key;
        const std::string line =
            std::string(row.key) + " = " + (word ? hexText(marker(row), 4) : std::to_string(marker(row)));
        EXPECT_NE(saved.find("\n" + line + "\n"), std::string::npos) << saved;

        RegisterBlock in;
        RegisterBlock out;
        in.eax = kServiceSelector;
        in.ebx = row.function;
        unit.serve(in, out);
        EXPECT_EQ(out.ecx & (word ? 0xFFFFu : 0xFFu), marker(row)) << row.key;
        in.ebx = row.function | kSubWrite << 8;
        in.ecx = 0xFFFF0000 | (marker(row) ^ 0x5A5A);
        unit.serve(in, out);
        EXPECT_EQ(unit.state().settings.choice(row.function), stored(row)) << row.key;
        const auto& log = unit.callLog();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2], fn + " sub=00 cf=0" + reg + hexDigits(marker(row), word ? 4 : 2));
        EXPECT_EQ(log.back(), fn + " sub=01 cf=0" + reg + hexDigits(stored(row), word ? 4 : 2));

        unit.state().faults.fail = {row.getName, row.setName};
        for (const uint8_t sub : {kSubRead, kSubWrite}) {
            in.ebx = row.function | static_cast<uint32_t>(sub) << 8;
            unit.serve(in, out);
            EXPECT_EQ(out.eflags & kCarryFlag, kCarryFlag) << row.key;
        }
        unit.state().faults.fail.clear();
    }
    // Each row changed its own value and no other's; the failing sets changed nothing.
    for (const sim::ChoiceRow& row : sim::choiceRows())
        EXPECT_EQ(unit.state().settings.choice(row.function), stored(row)) << row.key;
}

using ProgramFaults = ::testing::Test;

TEST(ProgramFaults, DeviceWouldPunishThese) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto inUnit = [](auto action) {
        sim::ScopedUnit unit("");
        host::ConsoleCapture console;
        action();
    };
    const auto faulted = ::testing::ExitedWithCode(3);
    EXPECT_EXIT(inUnit([] { platform::reserveAddressSpace(0x20000, platform::kPageReadOnly); }), faulted,
                "^simulated unit: fault: reservation of 00020000h bytes");
    EXPECT_EXIT(inUnit([] { platform::reserveAddressSpace(kSegmentSize, 0x04); }), faulted,
                "simulated unit: fault: reservation with protection");
    EXPECT_EXIT(inUnit([] {
                    int local = 0;
                    platform::mapPhysical(&local, 0xF00, kSegmentSize, platform::kPhysicalRomProtection);
                }),
                faulted, "which is not a reserved region");
    EXPECT_EXIT(inUnit([] {
                    void* r = platform::reserveAddressSpace(kSegmentSize, platform::kPageReadOnly);
                    platform::mapPhysical(r, 0xF0000, kSegmentSize, platform::kPhysicalRomProtection);
                }),
                faulted, "mapping of physical form 000F0000h");
    EXPECT_EXIT(inUnit([] {
                    void* r = platform::reserveAddressSpace(kSegmentSize, platform::kPageReadOnly);
                    platform::mapPhysical(r, 0xF00, kSegmentSize, platform::kPageReadOnly);
                }),
                faulted, "mapping with protection 00000002h");
    EXPECT_EXIT(inUnit([] {
                    void* r = platform::reserveAddressSpace(kSegmentSize, platform::kPageReadOnly);
                    platform::releaseAddressSpace(r);
                    platform::releaseAddressSpace(r);
                }),
                faulted, "released twice, or never reserved");
    EXPECT_EXIT(inUnit([] {
                    BiosService service;
                    RegisterBlock in;
                    RegisterBlock out;
                    in.eax = 0xE910;
                    in.ebx = 8;
                    service.callService(in, out);
                }),
                faulted, "call of function 8");
    EXPECT_EXIT(inUnit([] {
                    BiosService service;
                    RegisterBlock in;
                    RegisterBlock out;
                    in.eax = 0xE911;
                    service.callService(in, out);
                }),
                faulted, "call with AX = 0000E911h");
    EXPECT_EXIT(inUnit([] {
                    BiosService service;
                    RegisterBlock in;
                    RegisterBlock out;
                    in.eax = 0xE910;
                    in.ebx = 0x0204;
                    service.callService(in, out);
                }),
                faulted, "function 4 with unknown subfunction");
    EXPECT_EXIT(inUnit([] {
                    BiosService service;
                    uint8_t boot[8] = {};
                    RegisterBlock in;
                    RegisterBlock out;
                    in.eax = 0xE910;
                    in.ebx = 9;
                    in.esi = platform::flatAddress(boot, sizeof boot);  // 8 bytes where the service fills 16
                    service.callService(in, out);
                }),
                faulted, "firmware access of 16 bytes at ESI");
    EXPECT_EXIT(inUnit([] {
                    BiosService service;
                    char scratch[16] = "tag";
                    RegisterBlock in;
                    RegisterBlock out;
                    in.eax = 0xE910;
                    in.ebx = 0x8103;
                    in.esi = platform::flatAddress(scratch, sizeof scratch);
                    in.edi = platform::flatAddress(scratch, sizeof scratch);
                    service.callService(in, out);
                }),
                faulted, "not the mapped ROM window");
}

TEST(ProgramFaults, ACallBesideTheEntryEndsInAFault) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The default unit's entry is at offset 8000h (a few bytes of stub there) and its header at
    // 7A30h; every other byte of the segment must stop the program, not answer.
    const size_t offsets[] = {0x0000, 0x0001, 0x0FFF, 0x1000, 0x3333, 0x7A2F, 0x7A3D, 0x7FF0,
                              0x7FFF, 0x8005, 0x8006, 0x8010, 0x8100, 0xC000, 0xFFFE, 0xFFFF};
    for (size_t offset : offsets) {
        EXPECT_EXIT(
            {
                sim::ScopedUnit unit("");
                host::ConsoleCapture console;
                BiosService service;
                RegisterBlock in;
                RegisterBlock out;
                in.eax = 0xE910;
                in.ebx = 4;
                platform::callEntry(service.segmentView + offset, in, out);
            },
            ::testing::ExitedWithCode(3), "^simulated unit: fault: call into .*which is not the announced service entry")
            << std::hex << offset;
    }
}

}  // namespace

namespace {

// A state file that uses every key, as a unit saves it.
std::string fullStateFile() {
    sim::State state;
    std::string error;
    const bool parsed = sim::parseState(
        "admin_password = \"a\\\"b\"\nuser_password = u\nasset_tag = \"Desk \\x80 12\"\nserial_port = 3\n"
        "parallel_port = 1\nparallel_mode = 0x0103\nepp_type = 1\nboot_sequence = 6 0 2 15\nps2_port = 1\n"
        "power_on_after_fail = 0\nusb_controller = 0\nwake_days = 0x41\nwake_hour = 23\nwake_minute = 59\n"
        "numlock = 0\ns3_support = 1\nspec_version = 2.10\nsupport_signature = invalid\nheader_offset = 0x7A30\n"
        "header_checksum = valid\ndecoy_headers = 0x10 0x7A20\nentry_address = 0xF8000\nfail = getNumlock setNumlock\n"
        "segment_reserve_error = 0x57\nsegment_map_error = 5\nwindow_reserve_error = 8\nwindow_map_error = 0x0E\n"
        "scratch_alloc = fail\nce_version = 6\n",
        state, error);
    EXPECT_TRUE(parsed) << error;
    return sim::formatState(state);
}

TEST(StateFile, TruncatedAtEveryByteEitherLoadsWholeOrNamesTheCutLine) {
    const std::string text = fullStateFile();
    size_t loaded = 0;
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        const std::string prefix = text.substr(0, cut);
        sim::State state;
        state.settings.choice(kFnSerialPort) = 99;  // a marker: a failed parse must leave it
        std::string error;
        if (sim::parseState(prefix, state, error)) {
            ++loaded;
            // What loaded is a whole state: saved again, it reads back the same.
            sim::State again;
            ASSERT_TRUE(sim::parseState(sim::formatState(state), again, error)) << cut << ": " << error;
            EXPECT_TRUE(again == state) << cut;
            continue;
        }
        EXPECT_EQ(state.settings.choice(kFnSerialPort), 99) << "half-loaded at " << cut;
        const size_t cutLine = static_cast<size_t>(std::count(prefix.begin(), prefix.end(), '\n')) + 1;
        EXPECT_EQ(error.substr(0, error.find(':')), std::to_string(cutLine)) << cut << ": " << error;
    }
    EXPECT_GT(loaded, 0u);
    EXPECT_LT(loaded, text.size());
}

}  // namespace
