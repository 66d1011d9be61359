#include "engine/settings/settings_reader.h"

#include "engine/settings/settings.h"
#include "engine/store/template_file.h"
#include "framework/core/file_io.h"
#include "framework/registry/registry_win.h"
#include "framework/win/text.h"

namespace quillan {

namespace {

// Opens the settings key afresh, creating it when missing, as the readers must
// see what the options dialog stored a moment ago.
bool OpenSettings(TRegistry& registry) { return registry.OpenKey(GetSettingsKeyPath(), true); }

}  // namespace

std::string GetSettingsKeyPath() { return MakeSettingsKeyPath(ExecutableStem(win::ModuleFileName())); }

std::string GetTemplateFilePath() {
    std::string folder;
    {
        TRegistry registry;
        if (OpenSettings(registry)) folder = registry.ReadTextValue(kFolderValue).value_or("");
    }
    if (folder.empty()) folder = ExtractFilePath(win::ModuleFileName());
    return MakeTemplateFilePath(folder);
}

bool ReadRestoreClipboard() {
    TRegistry registry;
    if (!OpenSettings(registry)) return true;
    // Never saved: the options dialog's check box starts checked, so restore. Reading
    // that as off would wipe the user's clipboard at every start until the first OK.
    // A value of another type (a number written by hand) counts as never saved.
    std::optional<std::string> stored = registry.ReadTextValue(kRestoreValue);
    return stored ? ParseRestoreFlag(*stored) : true;
}

int ReadHotKeyChoice(const TSetTrayHint& setTrayHint) {
    TRegistry registry;
    if (!OpenSettings(registry)) return 0;
    int index = ParseHotKeyIndex(registry.ReadTextValue(kHotKeyValue).value_or(""));
    if (setTrayHint) setTrayHint(TrayHintText(index));
    return index;
}

}  // namespace quillan
