// The program's three settings as stored text, and the hotkey choices: the
// platform-free rules (the registry readers are in settings_reader.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillan {

// The one table of the stored settings. The options dialog's form storage writes
// each as the control's property under the value name "<control>_<property>", in
// the sub-key named after the dialog's class; the engine's readers read the same
// names. The dialog names its controls and its storage entries from here, so a
// renamed control cannot quietly store under a name that nobody reads.
struct TStoredSetting {
    const char* Control;
    const char* Property;
    const char* ValueName;
};
enum TSettingIndex { stFolder, stHotKey, stRestoreClipboard };
inline constexpr const char* kSettingsSection = "TOptionForm";
inline constexpr std::array<TStoredSetting, 3> kStoredSettings = {{
    {"deIDE", "Text", "deIDE_Text"},
    {"cbHot", "ItemIndex", "cbHot_ItemIndex"},
    {"cbRestoreClpbrd", "Checked", "cbRestoreClpbrd_Checked"},
}};
inline constexpr const char* kFolderValue = kStoredSettings[stFolder].ValueName;
inline constexpr const char* kHotKeyValue = kStoredSettings[stHotKey].ValueName;
inline constexpr const char* kRestoreValue = kStoredSettings[stRestoreClipboard].ValueName;

// Is name exactly control + "_" + property, as the form storage makes it?
constexpr bool IsStoredValueName(const char* name, const char* control, const char* property) {
    for (; *control; ++name, ++control)
        if (*name != *control) return false;
    if (*name++ != '_') return false;
    for (; *property; ++name, ++property)
        if (*name != *property) return false;
    return *name == '\0';
}
static_assert(
    [] {
        for (const TStoredSetting& s : kStoredSettings)
            if (!IsStoredValueName(s.ValueName, s.Control, s.Property)) return false;
        return true;
    }(),
    "a stored setting's value name is its control and property joined by \"_\"");

// The form storage's entries "<control>.<property>", in table order.
std::vector<std::string> StoredSettingEntries();
inline constexpr const char* kHotKeyAtomName = "Hotkey1";
inline constexpr const char* kProductName = "Quillan";

// Indexed by the stored hotkey choice 0..2; the options dialog lists the same.
inline constexpr std::array<const char*, 3> HotKeyNames = {"Ctrl + Win + H", "Shift + Win + H", "Alt + Win + H"};
// RegisterHotKey modifiers of each choice: Ctrl|Win, Shift|Win, Alt|Win; key H.
inline constexpr std::array<uint32_t, 3> HotKeyModifiers = {0x0A, 0x0C, 0x09};
inline constexpr uint32_t kHotKeyVirtualKey = 0x48;

bool IsValidHotKeyIndex(int index);

// The stored hotkey text as an index: decimal integer text, else 0 (absent,
// empty, hexadecimal or any other text). Out-of-range numbers are returned as they are.
int ParseHotKeyIndex(const std::string& text);

// "Quillan (" + name + ")" for index 0..2; "Quillan" alone for any other index,
// which has no hotkey registered.
std::string TrayHintText(int index);

// The hint while the chosen combination is held by another program: it names none.
std::string TakenHotKeyHintText();

// The restore flag from its stored text: on only for the checked-box text "True".
bool ParseRestoreFlag(const std::string& text);

// "\Software\" + stem + "\TOptionForm".
std::string MakeSettingsKeyPath(const std::string& stem);

}  // namespace quillan
