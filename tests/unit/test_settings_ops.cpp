// The settings operations: register images, what they deliver, their messages and what they
// release, each against a simulated unit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bios_service.h"
#include "firmware_interface.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"

namespace {

// A unit with a constructed service; the support check's call and line are cleared away.
struct Fixture {
    explicit Fixture(const std::string& state = "") : unit(state) {
        EXPECT_TRUE(unit.ok()) << unit.error();
        service = std::make_unique<BiosService>();
        console.clear();
        first = unit.unit().calls().size();
    }
    ~Fixture() {
        service->release();
        EXPECT_FALSE(unit.unit().regionsHeld());
    }
    const sim::CallRecord& lastCall() { return unit.unit().calls().back(); }
    size_t callsMade() { return unit.unit().calls().size() - first; }

    sim::ScopedUnit unit;
    host::ConsoleCapture console;
    std::unique_ptr<BiosService> service;
    size_t first = 0;
};

using Get = bool (BiosService::*)(uint32_t&);
using Set = bool (BiosService::*)(uint32_t);

struct ByteOp {
    const char* name;
    Get get;
    Set set;
    uint8_t function;
    const char* key;
    const wchar_t* getMessage;
    const wchar_t* setMessage;
};

const ByteOp kByteOps[] = {
    {"SerialPort", &BiosService::getSerialPort, &BiosService::setSerialPort, 4, "serial_port",
     L"***ERROR*** Failed to get serial port setting!\n", L"***ERROR*** Failed to set serial port setting!\n"},
    {"ParallelPort", &BiosService::getParallelPort, &BiosService::setParallelPort, 5, "parallel_port",
     L"***ERROR*** Failed to get parallel port setting!\n", L"***ERROR*** Failed to set parallel port setting!\n"},
    {"EppType", &BiosService::getEppType, &BiosService::setEppType, 7, "epp_type",
     L"***ERROR*** Failed to get parallel port EPP type!\n", L"***ERROR*** Failed to set parallel port EPP type!\n"},
    {"Ps2Port", &BiosService::getPs2Port, &BiosService::setPs2Port, 10, "ps2_port",
     L"***ERROR*** Failed to get PS2 port setting!\n", L"***ERROR*** Failed to set PS2 port setting!\n"},
    {"PowerOnAfterFail", &BiosService::getPowerOnAfterFail, &BiosService::setPowerOnAfterFail, 11,
     "power_on_after_fail", L"***ERROR*** Failed to get PWRON_After_PWRFail setting!\n",
     L"***ERROR*** Failed to set PWRON_After_PWRFail setting!\n"},
    {"UsbController", &BiosService::getUsbController, &BiosService::setUsbController, 12, "usb_controller",
     L"***ERROR*** Failed to get USB controller setting!\n", L"***ERROR*** Failed to set USB controller setting!\n"},
    {"Numlock", &BiosService::getNumlock, &BiosService::setNumlock, 14, "numlock",
     L"***ERROR*** Failed to get Numlock setting!\n", L"***ERROR*** Failed to set Numlock setting!\n"},
    {"S3Support", &BiosService::getS3Support, &BiosService::setS3Support, 15, "s3_support", nullptr,
     L"***ERROR*** Failed to set S3 setting!\n"},
};

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) out += static_cast<char>(*text);
    return out;
}

TEST(ByteSettings, GetTakesOnlyClAndSetPassesOnlyTheLowByte) {
    for (const ByteOp& op : kByteOps) {
        Fixture f(std::string(op.key) + " = 0xC3");
        uint32_t value = 0xDEADBEEF;
        EXPECT_TRUE(((*f.service).*op.get)(value)) << op.name;
        EXPECT_EQ(value, 0xC3u) << op.name;  // the unit sets junk in the rest of ECX
        EXPECT_EQ(f.lastCall().in.eax, 0xE910u);
        EXPECT_EQ(f.lastCall().in.ebx, op.function) << op.name;
        EXPECT_EQ(f.lastCall().in.ecx, 0u);

        EXPECT_TRUE(((*f.service).*op.set)(0x12345A7u)) << op.name;
        EXPECT_EQ(f.lastCall().in.ebx, 0x100u | op.function) << op.name;
        EXPECT_EQ(f.lastCall().in.ecx, 0xA7u) << op.name;
        EXPECT_EQ(f.lastCall().in.esi | f.lastCall().in.edi | f.lastCall().in.edx, 0u);
        EXPECT_EQ(f.console.text(), "") << op.name;
    }
}

TEST(ByteSettings, FailuresPrintTheirMessageAndLeaveTheValue) {
    for (const ByteOp& op : kByteOps) {
        const std::string base = op.name;
        Fixture f("fail = get" + base + " set" + base);
        uint32_t value = 0xFFFFFFFF;
        EXPECT_FALSE(((*f.service).*op.get)(value)) << op.name;
        EXPECT_EQ(value, 0xFFFFFFFFu) << op.name;
        EXPECT_EQ(f.console.text(), narrow(op.getMessage)) << op.name;  // S3: silent
        f.console.clear();
        EXPECT_FALSE(((*f.service).*op.set)(1)) << op.name;
        EXPECT_EQ(f.console.text(), narrow(op.setMessage)) << op.name;
    }
}

TEST(ParallelMode, GetReturnsTheWholeWordAndSetPassesSixteenBits) {
    Fixture f("parallel_mode = 0x0102");
    uint32_t value = 0;
    EXPECT_TRUE(f.service->getParallelMode(value));
    EXPECT_EQ(value, 0x0102u);
    EXPECT_TRUE(f.service->setParallelMode(0xFFFF0103));
    EXPECT_EQ(f.lastCall().in.ebx, 0x106u);
    EXPECT_EQ(f.lastCall().in.ecx, 0x0103u);
    EXPECT_EQ(f.unit.settings().choice(kFnParallelMode), 0x0103);
}

TEST(ParallelMode, FailureMessages) {
    Fixture f("fail = getParallelMode setParallelMode");
    uint32_t value = 7;
    EXPECT_FALSE(f.service->getParallelMode(value));
    EXPECT_FALSE(f.service->setParallelMode(1));
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(f.console.text(),
              "***ERROR*** Failed to get parallel port mode!\n***ERROR*** Failed to set parallel port mode!\n");
}

TEST(Passwords, StateIsTheCarryFlagAndNeverFails) {
    struct Case {
        const char* state;
        uint32_t admin;
        uint32_t user;
    };
    const Case cases[] = {
        {"", 1, 0},
        {"admin_password = \"\"\nuser_password = x", 0, 1},
        {"fail = getAdminPasswordState getUserPasswordState\nuser_password = x", 0, 0},
    };
    for (const Case& c : cases) {
        Fixture f(c.state);
        uint32_t admin = 9;
        uint32_t user = 9;
        EXPECT_TRUE(f.service->getAdminPasswordState(admin));
        EXPECT_TRUE(f.service->getUserPasswordState(user));
        EXPECT_EQ(admin, c.admin) << c.state;
        EXPECT_EQ(user, c.user) << c.state;
        EXPECT_EQ(f.unit.unit().calls()[f.first].in.ebx, 0x101u);
        EXPECT_EQ(f.lastCall().in.ebx, 0x102u);
        EXPECT_EQ(f.console.text(), "");
    }
}

TEST(Passwords, SetPassesLengthAndTextAndEmptyClears) {
    Fixture f;
    EXPECT_TRUE(f.service->setAdminPassword("a b"));
    EXPECT_EQ(f.lastCall().in.ebx, 0x201u);
    EXPECT_EQ(f.lastCall().in.ecx, 3u);
    EXPECT_EQ(f.unit.settings().adminPassword, "a b");
    EXPECT_TRUE(f.service->setAdminPassword(""));
    EXPECT_EQ(f.lastCall().in.ebx, 0x001u);
    EXPECT_EQ(f.lastCall().in.ecx, 0u);
    EXPECT_EQ(f.unit.settings().adminPassword, "");
    EXPECT_TRUE(f.service->setUserPassword(" *x "));
    EXPECT_EQ(f.lastCall().in.ebx, 0x202u);
    EXPECT_EQ(f.unit.settings().userPassword, " *x ");
    // The log never holds a password's text.
    for (const std::string& line : f.unit.unit().callLog()) EXPECT_EQ(line.find("*x"), std::string::npos) << line;
}

TEST(Passwords, FailureMessages) {
    Fixture f("fail = setAdminPassword setUserPassword");
    EXPECT_FALSE(f.service->setAdminPassword("x"));
    EXPECT_FALSE(f.service->setUserPassword(""));
    EXPECT_EQ(f.console.text(),
              "***ERROR*** Failed to set administrator password!\n***ERROR*** Failed to set user password!\n");
    EXPECT_EQ(f.unit.settings().adminPassword, "admin");
}

TEST(AssetTag, CapacityCases) {
    struct Case {
        size_t length;
        uint32_t capacity;
        bool whole;
        uint32_t capacityAfter;
    };
    const Case cases[] = {{0, 64, true, 0}, {6, 64, true, 6}, {63, 64, true, 63}, {64, 64, false, 65},
                          {200, 64, false, 201}, {5, 1, false, 6}, {0, 1, true, 0}};
    for (const Case& c : cases) {
        std::string tag;
        for (size_t i = 0; i < c.length; ++i) tag += static_cast<char>('A' + i % 26);
        Fixture f("asset_tag = \"" + tag + "\"");
        char buffer[80];
        std::memset(buffer, 'z', sizeof buffer);
        uint32_t capacity = c.capacity;
        EXPECT_EQ(f.service->getAssetTag(buffer, capacity), c.whole) << c.length;
        EXPECT_EQ(capacity, c.capacityAfter) << c.length;
        const size_t kept = c.length < c.capacity - 1 ? c.length : c.capacity - 1;
        EXPECT_EQ(std::string(buffer, kept), tag.substr(0, kept));
        for (size_t i = kept; i < c.capacity; ++i) EXPECT_EQ(buffer[i], '\0') << c.length << " at " << i;
        EXPECT_EQ(buffer[c.capacity], 'z');  // nothing past the capacity
        EXPECT_EQ(f.console.text(), "");
    }
}

TEST(AssetTag, RegisterImageHandsScratchAndRomWindow) {
    Fixture f;
    char buffer[64];
    uint32_t capacity = sizeof buffer;
    ASSERT_TRUE(f.service->getAssetTag(buffer, capacity));
    EXPECT_EQ(f.lastCall().in.ebx, 0x103u);
    EXPECT_NE(f.lastCall().in.esi, 0u);
    EXPECT_NE(f.lastCall().in.edi, 0u);
    ASSERT_TRUE(f.service->setAssetTag("\x80 tag \xFF"));
    EXPECT_EQ(f.lastCall().in.ebx, 0x8103u);
    EXPECT_EQ(f.unit.settings().assetTag, "\x80 tag \xFF");
}

TEST(AssetTag, ATagWithoutZeroIsMeasuredWithinTheScratchBuffer) {
    Fixture f;
    f.unit.unit().setResponder([](sim::Unit& unit, const RegisterBlock& in, RegisterBlock& out) {
        std::memset(unit.access(in.esi, kAssetTagScratchSize, "ESI"), 'Q', kAssetTagScratchSize);
        out.eflags = 0;
        return true;
    });
    char buffer[64];
    uint32_t capacity = sizeof buffer;
    EXPECT_FALSE(f.service->getAssetTag(buffer, capacity));
    EXPECT_EQ(capacity, kAssetTagScratchSize + 1);
    EXPECT_EQ(std::string(buffer), std::string(63, 'Q'));
}

TEST(AssetTag, FailuresPrintTheirMessageAndReleaseTheWindow) {
    struct Case {
        const char* state;
        const char* getMessage;
        const char* setMessage;
    };
    const Case cases[] = {
        {"scratch_alloc = fail", "***ERROR*** Not enough memory!\n", "***ERROR*** Not enough memory!\n"},
        {"window_reserve_error = 8", "***ERROR*** VirtualAlloc failed (00000008)!\n",
         "***ERROR*** VirtualAlloc failed (00000008)!\n"},
        {"window_map_error = 0x57", "***ERROR*** VirtualCopy failed (00000057)!\n",
         "***ERROR*** VirtualCopy failed (00000057)!\n"},
        {"fail = getAssetTag setAssetTag", "***ERROR*** Failed to get asset tag!\n",
         "***ERROR*** Failed to set asset tag!\n"},
    };
    for (const Case& c : cases) {
        Fixture f(c.state);
        char buffer[64] = "unchanged";
        uint32_t capacity = sizeof buffer;
        EXPECT_FALSE(f.service->getAssetTag(buffer, capacity)) << c.state;
        EXPECT_EQ(std::string(buffer), "unchanged");
        EXPECT_EQ(capacity, 64u);
        EXPECT_EQ(f.console.text(), c.getMessage) << c.state;
        f.console.clear();
        EXPECT_FALSE(f.service->setAssetTag("NEW")) << c.state;
        EXPECT_EQ(f.console.text(), c.setMessage) << c.state;
        EXPECT_EQ(f.unit.settings().assetTag, "ROOM-7");
        // Only the segment view is still held: the window went with each operation.
        EXPECT_TRUE(f.unit.unit().regionsHeld());
    }
}

TEST(BootSequence, GetFillsTheCallersBufferAndSetPassesIt) {
    Fixture f("boot_sequence = 2 5 6");
    BootSequence boot;
    boot.fill(0x11);
    ASSERT_TRUE(f.service->getBootSequence(boot));
    EXPECT_EQ(f.lastCall().in.ebx, 9u);
    EXPECT_EQ(boot[0], 2);
    EXPECT_EQ(boot[2], 6);
    EXPECT_EQ(boot[3], kBootEnd);
    BootSequence next{};
    next.fill(kBootEnd);
    next[0] = 6;
    next[1] = 0;
    ASSERT_TRUE(f.service->setBootSequence(next));
    EXPECT_EQ(f.lastCall().in.ebx, 0x109u);
    EXPECT_EQ(f.unit.settings().bootSequence, (std::vector<uint8_t>{6, 0}));
}

TEST(BootSequence, FailuresLeaveTheBuffer) {
    Fixture f("fail = getBootSequence setBootSequence");
    BootSequence boot;
    boot.fill(0x42);
    EXPECT_FALSE(f.service->getBootSequence(boot));
    EXPECT_EQ(boot[0], 0x42);
    EXPECT_FALSE(f.service->setBootSequence(boot));
    EXPECT_EQ(f.console.text(),
              "***ERROR*** Failed to get boot sequence!\n***ERROR*** Failed to set boot sequence!\n");
}

TEST(WakeOnRtc, PacksDaysMinuteAndHour) {
    Fixture f("wake_days = 0x3E\nwake_hour = 6\nwake_minute = 5");
    WakeSetting value = 0xFFFFFFFF;
    ASSERT_TRUE(f.service->getWakeOnRtc(value));
    EXPECT_EQ(value, 0x0605003Eu);  // bits 8-15 clear although the unit left junk in CH
    EXPECT_EQ(f.lastCall().in.ebx, 13u);
    ASSERT_TRUE(f.service->setWakeOnRtc(packWake(0x41, 23, 59)));
    EXPECT_EQ(f.lastCall().in.ebx, 0x10Du);
    EXPECT_EQ(f.lastCall().in.ecx, 0x41u);
    EXPECT_EQ(f.unit.settings().wakeDays, 0x41);
    EXPECT_EQ(f.unit.settings().wakeHour, 23);
    EXPECT_EQ(f.unit.settings().wakeMinute, 59);
}

TEST(WakeOnRtc, FailedGetClearsTheValue) {
    Fixture f("fail = getWakeOnRtc setWakeOnRtc");
    WakeSetting value = 0xFFFFFFFF;
    EXPECT_FALSE(f.service->getWakeOnRtc(value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(f.service->setWakeOnRtc(packWake(2, 12, 0)));
    EXPECT_EQ(f.console.text(),
              "***ERROR*** Failed to get Wake on RTC setting!\n***ERROR*** Failed to set Wake on RTC setting!\n");
}

TEST(UnavailableService, EveryOperationFailsSilentlyWithoutACall) {
    Fixture f("header_checksum = invalid");
    ASSERT_EQ(f.service->available, 0);
    uint32_t value = 5;
    char tag[64];
    uint32_t capacity = sizeof tag;
    BootSequence boot{};
    WakeSetting wake = 7;
    EXPECT_FALSE(f.service->getAdminPasswordState(value));
    EXPECT_FALSE(f.service->setUserPassword("x"));
    EXPECT_FALSE(f.service->getAssetTag(tag, capacity));
    EXPECT_FALSE(f.service->setAssetTag("x"));
    EXPECT_FALSE(f.service->getBootSequence(boot));
    EXPECT_FALSE(f.service->setBootSequence(boot));
    EXPECT_FALSE(f.service->getWakeOnRtc(wake));
    EXPECT_FALSE(f.service->setWakeOnRtc(wake));
    EXPECT_FALSE(f.service->getParallelMode(value));
    for (const ByteOp& op : kByteOps) {
        EXPECT_FALSE(((*f.service).*op.get)(value));
        EXPECT_FALSE(((*f.service).*op.set)(1));
    }
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(f.callsMade(), 0u);
    EXPECT_EQ(f.console.text(), "");
}

}  // namespace
