#include <gtest/gtest.h>

#include <string>

#include "crash/codec/base64.h"

namespace quillan::crash {
namespace {

// RFC 4648, section 10.
const std::pair<const char*, const char*> kVectors[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64, PublishedVectorsBothWays) {
    for (const auto& [plain, encoded] : kVectors) {
        EXPECT_EQ(Base64Encode(plain), encoded);
        std::string back = "untouched";
        ASSERT_TRUE(Base64Decode(encoded, back)) << encoded;
        EXPECT_EQ(back, plain);
    }
}

TEST(Base64, EveryByteValueRoundTrips) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    for (size_t cut = 0; cut < 4; ++cut) {
        std::string part = bytes.substr(cut);
        std::string back;
        ASSERT_TRUE(Base64Decode(Base64Encode(part), back));
        EXPECT_EQ(back, part);
    }
}

TEST(Base64, LinesAreBrokenAndDecodeBack) {
    std::string bytes(100, '\xAB');
    std::string text = Base64EncodeLines(bytes, 76);
    EXPECT_EQ(text.find("\r\n"), 76u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::string back;
    ASSERT_TRUE(Base64Decode(text, back));
    EXPECT_EQ(back, bytes);
}

TEST(Base64, MalformedTextIsRefusedAndLeavesTheOutputAlone) {
    for (const char* bad : {"Z", "Zg=", "Zg===", "Zg=a", "Zm9v!", "Zm9vY"}) {
        std::string out = "kept";
        EXPECT_FALSE(Base64Decode(bad, out)) << bad;
        EXPECT_EQ(out, "kept");
    }
}

}  // namespace
}  // namespace quillan::crash
