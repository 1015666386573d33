// The owner of a scratch buffer from the platform's heap, which a settings operation hands the
// firmware; it frees the buffer when it goes. Like the reserved regions, it says so itself when
// it cannot be had.
#pragma once

#include "fixed_width.h"
#include "platform.h"

class ScratchBuffer {
public:
    explicit ScratchBuffer(size_t size) : data_(static_cast<char*>(platform::allocateScratch(size))) {
        if (data_ == 0) platform::consolePrint(L"***ERROR*** Not enough memory!\n");
    }
    ~ScratchBuffer() {
        if (data_ != 0) platform::freeScratch(data_);
    }

    char* data() const { return data_; }
    bool held() const { return data_ != 0; }

private:
    char* data_;

    ScratchBuffer(const ScratchBuffer&);  // one owner: never copied
    ScratchBuffer& operator=(const ScratchBuffer&);
};
