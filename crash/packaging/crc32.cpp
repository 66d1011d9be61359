#include "crash/packaging/crc32.h"

#include <array>

namespace quillan::crash {
namespace {

// Four tables let the loop take a 32-bit word at a time; they are built at first use
// (a function-local static, so a report thread and the main thread may race to it safely).
using Tables = std::array<std::array<std::uint32_t, 256>, 4>;

Tables MakeTables() {
    Tables t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (std::uint32_t n = 0; n < 256; ++n) {
        for (int k = 1; k < 4; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    }
    return t;
}

const Tables& CrcTables() {
    static const Tables tables = MakeTables();
    return tables;
}

}  // namespace

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc) {
    const Tables& t = CrcTables();
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = ~crc;
    for (; size >= 4; size -= 4, p += 4) {
        c ^= std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        c = t[3][c & 0xFF] ^ t[2][(c >> 8) & 0xFF] ^ t[1][(c >> 16) & 0xFF] ^ t[0][c >> 24];
    }
    for (; size > 0; --size, ++p) c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    return ~c;
}

}  // namespace quillan::crash
