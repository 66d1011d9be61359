// The options dialog's text rules on a template's own lines, checked against the
// paste engine, which is where a hot point takes effect.
#include "engine/options/template_text.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/paste/caret.h"

namespace quillan {
namespace {

struct MarkCase {
    const char* text;
    int x, y;
    int offset;
};

TEST(HotPointMark, OffsetOnTheTextsOwnLines) {
    const std::string longLine(120, 'x');
    const MarkCase cases[] = {
        {"ab\r\ncdef", 3, 2, 6},
        {"ab\r\ncdef", 5, 2, 8},   // just after the line's last character
        {"ab\r\ncdef", 6, 2, -1},  // right of that
        {"ab\r\ncdef", 1, 3, -1},  // below the last line
        {"ab\r\ncdef", 0, 2, -1},  // unset
        {"ab\r\ncdef", 3, 0, -1},
        {"ab\r\ncdef", -1, 1, -1},
        {"ab\ncd\ref", 2, 3, 7},  // LF and CR break lines as the paste breaks them
        {"ab\r\n", 1, 2, 4},      // the line after a final break is empty
        {"", 1, 1, 0},
        {"a\r\n\r\nb", 1, 2, 3},
    };
    for (const MarkCase& c : cases) EXPECT_EQ(HotPointMarkOffset(c.text, c.x, c.y), c.offset) << c.text << c.x << c.y;
    // A long first line is one line, however a control would wrap it.
    EXPECT_EQ(HotPointMarkOffset(longLine + "\r\nabcd\r\nef", 3, 2), 124);
}

TEST(HotPointMark, StripRemovesOnlyAStarAtTheHotPoint) {
    EXPECT_EQ(StripHotPointMark("ab\r\ncd*ef", 3, 2), "ab\r\ncdef");
    EXPECT_EQ(StripHotPointMark("ab\r\ncd*ef", 4, 2), "ab\r\ncd*ef");
    EXPECT_EQ(StripHotPointMark("*a", 0, 0), "*a");
    EXPECT_EQ(StripHotPointMark("ab*", 3, 1), "ab");
    EXPECT_EQ(StripHotPointMark("ab", 3, 1), "ab");  // the point at the end: nothing there
}

TEST(CaretOffset, ClampsIntoTheText) {
    EXPECT_EQ(CaretOffset("ab\r\ncdef", 2, 1), 6);
    EXPECT_EQ(CaretOffset("ab\r\ncdef", 9, 0), 2);    // right of the end of its line
    EXPECT_EQ(CaretOffset("ab\r\ncdef", 1, 5), 8);    // below the last line
    EXPECT_EQ(CaretOffset("ab\r\ncdef", -1, -1), 0);  // an unset point
}

TEST(PointOfOffset, CountsTheTextsOwnLines) {
    EXPECT_EQ(PointOfOffset("ab\r\ncdef", 0), (TTextPoint{1, 1}));
    EXPECT_EQ(PointOfOffset("ab\r\ncdef", 2), (TTextPoint{3, 1}));
    EXPECT_EQ(PointOfOffset("ab\r\ncdef", 3), (TTextPoint{3, 1}));  // between CR and LF: the line's end
    EXPECT_EQ(PointOfOffset("ab\r\ncdef", 4), (TTextPoint{1, 2}));
    EXPECT_EQ(PointOfOffset("ab\r\ncdef", 99), (TTextPoint{5, 2}));
    EXPECT_EQ(PointOfOffset("ab\r\n", 4), (TTextPoint{1, 2}));
    EXPECT_EQ(PointOfOffset("a\n\rb", 3), (TTextPoint{1, 3}));
    EXPECT_EQ(PointOfOffset("", -5), (TTextPoint{1, 1}));
    // Every caret place maps back to itself through the hot point.
    const std::string texts[] = {"ab\r\ncdef", "a\rb\nc\r\n\r\nd", "\r\n\r\nxyz\r\n", std::string(130, 'q') + "\r\nz"};
    for (const std::string& text : texts) {
        for (int k = 0; k <= static_cast<int>(text.size()); ++k) {
            if (k > 0 && text[static_cast<size_t>(k) - 1] == '\r' && text[static_cast<size_t>(k)] == '\n') continue;
            TTextPoint p = PointOfOffset(text, k);
            EXPECT_EQ(CaretOffset(text, p.Column - 1, p.Row - 1), k) << text << " " << k;
        }
    }
}

// Caret steps from offset k to the end of a pasted text, a CR LF being one step.
int64_t StepsToEnd(const std::string& pasted, size_t k) {
    int64_t steps = 0;
    for (size_t i = k; i < pasted.size(); ++i, ++steps)
        if (pasted.compare(i, 2, "\r\n") == 0) ++i;
    return steps;
}

// A Ctrl+Click anywhere stores the point at which the paste then leaves the caret:
// the paste's Left presses walk back from the end exactly to the clicked place.
TEST(PointOfOffset, ThePasteLandsWhereTheUserClicked) {
    const std::string texts[] = {
        std::string(120, 'x') + "\r\nabcd\r\nef",
        "Здравствуйте,\r\n\r\nс уважением\r\nИван",
        "one line",
    };
    for (const std::string& text : texts) {
        const std::string pasted = TemplateControlText(text);
        ASSERT_EQ(pasted, text);
        for (size_t k = 0; k <= text.size(); ++k) {
            if (k > 0 && text[k - 1] == '\r') continue;  // no caret inside CR LF
            TTextPoint p = PointOfOffset(text, static_cast<int>(k));
            EXPECT_EQ(CountCaretPresses(text, p.Column, p.Row), StepsToEnd(pasted, k)) << k;
        }
    }
}

TEST(FlattenCaption, CrLfBecomesADotAndTabsGo) {
    EXPECT_EQ(FlattenCaption("Hello\r\n\tWorld"), "Hello.World");
    EXPECT_EQ(FlattenCaption("a\nb\rc"), "a\nb\rc");
    EXPECT_EQ(FlattenCaption("\r\n\r\n"), "..");
    EXPECT_EQ(FlattenCaption("x\r"), "x\r");
}

struct EditCase {
    const char* before;
    const char* after;
    int marker;
    int expected;
};

TEST(TrackThroughEdit, FollowsTheMarkerOrLosesItWithItsCharacter) {
    const EditCase cases[] = {
        {"cd*ef", "cd*Xef", 2, 2},                     // typed after it
        {"cd*ef", "Xcd*ef", 2, 3},                     // typed before it on its line
        {"ab\r\ncd*ef", "new\r\nab\r\ncd*ef", 6, 11},  // a line added above
        {"cd*ef", "cdef", 2, -1},                      // deleted
        {"cd*ef", "cdXef", 2, -1},                     // typed over
        {"cd*ef", "d*ef", 2, 1},                       // the character before it deleted
        {"cd*ef", "", 2, -1},
        {"cd*ef", "cd*ef", 2, 2},   // no change
        {"cd*ef", "cd**ef", 2, 2},  // a second star next to it: either is the marker
        {"cd*ef", "cd*", 2, 2},     // the rest of the line deleted
        {"abc", "abcd", -1, -1},    // no marker to follow
    };
    for (const EditCase& c : cases)
        EXPECT_EQ(TrackThroughEdit(c.before, c.after, c.marker), c.expected) << c.before << " -> " << c.after;
}

}  // namespace
}  // namespace quillan
