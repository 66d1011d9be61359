// Pieces every crash-reporter dialog uses: the module with the templates, texts through the wide
// API, the screen's DPI, and the "ML_*" pictures scaled to it.
#pragma once

#include <windows.h>

#include <string>

#include "crash/report/report_types.h"
#include "framework/win/handle_win.h"

namespace quillan::crash {

// The module holding the "ML_*" resources (0: the executable).
HINSTANCE DialogResources(TAddress module);

// A control's text. The dialogs are ANSI windows (DialogBoxParamA); the wide call keeps the
// program's Windows-1251 text whole wherever the control stores Unicode.
void SetControlText(HWND dialog, int id, const std::string& text);
// A dialog's title, set through the default window procedure: a WM_SETTEXT sent to the ANSI
// dialog procedure would pass the text through the system's ANSI code page first.
void SetDialogTitle(HWND dialog, const std::string& text);
std::string ControlText(HWND dialog, int id);

// Logical pixels per inch of the screen; sizes stated for 96 are scaled with Scale.
int ScreenDpi();
inline int Scale(int pixels, int dpi) { return MulDiv(pixels, dpi, 96); }

// A "ML_*" bitmap (32 bits with alpha) scaled to a size, drawn blended onto any background.
class TDialogPicture {
public:
    // False (and nothing drawn later) when the resource is missing.
    bool Load(HINSTANCE module, const char* name, int width, int height);
    void Draw(HDC dc, int x, int y) const;
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    win::BitmapHandle bitmap_;  // premultiplied, top-down
    int width_ = 0;
    int height_ = 0;
};

}  // namespace quillan::crash
