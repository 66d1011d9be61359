#include "crash/moduledata/export_names.h"

#include <vector>

namespace quillan::crash {
namespace {

void UnderscoreLeadingAt(std::string& name) {
    if (!name.empty() && name[0] == '@') name[0] = '_';
}

}  // namespace

bool DecodeExportName(std::string_view name, TMishapStackEntry& entry) {
    if (name.empty() || name[0] == '?') return false;
    const size_t dollar = name.find('$');
    if (name[0] == '@' && dollar != std::string_view::npos) {
        std::string text(name.substr(1, dollar - 1));
        if (!text.empty() && text.back() == '@') text.pop_back();
        // "@@" stands for "_" inside a name; every other "@" separates unit, class and method.
        std::vector<std::string> parts(1);
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '@' && i + 1 < text.size() && text[i + 1] == '@') {
                parts.back() += '_';
                ++i;
            } else if (text[i] == '@') {
                parts.emplace_back();
            } else {
                parts.back() += text[i];
            }
        }
        entry.UnitName.clear();
        entry.ClassName.clear();
        entry.ProcedureName = parts.back();
        if (parts.size() >= 2) entry.UnitName = parts.front();
        for (size_t i = 1; i + 1 < parts.size(); ++i) {
            if (!entry.ClassName.empty()) entry.ClassName += '.';
            entry.ClassName += parts[i];
        }
        UnderscoreLeadingAt(entry.ProcedureName);
        entry.Kind = TStackKind::PackageExport;
        return true;
    }
    if (name.find('.') != std::string_view::npos) return false;
    entry.UnitName.clear();
    entry.ClassName.clear();
    entry.ProcedureName = std::string(name);
    UnderscoreLeadingAt(entry.ProcedureName);
    entry.Kind = TStackKind::PlainExport;
    return true;
}

}  // namespace quillan::crash
