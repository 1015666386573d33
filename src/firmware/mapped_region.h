// Owners of the resources that the service object acquires: a reserved (and possibly mapped)
// region of address space, and a scratch buffer. Each releases what it holds when it goes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform.h"

class ReservedRegion {
public:
    // Reserves `size` bytes, read-only; prints the device's failure message when it cannot.
    explicit ReservedRegion(uint32_t size);
    ~ReservedRegion();
    ReservedRegion(const ReservedRegion&) = delete;
    ReservedRegion& operator=(const ReservedRegion&) = delete;

    // Backs the whole region with physical ROM; prints the failure message when it cannot.
    bool mapRom(uint32_t physicalAddress);

    void* address() const { return address_; }
    explicit operator bool() const { return address_ != nullptr; }

    // Hands the region to a new owner, which releases it itself.
    void* detach();

private:
    void* address_ = nullptr;
    uint32_t size_ = 0;
};

class ScratchBuffer {
public:
    explicit ScratchBuffer(size_t size) : data_(static_cast<char*>(platform::allocateScratch(size))) {}
    ~ScratchBuffer() {
        if (data_ != nullptr) platform::freeScratch(data_);
    }
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;

    char* data() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    char* data_;
};
