#include "engine/paste/caret.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace quillan {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitTemplateLines, BreaksAtEveryKindOfLineEndButNotAfterTheLast) {
    EXPECT_EQ(SplitTemplateLines(""), Lines{});
    EXPECT_EQ(SplitTemplateLines("abc"), Lines{"abc"});
    EXPECT_EQ(SplitTemplateLines("abc\r\n"), Lines{"abc"});
    EXPECT_EQ(SplitTemplateLines("\r\n"), Lines{""});
    EXPECT_EQ(SplitTemplateLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTemplateLines("a\nb\rc"), (Lines{"a", "b", "c"}));
    // LF then CR is two breaks, not one pair.
    EXPECT_EQ(SplitTemplateLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTemplateLines("a\r\n\r\n"), (Lines{"a", ""}));
}

TEST(TemplateControlText, EndsEveryLineWithCrLf) {
    EXPECT_EQ(TemplateControlText(""), "");
    EXPECT_EQ(TemplateControlText("Привет"), "Привет\r\n");
    EXPECT_EQ(TemplateControlText("a\nb\r\n"), "a\r\nb\r\n");
    EXPECT_EQ(TemplateControlText("a\r\rb"), "a\r\n\r\nb\r\n");
}

struct PressCase {
    const char* text;
    int32_t x;
    int32_t y;
    int64_t presses;
};

TEST(CountCaretPresses, FollowsTheHotPointFormula) {
    const PressCase cases[] = {
        {"abcde", 6, 1, 1},                // just after the text
        {"abcde", 1, 1, 6},                // before its first character
        {"abcde\r\nfghij", 1, 1, 12},      // first column of the first of two lines
        {"abcde\r\nfghij", 3, 2, 4},       // inside the last line
        {"abcde\r\nfghij", 6, 1, 7},       // end of the first line
        {"abcde\r\nfghij\r\nk", 2, 2, 7},  // a middle row counts the rows below it
        {"abcde\r\nfghij", 1, 0, 13},      // row 0: all lines plus the empty line(-1)
        {"abcde\r\nfghij", 3, 0, 11},
        {"abcde", 1, 2, 0},    // the row after the last line: zero
        {"abcde", 1, 5, 0},    // rows beyond it: negative, so none
        {"abcde", 100, 1, 0},  // column far past the end
        {"", 1, 0, 1},         // empty text, its default hot point
        {"", 1, 1, 0},
    };
    for (const PressCase& c : cases) {
        EXPECT_EQ(CountCaretPresses(c.text, c.x, c.y), c.presses)
            << "text \"" << c.text << "\" column " << c.x << " row " << c.y;
    }
}

TEST(CountCaretPresses, LineEndsDoNotChangeTheCount) {
    for (const char* text :
         {"abcde\r\nfghij", "abcde\nfghij", "abcde\rfghij", "abcde\r\nfghij\r\n", "abcde\nfghij\n"}) {
        EXPECT_EQ(CountCaretPresses(text, 1, 1), 12) << text;
        EXPECT_EQ(CountCaretPresses(text, 6, 2), 1) << text;
    }
    // A final empty line is a real line when another break follows it.
    EXPECT_EQ(CountCaretPresses("abcde\r\n\r\n", 6, 1), 2);
}

TEST(CountCaretPresses, LongLinesAddNoPressesForWrapping) {
    const std::string line(400, 'x');
    EXPECT_EQ(CountCaretPresses(line, 401, 1), 1);
    EXPECT_EQ(CountCaretPresses(line, 1, 1), 401);
    EXPECT_EQ(CountCaretPresses(line + "\r\n" + line, 1, 2), 401);
}

// The hot point that the file writer fills in for an unset one: the length of the
// last non-empty line + 1, and the number of non-empty lines.
TEST(CountCaretPresses, WriterDefaultHotPointIsOnePress) {
    for (const std::string text : {"abcde", "Шаблон", "abcde\r\nfg", "a\r\nbb\r\nccc\r\n", "x\ny\nz"}) {
        Lines lines = SplitTemplateLines(text);
        auto x = static_cast<int32_t>(lines.back().size() + 1);
        auto y = static_cast<int32_t>(lines.size());
        EXPECT_EQ(CountCaretPresses(text, x, y), 1) << text;
    }
}

TEST(CountCaretPresses, ExtremeHandEditedValuesStayDefined) {
    EXPECT_EQ(CountCaretPresses("abcde", 1, INT32_MAX), 0);
    EXPECT_EQ(CountCaretPresses("abcde", INT32_MAX, 1), 0);
    EXPECT_EQ(CountCaretPresses("abcde", 1, INT32_MIN), int64_t{1} + 5 - 1 + 2 - int64_t{INT32_MIN});
    EXPECT_EQ(CountCaretPresses("abcde", INT32_MIN, 1), 5 + 2 - int64_t{INT32_MIN});
    // A value that is not an integer reads as -1.
    EXPECT_EQ(CountCaretPresses("abcde", -1, 1), 8);
    EXPECT_EQ(CountCaretPresses("abcde\r\nfghij", 1, -1), 14);
}

TEST(CaretPressLimit, CoversEveryNonNegativeHotPointAndStopsRunawayCounts) {
    const std::string text = "abcde\r\nfghij";
    const int64_t limit = CaretPressLimit(text);
    EXPECT_EQ(limit, 14);
    EXPECT_EQ(CaretPressLimit(""), 2);
    for (int32_t y = 0; y <= 3; ++y) {
        for (int32_t x = 0; x <= 7; ++x) EXPECT_LE(CountCaretPresses(text, x, y), limit) << x << "," << y;
    }
    EXPECT_GT(CountCaretPresses(text, INT32_MIN, 1), limit);
}

}  // namespace
}  // namespace quillan
