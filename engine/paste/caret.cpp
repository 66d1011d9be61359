#include "engine/paste/caret.h"

#include <vector>

#include "engine/store/template_file.h"

namespace quillan {
namespace {

int64_t LineLength(const std::vector<std::string>& lines, int64_t k) {
    if (k < 0 || k >= static_cast<int64_t>(lines.size())) return 0;
    return static_cast<int64_t>(lines[static_cast<size_t>(k)].size());
}

}  // namespace

std::string TemplateControlText(const std::string& text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    bool first = true;
    for (const std::string& line : TemplateLines(text)) {
        if (!first) result += "\r\n";
        result += line;
        first = false;
    }
    return result;
}

int64_t CountCaretPresses(const std::string& templateText, int32_t pointX, int32_t pointY) {
    const std::vector<std::string> lines = TemplateLines(templateText);
    const THotPoint point = ResolveHotPoint(templateText, pointX, pointY);
    const auto n = static_cast<int64_t>(lines.size());
    const int64_t row = point.Y;
    // The caret ends after the last character of line n. One press per line break
    // between the hot point's row and the end, plus the characters of the rows below
    // it and the rest of its own row.
    int64_t presses = n - row;
    for (int64_t k = row < 0 ? 0 : row; k < n; ++k) presses += LineLength(lines, k);
    presses += LineLength(lines, row - 1) - point.X + 1;
    return presses > 0 ? presses : 0;
}

int64_t CaretPressLimit(const std::string& templateText) {
    const std::vector<std::string> lines = TemplateLines(templateText);
    int64_t steps = static_cast<int64_t>(lines.size()) - 1;
    for (const std::string& line : lines) steps += static_cast<int64_t>(line.size());
    return steps;
}

}  // namespace quillan
