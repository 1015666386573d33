// Conversion between the locale's bytes and wide strings, lossless for any byte string.
#include "host_text.h"

#include <climits>
#include <cwchar>

namespace host {
namespace {

constexpr wchar_t kEscapeBase = 0xDC00;

}  // namespace

std::wstring wideFromBytes(const std::string& bytes) {
    std::wstring wide;
    std::mbstate_t state{};
    size_t i = 0;
    while (i < bytes.size()) {
        wchar_t c = 0;
        const size_t used = std::mbrtowc(&c, bytes.data() + i, bytes.size() - i, &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2) || used == 0) {
            // Unconvertible (or a zero byte): carry the byte itself.
            wide += static_cast<wchar_t>(kEscapeBase + static_cast<unsigned char>(bytes[i]));
            state = std::mbstate_t{};
            ++i;
            continue;
        }
        wide += c;
        i += used;
    }
    return wide;
}

std::string bytesFromWide(const std::wstring& wide) {
    std::string bytes;
    std::mbstate_t state{};
    for (wchar_t c : wide) {
        if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            bytes += static_cast<char>(c - kEscapeBase);
            continue;
        }
        char buffer[MB_LEN_MAX];
        const size_t used = std::wcrtomb(buffer, c, &state);
        if (used == static_cast<size_t>(-1)) {
            bytes += '?';
            state = std::mbstate_t{};
            continue;
        }
        bytes.append(buffer, used);
    }
    return bytes;
}

bool backslashSeparatesFolders() { return false; }

}  // namespace host
