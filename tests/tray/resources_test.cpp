// The generated program images load through the system's own loaders.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/win/handle_win.h"
#include "resources/resource_ids.h"

namespace {

std::wstring IconsDir() {
    std::string root = QUILLAN_SOURCE_ROOT;
    return std::wstring(root.begin(), root.end()) + L"/resources/icons/";
}

TEST(ProgramImages, IconHasBothSizesAndMenuStripHasFourMaskedImages) {
    for (int size : {16, 32}) {
        quillan::win::IconHandle icon(static_cast<HICON>(
            LoadImageW(nullptr, (IconsDir() + L"quillan.ico").c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE)));
        ASSERT_TRUE(icon) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        quillan::win::GdiObject colour(info.hbmColor), mask(info.hbmMask);
        BITMAP bm = {};
        GetObjectW(info.hbmColor, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, size);
    }

    quillan::win::GdiObject strip(LoadImageW(nullptr, (IconsDir() + L"menu.bmp").c_str(), IMAGE_BITMAP, 0, 0,
                                             LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_TRUE(strip);
    BITMAP bm = {};
    GetObjectW(strip.get(), sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, MENU_IMAGE_SIZE * MENU_IMAGE_COUNT);
    EXPECT_EQ(bm.bmHeight, MENU_IMAGE_SIZE);
    // Each image has transparent corners and a drawn centre.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, strip.get());
    for (int i = 0; i < MENU_IMAGE_COUNT; ++i) {
        int x = i * MENU_IMAGE_SIZE;
        EXPECT_EQ(GetPixel(dc, x, 0), COLORREF{MENU_IMAGES_MASK}) << i;
        EXPECT_NE(GetPixel(dc, x + 3, 8), COLORREF{MENU_IMAGES_MASK}) << i;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
}

}  // namespace
