// The device: address space and physical ROM through the CE memory manager (on CE 6.0 and 7
// through the mapping driver), the heap, and the gate into firmware. Buffers handed to the
// firmware are addressed by their flat addresses.
#include <windows.h>

#include <stdlib.h>

#include "call_gate.h"
#include "driver_route.h"
#include "platform.h"

// Exported by coredll.dll; the CE headers declare it, desktop headers do not.
extern "C" BOOL __cdecl VirtualCopy(LPVOID lpvDest, LPVOID lpvSrc, DWORD cbSize, DWORD fdwProtect);

namespace platform {

void* reserveAddressSpace(uint32_t size, uint32_t protection) { return VirtualAlloc(0, size, MEM_RESERVE, protection); }

namespace {

// CE 6.0 and later refuse a program's VirtualCopy of physical memory; CE 5.0 maps it for a
// trusted process.
bool kernelRefusesPrograms() {
    OSVERSIONINFOW version;
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExW(&version) != FALSE && version.dwMajorVersion >= 6;
}

}  // namespace

bool mapPhysical(void* region, uint32_t physicalForm, uint32_t size, uint32_t protection) {
    // With PAGE_PHYSICAL the source is the physical address divided by 256, not a pointer.
    if (VirtualCopy(region, reinterpret_cast<LPVOID>(physicalForm), size, protection)) return true;
    const DWORD refusal = GetLastError();
    if (kernelRefusesPrograms()) return mapThroughDriver(region, physicalForm, size, protection, refusal);
    SetLastError(refusal);
    return false;
}

bool releaseAddressSpace(void* region) { return VirtualFree(region, 0, MEM_RELEASE) != FALSE; }

uint32_t lastError() { return GetLastError(); }

void* allocateScratch(size_t size) { return malloc(size); }

void freeScratch(void* buffer) { free(buffer); }

// The device's addresses are 32-bit: a buffer's address is its flat address.
uint32_t flatAddress(const void* buffer, size_t) { return reinterpret_cast<uint32_t>(buffer); }

void callEntry(const void* entry, const RegisterBlock& in, RegisterBlock& out) { gate::callGate(entry, &in, &out); }

}  // namespace platform
