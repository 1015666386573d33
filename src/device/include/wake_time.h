// The wake time's text as R writes it and FolvaneCheck shows it: the hour in decimal, a colon,
// the minute with at least two digits ("7:05", "23:59"; "255:255" at the most).
#pragma once

#include "fixed_width.h"

// Room for the longest time text and its zero byte.
const unsigned kWakeTimeTextSize = 8;

// Writes `value` in decimal with at least `digits` digits; returns the end of what it wrote.
inline char* putDecimal(char* p, uint8_t value, int digits) {
    if (value >= 100 || digits >= 3) *p++ = static_cast<char>('0' + value / 100);
    if (value >= 10 || digits >= 2) *p++ = static_cast<char>('0' + value / 10 % 10);
    *p++ = static_cast<char>('0' + value % 10);
    return p;
}

// Writes "H:MM" and its zero byte into `text`, which holds kWakeTimeTextSize characters.
inline void formatWakeTime(char* text, uint8_t hour, uint8_t minute) {
    char* p = putDecimal(text, hour, 1);
    *p++ = ':';
    p = putDecimal(p, minute, 2);
    *p = '\0';
}
