// The one request of FolvaneMap.dll, the kernel-mode stream driver through which FolvaneCE maps
// the firmware's memory on CE 6.0 and 7, whose kernels refuse a program's VirtualCopy of
// physical memory: its control code, its layout, and the check that admits exactly the two
// mappings the program makes on CE 5.0 itself. The program builds the request, the driver
// decodes it; both include this header.
#pragma once

#include "fixed_width.h"

namespace mapdriver {

// The driver's device prefix, as its registry key names it and as its device opens ("FVM1:").
#define FOLVANE_MAP_PREFIX L"FVM"
// The driver's file, beside FolvaneCE.exe.
#define FOLVANE_MAP_FILE L"FolvaneMap.dll"

// CTL_CODE(FILE_DEVICE_UNKNOWN 22h, function 900h, METHOD_BUFFERED, FILE_ANY_ACCESS).
const uint32_t kMapRequestCode = 0x00222400;

// The request, carried inline in the input buffer in this order, each field 32-bit little-endian:
// no pointer inside it, so the device manager's copy of the buffer is all the driver reads.
// `destination` is a value the driver never dereferences: the base of the region the caller
// reserved in its own address space.
struct MapRequest {
    uint32_t destination;
    uint32_t physicalForm;  // the physical address divided by 256, as VirtualCopy takes it
    uint32_t size;
    uint32_t protection;
};
const uint32_t kMapRequestBytes = 16;

// The two mappings there are: the firmware segment F0000h-FFFFFh and the ROM window
// FFF80000h-FFFFFFFFh, each physical, uncached and read-only (602h).
const uint32_t kMapProtection = 0x602;
const uint32_t kSegmentForm = 0xF00;
const uint32_t kSegmentBytes = 0x10000;
const uint32_t kWindowForm = 0xFFF800;
const uint32_t kWindowBytes = 0x80000;

// Where a caller's region may lie: in the caller's own process space, below 40000000h,
// page-aligned, and whole below that line. Above it lie the shared DLL, shared heap and kernel
// areas, and CE 6's kernel would map into them for any process that asked: the bound is the
// driver's own. The program's reservations lie below it on every generation.
const uint32_t kUserSpaceEnd = 0x40000000u;
const uint32_t kPageBytes = 0x1000;

// Writes `request` into `bytes` (kMapRequestBytes of them), as the program sends it.
void encodeMapRequest(const MapRequest& request, uint8_t* bytes);

// True when `code` is kMapRequestCode, the input is exactly one request (`inLength` bytes at
// `in`), no output is asked for, and the request is one of the two mappings into a
// page-aligned region wholly below kUserSpaceEnd; `request` then holds it. Anything else: false, and
// `request` is left as it was.
bool decodeMapRequest(uint32_t code, const uint8_t* in, uint32_t inLength, uint32_t outLength, MapRequest& request);

}  // namespace mapdriver
