#include "engine/settings/hotkey_win.h"

#include "engine/settings/settings.h"
#include "framework/win/text.h"

namespace quillan {

THotKeyRegistration RegisterAppHotKey(HWND window, int& hotkeyId, const TSetTrayHint& setTrayHint) {
    // The atom is added at every registration; the count it gains is never given back,
    // as the id must stay the same for the combinations registered before.
    hotkeyId = GlobalAddAtomW(win::Wide(kHotKeyAtomName).c_str());
    THotKeyRegistration result;
    result.Index = ReadHotKeyChoice(setTrayHint);
    if (!IsValidHotKeyIndex(result.Index)) return result;
    const UINT modifiers = HotKeyModifiers[static_cast<size_t>(result.Index)];
    result.Registered = RegisterHotKey(window, hotkeyId, modifiers, kHotKeyVirtualKey);
    // The combination is refused also when this window holds it already (an "ОК" that kept
    // the choice registers again): once our own is let go, only another program's hold
    // can refuse it.
    if (!result.Registered && GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED) {
        UnregisterHotKey(window, hotkeyId);
        result.Registered = RegisterHotKey(window, hotkeyId, modifiers, kHotKeyVirtualKey);
    }
    result.Taken = !result.Registered;
    if (result.Taken && setTrayHint) setTrayHint(TakenHotKeyHintText());
    return result;
}

void UnregisterAppHotKey(HWND window, int hotkeyId) { UnregisterHotKey(window, hotkeyId); }

}  // namespace quillan
