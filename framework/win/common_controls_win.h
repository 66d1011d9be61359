// The common controls library, loaded at its first use and kept: an idle tray program maps
// none of it (under Wine it costs about 1.6 MB of private memory). The version is the one the
// program's manifest names, whenever the load happens. Nothing in the program links comctl32:
// every use goes through here. Safe from any thread; the first use loads, later ones only call.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace quillan::win {

// Loads the library and registers the standard set of its window classes (the Win95 ones and
// the standard controls), once. Call before creating a window of one of its classes, or of a
// standard control that should take the library's look. False when the library is missing.
bool LoadCommonControls();

// Registers more of the library's window classes (ICC_* flags), loading it first.
bool InitCommonControls(DWORD classes);

// The image-list functions of the library. With the library missing, each fails as the library
// itself would on a bad list: nullptr, -1, 0, FALSE or CLR_NONE.
HIMAGELIST ImageListCreate(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageListDestroy(HIMAGELIST list);
int ImageListAddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask);
int ImageListAddIcon(HIMAGELIST list, HICON icon);
BOOL ImageListRemoveAll(HIMAGELIST list);
BOOL ImageListDraw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
HICON ImageListGetIcon(HIMAGELIST list, int index, UINT flags);
BOOL ImageListGetIconSize(HIMAGELIST list, int* cx, int* cy);
int ImageListGetImageCount(HIMAGELIST list);
COLORREF ImageListGetBkColor(HIMAGELIST list);
COLORREF ImageListSetBkColor(HIMAGELIST list, COLORREF color);

// The library's version as MAKELONG(minor, major); 0 when it is missing or does not say.
DWORD CommonControlsVersion();

}  // namespace quillan::win
