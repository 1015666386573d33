// Conversion between bytes and wide strings on Windows: the bytes are UTF-8, whatever the ANSI
// code page, so that every name Windows can hold survives the trip. A surrogate that stands
// alone in a name (Windows allows it) travels as its three-byte form; a byte that begins no
// UTF-8 sequence travels as U+DC80..U+DCFF and comes back out as the same byte.
#include "host_text.h"

#include <cstdint>

namespace host {
namespace {

constexpr uint32_t kEscapeBase = 0xDC00;

void appendUtf8(std::string& bytes, uint32_t c) {
    if (c < 0x80) {
        bytes += static_cast<char>(c);
    } else if (c < 0x800) {
        bytes += static_cast<char>(0xC0 | (c >> 6));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes += static_cast<char>(0xE0 | (c >> 12));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (c >> 18));
        bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendWide(std::wstring& wide, uint32_t c) {
    if (c < 0x10000) {
        wide += static_cast<wchar_t>(c);
        return;
    }
    wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
}

// The character of the UTF-8 sequence at `at` (a lone surrogate's three-byte form included) and
// its length; 0 when the byte begins none.
size_t sequence(const std::string& bytes, size_t at, uint32_t& c) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    uint32_t least = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() - at < length) return 0;
    c = lead & (0x7Fu >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i) & 0x3Fu);
    }
    return c >= least && c <= 0x10FFFF ? length : 0;
}

}  // namespace

std::wstring wideFromBytes(const std::string& bytes) {
    std::wstring wide;
    for (size_t i = 0; i < bytes.size();) {
        uint32_t c = 0;
        const size_t length = sequence(bytes, i, c);
        if (length == 0 || c == 0) {
            wide += static_cast<wchar_t>(kEscapeBase + static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        appendWide(wide, c);
        i += length;
    }
    return wide;
}

std::string bytesFromWide(const std::wstring& wide) {
    std::string bytes;
    for (size_t i = 0; i < wide.size(); ++i) {
        const auto c = static_cast<uint32_t>(static_cast<uint16_t>(wide[i]));
        if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            bytes += static_cast<char>(c - kEscapeBase);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
            const auto low = static_cast<uint32_t>(static_cast<uint16_t>(wide[i + 1]));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(bytes, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(bytes, c);
    }
    return bytes;
}

bool backslashSeparatesFolders() { return true; }

}  // namespace host
