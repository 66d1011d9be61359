// MD5 message digest (RFC 1321); keys the cipher of the module data names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillan::crash {

using TMd5Digest = std::array<std::uint8_t, 16>;

// Incremental digest: Update any number of times, then Final once.
class TMd5 {
public:
    TMd5();
    void Update(const void* data, size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    TMd5Digest Final();

private:
    void Transform(const std::uint8_t block[64]);

    std::uint32_t state_[4];
    std::uint64_t length_ = 0;  // bytes seen so far
    std::uint8_t buffer_[64];
};

TMd5Digest Md5(std::string_view bytes);

}  // namespace quillan::crash
