#include "crash/packaging/screenshot_win.h"

#include <vector>

#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"

namespace quillan::crash {
namespace {

// Only whether they are there counts: systems whose user32 knows monitors have a virtual screen
// spanning all of them.
struct TMonitors {
    win::TProcLibrary User32{L"user32.dll", win::TProcLibrary::TOpen::Loaded};
    win::TProc<void (*)()> MonitorFromWindow{User32, "MonitorFromWindow"};
    win::TProc<void (*)()> MonitorInfo{User32, "GetMonitorInfoA"};
};

RECT DesktopArea() {
    static TMonitors monitors;
    if (monitors.MonitorFromWindow.Found() && monitors.MonitorInfo.Found()) {
        const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    }
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// A palette screen gives meaningful colours only with its system palette realised in the copy.
win::GdiObject SelectSystemPalette(HDC screen, HDC target) {
    if (!(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE)) return {};
    std::vector<BYTE> buffer(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(buffer.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = 256;
    GetSystemPaletteEntries(screen, 0, 256, logical->palPalEntry);
    win::GdiObject palette(CreatePalette(logical));
    if (palette) {
        SelectPalette(target, static_cast<HPALETTE>(palette.get()), FALSE);
        RealizePalette(target);
    }
    return palette;
}

HWND FocusedControl() {
    HWND foreground = GetForegroundWindow();
    if (!foreground) return nullptr;
    // The report runs on a thread of its own, whose GetFocus is empty: ask the window's thread.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(foreground, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

void FrameControl(HDC dc, HWND control, const RECT& area) {
    RECT r;
    if (!control || !IsWindowVisible(control) || !GetWindowRect(control, &r)) return;
    OffsetRect(&r, -area.left, -area.top);
    win::GdiObject red(CreateSolidBrush(RGB(255, 0, 0)));
    if (!red) return;
    FrameRect(dc, &r, static_cast<HBRUSH>(red.get()));
    InflateRect(&r, -1, -1);
    FrameRect(dc, &r, static_cast<HBRUSH>(red.get()));
}

void DrawCursor(HDC dc, const RECT& area) {
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    if (!GetCursorInfo(&cursor) || !(cursor.flags & CURSOR_SHOWING) || !cursor.hCursor) return;
    // The hot spot goes on the cursor position, as the user saw it.
    POINT hot{0, 0};
    ICONINFO icon{};
    if (GetIconInfo(cursor.hCursor, &icon)) {
        hot = {static_cast<LONG>(icon.xHotspot), static_cast<LONG>(icon.yHotspot)};
        // The cursor's bitmaps are copies made for the caller.
        win::BitmapHandle mask(icon.hbmMask);
        win::BitmapHandle color(icon.hbmColor);
    }
    DrawIconEx(dc, cursor.ptScreenPos.x - area.left - hot.x, cursor.ptScreenPos.y - area.top - hot.y, cursor.hCursor, 0,
               0, 0, nullptr, DI_NORMAL);
}

}  // namespace

RECT ScreenshotArea(bool foregroundOnly) {
    RECT area{};
    HWND foreground = foregroundOnly ? GetForegroundWindow() : nullptr;
    if (!foreground || !GetWindowRect(foreground, &area)) area = DesktopArea();
    if (area.right <= area.left) area.right = area.left + 1;
    if (area.bottom <= area.top) area.bottom = area.top + 1;
    return area;
}

TBgrxImage CaptureScreenshot(bool foregroundOnly, HWND focus) {
    TBgrxImage image;
    const RECT area = ScreenshotArea(foregroundOnly);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;

    win::WindowDC screen(nullptr);
    if (!screen.get()) return image;
    win::GdiObject palette;  // outlives the memory DC, in which it may be selected
    win::MemoryDC memory(CreateCompatibleDC(screen.get()));
    win::GdiObject bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!memory.get() || !bitmap) return image;
    {
        win::SelectObjectScope selected(memory.get(), bitmap.get());
        palette = SelectSystemPalette(screen.get(), memory.get());
        if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY | CAPTUREBLT)) {
            return image;
        }
        FrameControl(memory.get(), focus ? focus : FocusedControl(), area);
        DrawCursor(memory.get(), area);
    }

    // Bits are read with the bitmap deselected, top row first, 4 bytes a pixel.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    if (GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, static_cast<UINT>(height), pixels.data(), &info,
                  DIB_RGB_COLORS) != height) {
        return image;
    }
    image.Width = width;
    image.Height = height;
    image.Stride = static_cast<size_t>(width) * 4;
    image.Pixels = std::move(pixels);
    return image;
}

}  // namespace quillan::crash
