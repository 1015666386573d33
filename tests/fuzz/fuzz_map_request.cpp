// Fuzz target: the mapping driver's request check, fed arbitrary control codes, lengths and
// bytes. Nothing but the two mappings the program makes, into a page-aligned region wholly below
// 40000000h, is ever admitted, and an admitted request is exactly the words it was sent as.
// Input: the code and the output length as two 32-bit words, then the input buffer.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "map_request.h"

namespace {

uint32_t wordAt(const uint8_t* bytes) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

std::string described(const mapdriver::MapRequest& r) {
    char text[96];
    std::snprintf(text, sizeof text, "destination %08X form %08X size %08X protection %08X", r.destination,
                  r.physicalForm, r.size, r.protection);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    const uint32_t code = wordAt(data);
    const uint32_t outLength = wordAt(data + 4);
    const auto inLength = static_cast<uint32_t>(size - 8);
    // A buffer of the input's own length, so that the sanitizer sees any read beyond it.
    std::string in(reinterpret_cast<const char*>(data + 8), inLength);
    const mapdriver::MapRequest before{0xA5A5A5A5, 0xA5A5A5A5, 0xA5A5A5A5, 0xA5A5A5A5};
    mapdriver::MapRequest request = before;
    const bool admitted =
        mapdriver::decodeMapRequest(code, reinterpret_cast<const uint8_t*>(in.data()), inLength, outLength, request);
    if (!admitted) {
        FUZZ_CHECK(std::memcmp(&request, &before, sizeof request) == 0, "a refused request was written");
        return 0;
    }
    FUZZ_CHECK(code == mapdriver::kMapRequestCode && inLength == 16 && outLength == 0,
               "admitted with code, lengths " + std::to_string(code) + ", " + std::to_string(inLength) + ", " +
                   std::to_string(outLength));
    const uint8_t* bytes = data + 8;
    FUZZ_CHECK(request.destination == wordAt(bytes) && request.physicalForm == wordAt(bytes + 4) &&
                   request.size == wordAt(bytes + 8) && request.protection == wordAt(bytes + 12),
               "admitted otherwise than sent: " + described(request));
    const bool segment = request.physicalForm == 0xF00 && request.size == 0x10000;
    const bool window = request.physicalForm == 0xFFF800 && request.size == 0x80000;
    FUZZ_CHECK((segment || window) && request.protection == 0x602, "admitted another mapping: " + described(request));
    const uint64_t end = uint64_t{request.destination} + request.size;
    FUZZ_CHECK(request.destination != 0 && request.destination % 0x1000 == 0 && end <= 0x40000000u,
               "admitted a destination outside the caller's own space (below 40000000h): " + described(request));
    return 0;
}
