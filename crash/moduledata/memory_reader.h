// Reading the memory of the process a report describes, without ever touching an unreadable
// byte: the Windows reader asks the memory manager first, the tests read from byte buffers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crash/report/report_types.h"

namespace quillan::crash {

class IMemoryReader {
public:
    virtual ~IMemoryReader() = default;
    // Copies size bytes at address into buffer; false (buffer contents unspecified) when any of
    // them is not readable.
    virtual bool Read(TAddress address, void* buffer, size_t size) = 0;
};

// A reader over one block of bytes that stands at a given address.
class TBufferMemoryReader : public IMemoryReader {
public:
    TBufferMemoryReader(TAddress base, const void* data, size_t size)
        : base_(base), data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    bool Read(TAddress address, void* buffer, size_t size) override {
        if (address < base_ || address - base_ > size_ || size > size_ - (address - base_)) return false;
        const std::uint8_t* from = data_ + (address - base_);
        auto* to = static_cast<std::uint8_t*>(buffer);
        for (size_t i = 0; i < size; ++i) to[i] = from[i];
        return true;
    }

private:
    TAddress base_;
    const std::uint8_t* data_;
    size_t size_;
};

}  // namespace quillan::crash
