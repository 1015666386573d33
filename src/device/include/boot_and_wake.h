// Values that cross the settings operations: boot sequences and wake values.
#pragma once

#include "firmware_interface.h"
#include "fixed_width.h"

// Up to 15 boot device codes in boot order, ended by kBootEnd.
struct BootSequence {
    uint8_t codes[kBootSequenceSize];

    void fill(uint8_t code) {
        for (size_t i = 0; i < kBootSequenceSize; ++i) codes[i] = code;
    }
    uint8_t* data() { return codes; }
    const uint8_t* data() const { return codes; }
    static size_t size() { return kBootSequenceSize; }
    uint8_t& operator[](size_t i) { return codes[i]; }
    uint8_t operator[](size_t i) const { return codes[i]; }
    const uint8_t* begin() const { return codes; }
    const uint8_t* end() const { return codes + kBootSequenceSize; }
};

// The packed wake-on-RTC value: bits 0-7 day mask (bit 0 Sunday), 8-15 zero,
// 16-23 minute, 24-31 hour. In memory byte 2 is the minute and byte 3 the hour.
typedef uint32_t WakeSetting;

inline WakeSetting packWake(uint8_t dayMask, uint8_t hour, uint8_t minute) {
    return (static_cast<uint32_t>(hour) << 24) | (static_cast<uint32_t>(minute) << 16) | dayMask;
}
inline uint8_t wakeDays(WakeSetting v) { return static_cast<uint8_t>(v & 0xFF); }
inline uint8_t wakeMinute(WakeSetting v) { return static_cast<uint8_t>((v >> 16) & 0xFF); }
inline uint8_t wakeHour(WakeSetting v) { return static_cast<uint8_t>((v >> 24) & 0xFF); }
