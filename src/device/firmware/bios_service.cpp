// Locating the firmware settings service, the support check, and the one call into firmware.
#include "bios_service.h"

#include "platform.h"
#include "reserved_region.h"

namespace {

bool isServiceHeader(const uint8_t* candidate) {
    for (size_t i = 0; i < sizeof kHeaderSignature; ++i) {
        if (candidate[i] != kHeaderSignature[i]) return false;
    }
    uint8_t sum = 0;
    for (size_t i = 0; i < kHeaderLength; ++i) sum = static_cast<uint8_t>(sum + candidate[i]);
    if (sum != 0) return false;
    // An entry outside the segment could only be called outside the mapping.
    const uint32_t entryAddress = headerEntryAddress(candidate);
    return entryAddress >= kSegmentPhysical && entryAddress - kSegmentPhysical < kSegmentSize;
}

}  // namespace

uint32_t headerEntryAddress(const uint8_t* header) {
    const uint8_t* p = header + kHeaderEntryOffset;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool findServiceHeader(const uint8_t* segment, size_t size, size_t& offset) {
    // Every paragraph but the last, as long as a whole header fits in the image.
    for (size_t candidate = 0; candidate < kScanLimit && candidate + kHeaderLength <= size;
         candidate += kHeaderStride) {
        if (isServiceHeader(segment + candidate)) {
            offset = candidate;
            return true;
        }
    }
    return false;
}

BiosService::BiosService() : available(0), segmentView(0), entry(0), released_(false) {
    ReservedRegion segment(kSegmentSize);
    if (!segment.held() || !segment.mapRom(kSegmentPhysical)) return;

    const uint8_t* view = static_cast<const uint8_t*>(segment.address());
    size_t header = 0;
    if (!findServiceHeader(view, kSegmentSize, header)) {
        platform::consolePrint(L"***ERROR*** Failed to locate BIOS Service (DM) header!\n");
        return;
    }
    segmentView = static_cast<const uint8_t*>(segment.detach());
    entry = segmentView + (headerEntryAddress(segmentView + header) - kSegmentPhysical);
    available = 1;
    checkSupport();
}

BiosService::~BiosService() { release(); }

void BiosService::release() {
    if (released_) return;
    released_ = true;
    if (segmentView != 0) platform::releaseAddressSpace(const_cast<uint8_t*>(segmentView));
}

void BiosService::callService(const RegisterBlock& in, RegisterBlock& out) const {
    platform::callEntry(entry, in, out);
}

bool BiosService::call(uint8_t function, uint8_t subfunction, RegisterBlock& in, RegisterBlock& out) const {
    in.eax = kServiceSelector;
    in.ebx = static_cast<uint32_t>(subfunction) << 8 | function;
    callService(in, out);
    return (out.eflags & kCarryFlag) == 0;
}

bool BiosService::checkSupport() {
    RegisterBlock in;
    RegisterBlock out;
    const bool carryClear = call(kFnSupport, kSubRead, in, out);
    if (carryClear && (out.ecx & 0xFFFF) == kSupportCx && (out.edx & 0xFFFF) == kSupportDx) {
        platform::consolePrint(L"Zentos Spec Version %X.%02X\n\n", (out.ebx >> 8) & 0xFF, out.ebx & 0xFF);
        return true;
    }
    platform::consolePrint(L"***ERROR*** Zentos not supported!\n");
    return false;
}
