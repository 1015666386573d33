// The platform layer: everything that differs between the device and any other machine.
// Its functions are named after what the device does; the simulated unit implements the same.
#pragma once

#include <stdio.h>

#include "fixed_width.h"
#include "register_block.h"

namespace platform {

// Page protections as the device's memory manager takes them.
const uint32_t kPageReadOnly = 0x02;
const uint32_t kPageNoCache = 0x200;
const uint32_t kPagePhysical = 0x400;
// Physical source, uncached, read-only: how firmware ROM is mapped.
const uint32_t kPhysicalRomProtection = kPagePhysical | kPageNoCache | kPageReadOnly;

// Reserves `size` bytes of address space at no preferred address, without backing
// (VirtualAlloc with MEM_RESERVE). Null on failure; lastError() tells why.
void* reserveAddressSpace(uint32_t size, uint32_t protection);

// Backs a reservation with physical memory (VirtualCopy). `physicalForm` is the physical
// address divided by 256, the form the device takes for sources above 512 MB.
bool mapPhysical(void* region, uint32_t physicalForm, uint32_t size, uint32_t protection);

// Releases a whole reservation, mapped or not (VirtualFree with MEM_RELEASE).
bool releaseAddressSpace(void* region);

// The last-error code of the failed call above.
uint32_t lastError();

// Heap memory for buffers that the firmware fills. Null on failure.
void* allocateScratch(size_t size);
void freeScratch(void* buffer);

// The 32-bit flat address under which the firmware sees `size` bytes at `buffer` during the
// next service call. Every buffer passed in ESI or EDI goes through here.
uint32_t flatAddress(const void* buffer, size_t size);

// Loads EAX..EDI from `in`, near-calls `entry`, and stores the registers and EFLAGS that
// come back into `out` (word 6 is left as it is).
void callEntry(const void* entry, const RegisterBlock& in, RegisterBlock& out);

// Prints a wide format string on the console: "%s" takes a wide string, "%S" an 8-bit one.
void consolePrint(const wchar_t* format, ...);

// Writes 8-bit text to the console stream, in order with consolePrint.
void consoleWrite(const char* text, size_t length);

// Opens a file by its wide name; `mode` is "wt" or "rt" (text mode). For reading, a host
// refuses what is no regular file and no pipe (a folder, a device), which would never end.
FILE* openFile(const wchar_t* path, const char* mode);

// R's output file is written whole beside its target (beside the file that a symbolic link
// names) and then put in the target's place, so that the target is always either the old file
// or the whole new one. The device and the Windows build write it as "PATH.new"; a POSIX host
// under a name of its own, created exclusively.
// Opens the new file for writing in text mode. Null on failure, also for a target that the
// caller could not overwrite.
FILE* openReplacement(const wchar_t* path);
// Puts the closed new file in place of `path`, with the replaced file's permission bits where
// the platform has them. False when it cannot; the new file is then removed.
bool commitReplacement(const wchar_t* path);
// Removes the new file.
void discardReplacement(const wchar_t* path);
// After the console's message of a failed openFile, openReplacement, commitReplacement or
// write: the reason, where the platform knows more than the message says (a host, on standard
// error).
void explainFileFailure();

// Flushes the console stream; false when anything written to it may not have reached it.
bool consoleFlushed();

// Whether a text-mode file hands a carriage return before a line feed to the program (files
// written on the device end their lines with CR LF).
bool textModeKeepsCarriageReturn();

// The runtime's wide upper-case mapping, with which the command line accepts r, w and h.
wchar_t upperCase(wchar_t c);

}  // namespace platform
