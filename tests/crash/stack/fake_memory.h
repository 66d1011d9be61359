// A made-up address space for the scan's tests: regions of bytes at chosen addresses, anything
// else unreadable; every read is counted.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <vector>

#include "crash/moduledata/memory_reader.h"

namespace quillan::crash::test {

class TFakeMemory : public IMemoryReader {
public:
    // A readable region of size bytes at base, filled with fill (0xCC: int3, no call anywhere).
    void AddRegion(TAddress base, size_t size, std::uint8_t fill = 0xCC) {
        regions_[base] = std::vector<std::uint8_t>(size, fill);
    }
    void Put(TAddress address, std::initializer_list<std::uint8_t> bytes) {
        Put(address, std::vector<std::uint8_t>(bytes));
    }
    void Put(TAddress address, const std::vector<std::uint8_t>& bytes) {
        std::uint8_t* to = Locate(address, bytes.size());
        if (!to) throw std::logic_error("put outside the regions");
        std::memcpy(to, bytes.data(), bytes.size());
    }
    void Put32(TAddress address, std::uint32_t value) {
        Put(address,
            {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)});
    }
    void Put64(TAddress address, std::uint64_t value) {
        Put32(address, std::uint32_t(value));
        Put32(address + 4, std::uint32_t(value >> 32));
    }
    // A slot of the word size: 4 or 8 bytes.
    void PutSlot(TAddress address, std::uint64_t value, size_t slot) {
        if (slot == 4)
            Put32(address, std::uint32_t(value));
        else
            Put64(address, value);
    }

    bool Read(TAddress address, void* buffer, size_t size) override {
        ++reads;
        const std::uint8_t* from = Locate(address, size);
        if (!from) return false;
        std::memcpy(buffer, from, size);
        return true;
    }

    int reads = 0;

private:
    std::uint8_t* Locate(TAddress address, size_t size) {
        auto it = regions_.upper_bound(address);
        if (it == regions_.begin()) return nullptr;
        --it;
        const TAddress offset = address - it->first;
        if (offset > it->second.size() || size > it->second.size() - offset) return nullptr;
        return it->second.data() + offset;
    }

    std::map<TAddress, std::vector<std::uint8_t>> regions_;
};

// 32-bit little-endian bytes of a value, for building instructions.
inline std::vector<std::uint8_t> Le32(std::uint32_t value) {
    return {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
}

inline std::vector<std::uint8_t> Bytes(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace quillan::crash::test
