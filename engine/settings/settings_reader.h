// Reading the settings back from HKEY_CURRENT_USER. Every call opens the key
// afresh (creating it when missing) and closes it again: nothing is cached.
// A value of another type than text reads as absent: each setting then takes its
// own default, and the others are read as stored.
#pragma once

#include <functional>
#include <string>

namespace quillan {

using TSetTrayHint = std::function<void(const std::string&)>;

// "\Software\" + the running executable's stem + "\TOptionForm".
std::string GetSettingsKeyPath();

// "deIDE_Text" (or the executable's folder when empty or the key cannot be
// opened) made to end in a separator, followed by "hot.ini".
std::string GetTemplateFilePath();

// "cbRestoreClpbrd_Checked" == "True"; on when the key cannot be opened or the
// value was never stored (the dialog's check box is checked by default).
bool ReadRestoreClipboard();

// "cbHot_ItemIndex" as an index (0 when absent or not a decimal integer); sets
// the tray hint from it when setTrayHint is given. 0, hint untouched, when the key cannot be opened.
int ReadHotKeyChoice(const TSetTrayHint& setTrayHint);

}  // namespace quillan
