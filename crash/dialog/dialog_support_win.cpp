#include "crash/dialog/dialog_support_win.h"

#include <cstring>
#include <vector>

#include "crash/dialog/picture_scale.h"
#include "framework/win/text.h"

namespace quillan::crash {

HINSTANCE DialogResources(TAddress module) {
    return module ? reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(module)) : GetModuleHandleW(nullptr);
}

void SetControlText(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextW(dialog, id, win::Wide(text).c_str());
}

void SetDialogTitle(HWND dialog, const std::string& text) {
    const std::wstring wide = win::Wide(text);
    DefWindowProcW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::string ControlText(HWND dialog, int id) { return win::GetWindowTextA1251(GetDlgItem(dialog, id)); }

int ScreenDpi() {
    win::WindowDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

bool TDialogPicture::Load(HINSTANCE module, const char* name, int width, int height) {
    bitmap_.reset();
    width_ = height_ = 0;
    win::BitmapHandle loaded(static_cast<HBITMAP>(LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    DIBSECTION dib{};
    if (!loaded || GetObjectW(loaded.get(), sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 32 ||
        !dib.dsBm.bmBits)
        return false;
    TRgbaPicture source;
    source.Width = dib.dsBm.bmWidth;
    source.Height = dib.dsBm.bmHeight;
    source.Pixels.resize(static_cast<size_t>(source.Width) * static_cast<size_t>(source.Height) * 4);
    const auto* bits = static_cast<const uint8_t*>(dib.dsBm.bmBits);
    const size_t stride = static_cast<size_t>(dib.dsBm.bmWidthBytes);
    const bool bottomUp = dib.dsBmih.biHeight > 0;
    for (int y = 0; y < source.Height; ++y) {
        const int from = bottomUp ? source.Height - 1 - y : y;
        std::memcpy(&source.Pixels[static_cast<size_t>(y) * static_cast<size_t>(source.Width) * 4],
                    bits + static_cast<size_t>(from) * stride, static_cast<size_t>(source.Width) * 4);
    }
    const TRgbaPicture scaled = ScalePremultiplied(source, width, height);
    if (scaled.Pixels.empty()) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the scaled rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* target = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &target, nullptr, 0));
    if (!bitmap_ || !target) {
        bitmap_.reset();
        return false;
    }
    std::memcpy(target, scaled.Pixels.data(), scaled.Pixels.size());
    width_ = width;
    height_ = height;
    return true;
}

void TDialogPicture::Draw(HDC dc, int x, int y) const {
    if (!bitmap_) return;
    win::MemoryDC memory(CreateCompatibleDC(dc));
    if (!memory) return;
    win::SelectObjectScope select(memory.get(), bitmap_.get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(dc, x, y, width_, height_, memory.get(), 0, 0, width_, height_, blend);
}

}  // namespace quillan::crash
