// The mapping driver's request check, the very code that decides in the kernel what is mapped:
// the two mappings the program makes pass, anything that differs from them in one field, one
// length or the control code does not, and a refused request leaves the caller's copy alone.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "map_request.h"

namespace {

using mapdriver::MapRequest;

constexpr uint32_t kRegion = 0x00410000;  // a reservation's base, as CE hands them out
const MapRequest kSegment{kRegion, 0xF00, 0x10000, 0x602};
const MapRequest kWindow{kRegion, 0xFFF800, 0x80000, 0x602};

std::array<uint8_t, 16> bytesOf(const MapRequest& request) {
    std::array<uint8_t, 16> bytes{};
    mapdriver::encodeMapRequest(request, bytes.data());
    return bytes;
}

bool admitted(const MapRequest& request) {
    const auto bytes = bytesOf(request);
    MapRequest out{1, 2, 3, 4};
    const bool ok = mapdriver::decodeMapRequest(mapdriver::kMapRequestCode, bytes.data(), 16, 0, out);
    const bool untouched = out.destination == 1 && out.physicalForm == 2 && out.size == 3 && out.protection == 4;
    EXPECT_TRUE(ok || untouched) << "a refused request was written";
    if (ok) {
        EXPECT_EQ(out.destination, request.destination);
        EXPECT_EQ(out.physicalForm, request.physicalForm);
        EXPECT_EQ(out.size, request.size);
        EXPECT_EQ(out.protection, request.protection);
    }
    return ok;
}

TEST(MapRequest, TheEncodingIsFourLittleEndianWords) {
    const std::array<uint8_t, 16> expected{0x00, 0x00, 0x41, 0x00, 0x00, 0xF8, 0xFF, 0x00,
                                           0x00, 0x00, 0x08, 0x00, 0x02, 0x06, 0x00, 0x00};
    EXPECT_EQ(bytesOf(kWindow), expected);
}

TEST(MapRequest, AdmitsExactlyTheTwoMappingsIntoTheCallersOwnSpace) {
    struct Case {
        const char* what;
        MapRequest request;
        bool admitted;
    };
    const Case cases[] = {
        {"the segment", kSegment, true},
        {"the ROM window", kWindow, true},
        {"the window ending at 40000000h", {0x40000000 - 0x80000, 0xFFF800, 0x80000, 0x602}, true},
        {"the segment ending at 40000000h", {0x40000000 - 0x10000, 0xF00, 0x10000, 0x602}, true},
        {"the segment's form with the window's size", {kRegion, 0xF00, 0x80000, 0x602}, false},
        {"the window's form with the segment's size", {kRegion, 0xFFF800, 0x10000, 0x602}, false},
        {"the paragraph after the segment", {kRegion, 0xF01, 0x10000, 0x602}, false},
        {"the segment below", {kRegion, 0xE00, 0x10000, 0x602}, false},
        {"the address, not the address / 256", {kRegion, 0xF0000, 0x10000, 0x602}, false},
        {"a smaller size", {kRegion, 0xF00, 0xF000, 0x602}, false},
        {"writable (PAGE_READWRITE)", {kRegion, 0xF00, 0x10000, 0x604}, false},
        {"executable (PAGE_EXECUTE_READ)", {kRegion, 0xF00, 0x10000, 0x620}, false},
        {"cached", {kRegion, 0xFFF800, 0x80000, 0x402}, false},
        {"not physical", {kRegion, 0xF00, 0x10000, 0x202}, false},
        {"no destination", {0, 0xF00, 0x10000, 0x602}, false},
        {"a destination inside a page", {kRegion + 0x10, 0xF00, 0x10000, 0x602}, false},
        {"the window one page higher", {0x40000000 - 0x80000 + 0x1000, 0xFFF800, 0x80000, 0x602}, false},
        {"the segment one page higher", {0x40000000 - 0x10000 + 0x1000, 0xF00, 0x10000, 0x602}, false},
        {"the shared areas at 40000000h", {0x40000000, 0xF00, 0x10000, 0x602}, false},
        {"the kernel's half", {0x80000000, 0xF00, 0x10000, 0x602}, false},
        {"the kernel's half, high", {0xC0000000, 0xFFF800, 0x80000, 0x602}, false},
        {"a window whose end wraps round", {0xFFFF0000, 0xFFF800, 0x80000, 0x602}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(admitted(c.request), c.admitted) << c.what;
}

TEST(MapRequest, RefusesOtherCodesLengthsAndBuffers) {
    const auto bytes = bytesOf(kSegment);
    std::array<uint8_t, 17> longer{};
    std::copy(bytes.begin(), bytes.end(), longer.begin());
    struct Case {
        const char* what;
        uint32_t code;
        const uint8_t* in;
        uint32_t inLength;
        uint32_t outLength;
    };
    const Case cases[] = {
        {"another function", mapdriver::kMapRequestCode + 4, bytes.data(), 16, 0},
        {"another method", mapdriver::kMapRequestCode | 3, bytes.data(), 16, 0},
        {"code 0", 0, bytes.data(), 16, 0},
        {"one byte short", mapdriver::kMapRequestCode, bytes.data(), 15, 0},
        {"one byte more", mapdriver::kMapRequestCode, longer.data(), 17, 0},
        {"no input", mapdriver::kMapRequestCode, nullptr, 16, 0},
        {"an output asked for", mapdriver::kMapRequestCode, bytes.data(), 16, 4},
    };
    for (const Case& c : cases) {
        MapRequest out{};
        EXPECT_FALSE(mapdriver::decodeMapRequest(c.code, c.in, c.inLength, c.outLength, out)) << c.what;
    }
}

}  // namespace
