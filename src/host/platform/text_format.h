// Texts and numbers as the host tools show them: FolvaneCheck's reports and the simulated
// unit's state file, call log and faults. Host code only; the device program has none of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// At least `digits` upper-case hexadecimal digits, without a prefix.
inline std::string hexDigits(uint64_t value, int digits) {
    std::string text;
    do {
        text.insert(text.begin(), "0123456789ABCDEF"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (text.size() < static_cast<size_t>(digits)) text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
    return text;
}

// "0x" and at least `digits` upper-case hexadecimal digits.
inline std::string hexText(uint64_t value, int digits) { return "0x" + hexDigits(value, digits); }

// Two quotings with C escapes, different on purpose. A report quotes other bytes with three
// octal digits, after which a C reader stops (unlike after \x) and which a reader of the
// report takes in at a glance; the state file's own grammar knows \xHH only.
namespace text_format_detail {
inline std::string quoted(std::string_view text, bool forReport) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\t': out += "\\t"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            default: break;
        }
        if (forReport && (c == '\v' || c == '\f')) {
            out += c == '\v' ? "\\v" : "\\f";
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else if (forReport) {
            out += {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
                    static_cast<char>('0' + (byte & 7))};
        } else {
            out += "\\x" + hexDigits(byte, 2);
        }
    }
    return out + "\"";
}
}  // namespace text_format_detail

// A text in a FolvaneCheck report: double quotes, C escapes, other bytes as \ooo.
inline std::string quotedText(std::string_view text) { return text_format_detail::quoted(text, true); }

// A text in the simulated unit's state file: double quotes, C escapes, other bytes as \xHH.
inline std::string stateFileText(std::string_view text) { return text_format_detail::quoted(text, false); }
