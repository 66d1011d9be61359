// The global hotkey of the main window, chosen by the stored setting.
#pragma once

#include <windows.h>

#include "engine/settings/settings_reader.h"

namespace quillan {

// What a registration came to: the stored choice, and whether its combination is
// now ours. Taken: another program holds it (an index outside 0..2 is never taken).
struct THotKeyRegistration {
    int Index = 0;
    bool Registered = false;
    bool Taken = false;
};

// Adds the atom "Hotkey1" (again, at each call) into hotkeyId, reads the choice
// (which sets the tray hint) and registers its combination for window. An index
// outside 0..2 registers nothing. When another program holds the combination the
// hint is set to TakenHotKeyHintText, as no hotkey works then.
THotKeyRegistration RegisterAppHotKey(HWND window, int& hotkeyId, const TSetTrayHint& setTrayHint);

// Unregisters the id; a failure is ignored.
void UnregisterAppHotKey(HWND window, int hotkeyId);

// True when a WM_HOTKEY's wParam carries our id.
inline bool IsOurHotKey(WPARAM wParam, int hotkeyId) { return wParam == static_cast<WPARAM>(hotkeyId); }

}  // namespace quillan
