#include "dialogs/about/version_label.h"

namespace quillan::about {

std::string VersionPart(const std::string& text, int n) {
    int index = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('.', pos);
        if (end == std::string::npos) end = text.size();
        if (end > pos && ++index == n) return text.substr(pos, end - pos);
        pos = end + 1;
    }
    return {};
}

std::string VersionLabel(const std::string& fileVersion) {
    std::string joined;
    for (int n = 1; n <= 3; ++n) joined += VersionPart(fileVersion, n) + ".";
    joined.pop_back();
    return "Версия " + joined;
}

}  // namespace quillan::about
