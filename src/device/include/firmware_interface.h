// The firmware settings service as the firmware defines it: where it lives, how its header
// looks, and the numbers of its calls. The firmware layer calls it; the simulated unit plays it.
#pragma once

#include "fixed_width.h"

// The ROM segment that holds the service header, and the top 512 KB window that the asset-tag
// functions take.
const uint32_t kSegmentPhysical = 0xF0000;
const uint32_t kSegmentSize = 0x10000;
const uint32_t kRomWindowPhysical = 0xFFF80000;
const uint32_t kRomWindowSize = 0x80000;

// The service header: on a paragraph of the segment (the last one never counts), the
// signature "A!U0", the entry's physical address at offset 5, and 13 bytes that add up to 0.
const size_t kHeaderLength = 13;
const size_t kHeaderStride = 16;
const size_t kScanLimit = 0xFFF0;
const uint8_t kHeaderSignature[4] = {0x41, 0x21, 0x55, 0x30};
const size_t kHeaderEntryOffset = 5;

// AX of every call.
const uint16_t kServiceSelector = 0xE910;

// Function numbers (BL); 8 is not used.
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

// The support check's answer: CX and DX spell the header's signature again.
const uint16_t kSupportCx = 0x4121;
const uint16_t kSupportDx = 0x5530;

// A boot sequence: up to 15 device codes in a 16-byte buffer, ended by kBootEnd.
const uint8_t kBootEnd = 0xFF;
const size_t kBootSequenceSize = 16;

// The buffer that the asset-tag functions exchange through ESI.
const uint32_t kAssetTagScratchSize = 0x10000;
