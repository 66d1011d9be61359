// Windows as objects: a base class with a virtual HandleMessage, a static
// window procedure, and `this` passed through CreateWindowEx. No exception
// ever leaves a window procedure: it goes to the application's handling.
#pragma once

#include <windows.h>

#include <string>

namespace quillan::win {

// The first visible top-level window of a process (in z-order), or null.
HWND FirstVisibleWindowOf(DWORD processId);

class TWindow {
public:
    TWindow() = default;
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    void DestroyHandle();

    // Registers className (once per process) with the shared window procedure.
    static void RegisterWindowClass(const wchar_t* className, UINT style = 0, HICON icon = nullptr,
                                    HCURSOR cursor = LoadCursorW(nullptr, IDC_ARROW),
                                    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

protected:
    // Creates the window of a class registered with RegisterWindowClass; raises
    // EOSError when the system refuses.
    void CreateHandle(DWORD exStyle, const wchar_t* className, const std::string& caption, DWORD style, int x, int y,
                      int width, int height, HWND parent, HMENU menuOrId = nullptr);

    // Every message of the window; the default passes it on to DefaultHandler.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY; the handle is already gone.
    virtual void HandleDestroyed() {}

    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // HandleMessage with any exception handed to the application's handling (result 0).
    LRESULT GuardedHandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    HWND hwnd_ = nullptr;
};

// A standard control (edit, button, tree view ...) whose messages are routed
// through HandleMessage by subclassing; unhandled ones go to the original procedure.
class TSubclassedWindow : public TWindow {
protected:
    void CreateControl(DWORD exStyle, const wchar_t* className, const std::string& caption, DWORD style, int x, int y,
                       int width, int height, HWND parent, int id);
    // Takes over an existing window (a control of a dialog template, for instance).
    void Attach(HWND hwnd);
    LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    WNDPROC original_ = nullptr;
};

// Raises EOSError with the system's text for GetLastError, prefixed by what failed.
[[noreturn]] void RaiseLastOSError(const std::string& what);

}  // namespace quillan::win
