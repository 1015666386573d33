// Character classes of the data file: the C locale's, whatever locale the program runs in, so
// that no locale changes what R writes or what W reads. Bytes 80h-FFh are neither.
#pragma once

#include <cstdint>

inline bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

inline bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number as the standard conversion reads it (leading white space and a sign
// accepted, stopping at the first non-digit, saturating at the 32-bit range), cut to 8 bits.
inline uint8_t decimalByte(const char* text) {
    while (isWhiteSpace(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    int64_t value = 0;
    for (; isDecimalDigit(*text); ++text) {
        value = value * 10 + (*text - '0');
        if (value > 0x80000000LL) value = 0x80000000LL;
    }
    if (negative) {
        value = -value;
    } else if (value > 0x7FFFFFFFLL) {
        value = 0x7FFFFFFFLL;
    }
    return static_cast<uint8_t>(static_cast<uint64_t>(value) & 0xFF);
}
