// Which templates the menu offers for the program in front: platform-free rules.
#pragma once

#include <cstddef>
#include <string>

#include "engine/store/template.h"

namespace quillan {

// Offered when the ASCII-lower-cased Application equals currentApp, or when
// Application is exactly the common group "Общие" (no case folding).
bool IsTemplateOffered(const TTmpl& tmpl, const std::string& currentApp);

// text as a menu item shows it: every "&" doubled, so that none marks an access key
// (a caption "Q&A" would read "QA" with the A underlined).
std::string MenuLiteral(const std::string& text);

// Decimal index, TAB, caption as typed: the TAB puts the caption in the shortcut column.
std::string TemplateItemCaption(size_t index, const std::string& menuCaption);

}  // namespace quillan
