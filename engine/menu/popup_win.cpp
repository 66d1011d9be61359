#include "engine/menu/popup_win.h"

namespace quillan {

TMenuItem* PopupAtCursor(TPopupMenu& menu, HWND owner) {
    TMenuItem* chosen = TrackAtCursor(menu, owner);
    if (chosen) chosen->Click();
    return chosen;
}

TMenuItem* TrackAtCursor(TPopupMenu& menu, HWND owner) {
    HWND previous = GetForegroundWindow();
    POINT cursor{};
    GetCursorPos(&cursor);
    // A menu whose owner is not in front does not close when the user clicks
    // elsewhere; WM_NULL afterwards lets the owner's thread finish the menu's exit.
    SetForegroundWindow(owner);
    TMenuItem* chosen = menu.TrackPopup(cursor.x, cursor.y, owner);
    PostMessageW(owner, WM_NULL, 0, 0);
    // The program the hotkey was pressed in must be in front again before the
    // click handler sends it Ctrl+V.
    if (previous && previous != owner && IsWindow(previous)) SetForegroundWindow(previous);
    return chosen;
}

}  // namespace quillan
