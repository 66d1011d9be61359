// The run-time items of the template menu: one per offered template, between the
// program's name (bold, on top) and the two design-time items at the bottom.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/store/template.h"
#include "framework/menus/menus_win.h"

namespace quillan {

// Destroys every top-level item without a component name, last to first.
void ClearTemplateMenu(TPopupMenu& menu);

// Call after the templates are loaded. Sets currentApp to the lower-cased
// foregroundName, inserts an item per offered template at Count() - 2 (caption
// TemplateItemCaption, Tag = index, linked through the record's MenuItem), then
// currentApp as the default item at 0 and "-" at 1. An item's OnClick calls
// onPasteClick with a copy of its record made here: a pick pastes what the menu
// shows even when the list has been loaded again since. Expects at least the two
// design-time items in the menu.
// The click handler of a template item: the item and the item's own copy of the
// record, taken when the menu was built.
using TTemplateClick = std::function<void(TMenuItem& item, const TTmpl& tmpl)>;

void BuildTemplateMenu(TPopupMenu& menu, TTemplateList& templates, std::string& currentApp,
                       const std::string& foregroundName, const TTemplateClick& onPasteClick);

// The menu when no templates could be had: as a build offering none, with one disabled
// item per line of notice, shown as typed (line breaks and TABs as blanks), where the
// templates would stand.
void BuildNoticeMenu(TPopupMenu& menu, std::string& currentApp, const std::string& foregroundName,
                     const std::vector<std::string>& notice);

}  // namespace quillan
