// The system clipboard as the tests' oracle: raw Win32 calls, no program code.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "framework/clipboard/clipboard_win.h"

namespace quillan::test {

// Wine's own clipboard window opens the clipboard for a moment whenever it changes hands (to
// mirror it to X), so the tests wait for their turn instead of expecting it free at once.
inline bool OpenClipboardPatiently(HWND owner) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

inline DWORD WINAPI TryOpenFromOtherThread(void*) {
    if (!OpenClipboardPatiently(nullptr)) return 1;
    CloseClipboard();
    return 0;
}

// True when nothing in this process holds the clipboard open: no window of ours is its open window,
// and another thread can open it (the program may have opened it with no window).
inline bool ClipboardLeftClosed() {
    if (HWND open = GetOpenClipboardWindow()) {
        DWORD process = 0;
        GetWindowThreadProcessId(open, &process);
        if (process == GetCurrentProcessId()) return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, TryOpenFromOtherThread, nullptr, 0, nullptr);
    if (!thread) return false;
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code == 0;
}

// Places each (format, bytes) pair with the raw API, after emptying the clipboard.
inline void PutRaw(HWND owner, const std::map<UINT, std::string>& formats) {
    ASSERT_TRUE(OpenClipboardPatiently(owner));
    EmptyClipboard();
    for (const auto& [format, bytes] : formats) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        EXPECT_NE(SetClipboardData(format, block), nullptr) << format;
    }
    CloseClipboard();
}

// Every format the clipboard offers with the bytes of its global block ("" when
// its handle is not global memory).
inline std::map<UINT, std::string> ReadRaw(HWND owner) {
    std::map<UINT, std::string> result;
    EXPECT_TRUE(OpenClipboardPatiently(owner));
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
        HANDLE handle = GetClipboardData(format);
        const char* p = handle ? static_cast<const char*>(GlobalLock(handle)) : nullptr;
        result[format] = p ? std::string(p, GlobalSize(handle)) : std::string();
        if (p) GlobalUnlock(handle);
    }
    CloseClipboard();
    return result;
}

// A test window that owns what the tests place; checks that the program left the
// clipboard closed after every case.
class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(win::Clipboard().OpenCount(), 0);
        EXPECT_TRUE(ClipboardLeftClosed());
        DestroyWindow(owner_);
    }

    HWND owner_ = nullptr;
};

}  // namespace quillan::test
