#include "framework/clipboard/clipboard_win.h"

#include "tests/clipboard/clipboard_support.h"

#include "framework/core/exceptions.h"

#include <atomic>

namespace quillan::test {
namespace {

using win::Clipboard;

using ClipboardObject = ClipboardTest;

TEST_F(ClipboardObject, OpenAndCloseNest) {
    Clipboard().Open();
    Clipboard().Open();
    EXPECT_EQ(GetOpenClipboardWindow(), Clipboard().Owner());
    Clipboard().Close();
    EXPECT_EQ(GetOpenClipboardWindow(), Clipboard().Owner());  // inner close keeps it open
    Clipboard().Close();
    EXPECT_TRUE(ClipboardLeftClosed());
    Clipboard().Close();  // an unmatched close does nothing
    EXPECT_EQ(Clipboard().OpenCount(), 0);
}

struct Holder {
    DWORD ms;
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<ULONGLONG> closedAt{0};
    bool held = false;
};

DWORD WINAPI HoldClipboard(void* arg) {
    Holder* h = static_cast<Holder*>(arg);
    h->held = OpenClipboardPatiently(nullptr) != FALSE;
    SetEvent(h->opened);
    if (!h->held) return 0;
    Sleep(h->ms);
    CloseClipboard();
    h->closedAt = GetTickCount64();
    return 0;
}

// Another thread holds the clipboard: briefly is waited out, for long is an error.
TEST_F(ClipboardObject, BusyClipboard) {
    for (DWORD ms : {30u, 2000u}) {
        SCOPED_TRACE(ms);
        Holder holder{ms};
        HANDLE thread = CreateThread(nullptr, 0, HoldClipboard, &holder, 0, nullptr);
        WaitForSingleObject(holder.opened, INFINITE);
        ASSERT_TRUE(holder.held);
        if (ms < 100) {
            try {
                Clipboard().Open();
                Clipboard().Close();
            } catch (const Exception& e) {
                // Only a fault if the holder had let go a retry's length before the opener gave up; on
                // a loaded machine its thread may not have run again within the opener's patience.
                const ULONGLONG gaveUp = GetTickCount64(), closed = holder.closedAt;
                EXPECT_TRUE(closed == 0 || closed + 40 > gaveUp)
                    << "gave up " << gaveUp - closed << " ms after the clipboard was free: " << e.Message();
            }
        } else {
            try {
                Clipboard().Open();
                ADD_FAILURE() << "opened a clipboard held by another thread";
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message().rfind("Cannot open clipboard: ", 0), 0u) << e.Message();
                EXPECT_GT(e.Message().size(), 23u);
            }
            EXPECT_EQ(Clipboard().OpenCount(), 0);
        }
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CloseHandle(holder.opened);
    }
}

struct TCopy {
    std::string Text;
    bool Copied = false;
    ULONGLONG Returned = 0;
};

DWORD WINAPI CopyFromThread(void* arg) {
    auto* copy = static_cast<TCopy*>(arg);
    copy->Copied = win::CopyTextToClipboard(copy->Text);
    copy->Returned = GetTickCount64();
    return 0;
}

// The crash path's copy, from a thread of its own as the report thread makes it: a clipboard held
// briefly is waited out, one held for long is a plain false; the text outlives the thread and its
// owner window, readable as Unicode and as Windows-1251.
TEST_F(ClipboardObject, CopyFromAnyThreadWaitsBrieflyAndNeverRaises) {
    const std::string text = "\xCE\xF2\xF7\xB8\xF2 \xEE \xF1\xE1\xEE\xE5\r\n";  // "Отчёт о сбое"
    for (DWORD ms : {30u, 2000u}) {
        SCOPED_TRACE(ms);
        PutRaw(owner_, {{CF_TEXT, std::string("before") + '\0'}});
        Holder holder{ms};
        HANDLE hold = CreateThread(nullptr, 0, HoldClipboard, &holder, 0, nullptr);
        WaitForSingleObject(holder.opened, INFINITE);
        ASSERT_TRUE(holder.held);
        TCopy copy{text};
        HANDLE copier = CreateThread(nullptr, 0, CopyFromThread, &copy, 0, nullptr);
        WaitForSingleObject(copier, INFINITE);
        CloseHandle(copier);
        WaitForSingleObject(hold, INFINITE);
        CloseHandle(hold);
        CloseHandle(holder.opened);
        std::map<UINT, std::string> raw = ReadRaw(owner_);
        if (ms < 100) {
            // As in BusyClipboard: only a fault if the holder had let go a retry's length before.
            const ULONGLONG closed = holder.closedAt;
            if (!copy.Copied && closed != 0 && closed + 40 <= copy.Returned)
                ADD_FAILURE() << "gave up " << copy.Returned - closed << " ms after the clipboard was free";
            if (!copy.Copied) continue;
            EXPECT_EQ(raw[CF_TEXT], text + '\0');
            const std::wstring wide = L"\u041E\u0442\u0447\u0451\u0442 \u043E \u0441\u0431\u043E\u0435\r\n";
            EXPECT_EQ(raw[CF_UNICODETEXT],
                      std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * 2));
        } else {
            EXPECT_FALSE(copy.Copied);
            EXPECT_EQ(raw[CF_TEXT], std::string("before") + '\0') << "a busy clipboard is left as it was";
        }
    }
}

TEST_F(ClipboardObject, TextIsWindows1251) {
    const std::string text = "\xCE\xE1\xF9\xE8\xE5 templates";  // "Общие templates"
    Clipboard().SetTextBuf(text);
    EXPECT_EQ(Clipboard().AsText(), text);
    std::map<UINT, std::string> raw = ReadRaw(owner_);
    EXPECT_EQ(raw[CF_TEXT], text + '\0');
    std::wstring wide = L"\u041E\u0431\u0449\u0438\u0435 templates";
    EXPECT_EQ(raw[CF_UNICODETEXT], std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * 2));
    EXPECT_TRUE(Clipboard().HasFormat(CF_LOCALE));

    // Placing inside an open session empties the clipboard only once.
    Clipboard().Open();
    Clipboard().SetTextBuf("a");
    Clipboard().SetAsHandle(CF_PRIVATEFIRST, GlobalAlloc(GMEM_MOVEABLE, 4));
    EXPECT_GE(Clipboard().FormatCount(), 4);
    EXPECT_EQ(Clipboard().Formats(Clipboard().FormatCount()), 0u);
    Clipboard().Close();
    EXPECT_TRUE(Clipboard().HasFormat(CF_PRIVATEFIRST));
    EXPECT_EQ(Clipboard().AsText(), "a");

    Clipboard().Clear();
    EXPECT_EQ(Clipboard().FormatCount(), 0);
    EXPECT_EQ(Clipboard().AsText(), "");
}

}  // namespace
}  // namespace quillan::test
