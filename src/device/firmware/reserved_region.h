// The owner of a reserved (and possibly mapped) region of address space, which the service
// object maps the firmware's ROM into; it releases what it holds when it goes.
#pragma once

#include "fixed_width.h"
#include "platform.h"

class ReservedRegion {
public:
    // Reserves `size` bytes, read-only; prints the device's failure message when it cannot.
    explicit ReservedRegion(uint32_t size);
    ~ReservedRegion();

    // Backs the whole region with physical ROM; prints the failure message when it cannot.
    bool mapRom(uint32_t physicalAddress);

    void* address() const { return address_; }
    bool held() const { return address_ != 0; }

    // Hands the region to a new owner, which releases it itself.
    void* detach();

private:
    void* address_;
    uint32_t size_;

    ReservedRegion(const ReservedRegion&);  // one owner: never copied
    ReservedRegion& operator=(const ReservedRegion&);
};
