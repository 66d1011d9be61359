// The user's clipboard comes back once the target has read the template: many pastes in a
// row, each the template and each followed by the user's whole clipboard, and targets that
// read late or hold the clipboard open for long.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "engine/paste/paste_engine_win.h"
#include "framework/win/text.h"
#include "tests/paste/paste_support.h"

namespace quillan {
namespace {

using test::TargetWindow;
using test::Template;

constexpr char kRestoreUserText[] = "прежний текст";
constexpr char kRestoreUserFormat[] = "QuillanEarlyRestoreFormat";
const std::string kRestoreUserBytes("\x11\x00\x22\x33", 4);

class EarlyRestoreTest : public ::testing::Test {
protected:
    test::PasteScene scene{kRestoreUserText, kRestoreUserFormat, kRestoreUserBytes};
    HWND owner = scene.owner;
};

class HundredPastesTest : public EarlyRestoreTest, public ::testing::WithParamInterface<TargetWindow::Kind> {};

TEST_P(HundredPastesTest, EveryPasteIsTheTemplateAndEveryFormatOfTheUsersClipboardComesBack) {
    TargetWindow target(GetParam());
    ASSERT_TRUE(target.Focus());
    const auto user = test::ClipboardContent();
    ASSERT_EQ(user.count(kRestoreUserFormat), 1u);
    for (int i = 0; i < 100; ++i) {
        SetWindowTextW(target.control, L"");
        // A text of its own each time: neither the user's clipboard nor the template before.
        TTmpl tmpl = Template("Шаблон номер " + std::to_string(i));
        PasteTemplate(&tmpl, owner, nullptr);
        ASSERT_EQ(target.Text(), tmpl.TemplateText) << "paste " << i;
        ASSERT_EQ(test::ClipboardContent(), user) << "paste " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(EditAndRichEdit, HundredPastesTest,
                         ::testing::Values(TargetWindow::Kind::Edit, TargetWindow::Kind::RichEdit));

// A paste target on a thread of its own that takes its time: delayMs after Ctrl+V it
// opens the clipboard, reads the text, keeps the clipboard open for holdMs and reads the
// rich text.
class SlowReader {
public:
    SlowReader(UINT delayMs, DWORD holdMs) : delayMs_(delayMs), holdMs_(holdMs) {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] { Run(); });
        WaitForSingleObject(ready_, 10000);
    }
    ~SlowReader() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
        CloseHandle(ready_);
    }
    bool Front() {
        return test::PumpUntil([&] {
            if (GetForegroundWindow() != window_) SetForegroundWindow(window_);
            return GetForegroundWindow() == window_;
        });
    }
    bool Done() const { return done_; }
    std::string text;
    std::string rtf;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<SlowReader*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_KEYDOWN && wp == 'V' && GetKeyState(VK_CONTROL) < 0)
            SetTimer(hwnd, 1, self->delayMs_, nullptr);
        if (self && msg == WM_TIMER) {
            KillTimer(hwnd, 1);
            self->Read(hwnd);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    void Read(HWND hwnd) {
        if (!OpenClipboard(hwnd)) return;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = win::Narrow(p);
                GlobalUnlock(data);
            }
        }
        Sleep(holdMs_);
        if (HANDLE data = GetClipboardData(RegisterClipboardFormatW(L"Rich Text Format"))) {
            if (const auto* p = static_cast<const char*>(GlobalLock(data))) {
                rtf.assign(p, strnlen(p, GlobalSize(data)));
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        done_ = true;
    }
    void Run() {
        threadId_ = GetCurrentThreadId();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuillanSlowReader";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"slow reader", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 300,
                                  200, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetEvent(ready_);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        DestroyWindow(window_);
    }

    UINT delayMs_;
    DWORD holdMs_;
    HANDLE ready_ = nullptr;
    std::thread thread_;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
    std::atomic<bool> done_{false};
};

struct SlowCase {
    UINT delayMs;
    DWORD holdMs;
};

class SlowReaderTest : public EarlyRestoreTest, public ::testing::WithParamInterface<SlowCase> {};

// Reading well after the quiet period that follows a quick target's read still gets the
// template; a target that holds the clipboard open past the second after the chord gets it
// in both reads, and the user's clipboard still comes back after it has closed it (the
// fixed wait tried the restore while the clipboard was held, gave up and left the template).
TEST_P(SlowReaderTest, TheTemplateIsWhatItReadsAndTheUsersClipboardComesBackAfter) {
    SlowReader reader(GetParam().delayMs, GetParam().holdMs);
    ASSERT_TRUE(reader.Front());
    TTmpl tmpl = Template("slow reader template");
    PasteTemplate(&tmpl, owner, nullptr);
    ASSERT_TRUE(test::PumpUntil([&] { return reader.Done(); }, 10000));
    EXPECT_EQ(reader.text, tmpl.TemplateText);
    EXPECT_NE(reader.rtf.find("slow reader template"), std::string::npos) << reader.rtf;
    EXPECT_EQ(test::ClipboardText(), kRestoreUserText);
    EXPECT_EQ(test::ClipboardBytes(kRestoreUserFormat).substr(0, kRestoreUserBytes.size()), kRestoreUserBytes);
}

INSTANTIATE_TEST_SUITE_P(LateAndHolding, SlowReaderTest,
                         ::testing::Values(SlowCase{300, 0}, SlowCase{600, 0}, SlowCase{400, 900}));

// A clipboard monitor in a process of its own, started for one test and ended with it.
class Monitor {
public:
    Monitor(UINT delayMs, const std::wstring& prefix) {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId());
        const std::wstring readName = L"QuillanMonitorRead" + tag;
        const std::wstring listeningName = L"QuillanMonitorListening" + tag;
        read_ = CreateEventW(nullptr, TRUE, FALSE, readName.c_str());
        HANDLE listening = CreateEventW(nullptr, TRUE, FALSE, listeningName.c_str());
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        stop_ = CreateEventW(&inherit, TRUE, FALSE, nullptr);
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring path = exe;
        path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"paste_clipboard_monitor.exe";
        std::wstring command = L"\"" + path + L"\" " + std::to_wstring(delayMs) + L" \"" + prefix + L"\" " + readName +
                               L" " + listeningName + L" " + std::to_wstring(reinterpret_cast<uintptr_t>(stop_));
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &process_))
            listening_ = WaitForSingleObject(listening, 20000) == WAIT_OBJECT_0;
        CloseHandle(listening);
    }
    ~Monitor() {
        SetEvent(stop_);
        if (process_.hProcess) {
            WaitForSingleObject(process_.hProcess, 5000);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
        CloseHandle(stop_);
        CloseHandle(read_);
    }
    bool Listening() const { return listening_; }
    bool ReadTheTemplate() const { return WaitForSingleObject(read_, 0) == WAIT_OBJECT_0; }

private:
    HANDLE read_ = nullptr;
    HANDLE stop_ = nullptr;
    PROCESS_INFORMATION process_ = {};
    bool listening_ = false;
};

// The monitor reads every new clipboard a little after it changes: after the chord, long
// before the target, which reads 300 ms after Ctrl+V. Its reads must not count as the
// target's: the restore would come before the target has read, which would get the user's
// old clipboard.
TEST_F(EarlyRestoreTest, AMonitorsReadsDoNotBringTheRestoreBeforeTheTargetReads) {
    Monitor monitor(60, L"monitored template");
    ASSERT_TRUE(monitor.Listening());
    SlowReader reader(300, 0);
    ASSERT_TRUE(reader.Front());
    TTmpl tmpl = Template("monitored template");
    PasteTemplate(&tmpl, owner, nullptr);
    ASSERT_TRUE(test::PumpUntil([&] { return reader.Done(); }, 10000));
    EXPECT_TRUE(monitor.ReadTheTemplate()) << "the monitor never read the template: nothing was tried";
    EXPECT_EQ(reader.text, tmpl.TemplateText);
    EXPECT_EQ(test::ClipboardText(), kRestoreUserText);
    EXPECT_EQ(test::ClipboardBytes(kRestoreUserFormat).substr(0, kRestoreUserBytes.size()), kRestoreUserBytes);
}

}  // namespace
}  // namespace quillan
