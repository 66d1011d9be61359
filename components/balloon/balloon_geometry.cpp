#include "components/balloon/balloon_geometry.h"

#include <algorithm>

namespace quillan::balloon {

StemGeometry StemFor(bool headerEmpty) { return headerEmpty ? StemGeometry{8, 8, 16} : StemGeometry{16, 16, 15}; }

Rect TextRectFromMeasured(const Rect& measured, bool textEmpty) {
    if (textEmpty) return Rect{};
    Rect r = measured;
    // Room for the body's left margin and the rounded corners.
    r.right += 27;
    return r;
}

Rect HeaderRect(const HeaderInput& header) {
    if (header.showHeader) {
        Rect r = header.headerText;
        if (header.showIcon) {
            r.right = header.headerText.right + header.iconWidth + 21;
            r.bottom = std::max(header.headerText.bottom + 11, header.iconHeight + 11);
        } else {
            r.right += 13;
            r.bottom += 11;
        }
        return r;
    }
    if (header.showIcon) return Rect{0, 0, header.iconWidth + 11, header.iconHeight + 11};
    return Rect{};
}

Rect MeasureBalloonRect(BalloonLayout& layout, const Rect& text, Rect header) {
    if (header.IsEmpty()) {
        header.bottom = 9;
        layout.textTop = 7;
        layout.stem = StemFor(true);
    } else {
        header.right += 12;
        layout.textTop = header.bottom + 1;
        layout.stem = StemFor(false);
    }
    Rect r{0, 0, std::max(text.right, header.right), header.bottom + text.bottom + layout.stem.height + 13};
    Point shift = StemShift(layout.position, r.Width(), r.Height(), layout);
    r.Offset(shift.x, shift.y);
    layout.stemTop = StemTopFor(layout.position, layout.stem);
    return r;
}

Point StemTip(int position, const Rect& r, const StemGeometry& stem) {
    switch (position) {
        case bpRightDown:
            return {r.left + stem.offset, r.top};
        case bpLeftUp:
            return {r.right - stem.offset, r.bottom};
        case bpRightUp:
            return {r.left + stem.offset, r.bottom};
        default:
            return {r.right - stem.offset, r.top};
    }
}

Point StemShift(int position, int w, int h, const BalloonLayout& layout) {
    const int o = layout.stem.offset;
    switch (position) {
        case bpRightDown:
            return {-o, 0};
        case bpLeftUp:
            return {-(w - o), -(h + layout.cursorHeight)};
        case bpRightUp:
            return {-o, -(h + layout.cursorHeight)};
        default:
            return {-(w - o), 0};
    }
}

void ChangePosition(Rect& r, BalloonLayout& layout, int newPosition) {
    Point oldShift = StemShift(layout.position, r.Width(), r.Height(), layout);
    r.Offset(-oldShift.x, -oldShift.y);
    layout.position = newPosition;
    Point newShift = StemShift(newPosition, r.Width(), r.Height(), layout);
    r.Offset(newShift.x, newShift.y);
}

int StemTopFor(int position, const StemGeometry& stem) {
    return position == bpLeftUp || position == bpRightUp ? 0 : stem.height;
}

namespace {

// The auto position: the side of the work area's centre that the tip is on.
void ChooseAutoPosition(Rect& r, BalloonLayout& layout, const Rect& a) {
    layout.position = bpLeftDown;
    Point p = StemTip(bpLeftDown, r, layout.stem);
    bool leftHalf = 2 * p.x < a.left + a.right;
    int chosen;
    if (2 * p.y < a.top + a.bottom)
        chosen = leftHalf ? bpLeftUp : bpRightUp;
    else
        chosen = leftHalf ? bpLeftDown : bpRightDown;
    if (chosen != bpLeftDown) ChangePosition(r, layout, chosen);
}

// The first round of flips; every test sees the rectangle as it came in. The
// bottom and right tests compare with the work area's height and width.
int FlippedPosition(const Rect& r, int p, const Rect& a) {
    if (r.bottom > a.bottom - a.top && (p == bpLeftDown || p == bpRightDown)) p += 2;
    if (r.right > a.right - a.left && (p == bpRightDown || p == bpRightUp)) p -= 1;
    if (r.left < a.left && (p == bpLeftDown || p == bpLeftUp)) p += 1;
    if (r.top < a.top && (p == bpLeftUp || p == bpRightUp)) p -= 2;
    return p;
}

}  // namespace

void FitToWorkArea(Rect& r, BalloonLayout& layout, const Rect& a) {
    if (layout.position == bpAuto) ChooseAutoPosition(r, layout, a);
    int p = FlippedPosition(r, layout.position, a);
    if (p != layout.position) ChangePosition(r, layout, p);
    // A flip away from one edge may have pushed the balloon over another.
    if (r.left < a.left) {
        if (layout.position == bpLeftUp)
            ChangePosition(r, layout, bpRightUp);
        else if (layout.position == bpLeftDown)
            ChangePosition(r, layout, bpRightDown);
    }
    if (r.top < a.top) {
        if (layout.position == bpLeftUp)
            ChangePosition(r, layout, bpLeftDown);
        else if (layout.position == bpRightUp)
            ChangePosition(r, layout, bpRightDown);
    }
    layout.stemTop = StemTopFor(layout.position, layout.stem);
}

RegionShape BalloonRegionShape(int position, int w, int h, const StemGeometry& stem) {
    const int o = stem.offset;
    const int sw = stem.width;
    const int sh = stem.height;
    switch (position) {
        case bpRightDown:
            return {{{o + 1, 0}, {o + 1, sh + 1}, {o + sw + 2, sh + 1}}, {1, sh + 1, w, h - 3}};
        case bpLeftUp:
            return {{{w - o - 1, h + 1}, {w - o - 1, h - sh - 1}, {w - o - sw - 2, h - sh - 1}}, {1, 1, w, h - sh}};
        case bpRightUp:
            return {{{o + 1, h}, {o + 1, h - sh - 1}, {o + sw + 2, h - sh - 1}}, {1, 1, w, h - sh}};
        default:
            return {{{w - o - 1, 0}, {w - o - 1, sh + 1}, {w - o - sw - 2, sh + 1}}, {1, sh + 1, w, h - 3}};
    }
}

}  // namespace quillan::balloon
