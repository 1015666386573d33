// The driver's request check: pure, so that the host's tests and fuzzer run the very code that
// decides, in the kernel, what is mapped.
#include "map_request.h"

namespace mapdriver {

namespace {

uint32_t wordAt(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void putWord(uint32_t value, uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool allowedMapping(const MapRequest& r) {
    if (r.protection != kMapProtection) return false;
    return (r.physicalForm == kSegmentForm && r.size == kSegmentBytes) ||
           (r.physicalForm == kWindowForm && r.size == kWindowBytes);
}

bool inUserSpace(const MapRequest& r) {
    return r.destination != 0 && r.destination % kPageBytes == 0 && r.destination <= kUserSpaceEnd - r.size;
}

}  // namespace

void encodeMapRequest(const MapRequest& request, uint8_t* bytes) {
    putWord(request.destination, bytes);
    putWord(request.physicalForm, bytes + 4);
    putWord(request.size, bytes + 8);
    putWord(request.protection, bytes + 12);
}

bool decodeMapRequest(uint32_t code, const uint8_t* in, uint32_t inLength, uint32_t outLength, MapRequest& request) {
    if (code != kMapRequestCode || in == 0 || inLength != kMapRequestBytes || outLength != 0) return false;
    MapRequest decoded;
    decoded.destination = wordAt(in);
    decoded.physicalForm = wordAt(in + 4);
    decoded.size = wordAt(in + 8);
    decoded.protection = wordAt(in + 12);
    if (!allowedMapping(decoded) || !inUserSpace(decoded)) return false;
    request = decoded;
    return true;
}

}  // namespace mapdriver
