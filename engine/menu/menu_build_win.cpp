#include "engine/menu/menu_build.h"

#include <memory>

#include "engine/menu/match.h"
#include "framework/core/convert.h"
#include "framework/core/exceptions.h"

namespace quillan {

void ClearTemplateMenu(TPopupMenu& menu) {
    TMenuItem& items = menu.Items();
    for (int i = items.Count() - 1; i >= 0; --i) {
        if (items.Items(i).Name.empty()) items.Delete(i);
    }
}

void BuildTemplateMenu(TPopupMenu& menu, TTemplateList& templates, std::string& currentApp,
                       const std::string& foregroundName, const TTemplateClick& onPasteClick) {
    TMenuItem& items = menu.Items();
    if (items.Count() < 2) throw EListError("The template menu lacks its two fixed items");
    currentApp = AsciiLowerCase(foregroundName);
    for (size_t i = 0; i < templates.size(); ++i) {
        TTmpl& tmpl = *templates[i];
        if (!IsTemplateOffered(tmpl, currentApp)) continue;
        auto item = std::make_unique<TMenuItem>(TemplateItemCaption(i, tmpl.MenuCaption));
        item->Tag = static_cast<intptr_t>(i);
        auto copy = std::make_shared<const TTmpl>(tmpl);
        item->OnClick = [onPasteClick, copy](TMenuItem& clicked) {
            // Local copies: the handler may free the item, and this closure with it.
            auto handler = onPasteClick;
            auto keep = copy;
            if (handler) handler(clicked, *keep);
        };
        // Just above the two fixed items, so the offered templates keep file order.
        tmpl.MenuItem = &items.Insert(items.Count() - 2, std::move(item));
    }
    auto title = std::make_unique<TMenuItem>(MenuLiteral(currentApp));
    title->Default = true;
    items.Insert(0, std::move(title));
    items.Insert(1, std::make_unique<TMenuItem>("-"));
}

void BuildNoticeMenu(TPopupMenu& menu, std::string& currentApp, const std::string& foregroundName,
                     const std::vector<std::string>& notice) {
    TTemplateList none;
    BuildTemplateMenu(menu, none, currentApp, foregroundName, nullptr);
    TMenuItem& items = menu.Items();
    for (std::string line : notice) {
        // A TAB would move the rest into the shortcut column, a line break show as a box.
        for (char& c : line)
            if (c == '\t' || c == '\r' || c == '\n') c = ' ';
        auto item = std::make_unique<TMenuItem>(MenuLiteral(line));
        item->Enabled = false;
        items.Insert(items.Count() - 2, std::move(item));
    }
}

}  // namespace quillan
