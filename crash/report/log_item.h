// The numbered information sections of a report. Platform-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillan::crash {

class TMishapModuleOptions;

// Whether a report line is one of the numbered item lines ("  S.I Label : value").
inline bool IsItemLine(std::string_view line) {
    return line.size() > 2 && line[0] == ' ' && line[1] == ' ' && line[2] >= '0' && line[2] <= '9';
}

// A value as the report writes it after its ": ". A value of several lines gets ":_" for every
// ": ", "." for every empty line and one blank before each continuation line; line breaks become
// CR LF. A single line is kept as it is.
std::string FormatLogValue(std::string_view value);

// Builds sections of numbered items: the title, ":", a dash line as long as the section's
// longest line, then "  S.I Label : value" lines with the ": " aligned within the section, and
// an empty line. Items hidden by DetailMask keep their number; a section without a shown item
// is left out with its title.
class TLogItem {
public:
    explicit TLogItem(const TMishapModuleOptions& options, int firstSection = 1);

    // Starts the next section (the first call starts firstSection).
    void BeginSection(std::string_view title);
    // Adds the next item of the current section; shown when its DetailMask bit is set.
    void AddItem(std::string_view label, std::string_view value);
    // Adds the next item regardless of DetailMask.
    void AddShownItem(std::string_view label, std::string_view value);
    // The sections so far, the current one included.
    const std::string& Text();

    int Section() const { return section_; }
    int Item() const { return item_; }

private:
    struct Line {
        std::string prefix;  // "  S.I Label"
        std::string value;   // formatted
    };
    void FlushSection();

    const TMishapModuleOptions& options_;
    std::string text_;
    int firstSection_;
    int section_;
    int item_ = 0;
    std::string title_;
    std::vector<Line> lines_;
    bool open_ = false;
};

}  // namespace quillan::crash
