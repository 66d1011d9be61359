// One RAII owner for every kind of Win32 handle: copy deleted, move allowed.
// A kind is a traits type with Type, Invalid() and Close(); traits that need
// more than the handle to let it go (the window of a GetDC, the DC an object was
// selected into) carry it as state, so scopes use the same owner.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "framework/win/common_controls_win.h"

namespace quillan::win {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueHandle(Type value, Traits traits = Traits()) noexcept : value_(value), traits_(std::move(traits)) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()), traits_(std::move(other.traits_)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            traits_ = std::move(other.traits_);
            value_ = other.release();
        }
        return *this;
    }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }
    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    // Lets the old handle go (with the current traits) and owns value instead.
    void reset(Type value = Traits::Invalid()) noexcept {
        Type old = std::exchange(value_, value);
        if (old != Traits::Invalid()) traits_.Close(old);
    }

protected:
    Traits& traits() noexcept { return traits_; }
    const Traits& traits() const noexcept { return traits_; }

private:
    Type value_;
    [[no_unique_address]] Traits traits_;
};

// ---- handles closed by one call ----

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DestroyMenu(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DestroyIcon(h); }
};
// Fonts, bitmaps, brushes, regions: typed, so no cast is needed where they are used.
template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};
struct MemoryDCTraits {
    using Type = HDC;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DeleteDC(h); }
};
struct GlobalTraits {
    using Type = HGLOBAL;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { GlobalFree(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};
struct WindowTraits {
    using Type = HWND;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DestroyWindow(h); }
};
struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ImageListDestroy(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;  // of FindFirstFile
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
struct HookTraits {
    using Type = HHOOK;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { UnhookWindowsHookEx(h); }
};
// A view of a file mapping, typed as what it holds.
template <typename T>
struct MappedViewTraits {
    using Type = T*;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { UnmapViewOfFile(h); }
};
// Memory the system allocated for the caller with LocalAlloc (FormatMessage's buffer, a security
// descriptor), typed as what it holds.
template <typename T>
struct LocalMemoryTraits {
    using Type = T*;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { LocalFree(h); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using MenuHandle = UniqueHandle<MenuTraits>;
using IconHandle = UniqueHandle<IconTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits<HGDIOBJ>>;
using FontHandle = UniqueHandle<GdiObjectTraits<HFONT>>;
using BitmapHandle = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using BrushHandle = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using RegionHandle = UniqueHandle<GdiObjectTraits<HRGN>>;
// A DC made by CreateCompatibleDC (or CreateDC), freed with DeleteDC.
using MemoryDC = UniqueHandle<MemoryDCTraits>;
using GlobalHandle = UniqueHandle<GlobalTraits>;
using ModuleHandle = UniqueHandle<ModuleTraits>;
using WindowHandle = UniqueHandle<WindowTraits>;
using ImageListHandle = UniqueHandle<ImageListTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using HookHandle = UniqueHandle<HookTraits>;
template <typename T = void>
using MappedView = UniqueHandle<MappedViewTraits<T>>;
template <typename T = void>
using LocalMemory = UniqueHandle<LocalMemoryTraits<T>>;

// Sockets, for the files that include <winsock2.h> (before this header): the others need not see
// the socket library.
#ifdef _WINSOCK2API_
struct SocketTraits {
    using Type = SOCKET;
    static Type Invalid() { return INVALID_SOCKET; }
    static void Close(Type h) { closesocket(h); }
};
using SocketHandle = UniqueHandle<SocketTraits>;
#endif

// What CreateProcess hands over: the new process's handle and its first thread's, both owned
// here (the thread's is closed first).
class ProcessInformation {
public:
    explicit ProcessInformation(const PROCESS_INFORMATION& info) noexcept
        : process_(info.hProcess), thread_(info.hThread), processId_(info.dwProcessId) {}
    HANDLE Process() const noexcept { return process_.get(); }
    DWORD ProcessId() const noexcept { return processId_; }

private:
    KernelHandle process_;
    KernelHandle thread_;
    DWORD processId_ = 0;
};

// ---- handles and scopes whose release needs more than the handle ----

struct WindowDCTraits {
    using Type = HDC;
    HWND window = nullptr;
    static Type Invalid() { return nullptr; }
    void Close(Type h) const { ReleaseDC(window, h); }
};
// A DC from GetDC (nullptr: the screen), released with ReleaseDC.
class WindowDC : public UniqueHandle<WindowDCTraits> {
public:
    explicit WindowDC(HWND window) : UniqueHandle(GetDC(window), WindowDCTraits{window}) {}
};

struct PaintTraits {
    using Type = HDC;
    HWND window = nullptr;
    PAINTSTRUCT paint = {};
    static Type Invalid() { return nullptr; }
    void Close(Type) const { EndPaint(window, &paint); }
};
// BeginPaint ... EndPaint of one WM_PAINT.
class PaintDC : public UniqueHandle<PaintTraits> {
public:
    explicit PaintDC(HWND window) : UniqueHandle(nullptr, PaintTraits{window, {}}) {
        reset(BeginPaint(window, &traits().paint));
    }
};

struct SelectionTraits {
    using Type = HGDIOBJ;  // the object that was selected before
    HDC dc = nullptr;
    static Type Invalid() { return nullptr; }
    void Close(Type previous) const { SelectObject(dc, previous); }
};
// Selects an object into a DC for one scope, then puts the previous one back.
class SelectObjectScope : public UniqueHandle<SelectionTraits> {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) : UniqueHandle(SelectObject(dc, object), SelectionTraits{dc}) {}
};

struct GlobalLockTraits {
    using Type = void*;  // the locked block's first byte
    HGLOBAL block = nullptr;
    static Type Invalid() { return nullptr; }
    void Close(Type) const { GlobalUnlock(block); }
};
// GlobalLock ... GlobalUnlock; get() is nullptr when the block could not be locked.
class GlobalLockScope : public UniqueHandle<GlobalLockTraits> {
public:
    explicit GlobalLockScope(HGLOBAL block) : UniqueHandle(GlobalLock(block), GlobalLockTraits{block}) {}
};

}  // namespace quillan::win
