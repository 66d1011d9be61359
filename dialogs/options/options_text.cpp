#include "dialogs/options/options_text.h"

namespace quillan {

int HotPointMarkOffset(const std::string& text, int pointX, int pointY) {
    if (pointX < 1 || pointY < 1) return -1;
    size_t lineStart = 0;
    for (int line = 1; line < pointY; ++line) {
        size_t end = text.find_first_of("\r\n", lineStart);
        if (end == std::string::npos) return -1;  // below the last line
        lineStart = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    size_t lineEnd = text.find_first_of("\r\n", lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    size_t column = static_cast<size_t>(pointX - 1);
    // Just after the last character is still on the line; further right is not.
    if (column > lineEnd - lineStart) return -1;
    return static_cast<int>(lineStart + column);
}

std::string StripHotPointMark(const std::string& text, int pointX, int pointY) {
    std::string result = text;
    int offset = HotPointMarkOffset(text, pointX, pointY);
    if (offset >= 0 && static_cast<size_t>(offset) < result.size() && result[static_cast<size_t>(offset)] == '*')
        result.erase(static_cast<size_t>(offset), 1);
    return result;
}

std::string FlattenCaption(const std::string& text) {
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

}  // namespace quillan
