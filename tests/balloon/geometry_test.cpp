// Balloon arithmetic, with every expected value worked out by hand from the
// placement rules (stem offset 15 or 16, cursor height 32 here).
#include <gtest/gtest.h>

#include "components/balloon/balloon_geometry.h"

namespace quillan::balloon {

void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }
void PrintTo(const StemGeometry& s, std::ostream* os) { *os << s.height << "/" << s.width << "/" << s.offset; }

namespace {

constexpr int kCursor = 32;

// The program's hint: information icon, no header text.
HeaderInput IconOnly() {
    HeaderInput h;
    h.showIcon = true;
    h.iconWidth = 16;
    h.iconHeight = 16;
    return h;
}

// A 127 x 69 balloon (text 100 x 13 under the icon) measured for position.
Rect Measured(int position, BalloonLayout& layout) {
    layout.position = position;
    layout.cursorHeight = kCursor;
    return MeasureBalloonRect(layout, TextRectFromMeasured({0, 0, 100, 13}, false), HeaderRect(IconOnly()));
}

// Measured for auto and shifted to the anchor, as the hint machinery does.
Rect AtAnchor(int position, int x, int y, BalloonLayout& layout) {
    Rect r = Measured(position, layout);
    r.Offset(x, y);
    return r;
}

TEST(BalloonMeasure, IconOnlyHeader) {
    EXPECT_EQ(HeaderRect(IconOnly()), (Rect{0, 0, 27, 27}));
    BalloonLayout layout;
    Rect r = Measured(bpLeftDown, layout);
    EXPECT_EQ(layout.stem, (StemGeometry{16, 16, 15}));
    EXPECT_EQ(layout.textTop, 28);
    EXPECT_EQ(layout.stemTop, 16);
    // Width: text + 27; height: 27 + text + 16 + 13; tip 15 in from the right.
    EXPECT_EQ(r, (Rect{-112, 0, 15, 69}));
}

TEST(BalloonMeasure, NarrowOrEmptyTextKeepsTheIconWidth) {
    BalloonLayout layout;
    layout.position = bpRightDown;
    Rect narrow = MeasureBalloonRect(layout, TextRectFromMeasured({0, 0, 5, 13}, false), HeaderRect(IconOnly()));
    EXPECT_EQ(narrow, (Rect{-15, 0, 24, 69}));
    Rect empty = MeasureBalloonRect(layout, TextRectFromMeasured({0, 0, 5, 13}, true), HeaderRect(IconOnly()));
    EXPECT_EQ(empty, (Rect{-15, 0, 24, 56}));
}

TEST(BalloonMeasure, EmptyHeaderUsesTheSmallStem) {
    BalloonLayout layout;
    layout.position = bpRightDown;
    Rect r = MeasureBalloonRect(layout, TextRectFromMeasured({0, 0, 100, 13}, false), HeaderRect({}));
    EXPECT_EQ(layout.stem, (StemGeometry{8, 8, 16}));
    EXPECT_EQ(layout.textTop, 7);
    EXPECT_EQ(layout.stemTop, 8);
    EXPECT_EQ(r, (Rect{-16, 0, 111, 43}));  // 9 + 13 + 8 + 13 high
}

TEST(BalloonMeasure, HeaderText) {
    HeaderInput h = IconOnly();
    h.showHeader = true;
    h.headerText = {0, 0, 50, 13};
    EXPECT_EQ(HeaderRect(h), (Rect{0, 0, 87, 27}));
    h.headerText = {0, 0, 50, 30};
    EXPECT_EQ(HeaderRect(h), (Rect{0, 0, 87, 41}));
    h.showIcon = false;
    EXPECT_EQ(HeaderRect(h), (Rect{0, 0, 63, 41}));

    BalloonLayout layout;
    layout.position = bpRightDown;
    Rect r = MeasureBalloonRect(layout, Rect{}, HeaderRect(h));
    EXPECT_EQ(layout.textTop, 42);
    EXPECT_EQ(r, (Rect{-15, 0, 60, 70}));  // width 63 + 12, height 41 + 0 + 16 + 13
}

TEST(BalloonMeasure, EveryPositionPutsTheTipAtTheAnchor) {
    const Point expectedTip[] = {{0, 0}, {0, 0}, {0, 0}, {0, -kCursor}, {0, -kCursor}};
    const Rect expectedRect[] = {
        {-112, 0, 15, 69}, {-112, 0, 15, 69}, {-15, 0, 112, 69}, {-112, -101, 15, -32}, {-15, -101, 112, -32}};
    for (int p = bpAuto; p <= bpRightUp; ++p) {
        BalloonLayout layout;
        Rect r = Measured(p, layout);
        EXPECT_EQ(r, expectedRect[p]) << "position " << p;
        EXPECT_EQ(StemTip(p, r, layout.stem), expectedTip[p]) << "position " << p;
        EXPECT_EQ(layout.stemTop, p >= bpLeftUp ? 0 : 16) << "position " << p;
    }
}

TEST(BalloonMeasure, ChangingPositionKeepsTheTip) {
    BalloonLayout layout;
    Rect r = AtAnchor(bpLeftDown, 600, 300, layout);
    ChangePosition(r, layout, bpRightUp);
    EXPECT_EQ(layout.position, bpRightUp);
    EXPECT_EQ(r, (Rect{585, 199, 712, 268}));
    ChangePosition(r, layout, bpLeftDown);
    EXPECT_EQ(r, (Rect{488, 300, 615, 369}));
}

struct AutoCase {
    int x, y;
    int position;
    Rect rect;
};

TEST(BalloonFit, AutoPicksTheSideOfTheWorkAreaCentre) {
    const Rect area{0, 0, 1280, 1024};
    const AutoCase cases[] = {
        {600, 300, bpLeftUp, {488, 199, 615, 268}},     // upper left half: above, extending left
        {700, 300, bpRightUp, {685, 199, 812, 268}},    // upper right half
        {600, 700, bpLeftDown, {488, 700, 615, 769}},   // lower left half: below
        {700, 700, bpRightDown, {685, 700, 812, 769}},  // lower right half
        {600, 512, bpLeftDown, {488, 512, 615, 581}},   // on the centre line counts as lower
    };
    for (const AutoCase& c : cases) {
        BalloonLayout layout;
        Rect r = AtAnchor(bpAuto, c.x, c.y, layout);
        FitToWorkArea(r, layout, area);
        EXPECT_EQ(layout.position, c.position) << c.x << "," << c.y;
        EXPECT_EQ(r, c.rect) << c.x << "," << c.y;
        EXPECT_EQ(layout.stemTop, c.position >= bpLeftUp ? 0 : 16);
    }
}

TEST(BalloonFit, FlipsAwayFromTheLeftAndTopEdges) {
    const Rect area{0, 0, 1280, 1024};
    // Upper left corner: chosen above-left, which leaves the area at the left and top.
    BalloonLayout layout;
    Rect r = AtAnchor(bpAuto, 100, 100, layout);
    FitToWorkArea(r, layout, area);
    EXPECT_EQ(layout.position, bpRightDown);
    EXPECT_EQ(r, (Rect{85, 100, 212, 169}));
    EXPECT_EQ(layout.stemTop, 16);

    // Lower left: below-left would cross the left edge.
    layout = {};
    r = AtAnchor(bpAuto, 100, 900, layout);
    FitToWorkArea(r, layout, area);
    EXPECT_EQ(layout.position, bpRightDown);
    EXPECT_EQ(r, (Rect{85, 900, 212, 969}));

    // Upper right: above-right would cross the top edge.
    layout = {};
    r = AtAnchor(bpAuto, 1000, 100, layout);
    FitToWorkArea(r, layout, area);
    EXPECT_EQ(layout.position, bpRightDown);
    EXPECT_EQ(r, (Rect{985, 100, 1112, 169}));
}

TEST(BalloonFit, BottomAndRightTestsUseTheAreaSize) {
    // Taskbar at the top: the area is 1024 high but ends at 1124.
    BalloonLayout layout;
    Rect r = AtAnchor(bpLeftDown, 600, 1000, layout);
    FitToWorkArea(r, layout, Rect{0, 100, 1280, 1124});
    EXPECT_EQ(layout.position, bpLeftUp);
    EXPECT_EQ(r, (Rect{488, 899, 615, 968}));

    layout = {};
    r = AtAnchor(bpRightDown, 1200, 500, layout);
    FitToWorkArea(r, layout, Rect{0, 0, 1280, 1024});
    EXPECT_EQ(layout.position, bpLeftDown);
    EXPECT_EQ(r, (Rect{1088, 500, 1215, 569}));
    EXPECT_EQ(layout.stemTop, 16);
}

TEST(BalloonFit, SecondRoundUndoesAFlipOverAnotherEdge) {
    // Too wide for a narrow area: the right flip pushes it over the left edge, so it goes back.
    BalloonLayout layout;
    layout.position = bpRightDown;
    layout.cursorHeight = kCursor;
    Rect r = MeasureBalloonRect(layout, Rect{0, 0, 300, 13}, HeaderRect(IconOnly()));
    r.Offset(150, 500);
    FitToWorkArea(r, layout, Rect{0, 0, 200, 1024});
    EXPECT_EQ(layout.position, bpRightDown);
    EXPECT_EQ(r, (Rect{135, 500, 435, 569}));

    // Too low for a short area: flipped up it crosses the top, so it comes back down.
    layout = {};
    r = AtAnchor(bpLeftDown, 600, 100, layout);
    FitToWorkArea(r, layout, Rect{0, 0, 1280, 150});
    EXPECT_EQ(layout.position, bpLeftDown);
    EXPECT_EQ(r, (Rect{488, 100, 615, 169}));
    EXPECT_EQ(layout.stemTop, 16);
}

TEST(BalloonRegion, TriangleAndBodyPerPosition) {
    const StemGeometry stem{16, 16, 15};
    struct Case {
        int position;
        Point a, b, c;
        Rect body;
    };
    // A 127 x 73 window (69 + the 4 extra pixels).
    const Case cases[] = {
        {bpLeftDown, {111, 0}, {111, 17}, {94, 17}, {1, 17, 127, 70}},
        {bpRightDown, {16, 0}, {16, 17}, {33, 17}, {1, 17, 127, 70}},
        {bpLeftUp, {111, 74}, {111, 56}, {94, 56}, {1, 1, 127, 57}},
        {bpRightUp, {16, 73}, {16, 56}, {33, 56}, {1, 1, 127, 57}},
    };
    for (const Case& c : cases) {
        RegionShape shape = BalloonRegionShape(c.position, 127, 73, stem);
        EXPECT_EQ(shape.triangle[0], c.a) << "position " << c.position;
        EXPECT_EQ(shape.triangle[1], c.b) << "position " << c.position;
        EXPECT_EQ(shape.triangle[2], c.c) << "position " << c.position;
        EXPECT_EQ(shape.body, c.body) << "position " << c.position;
    }
    RegionShape small = BalloonRegionShape(bpLeftDown, 111, 47, StemFor(true));
    EXPECT_EQ(small.triangle[2], (Point{111 - 16 - 8 - 2, 9}));
    EXPECT_EQ(small.body, (Rect{1, 9, 111, 44}));
}

}  // namespace
}  // namespace quillan::balloon
