// Showing the template menu at the mouse cursor for the program in front.
#pragma once

#include <windows.h>

#include "framework/menus/menus_win.h"

namespace quillan {

// Remembers the foreground window, brings owner to the front for the menu (or
// the menu would not close on a click outside it), shows the menu at the cursor,
// posts WM_NULL to owner, puts the remembered window in front again and only
// then runs the chosen item's OnClick, so keys sent by it reach that program.
// Returns the chosen item, nullptr when the menu was dismissed.
TMenuItem* PopupAtCursor(TPopupMenu& menu, HWND owner);

// The same without running the chosen item's OnClick: the caller runs it once the
// menu's loop is over.
TMenuItem* TrackAtCursor(TPopupMenu& menu, HWND owner);

}  // namespace quillan
