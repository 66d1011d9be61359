#include "engine/paste/caret.h"

namespace quillan {
namespace {

int64_t LineLength(const std::vector<std::string>& lines, int64_t k) {
    if (k < 0 || k >= static_cast<int64_t>(lines.size())) return 0;
    return static_cast<int64_t>(lines[static_cast<size_t>(k)].size());
}

}  // namespace

std::vector<std::string> SplitTemplateLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string TemplateControlText(const std::string& text) {
    std::string result;
    result.reserve(text.size() + 2);
    for (const std::string& line : SplitTemplateLines(text)) {
        result += line;
        result += "\r\n";
    }
    return result;
}

int64_t CountCaretPresses(const std::string& templateText, int32_t pointX, int32_t pointY) {
    std::vector<std::string> lines = SplitTemplateLines(templateText);
    const auto n = static_cast<int64_t>(lines.size());
    const int64_t row = pointY;
    // One press per line break between the hot point's row and the end, plus the
    // characters of the rows below it and the rest of its own row.
    int64_t presses = n - row;
    for (int64_t k = row < 0 ? 0 : row; k < n; ++k) presses += LineLength(lines, k);
    presses += LineLength(lines, row - 1) - pointX + 2;
    return presses > 0 ? presses : 0;
}

int64_t CaretPressLimit(const std::string& templateText) {
    std::vector<std::string> lines = SplitTemplateLines(templateText);
    int64_t steps = static_cast<int64_t>(lines.size()) + 2;
    for (const std::string& line : lines) steps += static_cast<int64_t>(line.size());
    return steps;
}

}  // namespace quillan
