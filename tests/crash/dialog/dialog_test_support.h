// What the crash dialog's Windows tests share: a report to show, the dialog run on a thread of its
// own (as the report thread runs it), finding its windows, and pictures of the screen.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "crash/dialog/dialog_types.h"
#include "crash/options/options_ex.h"

namespace quillan::crash::test {

// A report with every part filled: the information sections (a Cyrillic message), three threads'
// call stacks, four modules, registers and a memory dump, and custom data.
TReportContext SampleReport(const TMishapModuleOptions& options);

// Runs body on a new thread and keeps what it returned or raised.
class TDialogThread {
public:
    explicit TDialogThread(std::function<void()> body);
    ~TDialogThread();
    DWORD ThreadId() const { return threadId_; }
    bool Finished() const { return finished_; }
    // Waits for the body to end; false on timeout.
    bool Join(DWORD timeoutMs = 10000);
    // The visible dialog (class #32770) of the thread, waiting up to timeoutMs; null when none.
    HWND WaitForWindow(DWORD timeoutMs = 10000, const wchar_t* title = nullptr) const;
    // The same for a window that also satisfies accept.
    HWND WaitForWindow(const std::function<bool(HWND)>& accept, DWORD timeoutMs = 10000) const;
    // Closes whatever the thread still shows.
    void CloseWindows() const;

private:
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> finished_{false};
};

// The crash dialog on its own thread; Result() or Error() once it returned.
class TDialogRun {
public:
    explicit TDialogRun(TCrashDialogRequest request, std::function<void()> beforeShow = {});
    HWND Wait(DWORD timeoutMs = 10000) const { return thread_.WaitForWindow(timeoutMs); }
    bool Join(DWORD timeoutMs = 10000) { return thread_.Join(timeoutMs); }
    bool Finished() const { return thread_.Finished(); }
    const TCrashDialogResult& Result() const { return result_; }
    const std::string& Error() const { return error_; }
    const TDialogThread& Thread() const { return thread_; }

private:
    TCrashDialogRequest request_;
    TCrashDialogResult result_;
    std::string error_;
    TDialogThread thread_;
};

// A button pressed as a click would (the owner receives BN_CLICKED; a check box toggles).
void Click(HWND dialog, int id);
// Text of a control or window as Windows-1251.
std::string TextOf(HWND window);
std::wstring WideTextOf(HWND window);
// Waits, doing nothing else, until done() or timeoutMs.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// The screen's pixels in a window's rectangle (BGRX rows, top first).
struct TScreenPicture {
    int Width = 0, Height = 0;
    std::vector<uint32_t> Pixels;  // 0x00RRGGBB
    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + x]; }
};
TScreenPicture CaptureWindow(HWND window);
// Writes a 24-bit BMP file.
bool SaveBmp(const TScreenPicture& picture, const std::string& path);

}  // namespace quillan::crash::test
