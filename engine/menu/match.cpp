#include "engine/menu/match.h"

#include "framework/core/convert.h"

namespace quillan {

bool IsTemplateOffered(const TTmpl& tmpl, const std::string& currentApp) {
    return AsciiLowerCase(tmpl.Application) == currentApp || tmpl.Application == kCommonGroup;
}

std::string MenuLiteral(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '&') out += '&';
    }
    return out;
}

std::string TemplateItemCaption(size_t index, const std::string& menuCaption) {
    return std::to_string(index) + "\t" + MenuLiteral(menuCaption);
}

}  // namespace quillan
