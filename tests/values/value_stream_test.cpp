#include "framework/values/value_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/core/exceptions.h"

namespace quillan {
namespace {

std::string Bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

template <typename Fn>
std::string Written(Fn&& fn, size_t bufferSize = 4096) {
    TMemoryStream stream;
    {
        TValueWriter writer(stream, bufferSize);
        fn(writer);
    }
    return stream.ToString();
}

template <typename Fn>
void ExpectReadError(const std::string& data, const char* message, Fn&& fn) {
    TMemoryStream stream;
    stream.LoadFromString(data);
    TValueReader reader(stream);
    try {
        fn(reader);
        FAIL() << "no error, expected " << message;
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

TEST(ValueWriter, IntegersTakeTheSmallestForm) {
    struct Case {
        int64_t value;
        std::string bytes;
    };
    const Case cases[] = {
        {0, Bytes({2, 0})},
        {-128, Bytes({2, 0x80})},
        {127, Bytes({2, 0x7F})},
        {128, Bytes({3, 0x80, 0})},
        {-129, Bytes({3, 0x7F, 0xFF})},
        {-32768, Bytes({3, 0x00, 0x80})},
        {32767, Bytes({3, 0xFF, 0x7F})},
        {32768, Bytes({4, 0x00, 0x80, 0, 0})},
        {49152, Bytes({4, 0x00, 0xC0, 0, 0})},
        {2147483647, Bytes({4, 0xFF, 0xFF, 0xFF, 0x7F})},
        {-2147483648LL, Bytes({4, 0, 0, 0, 0x80})},
        {2147483648LL, Bytes({19, 0, 0, 0, 0x80, 0, 0, 0, 0})},
        {4294967296LL, Bytes({19, 0, 0, 0, 0, 1, 0, 0, 0})},
        {-2147483649LL, Bytes({19, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::string bytes = Written([&](TValueWriter& w) { w.WriteInteger(c.value); });
        EXPECT_EQ(bytes, c.bytes);
        TMemoryStream stream;
        stream.LoadFromString(bytes);
        TValueReader reader(stream);
        EXPECT_EQ(reader.ReadInt64(), c.value);
        if (c.value >= INT32_MIN && c.value <= INT32_MAX) {
            int32_t narrow = static_cast<int32_t>(c.value);
            EXPECT_EQ(Written([&](TValueWriter& w) { w.WriteInteger(narrow); }), bytes);
        }
    }
}

TEST(ValueWriter, StringsPickTheirForm) {
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteString(""); }), Bytes({6, 0}));
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteString("Rich Text Format"); }), Bytes({6, 16}) + "Rich Text Format");
    std::string s255(255, 'a');
    EXPECT_EQ(Written([&](TValueWriter& w) { w.WriteString(s255); }), Bytes({6, 255}) + s255);
    std::string s256(256, 'b');
    EXPECT_EQ(Written([&](TValueWriter& w) { w.WriteString(s256); }), Bytes({12, 0, 1, 0, 0}) + s256);
    // "Общие" in Windows-1251 is stored as UTF-8 (two bytes per letter).
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteString("\xCE\xE1\xF9\xE8\xE5"); }),
              Bytes({20, 10, 0, 0, 0}) + "\xD0\x9E\xD0\xB1\xD1\x89\xD0\xB8\xD0\xB5");
}

TEST(ValueReader, RoundTripsEveryKind) {
    std::string cyrillic = "\xCE\xE1\xF9\xE8\xE5 \xB9 \x98";  // with the undefined 0x98
    std::string longText(70000, 'x');
    std::string data = Written([&](TValueWriter& w) {
        w.WriteListBegin();
        w.WriteString(cyrillic);
        w.WriteString(longText);
        w.WriteString("");
        w.WriteInteger(int64_t{-5000000000LL});
        w.Write("\x00\x01raw", 5);
        w.WriteListEnd();
    });
    TMemoryStream stream;
    stream.LoadFromString(data);
    TValueReader reader(stream);
    reader.ReadListBegin();
    EXPECT_FALSE(reader.EndOfList());
    EXPECT_EQ(reader.ReadString(), cyrillic);
    EXPECT_EQ(reader.ReadString(), longText);
    EXPECT_EQ(reader.ReadString(), "");
    EXPECT_EQ(reader.ReadInt64(), -5000000000LL);
    char raw[5];
    reader.Read(raw, 5);
    EXPECT_EQ(std::string(raw, 5), std::string("\x00\x01raw", 5));
    EXPECT_TRUE(reader.EndOfList());
    reader.ReadListEnd();
}

TEST(ValueReader, ErrorsNameTheFault) {
    ExpectReadError("", kSReadError, [](TValueReader& r) { r.ReadListBegin(); });
    ExpectReadError(Bytes({1}), kSReadError, [](TValueReader& r) {
        r.ReadListBegin();
        r.EndOfList();
    });
    ExpectReadError(Bytes({4, 1, 2}), kSReadError, [](TValueReader& r) { r.ReadInteger(); });
    ExpectReadError(Bytes({6, 10}) + "abc", kSReadError, [](TValueReader& r) { r.ReadString(); });
    // A damaged 4-byte length fails as missing data instead of allocating 4 GB.
    ExpectReadError(Bytes({12, 0xFF, 0xFF, 0xFF, 0xFF}) + "abc", kSReadError, [](TValueReader& r) { r.ReadString(); });
    ExpectReadError(Bytes({1}), kSInvalidPropertyValue, [](TValueReader& r) { r.ReadInteger(); });
    ExpectReadError(Bytes({19, 0, 0, 0, 0, 1, 0, 0, 0}), kSInvalidPropertyValue,
                    [](TValueReader& r) { r.ReadInteger(); });
    ExpectReadError(Bytes({2, 5}), kSInvalidPropertyValue, [](TValueReader& r) { r.ReadString(); });
    ExpectReadError(Bytes({6, 0}), kSInvalidPropertyValue, [](TValueReader& r) { r.ReadListBegin(); });
    ExpectReadError(Bytes({2, 0}), kSInvalidPropertyValue, [](TValueReader& r) { r.ReadListEnd(); });
}

// Values that straddle the 4096-byte buffer and blocks larger than it.
TEST(ValueStream, BufferBoundaries) {
    for (size_t prefix : {4090u, 4091u, 4092u, 4093u, 4094u, 4095u, 4096u}) {
        SCOPED_TRACE(prefix);
        std::string pad(prefix, '\x5A');
        std::string big(3 * 4096 + 7, '\0');
        for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31);
        std::string data = Written([&](TValueWriter& w) {
            w.Write(pad.data(), pad.size());
            w.WriteInteger(int64_t{0x1122334455LL});
            w.WriteString("\xEF\xF0\xE8\xE2\xE5\xF2");
            w.Write(big.data(), big.size());
            w.WriteInteger(int32_t{-70000});
        });
        EXPECT_EQ(data.size(), prefix + 9 + 17 + big.size() + 5);
        TMemoryStream stream;
        stream.LoadFromString(data);
        TValueReader reader(stream);
        std::string back(prefix, '\0');
        reader.Read(back.data(), back.size());
        EXPECT_EQ(back, pad);
        EXPECT_EQ(reader.ReadInt64(), 0x1122334455LL);
        EXPECT_EQ(reader.ReadString(), "\xEF\xF0\xE8\xE2\xE5\xF2");
        std::string bigBack(big.size(), '\0');
        reader.Read(bigBack.data(), bigBack.size());
        EXPECT_EQ(bigBack, big);
        EXPECT_EQ(reader.ReadInteger(), -70000);
        ExpectReadError("", kSReadError, [](TValueReader& r) { r.ReadInteger(); });
    }
}

// The reader gives back what it buffered but did not use, so the stream can be
// read further by other means; the writer's data reach the stream only on Flush.
TEST(ValueStream, StreamPositionAfterUse) {
    TMemoryStream stream;
    TValueWriter writer(stream, 64);
    writer.WriteInteger(int32_t{300});
    EXPECT_EQ(stream.Size(), 0);
    writer.Flush();
    EXPECT_EQ(stream.Size(), 3);
    writer.WriteString("tail");
    writer.Flush();
    EXPECT_EQ(stream.ToString(), Bytes({3, 0x2C, 1, 6, 4}) + "tail");

    stream.SetPosition(0);
    {
        TValueReader reader(stream, 64);
        EXPECT_EQ(reader.ReadInteger(), 300);
    }
    EXPECT_EQ(stream.Position(), 3);
    char rest[6];
    stream.ReadBuffer(rest, 6);
    EXPECT_EQ(std::string(rest, 6), Bytes({6, 4}) + "tail");
}

}  // namespace
}  // namespace quillan
