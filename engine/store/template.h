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

struct TTmpl {
    std::string MenuCaption = kDefaultTemplateCaption;
    std::string Application;
    std::string ShortCut;
    std::string TemplateText = kDefaultTemplateCaption;
    bool NewLine = true;
    TMenuItem* MenuItem = nullptr;
    int32_t PointX = 0;  // hot point column, 1-based; 0 = not set
    int32_t PointY = 0;  // hot point row, 1-based; 0 = not set
};

// The records in file order; a record's index is its identity (menu number, tag).
using TTemplateList = std::vector<std::unique_ptr<TTmpl>>;

}  // namespace quillan
