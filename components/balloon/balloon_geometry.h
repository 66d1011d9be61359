// Shape and placement of a speech balloon: pure arithmetic shared by the hint
// window and the tests. No platform types: own Rect and Point.
#pragma once

namespace quillan::balloon {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    // Empty as the system sees it: no area.
    bool IsEmpty() const { return right <= left || bottom <= top; }
    void Offset(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    bool operator==(const Rect&) const = default;
};

enum TBalloonPosition { bpAuto, bpLeftDown, bpRightDown, bpLeftUp, bpRightUp };

// The stem: a triangle StemWidth wide at its base, StemHeight tall, its tip
// StemOffset pixels in from the balloon's left or right edge.
struct StemGeometry {
    int height = 8;
    int width = 8;
    int offset = 16;
    bool operator==(const StemGeometry&) const = default;
};

// Stem of a balloon whose header area is empty, or holds an icon and/or header text.
StemGeometry StemFor(bool headerEmpty);

// Where the balloon is and how its body is laid out; filled by MeasureBalloonRect
// and updated by FitToWorkArea.
struct BalloonLayout {
    int position = bpAuto;  // 0..4, see TBalloonPosition
    int stemTop = 0;        // vertical offset of the body inside the window
    int textTop = 0;        // top of the hint text inside the body
    int cursorHeight = 0;   // height of the mouse cursor (margin below the anchor)
    StemGeometry stem;
};

// What the header area holds; headerText is the bold header text as measured
// from (0, 0), used only with showHeader.
struct HeaderInput {
    bool showIcon = false;
    bool showHeader = false;
    int iconWidth = 0;
    int iconHeight = 0;
    Rect headerText;
};

// The hint text's rectangle from its measured one (right edge + 27); empty
// when there is no text.
Rect TextRectFromMeasured(const Rect& measured, bool textEmpty);
// The header area: icon and/or header text plus their margins; empty for neither.
Rect HeaderRect(const HeaderInput& header);
// The window rectangle for text T and header H, placed so that the stem tip of
// layout.position lies at (0, 0). Sets the stem, TextTop and StemTop of layout.
Rect MeasureBalloonRect(BalloonLayout& layout, const Rect& text, Rect header);

// Stem tip of rectangle r for position (0 counts as 1).
Point StemTip(int position, const Rect& r, const StemGeometry& stem);
// Shift that moves a rectangle of width w, height h from its tip to the anchor.
Point StemShift(int position, int w, int h, const BalloonLayout& layout);
// Moves a placed rectangle from layout.position to newPosition and stores it.
void ChangePosition(Rect& r, BalloonLayout& layout, int newPosition);
// StemTop of a position: the stem height for balloons below the anchor, else 0.
int StemTopFor(int position, const StemGeometry& stem);

// Picks the side for an auto position and flips the balloon that would leave
// the work area; r is the placed rectangle in screen coordinates.
void FitToWorkArea(Rect& r, BalloonLayout& layout, const Rect& workArea);

// The window region: a triangle (winding fill) joined with a rounded rectangle
// whose corners are 11 x 11 ellipses; in window coordinates for a w x h window.
struct RegionShape {
    Point triangle[3];
    Rect body;
};
inline constexpr int kCornerEllipse = 11;
RegionShape BalloonRegionShape(int position, int w, int h, const StemGeometry& stem);

}  // namespace quillan::balloon
