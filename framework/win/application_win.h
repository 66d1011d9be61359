// The application object: message loop, application-level exception handling,
// and the hooks that forms and components attach to the loop.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace quillan::win {

class TApplication {
public:
    static TApplication& Instance();

    // Handles the exception being caught right now; call it only inside a catch
    // block. Goes to OnException when set, else to ShowException.
    void HandleCurrentException() noexcept;
    void HandleException(const std::exception& e) noexcept;
    // Default display: a message box with the message (the crash reporter replaces this).
    void ShowException(const std::exception& e) noexcept;
    std::function<void(const std::exception&)> OnException;

    // Interception of HandleException and ShowException, which the crash reporter installs at
    // start-up: a hook returns true when it dealt with the exception, false to let the routine
    // go on. nullptr removes a hook.
    using TExceptionHook = bool (*)(const std::exception& e);
    void SetExceptionHooks(TExceptionHook handleHook, TExceptionHook showHook);

    // Dispatches every queued message, then returns.
    void ProcessMessages();
    // Waits for one message and dispatches it; false on WM_QUIT.
    bool HandleMessage();
    // The message loop until WM_QUIT; returns its exit code.
    int Run();
    bool Terminated() const { return terminated_; }

    // Message filters see each message before it is dispatched; one that
    // returns true consumes it (dialog keys, hint tracking).
    using MessageFilter = std::function<bool(MSG&)>;
    int AddMessageFilter(MessageFilter filter);
    void RemoveMessageFilter(int id);

    // The hidden top-level window that stands for the application (taskbar
    // button, minimise and restore); created on first use.
    HWND Handle();
    HINSTANCE HInstance() const { return GetModuleHandleW(nullptr); }
    // The executable's file name up to its first ".".
    std::string Title() const;
    std::string ExeName() const;
    HICON Icon() const;

    bool ShowMainForm = true;
    HWND MainFormHandle = nullptr;
    // Hooks on the application window's messages (the tray icon's minimise hook).
    using WindowHook = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;
    int HookMainWindow(WindowHook hook);
    void UnhookMainWindow(int id);
    void Minimize();
    void Restore();

private:
    TApplication() = default;
    bool Dispatch(MSG& msg);
    static LRESULT CALLBACK AppWndProc(HWND, UINT, WPARAM, LPARAM);

    TExceptionHook handleHook_ = nullptr;
    TExceptionHook showHook_ = nullptr;
    bool terminated_ = false;
    HWND handle_ = nullptr;
    int nextId_ = 1;
    std::vector<std::pair<int, MessageFilter>> filters_;
    std::vector<std::pair<int, WindowHook>> windowHooks_;
};

inline TApplication& Application() { return TApplication::Instance(); }

// Runs fn and hands any exception to the application's handling; for window
// procedures, callbacks and thread entry points, which exceptions must not cross.
template <typename Fn>
void Guarded(Fn&& fn) noexcept {
    try {
        fn();
    } catch (...) {
        TApplication::Instance().HandleCurrentException();
    }
}

}  // namespace quillan::win
