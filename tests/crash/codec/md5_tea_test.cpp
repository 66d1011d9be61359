#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "crash/codec/md5.h"
#include "crash/codec/tea.h"

namespace quillan::crash {
namespace {

std::string Hex(const TMd5Digest& d) {
    std::string out;
    char buf[3];
    for (std::uint8_t b : d) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

// RFC 1321, appendix A.5.
TEST(Md5, Rfc1321TestSuite) {
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : suite) EXPECT_EQ(Hex(Md5(text)), digest) << text;
}

TEST(Md5, PiecesGiveTheSameDigestAsTheWhole) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>(i * 7);
    for (size_t cut : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 128u, 299u}) {
        TMd5 md5;
        md5.Update(text.substr(0, cut));
        md5.Update(text.substr(cut));
        EXPECT_EQ(md5.Final(), Md5(text)) << cut;
    }
}

// The published TEA chain: six zero words, data followed by key; each step enciphers words n and
// n+1 with words n+2..n+5 as the key, then copies word n to n+6. Values printed at powers of two.
TEST(Tea, PublishedChainedVectorsAndBack) {
    std::uint32_t pz[80] = {};
    const std::uint32_t expected[7][6] = {
        {0x41ea3a0a, 0x94baa940, 0, 0, 0, 0},
        {0x4e8e7829, 0x7d8236d8, 0, 0, 0, 0x41ea3a0a},
        {0xb84e28af, 0xb6b62088, 0, 0x41ea3a0a, 0x4e8e7829, 0xc88ba95e},
        {0x5ddf75d9, 0x7a4ce68f, 0xb84e28af, 0xa0a47295, 0xed650698, 0x1024eea0},
        {0x4ec5d2e2, 0x5ada1d89, 0xa9c3801a, 0x32a1e654, 0x08b63bb9, 0x21410574},
        {0x7d2c6c57, 0x7a6adb4d, 0x69c53e0f, 0x60388ada, 0xdf70a1f5, 0xd9cb4e09},
        {0x2bb0f1b3, 0xc023ed11, 0x5c60bff2, 0x7072d01c, 0x4513c5eb, 0x8f3a38ab},
    };
    int checked = 0;
    for (int n = 1; n <= 64; ++n) {
        const TTeaKey key{pz[n + 2], pz[n + 3], pz[n + 4], pz[n + 5]};
        const TTeaBlock c = TeaEncrypt({pz[n], pz[n + 1]}, key);
        pz[n] = c[0];
        pz[n + 1] = c[1];
        if ((n & (n - 1)) == 0) {
            for (int i = 0; i < 6; ++i) EXPECT_EQ(pz[n + i], expected[checked][i]) << "n=" << n << " word " << i;
            ++checked;
        }
        pz[n + 6] = pz[n];
    }
    EXPECT_EQ(checked, 7);
    for (int n = 64; n >= 1; --n) {
        pz[n] = pz[n + 6];
        const TTeaKey key{pz[n + 2], pz[n + 3], pz[n + 4], pz[n + 5]};
        const TTeaBlock p = TeaDecrypt({pz[n], pz[n + 1]}, key);
        pz[n] = p[0];
        pz[n + 1] = p[1];
    }
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(pz[i], 0u) << i;
}

TEST(Tea, KeyIsTheDigestAsBigEndianWords) {
    // MD5("abc") = 90015098 3cd24fb0 d6963f7d 28e17f72
    const TTeaKey key = TeaKeyFromPassword("abc");
    EXPECT_EQ(key[0], 0x90015098u);
    EXPECT_EQ(key[1], 0x3cd24fb0u);
    EXPECT_EQ(key[2], 0xd6963f7du);
    EXPECT_EQ(key[3], 0x28e17f72u);
}

TEST(TeaChain, WholeBlocksChainAndAShortTailIsMaskedByTheEncipheredChain) {
    const TTeaKey key = TeaKeyFromPassword("secret");
    const std::uint64_t start = 0x0123456789ABCDEFull;
    const TTeaChain chain(key, start);
    const std::string plain = "engine/paste/paste.cpp";  // two whole blocks and a 6-byte tail
    const std::string cipher = chain.Encipher(plain);
    ASSERT_EQ(cipher.size(), plain.size());
    EXPECT_EQ(chain.Decipher(cipher), plain);

    // Worked by hand from the block function: c1 = E(p1 ^ iv), c2 = E(p2 ^ c1), tail ^ E(c2).
    auto word = [](const std::string& s, size_t at) {
        std::uint64_t v = 0;
        for (size_t i = 0; i < 8; ++i) v = v << 8 | static_cast<std::uint8_t>(s[at + i]);
        return v;
    };
    auto enc = [&](std::uint64_t v) {
        TTeaBlock b = TeaEncrypt({static_cast<std::uint32_t>(v >> 32), static_cast<std::uint32_t>(v)}, key);
        return std::uint64_t{b[0]} << 32 | b[1];
    };
    const std::uint64_t c1 = enc(word(plain, 0) ^ start);
    const std::uint64_t c2 = enc(word(plain, 8) ^ c1);
    EXPECT_EQ(word(cipher, 0), c1);
    EXPECT_EQ(word(cipher, 8), c2);
    const std::uint64_t pad = enc(c2);
    for (size_t i = 16; i < plain.size(); ++i) {
        EXPECT_EQ(static_cast<std::uint8_t>(cipher[i]),
                  static_cast<std::uint8_t>(plain[i] ^ static_cast<char>(pad >> (56 - 8 * (i - 16)))));
    }
    // A name shorter than a block is the tail alone; the same name always gives the same bytes.
    EXPECT_EQ(chain.Encipher("abc"), chain.Encipher("abc"));
    EXPECT_EQ(chain.Decipher(chain.Encipher("abc")), "abc");
    EXPECT_NE(TTeaChain(TeaKeyFromPassword("other"), start).Decipher(cipher), plain);
    EXPECT_EQ(chain.Encipher(""), "");
}

}  // namespace
}  // namespace quillan::crash
