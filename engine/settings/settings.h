// The program's three settings as stored text, and the hotkey choices: the
// platform-free rules (the registry readers are in settings_reader.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillan {

inline constexpr const char* kSettingsSection = "TOptionForm";
inline constexpr const char* kFolderValue = "deIDE_Text";
inline constexpr const char* kHotKeyValue = "cbHot_ItemIndex";
inline constexpr const char* kRestoreValue = "cbRestoreClpbrd_Checked";
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

// The restore flag from its stored text: on only for the checked-box text "True".
bool ParseRestoreFlag(const std::string& text);

// "\Software\" + stem + "\TOptionForm".
std::string MakeSettingsKeyPath(const std::string& stem);

}  // namespace quillan
