// Little-endian reading and writing of the module data block's fields. The reader never reads
// past its end: a short read sets a sticky failure flag and yields zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quillan::crash {

class TByteReader {
public:
    explicit TByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool Ok() const { return ok_; }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return bytes_.size() - pos_; }
    std::string_view Rest() const { return bytes_.substr(pos_); }

    std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
    double F64() {
        const std::uint64_t bits = Take(8);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // count bytes, or an empty view and the failure flag when fewer are left.
    std::string_view Bytes(size_t count) {
        if (!ok_ || count > Remaining()) {
            ok_ = false;
            return {};
        }
        std::string_view out = bytes_.substr(pos_, count);
        pos_ += count;
        return out;
    }
    bool Skip(size_t count) { return Bytes(count).size() == count && ok_; }

private:
    std::uint64_t Take(size_t size) {
        if (!ok_ || size > Remaining()) {
            ok_ = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (size_t i = 0; i < size; ++i) v |= std::uint64_t{static_cast<std::uint8_t>(bytes_[pos_ + i])} << (8 * i);
        pos_ += size;
        return v;
    }

    std::string_view bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

inline void PutU8(std::string& out, std::uint8_t v) { out += static_cast<char>(v); }
inline void PutU16(std::string& out, std::uint16_t v) {
    for (int i = 0; i < 2; ++i) out += static_cast<char>(v >> (8 * i));
}
inline void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
}
inline void PutF64(std::string& out, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) out += static_cast<char>(bits >> (8 * i));
}

}  // namespace quillan::crash
