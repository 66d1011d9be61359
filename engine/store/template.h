// One text template and the ordered template list of the main form.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillan {

inline constexpr const char* kDefaultTemplateCaption = "//Шаблон";
inline constexpr const char* kCommonGroup = "Общие";

class TMenuItem;  // the framework's menu item; only linked, never owned

// An element (or comment) of hot.ini that the options dialog does not show, kept as
// it was read so that a save writes it back where it stood: its source text, the
// blanks before it on its line, and the slot it stood in (what it followed).
struct TKeptXml {
    int Slot = 0;
    bool OwnLine = false;  // it began its line, after Indent
    std::string Indent;
    std::string Text;
};
using TKeptList = std::vector<TKeptXml>;

// Slots inside a template: before its fields, after MenuCaption, after TemplateText,
// after PointX, after PointY; and after the template's end tag.
enum TTemplateSlot { tsStart, tsAfterCaption, tsAfterText, tsAfterPointX, tsAfterPointY, tsAfterTemplate };

struct TTmpl {
    std::string MenuCaption = kDefaultTemplateCaption;
    std::string Application;
    std::string ShortCut;
    std::string TemplateText = kDefaultTemplateCaption;
    bool NewLine = true;
    TMenuItem* MenuItem = nullptr;
    int32_t PointX = 0;  // hot point column, 1-based; 0 = not set
    int32_t PointY = 0;  // hot point row, 1-based; 0 = not set
    TKeptList Kept = {};  // the options dialog's unknown elements in and after it
};

// The records in file order; a record's index is its identity (menu number, tag).
using TTemplateList = std::vector<std::unique_ptr<TTmpl>>;

}  // namespace quillan
