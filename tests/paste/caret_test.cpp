#include "engine/paste/caret.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/store/template_file.h"

namespace quillan {
namespace {

using Lines = std::vector<std::string>;

TEST(TemplateLines, EveryLineEndStartsALine) {
    EXPECT_EQ(TemplateLines(""), Lines{""});
    EXPECT_EQ(TemplateLines("abc"), Lines{"abc"});
    EXPECT_EQ(TemplateLines("abc\r\n"), (Lines{"abc", ""}));
    EXPECT_EQ(TemplateLines("\r\n"), (Lines{"", ""}));
    EXPECT_EQ(TemplateLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b", ""}));
    EXPECT_EQ(TemplateLines("a\nb\rc"), (Lines{"a", "b", "c"}));
    // LF then CR is two breaks, not one pair.
    EXPECT_EQ(TemplateLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(TemplateLines("a\r\r\n"), (Lines{"a", "", ""}));
}

TEST(TemplateControlText, IsTheTextWithCrLfBreaksAndNothingAdded) {
    EXPECT_EQ(TemplateControlText(""), "");
    EXPECT_EQ(TemplateControlText("Привет"), "Привет");
    EXPECT_EQ(TemplateControlText("a\nb\r\n"), "a\r\nb\r\n");
    EXPECT_EQ(TemplateControlText("a\r\rb"), "a\r\n\r\nb");
    EXPECT_EQ(TemplateControlText("a\n\rb\r"), "a\r\n\r\nb\r\n");
}

struct PressCase {
    const char* text;
    int32_t x;
    int32_t y;
    int64_t presses;
};

TEST(CountCaretPresses, StepsBackFromTheEndOfThePastedText) {
    const PressCase cases[] = {
        {"abcde", 6, 1, 0},                // just after the text: where the paste leaves the caret
        {"abcde", 1, 1, 5},                // before its first character
        {"abcde\r\nfghij", 1, 1, 11},      // first column of the first of two lines
        {"abcde\r\nfghij", 3, 2, 3},       // inside the last line
        {"abcde\r\nfghij", 6, 1, 6},       // end of the first line
        {"abcde\r\nfghij\r\nk", 2, 2, 6},  // a middle row counts the rows below it
        {"abcde\r\n", 6, 1, 1},            // a final break is pasted, and is one step
        {"abcde\r\n", 1, 2, 0},            // the empty line after it is the end
        {"abcde", 1, 2, 0},                // the row after the last line: zero
        {"abcde", 1, 5, 0},                // rows beyond it: negative, so none
        {"abcde", 100, 1, 0},              // column far past the end
        {"", 1, 1, 0},
    };
    for (const PressCase& c : cases) {
        EXPECT_EQ(CountCaretPresses(c.text, c.x, c.y), c.presses)
            << "text \"" << c.text << "\" column " << c.x << " row " << c.y;
    }
}

TEST(CountCaretPresses, EveryKindOfLineEndIsOneStep) {
    for (const char* text : {"abcde\r\nfghij", "abcde\nfghij", "abcde\rfghij"}) {
        EXPECT_EQ(CountCaretPresses(text, 1, 1), 11) << text;
        EXPECT_EQ(CountCaretPresses(text, 6, 2), 0) << text;
    }
    for (const char* text : {"abcde\r\nfghij\r\n", "abcde\nfghij\n", "abcde\rfghij\r"}) {
        EXPECT_EQ(CountCaretPresses(text, 1, 1), 12) << text;
        EXPECT_EQ(CountCaretPresses(text, 6, 2), 1) << text;
    }
    EXPECT_EQ(CountCaretPresses("abcde\r\n\r\n", 6, 1), 2);
}

TEST(CountCaretPresses, LongLinesAddNoPressesForWrapping) {
    const std::string line(400, 'x');
    EXPECT_EQ(CountCaretPresses(line, 401, 1), 0);
    EXPECT_EQ(CountCaretPresses(line, 1, 1), 400);
    EXPECT_EQ(CountCaretPresses(line + "\r\n" + line, 1, 2), 400);
}

// An unset hot point, as the file writer writes it and as a file without PointX and
// PointY reads, is the end of the text: no press at all, whatever lines it has.
TEST(CountCaretPresses, UnsetAndWrittenDefaultHotPointsAreTheEnd) {
    for (const std::string text : {"", "abcde", "Шаблон", "a\r\n\r\nb", "a\r\n\r\nb\r\n", "\r\n\r\n",
                                   "Здравствуйте!\r\n\r\nТекст\r\n\r\nС уважением, Иван", "x\ry\rz\r"}) {
        EXPECT_EQ(CountCaretPresses(text, 0, 0), 0) << text;
        THotPoint written = DefaultHotPoint(text);
        EXPECT_EQ(CountCaretPresses(text, written.X, written.Y), 0) << text;
    }
    // A column set and the row not: the row is the end's, as written.
    EXPECT_EQ(CountCaretPresses("ab\r\ncde", 1, 0), 3);
}

TEST(CountCaretPresses, ExtremeHandEditedValuesStayDefined) {
    EXPECT_EQ(CountCaretPresses("abcde", 1, INT32_MAX), 0);
    EXPECT_EQ(CountCaretPresses("abcde", INT32_MAX, 1), 0);
    EXPECT_EQ(CountCaretPresses("abcde", 1, INT32_MIN), int64_t{1} + 5 - 1 + 1 - int64_t{INT32_MIN});
    EXPECT_EQ(CountCaretPresses("abcde", INT32_MIN, 1), 5 + 1 - int64_t{INT32_MIN});
    // A value that is not an integer reads as -1.
    EXPECT_EQ(CountCaretPresses("abcde", -1, 1), 7);
    EXPECT_EQ(CountCaretPresses("abcde\r\nfghij", 1, -1), 13);
}

TEST(CaretPressLimit, ReachesTheStartOfThePasteAndStopsRunawayCounts) {
    const std::string text = "abcde\r\nfghij";
    const int64_t limit = CaretPressLimit(text);
    EXPECT_EQ(limit, 11);
    EXPECT_EQ(CaretPressLimit(""), 0);
    EXPECT_EQ(CaretPressLimit("ab\r\n"), 3);
    for (int32_t y = 0; y <= 3; ++y) {
        for (int32_t x = 0; x <= 7; ++x) EXPECT_LE(CountCaretPresses(text, x, y), limit) << x << "," << y;
    }
    EXPECT_EQ(CountCaretPresses(text, 1, 1), limit);
    EXPECT_GT(CountCaretPresses(text, INT32_MIN, 1), limit);
}

}  // namespace
}  // namespace quillan
