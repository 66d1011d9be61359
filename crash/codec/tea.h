// TEA block cipher (32 rounds, 64-bit blocks, 128-bit key) and the chained mode that enciphers
// module data names: whole 8-byte blocks in cipher-block chaining, a shorter tail XOR-ed with the
// enciphered chaining value, so a name keeps its length.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillan::crash {

using TTeaKey = std::array<std::uint32_t, 4>;
using TTeaBlock = std::array<std::uint32_t, 2>;

TTeaBlock TeaEncrypt(TTeaBlock v, const TTeaKey& key);
TTeaBlock TeaDecrypt(TTeaBlock v, const TTeaKey& key);

// The key of a password: its MD5 digest as four big-endian words.
TTeaKey TeaKeyFromPassword(std::string_view password);

// Blocks of bytes are read and written as two big-endian words.
class TTeaChain {
public:
    TTeaChain(const TTeaKey& key, std::uint64_t initialChain) : key_(key), initial_(initialChain) {}

    // Each call starts a fresh chain from the initial value; the output has the input's length.
    std::string Encipher(std::string_view plain) const;
    std::string Decipher(std::string_view cipher) const;

private:
    TTeaKey key_;
    std::uint64_t initial_;
};

}  // namespace quillan::crash
