#include "engine/settings/settings.h"

#include "framework/core/convert.h"

namespace quillan {

bool IsValidHotKeyIndex(int index) { return index >= 0 && index < static_cast<int>(HotKeyNames.size()); }

int ParseHotKeyIndex(const std::string& text) {
    // The runtime's conversion also takes "$" hexadecimal; a stored index is decimal only.
    if (text.find('$') != std::string::npos) return 0;
    return StrToIntDef(text, 0);
}

std::string TrayHintText(int index) {
    if (!IsValidHotKeyIndex(index)) return kProductName;
    return std::string(kProductName) + " (" + HotKeyNames[static_cast<size_t>(index)] + ")";
}

std::string TakenHotKeyHintText() { return std::string(kProductName) + " (горячая клавиша занята)"; }

bool ParseRestoreFlag(const std::string& text) { return text == "True"; }

std::vector<std::string> StoredSettingEntries() {
    std::vector<std::string> entries;
    for (const TStoredSetting& s : kStoredSettings) entries.push_back(std::string(s.Control) + "." + s.Property);
    return entries;
}

std::string MakeSettingsKeyPath(const std::string& stem) {
    return std::string("\\Software\\") + stem + "\\" + kSettingsSection;
}

}  // namespace quillan
