// CRC-32 as gzip and PNG use it: polynomial 0xEDB88320 (reflected), initial value all ones,
// final complement. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillan::crash {

// The CRC-32 of size bytes; pass a previous result as crc to continue over further bytes.
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace quillan::crash
