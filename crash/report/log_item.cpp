#include "crash/report/log_item.h"

#include <algorithm>

#include "crash/options/options.h"

namespace quillan::crash {

namespace {

// Splits at CR LF, lone CR or lone LF; a final line break adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// Length of the longest line of a formatted value, counted from its first line's start.
size_t LongestLine(std::string_view text, size_t firstLineStart) {
    size_t longest = 0, start = 0, offset = firstLineStart;
    for (;;) {
        size_t end = text.find("\r\n", start);
        size_t length = (end == std::string_view::npos ? text.size() : end) - start + offset;
        longest = std::max(longest, length);
        if (end == std::string_view::npos) return longest;
        start = end + 2;
        offset = 0;
    }
}

}  // namespace

std::string FormatLogValue(std::string_view value) {
    std::vector<std::string_view> lines = SplitLines(value);
    if (lines.size() <= 1) return std::string(lines.empty() ? std::string_view() : lines[0]);
    std::string out;
    out.reserve(value.size() + lines.size() * 2);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += "\r\n ";
        if (lines[i].empty()) {
            out += '.';
            continue;
        }
        std::string_view line = lines[i];
        size_t pos = 0;
        for (size_t hit; (hit = line.find(": ", pos)) != std::string_view::npos; pos = hit + 2) {
            out.append(line.substr(pos, hit - pos));
            out += ":_";
        }
        out.append(line.substr(pos));
    }
    return out;
}

TLogItem::TLogItem(const TMishapModuleOptions& options, int firstSection)
    : options_(options), firstSection_(firstSection), section_(firstSection - 1) {}

void TLogItem::BeginSection(std::string_view title) {
    FlushSection();
    ++section_;
    item_ = 0;
    title_ = title;
    open_ = true;
}

void TLogItem::AddItem(std::string_view label, std::string_view value) {
    if (!options_.DetailShown(section_, item_ + 1)) {
        ++item_;  // the number stays taken
        return;
    }
    AddShownItem(label, value);
}

void TLogItem::AddShownItem(std::string_view label, std::string_view value) {
    ++item_;
    std::string prefix = "  " + std::to_string(section_) + "." + std::to_string(item_) + " ";
    prefix += label;
    lines_.push_back({std::move(prefix), FormatLogValue(value)});
}

const std::string& TLogItem::Text() {
    FlushSection();
    return text_;
}

void TLogItem::FlushSection() {
    if (!open_) return;
    open_ = false;
    if (lines_.empty()) return;
    size_t separator = 0;
    for (const Line& line : lines_) separator = std::max(separator, line.prefix.size());
    size_t longest = title_.size() + 1;
    for (const Line& line : lines_) longest = std::max(longest, LongestLine(line.value, separator + 2));
    text_ += title_;
    text_ += ":\r\n";
    text_.append(longest, '-');
    text_ += "\r\n";
    for (const Line& line : lines_) {
        text_ += line.prefix;
        text_.append(separator - line.prefix.size(), ' ');
        text_ += ": ";
        text_ += line.value;
        text_ += "\r\n";
    }
    text_ += "\r\n";
    lines_.clear();
}

}  // namespace quillan::crash
