// Character classes of the data file and the command line: the C locale's, whatever locale the
// program runs in, so that no locale changes what R writes or what W reads. Bytes 80h-FFh are
// neither.
#pragma once

#include "fixed_width.h"

inline bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Whether two zero-ended texts are equal, whole.
inline bool sameText(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// A byte that no intact line of the data file holds: one below 20h other than the tab, or 7Fh.
// A line end or a carriage return that stayed, a zero or Ctrl-Z byte, an escape sequence.
inline bool isControlByte(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

// Whether the zero-ended `text` holds a control byte.
inline bool holdsControlByte(const char* text) {
    for (; *text != '\0'; ++text) {
        if (isControlByte(*text)) return true;
    }
    return false;
}

inline bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number as the standard conversion reads it (leading white space and a sign
// accepted, stopping at the first non-digit, saturating at the 32-bit range), cut to 8 bits.
inline uint8_t decimalByte(const char* text) {
    while (isWhiteSpace(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    // The magnitude, held at 80000000h once it gets there: the most a 32-bit result takes.
    const uint32_t kMagnitudeLimit = 0x80000000u;
    uint32_t magnitude = 0;
    for (; isDecimalDigit(*text); ++text) {
        const uint32_t digit = static_cast<uint32_t>(*text - '0');
        magnitude = magnitude > (kMagnitudeLimit - digit) / 10 ? kMagnitudeLimit : magnitude * 10 + digit;
    }
    // Two's complement: the low byte of -m is the low byte of 2^32 - m.
    if (negative) return static_cast<uint8_t>((0u - magnitude) & 0xFF);
    return static_cast<uint8_t>((magnitude > 0x7FFFFFFFu ? 0x7FFFFFFFu : magnitude) & 0xFF);
}
