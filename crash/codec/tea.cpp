#include "crash/codec/tea.h"

#include "crash/codec/md5.h"

namespace quillan::crash {
namespace {

constexpr std::uint32_t kDelta = 0x9E3779B9;

std::uint64_t LoadBig(const char* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | static_cast<std::uint8_t>(p[i]);
    return v;
}

void StoreBig(std::uint64_t v, char* p) {
    for (int i = 7; i >= 0; --i, v >>= 8) p[i] = static_cast<char>(v & 0xFF);
}

TTeaBlock Split(std::uint64_t v) { return {static_cast<std::uint32_t>(v >> 32), static_cast<std::uint32_t>(v)}; }
std::uint64_t Join(TTeaBlock b) { return std::uint64_t{b[0]} << 32 | b[1]; }

}  // namespace

TTeaBlock TeaEncrypt(TTeaBlock v, const TTeaKey& k) {
    std::uint32_t v0 = v[0], v1 = v[1], sum = 0;
    for (int i = 0; i < 32; ++i) {
        sum += kDelta;
        v0 += ((v1 << 4) + k[0]) ^ (v1 + sum) ^ ((v1 >> 5) + k[1]);
        v1 += ((v0 << 4) + k[2]) ^ (v0 + sum) ^ ((v0 >> 5) + k[3]);
    }
    return {v0, v1};
}

TTeaBlock TeaDecrypt(TTeaBlock v, const TTeaKey& k) {
    std::uint32_t v0 = v[0], v1 = v[1], sum = kDelta * 32;
    for (int i = 0; i < 32; ++i) {
        v1 -= ((v0 << 4) + k[2]) ^ (v0 + sum) ^ ((v0 >> 5) + k[3]);
        v0 -= ((v1 << 4) + k[0]) ^ (v1 + sum) ^ ((v1 >> 5) + k[1]);
        sum -= kDelta;
    }
    return {v0, v1};
}

TTeaKey TeaKeyFromPassword(std::string_view password) {
    const TMd5Digest d = Md5(password);
    TTeaKey key;
    for (int i = 0; i < 4; ++i) {
        key[i] = std::uint32_t{d[i * 4]} << 24 | std::uint32_t{d[i * 4 + 1]} << 16 | std::uint32_t{d[i * 4 + 2]} << 8 |
                 d[i * 4 + 3];
    }
    return key;
}

std::string TTeaChain::Encipher(std::string_view plain) const {
    std::string out(plain.size(), '\0');
    std::uint64_t chain = initial_;
    size_t at = 0;
    for (; at + 8 <= plain.size(); at += 8) {
        chain = Join(TeaEncrypt(Split(LoadBig(plain.data() + at) ^ chain), key_));
        StoreBig(chain, out.data() + at);
    }
    if (at < plain.size()) {
        char pad[8];
        StoreBig(Join(TeaEncrypt(Split(chain), key_)), pad);
        for (size_t i = at; i < plain.size(); ++i) out[i] = static_cast<char>(plain[i] ^ pad[i - at]);
    }
    return out;
}

std::string TTeaChain::Decipher(std::string_view cipher) const {
    std::string out(cipher.size(), '\0');
    std::uint64_t chain = initial_;
    size_t at = 0;
    for (; at + 8 <= cipher.size(); at += 8) {
        const std::uint64_t block = LoadBig(cipher.data() + at);
        StoreBig(Join(TeaDecrypt(Split(block), key_)) ^ chain, out.data() + at);
        chain = block;
    }
    if (at < cipher.size()) {
        char pad[8];
        StoreBig(Join(TeaEncrypt(Split(chain), key_)), pad);
        for (size_t i = at; i < cipher.size(); ++i) out[i] = static_cast<char>(cipher[i] ^ pad[i - at]);
    }
    return out;
}

}  // namespace quillan::crash
