// The system clipboard as the tests' oracle: raw Win32 calls, no program code.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "framework/clipboard/clipboard.h"

namespace quillan::test {

// Places each (format, bytes) pair with the raw API, after emptying the clipboard.
inline void PutRaw(HWND owner, const std::map<UINT, std::string>& formats) {
    ASSERT_TRUE(OpenClipboard(owner));
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
    EXPECT_TRUE(OpenClipboard(owner));
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
        EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
        EXPECT_TRUE(OpenClipboard(owner_));
        CloseClipboard();
        DestroyWindow(owner_);
    }

    HWND owner_ = nullptr;
};

}  // namespace quillan::test
