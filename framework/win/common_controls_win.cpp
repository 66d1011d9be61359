#include "framework/win/common_controls_win.h"

#include <shlwapi.h>

#include <mutex>

#include "framework/win/proc_table_win.h"

namespace quillan::win {
namespace {

struct TComCtl {
    // By name, not path: the loader picks the version the process's manifest names.
    TProcLibrary Library{L"comctl32.dll", TProcLibrary::TOpen::Load};
    TProc<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)> InitEx{Library, "InitCommonControlsEx"};
    TProc<HIMAGELIST(WINAPI*)(int, int, UINT, int, int)> Create{Library, "ImageList_Create"};
    TProc<BOOL(WINAPI*)(HIMAGELIST)> Destroy{Library, "ImageList_Destroy"};
    TProc<int(WINAPI*)(HIMAGELIST, HBITMAP, COLORREF)> AddMasked{Library, "ImageList_AddMasked"};
    TProc<int(WINAPI*)(HIMAGELIST, int, HICON)> ReplaceIcon{Library, "ImageList_ReplaceIcon"};
    TProc<BOOL(WINAPI*)(HIMAGELIST, int)> Remove{Library, "ImageList_Remove"};
    TProc<BOOL(WINAPI*)(HIMAGELIST, int, HDC, int, int, UINT)> Draw{Library, "ImageList_Draw"};
    TProc<HICON(WINAPI*)(HIMAGELIST, int, UINT)> GetIcon{Library, "ImageList_GetIcon"};
    TProc<BOOL(WINAPI*)(HIMAGELIST, int*, int*)> GetIconSize{Library, "ImageList_GetIconSize"};
    TProc<int(WINAPI*)(HIMAGELIST)> GetImageCount{Library, "ImageList_GetImageCount"};
    TProc<COLORREF(WINAPI*)(HIMAGELIST)> GetBkColor{Library, "ImageList_GetBkColor"};
    TProc<COLORREF(WINAPI*)(HIMAGELIST, COLORREF)> SetBkColor{Library, "ImageList_SetBkColor"};
    TProc<DLLGETVERSIONPROC> DllVersion{Library, "DllGetVersion"};
};

// The table, with the standard classes registered the first time: a dialog created right
// after may hold any of them.
TComCtl& ComCtl() {
    static TComCtl table;
    static std::once_flag registered;
    std::call_once(registered, [] {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        if (table.InitEx.Found()) table.InitEx.Get()(&icc);
    });
    return table;
}

// A call of the library's function, or the failure value when the library lacks it.
template <typename Entry, typename Failure, typename... Args>
auto Call(Entry& entry, Failure failure, Args... args) {
    auto fn = entry.Get();
    return fn ? fn(args...) : failure;
}

}  // namespace

bool LoadCommonControls() { return ComCtl().InitEx.Found(); }

bool InitCommonControls(DWORD classes) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), classes};
    return Call(ComCtl().InitEx, FALSE, &icc) != FALSE;
}

HIMAGELIST ImageListCreate(int cx, int cy, UINT flags, int initial, int grow) {
    return Call(ComCtl().Create, HIMAGELIST(nullptr), cx, cy, flags, initial, grow);
}

BOOL ImageListDestroy(HIMAGELIST list) { return Call(ComCtl().Destroy, FALSE, list); }

int ImageListAddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask) {
    return Call(ComCtl().AddMasked, -1, list, bitmap, mask);
}

int ImageListAddIcon(HIMAGELIST list, HICON icon) { return Call(ComCtl().ReplaceIcon, -1, list, -1, icon); }

BOOL ImageListRemoveAll(HIMAGELIST list) { return Call(ComCtl().Remove, FALSE, list, -1); }

BOOL ImageListDraw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
    return Call(ComCtl().Draw, FALSE, list, index, dc, x, y, style);
}

HICON ImageListGetIcon(HIMAGELIST list, int index, UINT flags) {
    return Call(ComCtl().GetIcon, HICON(nullptr), list, index, flags);
}

BOOL ImageListGetIconSize(HIMAGELIST list, int* cx, int* cy) { return Call(ComCtl().GetIconSize, FALSE, list, cx, cy); }

int ImageListGetImageCount(HIMAGELIST list) { return Call(ComCtl().GetImageCount, 0, list); }

COLORREF ImageListGetBkColor(HIMAGELIST list) { return Call(ComCtl().GetBkColor, COLORREF(CLR_NONE), list); }

COLORREF ImageListSetBkColor(HIMAGELIST list, COLORREF color) {
    return Call(ComCtl().SetBkColor, COLORREF(CLR_NONE), list, color);
}

DWORD CommonControlsVersion() {
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    if (FAILED(Call(ComCtl().DllVersion, HRESULT(E_NOTIMPL), &info))) return 0;
    return MAKELONG(info.dwMinorVersion, info.dwMajorVersion);
}

}  // namespace quillan::win
