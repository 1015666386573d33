// A reserved region of address space that the service object maps the firmware's ROM into;
// each failure prints the device's own message.
#include "reserved_region.h"

ReservedRegion::ReservedRegion(uint32_t size)
    : address_(platform::reserveAddressSpace(size, platform::kPageReadOnly)), size_(size) {
    if (address_ == 0) {
        platform::consolePrint(L"***ERROR*** VirtualAlloc failed (%08X)!\n", platform::lastError());
    }
}

ReservedRegion::~ReservedRegion() {
    if (address_ != 0) platform::releaseAddressSpace(address_);
}

bool ReservedRegion::mapRom(uint32_t physicalAddress) {
    if (platform::mapPhysical(address_, physicalAddress >> 8, size_, platform::kPhysicalRomProtection)) {
        return true;
    }
    platform::consolePrint(L"***ERROR*** VirtualCopy failed (%08X)!\n", platform::lastError());
    return false;
}

void* ReservedRegion::detach() {
    void* released = address_;
    address_ = 0;
    return released;
}
