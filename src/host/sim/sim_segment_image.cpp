// The segment image: a paragraph-aligned service header among CCh filler, after any decoys
// whose checksum fails.
#include "sim_segment_image.h"

#include "firmware_interface.h"

namespace sim {

std::vector<uint8_t> segmentImage(const Faults& faults) {
    std::vector<uint8_t> image(kSegmentSize, 0xCC);
    const auto writeHeader = [&](uint32_t offset, bool valid) {
        uint8_t header[kHeaderLength] = {kHeaderSignature[0], kHeaderSignature[1], kHeaderSignature[2],
                                         kHeaderSignature[3]};
        const uint32_t entry = faults.entryAddress;
        for (size_t i = 0; i < 4; ++i) header[kHeaderEntryOffset + i] = static_cast<uint8_t>(entry >> (8 * i));
        header[9] = 0x5A;
        header[10] = 0x4D;
        header[11] = 0x00;
        uint8_t sum = 0;
        for (size_t i = 0; i < kHeaderLength - 1; ++i) sum = static_cast<uint8_t>(sum + header[i]);
        header[kHeaderLength - 1] = static_cast<uint8_t>(0x100 - sum + (valid ? 0 : 1));
        for (size_t i = 0; i < kHeaderLength && offset + i < image.size(); ++i) image[offset + i] = header[i];
    };
    for (uint32_t decoy : faults.decoyHeaders) writeHeader(decoy, false);
    writeHeader(faults.headerOffset, faults.checksumValid);
    return image;
}

}  // namespace sim
