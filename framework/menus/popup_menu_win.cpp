#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/menus/menus_win.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/text.h"
#include "framework/win/window_win.h"

namespace quillan {

namespace {

// A top-down 32-bit DIB section of size x size; bits receives its pixels.
win::BitmapHandle CreateDib32(HDC dc, int size, uint32_t*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* raw = nullptr;
    win::BitmapHandle bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0));
    bits = static_cast<uint32_t*>(raw);
    return bitmap;
}

// Draws the icon over a background of one byte value and returns the pixels.
std::vector<uint32_t> DrawOver(HDC dc, HICON icon, int size, unsigned char background) {
    uint32_t* bits = nullptr;
    win::BitmapHandle dib = CreateDib32(dc, size, bits);
    std::vector<uint32_t> pixels;
    if (!dib) return pixels;
    std::memset(bits, background, static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    {
        win::SelectObjectScope select(dc, dib.get());
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
    }
    pixels.assign(bits, bits + static_cast<size_t>(size) * static_cast<size_t>(size));
    return pixels;
}

// The image as the premultiplied 32-bit bitmap that menus blend. Drawing it once
// over black and once over white yields its coverage whatever kind of image
// (masked or alpha) the list holds: over black a pixel is colour * alpha, and
// white minus black is 255 - alpha. The icon is drawn at the small-icon size so
// it grows with the screen's DPI.
win::BitmapHandle MakeItemBitmap(HIMAGELIST images, int index) {
    win::IconHandle icon(win::ImageListGetIcon(images, index, ILD_NORMAL));
    if (!icon) return {};
    int size = GetSystemMetrics(SM_CXSMICON);
    if (size <= 0) size = 16;
    win::MemoryDC dc(CreateCompatibleDC(win::WindowDC(nullptr).get()));
    if (!dc) return {};
    std::vector<uint32_t> black = DrawOver(dc.get(), icon.get(), size, 0x00);
    std::vector<uint32_t> white = DrawOver(dc.get(), icon.get(), size, 0xFF);
    if (black.empty() || white.empty()) return {};
    uint32_t* bits = nullptr;
    win::BitmapHandle result = CreateDib32(dc.get(), size, bits);
    if (!result) return {};
    for (size_t i = 0; i < black.size(); ++i) {
        int alpha = 255;
        for (int shift = 0; shift < 24; shift += 8) {
            int spread = static_cast<int>((white[i] >> shift) & 0xFF) - static_cast<int>((black[i] >> shift) & 0xFF);
            alpha = std::min(alpha, 255 - std::max(spread, 0));
        }
        uint32_t pixel = static_cast<uint32_t>(alpha) << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            uint32_t channel = std::min<uint32_t>((black[i] >> shift) & 0xFF, static_cast<uint32_t>(alpha));
            pixel |= channel << shift;
        }
        bits[i] = pixel;
    }
    return result;
}

void AppendItems(const TMenuItem& parent, HMENU menu, HIMAGELIST images, TBuiltMenu& built);

void AppendItem(TMenuItem& item, HMENU menu, HIMAGELIST images, TBuiltMenu& built) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    win::MenuHandle sub;
    std::wstring caption = win::Wide(item.Caption);
    if (item.IsSeparator()) {
        info.fMask = MIIM_FTYPE;
        info.fType = MFT_SEPARATOR;
    } else {
        info.fMask = MIIM_STRING | MIIM_STATE;
        info.dwTypeData = caption.data();
        info.fState = (item.Default ? MFS_DEFAULT : 0u) | (item.Enabled ? 0u : MFS_DISABLED);
        if (item.Count() > 0) {
            sub.reset(CreatePopupMenu());
            if (!sub) win::RaiseLastOSError("CreatePopupMenu");
            AppendItems(item, sub.get(), images, built);
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = sub.get();
        } else {
            built.Commands.push_back(&item);
            info.fMask |= MIIM_ID;
            info.wID = static_cast<UINT>(built.Commands.size());
        }
        if (images && item.ImageIndex >= 0 && item.ImageIndex < win::ImageListGetImageCount(images)) {
            if (win::BitmapHandle bitmap = MakeItemBitmap(images, item.ImageIndex)) {
                info.fMask |= MIIM_BITMAP;
                info.hbmpItem = bitmap.get();
                built.Bitmaps.push_back(std::move(bitmap));
            }
        }
    }
    if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &info))
        win::RaiseLastOSError("InsertMenuItem");  // sub, still ours, goes with the failure
    sub.release();                                // the parent menu destroys it from now on
}

void AppendItems(const TMenuItem& parent, HMENU menu, HIMAGELIST images, TBuiltMenu& built) {
    for (int i = 0; i < parent.Count(); ++i) AppendItem(parent.Items(i), menu, images, built);
}

}  // namespace

TMenuItem* TBuiltMenu::ItemOfCommand(UINT_PTR id) const {
    if (id == 0 || id > Commands.size()) return nullptr;
    return Commands[id - 1];
}

TBuiltMenu TPopupMenu::BuildMenu() {
    if (!Images && LoadImages) Images = LoadImages();
    TBuiltMenu built;
    built.Menu.reset(CreatePopupMenu());
    if (!built.Menu) win::RaiseLastOSError("CreatePopupMenu");
    AppendItems(items_, built.Menu.get(), Images, built);
    return built;
}

TMenuItem* TPopupMenu::TrackPopup(int x, int y, HWND owner) {
    TBuiltMenu built = BuildMenu();
    // TPM_RETURNCMD: the choice comes back here instead of as WM_COMMAND, so the
    // click handler runs only after the menu has closed.
    UINT flags = TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RIGHTBUTTON | TPM_NONOTIFY;
    BOOL command = TrackPopupMenuEx(built.Menu.get(), flags, x, y, owner, nullptr);
    return command > 0 ? built.ItemOfCommand(static_cast<UINT_PTR>(command)) : nullptr;
}

TMenuItem* TPopupMenu::Popup(int x, int y, HWND owner) {
    TMenuItem* chosen = TrackPopup(x, y, owner);
    if (chosen) chosen->Click();
    return chosen;
}

}  // namespace quillan
