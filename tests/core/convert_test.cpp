#include <gtest/gtest.h>

#include "framework/core/codepage.h"
#include "framework/core/convert.h"
#include "framework/core/exceptions.h"

namespace quillan {
namespace {

TEST(Convert, DecimalAndHexadecimalWithLow32BitsKept) {
    struct Case {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"-17", -17},
        {"+5", 5},
        {"  7", 7},
        {"$1F", 31},
        {"$ff", 255},
        {"4294967297", 1},            // 2^32 + 1: only the low 32 bits stay
        {"-2147483649", 2147483647},  // wraps like the 64-bit value's low half
        {"$FFFFFFFFFFFFFFFF", -1},    // hexadecimal takes all 64 bits
        {"9223372036854775807", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(StrToIntDef(c.text, -99), c.expected) << c.text;
}

TEST(Convert, NotANumberGivesDefaultOrEConvertError) {
    for (const char* text :
         {"", " ", "-", "$", "12a", "1 2", "0x10", "9223372036854775808", "$10000000000000000", "7 "}) {
        EXPECT_EQ(StrToIntDef(text, -1), -1) << text;
    }
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
        EXPECT_EQ(e.ClassNames(), (std::vector<std::string>{"EConvertError", "Exception"}));
    }
}

TEST(Convert, AsciiCaseLeavesCyrillicAlone) {
    EXPECT_EQ(AsciiLowerCase("NotePad.EXE"), "notepad.exe");
    EXPECT_EQ(AsciiLowerCase("Общие"), "Общие");
    EXPECT_EQ(AsciiUpperCase("quillan"), "QUILLAN");
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
}

TEST(Convert, SameTextAsciiFoldsOnlyTheAsciiLetters) {
    EXPECT_TRUE(SameTextAscii("PuTTY.exe", "putty.EXE"));
    EXPECT_TRUE(SameTextAscii("", ""));
    EXPECT_FALSE(SameTextAscii("putty", "putty.exe")) << "a prefix is not the same text";
    EXPECT_FALSE(SameTextAscii("Общие", "общие")) << "Cyrillic letters are not folded";
    // Bytes 0x20 apart that are not letters stay apart.
    EXPECT_FALSE(SameTextAscii("[", "{"));
    EXPECT_FALSE(SameTextAscii("@", "`"));
    EXPECT_FALSE(SameTextAscii(std::string("a\0", 2), std::string("a ", 2)));
}

TEST(Codepage, EveryByteRoundTripsThroughUtf8AndUtf16) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
    EXPECT_EQ(Utf16ToCp1251(Cp1251ToUtf16(all)), all);
    EXPECT_EQ(Cp1251ToUtf8("Общие"), "\xD0\x9E\xD0\xB1\xD1\x89\xD0\xB8\xD0\xB5");
    EXPECT_EQ(std::string("Общие"), "\xCE\xE1\xF9\xE8\xE5");  // the literal itself is Windows-1251
    EXPECT_EQ(Cp1251ToUtf16("Ж")[0], u'\u0416');
    EXPECT_EQ(Utf16ToCp1251(u"\u20ac\u4e2d"), "\x88?");  // euro sign maps, CJK does not
    EXPECT_EQ(Utf8ToCp1251("\xff\xd0"), "??");           // broken UTF-8 is not fatal
}

}  // namespace
}  // namespace quillan
