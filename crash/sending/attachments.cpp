#include "crash/sending/attachments.h"

#include <algorithm>

#include "framework/core/file_io.h"
#include "framework/core/convert.h"

namespace quillan::crash {

std::vector<std::string> SplitList(std::string_view text, std::string_view separators) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view item = text.substr(start, end - start);
        while (!item.empty() && static_cast<unsigned char>(item.front()) <= ' ') item.remove_prefix(1);
        while (!item.empty() && static_cast<unsigned char>(item.back()) <= ' ') item.remove_suffix(1);
        if (!item.empty()) items.emplace_back(item);
        start = end + 1;
    }
    return items;
}

std::vector<std::string> ListFiles(const std::string& folder) {
    std::vector<std::string> names = ListFileNames(folder);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> PruneKeptCopies(const std::string& folder, size_t keep) {
    std::vector<std::string> kept;
    for (const auto& name : ListFiles(folder)) {
        const std::string lower = AsciiLowerCase(name);
        if (lower.rfind("compressfiles", 0) == 0 && lower.size() >= 4 &&
            lower.compare(lower.size() - 4, 4, ".tgz") == 0)
            kept.push_back(name);
    }
    std::vector<std::string> deleted;
    for (size_t i = 0; i + keep < kept.size(); ++i) {
        if (RemoveFile(folder + kept[i])) deleted.push_back(kept[i]);
    }
    return deleted;
}

}  // namespace quillan::crash
