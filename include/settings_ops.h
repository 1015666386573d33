// Values that cross the settings operations: function numbers, boot sequences, wake values.
#pragma once

#include "fixed_width.h"

// Function numbers of the firmware settings service (BL).
enum ServiceFunction {
    kFnSupport = 0,
    kFnAdminPassword = 1,
    kFnUserPassword = 2,
    kFnAssetTag = 3,
    kFnSerialPort = 4,
    kFnParallelPort = 5,
    kFnParallelMode = 6,
    kFnEppType = 7,
    kFnBootSequence = 9,
    kFnPs2Port = 10,
    kFnPowerOnAfterFail = 11,
    kFnUsbController = 12,
    kFnWakeOnRtc = 13,
    kFnNumlock = 14,
    kFnS3Support = 15
};

// Subfunctions (BH).
const uint8_t kSubRead = 0;
const uint8_t kSubWrite = 1;
const uint8_t kSubPasswordClear = 0;
const uint8_t kSubPasswordState = 1;
const uint8_t kSubPasswordSet = 2;
const uint8_t kSubAssetTagRead = 1;
const uint8_t kSubAssetTagWrite = 0x81;

const uint16_t kServiceSelector = 0xE910;  // AX of every call

// Up to 15 boot device codes in boot order, ended by kBootEnd.
const uint8_t kBootEnd = 0xFF;
const size_t kBootSequenceSize = 16;

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

// Size of the buffer that the asset-tag functions exchange through ESI.
const uint32_t kAssetTagScratchSize = 0x10000;
