// The options dialog's text rules, counted on a template's own lines: split at
// CR LF, CR or LF, as the paste counts them, never at the memo's wrapping.
// Offsets are byte offsets into the Windows-1251 text. Platform-free.
#pragma once

#include <string>
#include <string_view>

namespace quillan {

// A 1-based hot point: column (PointX) and row (PointY).
struct TTextPoint {
    int Column = 0;
    int Row = 0;
    bool operator==(const TTextPoint&) const = default;
};

// Where the hot-point marker "*" goes: the offset of column pointX of row pointY,
// or -1 when the point is unset (either coordinate below 1), lies below the last
// line, or right of the place just after its line's last character.
int HotPointMarkOffset(std::string_view text, int pointX, int pointY);

// text with the marker removed when the character at the hot point is "*";
// otherwise text unchanged.
std::string StripHotPointMark(std::string_view text, int pointX, int pointY);

// The caret offset for column (0-based) of line (0-based), clamped into the text:
// a line below the last goes to the end of the text, a column right of the line's
// end to that end, negative values to the start.
int CaretOffset(std::string_view text, int column, int line);

// The 1-based column and row of an offset (clamped into the text). An offset on a
// line break belongs to the line it ends; the end of a text that ends in a line
// break is column 1 of the line after it.
TTextPoint PointOfOffset(std::string_view text, int offset);

// The caption form of a text: every CR LF replaced by "." and every TAB removed.
std::string FlattenCaption(std::string_view text);

// Follows a character at offset `marker` of `before` through one edit that made
// `after`: the edit replaced one run of characters (found as what lies between the
// common beginning and the common end). Returns the character's offset in `after`,
// or -1 when the edit replaced or removed it (or marker was -1).
int TrackThroughEdit(std::string_view before, std::string_view after, int marker);

}  // namespace quillan
