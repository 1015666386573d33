// Locating the service header: the scan over segment images and the service object's
// construction on simulated units with every header and mapping fault.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "bios_service.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"

namespace {

// The scan's answer as an optional offset.
std::optional<size_t> headerIn(const std::vector<uint8_t>& image) {
    size_t offset = 0;
    if (!findServiceHeader(image.data(), image.size(), offset)) return std::nullopt;
    return offset;
}

std::vector<uint8_t> blankSegment() { return std::vector<uint8_t>(kSegmentSize, 0xCC); }

void putHeader(std::vector<uint8_t>& image, size_t offset, uint32_t entry, bool validChecksum = true) {
    uint8_t header[kHeaderLength] = {0x41, 0x21, 0x55, 0x30, 0x07};
    for (int i = 0; i < 4; ++i) header[5 + i] = static_cast<uint8_t>(entry >> (8 * i));
    uint8_t sum = 0;
    for (size_t i = 0; i < kHeaderLength - 1; ++i) sum = static_cast<uint8_t>(sum + header[i]);
    header[12] = static_cast<uint8_t>(-sum + (validChecksum ? 0 : 3));
    for (size_t i = 0; i < kHeaderLength; ++i) image[offset + i] = header[i];
}

TEST(HeaderScan, FindsOnlyAlignedHeadersBelowTheLastParagraph) {
    struct Case {
        size_t offset;
        bool found;
    };
    const Case cases[] = {{0x0000, true},  {0x7A30, true},  {0xFFE0, true}, {0xFFF0, false},
                          {0x7A31, false}, {0x7A38, false}, {0x0008, false}};
    for (const Case& c : cases) {
        std::vector<uint8_t> image = blankSegment();
        putHeader(image, c.offset, 0xF8000);
        const auto found = headerIn(image);
        EXPECT_EQ(found.has_value(), c.found) << std::hex << c.offset;
        if (c.found) {
            EXPECT_EQ(*found, c.offset);
        }
    }
}

TEST(HeaderScan, SkipsBadChecksumsAndEntriesOutsideTheSegment) {
    std::vector<uint8_t> image = blankSegment();
    putHeader(image, 0x0100, 0xF8000, false);
    putHeader(image, 0x0200, 0xEFFFF);    // below the segment
    putHeader(image, 0x0300, 0x100000);   // just above it
    putHeader(image, 0x0400, 0xFFFFF);    // the last byte: inside
    EXPECT_EQ(headerIn(image), std::optional<size_t>(0x0400));
}

TEST(HeaderScan, SignatureSplitAcrossParagraphsIsNotAHeader) {
    std::vector<uint8_t> image = blankSegment();
    putHeader(image, 0x0100, 0xF8000);
    // Move it two bytes back so that it straddles the paragraph boundary at 0x100.
    std::vector<uint8_t> shifted = blankSegment();
    for (size_t i = 0; i < kHeaderLength; ++i) shifted[0x00FE + i] = image[0x0100 + i];
    EXPECT_FALSE(headerIn(shifted).has_value());
}

TEST(HeaderScan, EntryAddressIsLittleEndianAndUnaligned) {
    const uint8_t header[kHeaderLength] = {0x41, 0x21, 0x55, 0x30, 0, 0x34, 0x12, 0x0F, 0x00};
    EXPECT_EQ(headerEntryAddress(header), 0x000F1234u);
}

struct Construction {
    const char* state;
    bool available;
    const char* console;
};

TEST(ServiceConstruction, MessagesAndStateForEveryOutcome) {
    const Construction cases[] = {
        {"", true, "Zentos Spec Version 1.02\n\n"},
        {"spec_version = A.05", true, "Zentos Spec Version A.05\n\n"},
        {"fail = checkSupport", true, "***ERROR*** Zentos not supported!\n"},
        {"support_signature = invalid", true, "***ERROR*** Zentos not supported!\n"},
        {"segment_reserve_error = 0x57", false, "***ERROR*** VirtualAlloc failed (00000057)!\n"},
        {"segment_map_error = 0x8007000E", false, "***ERROR*** VirtualCopy failed (8007000E)!\n"},
        {"header_checksum = invalid", false, "***ERROR*** Failed to locate BIOS Service (DM) header!\n"},
        {"header_offset = 0x7A38", false, "***ERROR*** Failed to locate BIOS Service (DM) header!\n"},
        {"header_offset = 0xFFF0", false, "***ERROR*** Failed to locate BIOS Service (DM) header!\n"},
        {"header_offset = 0xFFE0", true, "Zentos Spec Version 1.02\n\n"},
        {"entry_address = 0xE0000", false, "***ERROR*** Failed to locate BIOS Service (DM) header!\n"},
        {"decoy_headers = 0 0x10 0x7A20", true, "Zentos Spec Version 1.02\n\n"},
    };
    for (const Construction& c : cases) {
        sim::ScopedUnit unit(c.state);
        ASSERT_TRUE(unit.ok()) << unit.error();
        host::ConsoleCapture console;
        BiosService service;
        EXPECT_EQ(service.available, c.available ? 1 : 0) << c.state;
        EXPECT_EQ(console.text(), c.console) << c.state;
        EXPECT_EQ(service.segmentView != nullptr, c.available) << c.state;
        EXPECT_EQ(unit.unit().regionsHeld(), c.available) << c.state;
        if (!c.available) {
            EXPECT_EQ(service.entry, nullptr);
            EXPECT_TRUE(unit.unit().calls().empty()) << c.state;
        }
        service.release();
        EXPECT_FALSE(unit.unit().regionsHeld()) << c.state;
    }
}

TEST(ServiceConstruction, EntryIsTheHeadersAddressWithinTheView) {
    sim::ScopedUnit unit("entry_address = 0xF1234");
    host::ConsoleCapture console;
    BiosService service;
    ASSERT_EQ(service.available, 1);
    EXPECT_EQ(static_cast<const uint8_t*>(service.entry), service.segmentView + 0x1234);
    // The header really is in the mapped view, where the scan found it.
    EXPECT_EQ(service.segmentView[0x7A30], 0x41);
}

TEST(ServiceConstruction, SupportCheckRegisterImage) {
    sim::ScopedUnit unit("");
    host::ConsoleCapture console;
    BiosService service;
    ASSERT_EQ(unit.unit().calls().size(), 1u);
    const RegisterBlock& in = unit.unit().calls()[0].in;
    EXPECT_EQ(in.eax, 0x0000E910u);
    EXPECT_EQ(in.ebx, 0u);
    EXPECT_EQ(in.ecx | in.edx | in.esi | in.edi | in.unused | in.eflags, 0u);
    EXPECT_EQ(unit.unit().callLog()[0], "fn=0 sub=00 cf=0");
}

TEST(ServiceConstruction, AFailedSupportCheckStillLeavesTheServiceUsable) {
    sim::ScopedUnit unit("fail = checkSupport");
    host::ConsoleCapture console;
    BiosService service;
    uint32_t port = 0;
    EXPECT_TRUE(service.getSerialPort(port));
    EXPECT_EQ(port, 1u);
}

TEST(ServiceRelease, ReleasesTheViewExactlyOnce) {
    sim::ScopedUnit unit("");
    host::ConsoleCapture console;
    {
        BiosService service;
        service.release();
        EXPECT_FALSE(unit.unit().regionsHeld());
        service.release();  // a second release by the owner is harmless
    }  // and the destructor does not release again: the unit would stop with a fault
    {
        BiosService service;  // not released by its owner: the destructor does it
    }
    EXPECT_FALSE(unit.unit().regionsHeld());
}

}  // namespace
