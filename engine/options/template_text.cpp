#include "engine/options/template_text.h"

#include <algorithm>

namespace quillan {
namespace {

// One line of a text: [Start, End), followed by Break characters (0 for the last).
struct TLine {
    size_t Start = 0;
    size_t End = 0;
    size_t Break = 0;
};

TLine LineAt(std::string_view text, size_t start) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) return {start, text.size(), 0};
    size_t length = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    return {start, end, length};
}

// The line with 0-based index `index`; false when the text has fewer lines. A text
// that ends in a line break has an empty line after it.
bool FindLine(std::string_view text, int index, TLine& out) {
    TLine line = LineAt(text, 0);
    for (int i = 0; i < index; ++i) {
        if (line.Break == 0) return false;
        line = LineAt(text, line.End + line.Break);
    }
    out = line;
    return true;
}

}  // namespace

int HotPointMarkOffset(std::string_view text, int pointX, int pointY) {
    if (pointX < 1 || pointY < 1) return -1;
    TLine line;
    if (!FindLine(text, pointY - 1, line)) return -1;
    // Just after the last character is still on the line; further right is not.
    if (static_cast<size_t>(pointX - 1) > line.End - line.Start) return -1;
    return static_cast<int>(line.Start) + pointX - 1;
}

std::string StripHotPointMark(std::string_view text, int pointX, int pointY) {
    std::string result(text);
    int offset = HotPointMarkOffset(text, pointX, pointY);
    if (offset >= 0 && static_cast<size_t>(offset) < result.size() && result[static_cast<size_t>(offset)] == '*')
        result.erase(static_cast<size_t>(offset), 1);
    return result;
}

int CaretOffset(std::string_view text, int column, int line) {
    TLine found;
    if (!FindLine(text, std::max(line, 0), found)) return static_cast<int>(text.size());
    size_t length = found.End - found.Start;
    return static_cast<int>(found.Start + std::min(static_cast<size_t>(std::max(column, 0)), length));
}

TTextPoint PointOfOffset(std::string_view text, int offset) {
    size_t at = static_cast<size_t>(std::clamp(offset, 0, static_cast<int>(text.size())));
    TLine line = LineAt(text, 0);
    int row = 1;
    // A caret inside a CR LF pair (which an edit control never shows) ends its line.
    while (line.Break != 0 && at >= line.End + line.Break) {
        line = LineAt(text, line.End + line.Break);
        ++row;
    }
    size_t column = std::min(at, line.End) - line.Start;
    return {static_cast<int>(column) + 1, row};
}

std::string FlattenCaption(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            result.push_back('.');
            ++i;
        } else if (text[i] != '\t') {
            result.push_back(text[i]);
        }
    }
    return result;
}

int TrackThroughEdit(std::string_view before, std::string_view after, int marker) {
    if (marker < 0 || static_cast<size_t>(marker) >= before.size()) return -1;
    const size_t shorter = std::min(before.size(), after.size());
    size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
    size_t suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const auto at = static_cast<size_t>(marker);
    if (at < prefix) return marker;
    if (at >= before.size() - suffix) return static_cast<int>(at + after.size() - before.size());
    return -1;  // inside the replaced run: typed over or deleted
}

}  // namespace quillan
