#include "engine/settings/hotkey.h"

#include "engine/settings/settings.h"
#include "framework/win/text.h"

namespace quillan {

void RegisterAppHotKey(HWND window, int& hotkeyId, const TSetTrayHint& setTrayHint) {
    // The atom is added at every registration; the count it gains is never given back,
    // as the id must stay the same for the combinations registered before.
    hotkeyId = GlobalAddAtomW(win::Wide(kHotKeyAtomName).c_str());
    int index = ReadHotKeyChoice(setTrayHint);
    if (!IsValidHotKeyIndex(index)) return;
    // Refused when another program holds the combination; there is no one to tell.
    RegisterHotKey(window, hotkeyId, HotKeyModifiers[static_cast<size_t>(index)], kHotKeyVirtualKey);
}

void UnregisterAppHotKey(HWND window, int hotkeyId) { UnregisterHotKey(window, hotkeyId); }

}  // namespace quillan
