#include <gtest/gtest.h>

#include <cstring>

#include "framework/core/exceptions.h"
#include "framework/core/streams.h"
#include "framework/core/string_list.h"

namespace quillan {
namespace {

TEST(MemoryStream, WriteSeekReadAndGrowPastTheEnd) {
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    EXPECT_EQ(s.Size(), 5);
    s.SetPosition(8);
    s.WriteBuffer("!", 1);  // the gap is zero-filled
    EXPECT_EQ(s.ToString(), std::string("hello\0\0\0!", 9));
    s.SetPosition(1);
    char buf[4] = {};
    s.ReadBuffer(buf, 4);
    EXPECT_EQ(std::string(buf, 4), "ello");
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_EQ(s.Read(buf, 4), 0u);
}

TEST(MemoryStream, RegrowingAfterShrinkGivesZeroesNotOldBytes) {
    TMemoryStream s;
    s.WriteBuffer("abcdef", 6);
    s.SetSize(2);
    s.SetSize(5);
    EXPECT_EQ(s.ToString(), std::string("ab\0\0\0", 5));
    s.SetCapacity(1 << 20);  // room only: size and content unchanged
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(s.ToString(), std::string("ab\0\0\0", 5));
}

TEST(MemoryStream, ShortReadRaisesStreamReadError) {
    TMemoryStream s;
    s.WriteBuffer("ab", 2);
    s.SetPosition(0);
    char buf[3];
    try {
        s.ReadBuffer(buf, 3);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
        EXPECT_EQ(e.ClassNames(), (std::vector<std::string>{"EReadError", "EStreamError", "Exception"}));
    }
}

TEST(MemoryStream, CopyFromWholeSourceAndManyWritesStayIntact) {
    TMemoryStream source;
    for (int i = 0; i < 100000; ++i) {
        uint8_t b = static_cast<uint8_t>(i * 7);
        source.WriteBuffer(&b, 1);
    }
    TMemoryStream target;
    target.CopyFrom(source, 0);
    ASSERT_EQ(target.Size(), 100000);
    for (int i = 0; i < 100000; i += 997) EXPECT_EQ(target.Memory()[i], static_cast<uint8_t>(i * 7));
}

TEST(StringList, TextEndsEveryLineWithCrLfAndSplitsAllBreaks) {
    TStringList list;
    list.Add("a");
    list.Add("");
    list.Add("b");
    EXPECT_EQ(list.Text(), "a\r\n\r\nb\r\n");
    list.SetText("x\r\ny\nz\r");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[2], "z");
    EXPECT_THROW(list.Delete(3), EListError);
}

}  // namespace
}  // namespace quillan
