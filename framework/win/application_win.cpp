#include "framework/win/application_win.h"

#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/text.h"

namespace quillan::win {

TApplication& TApplication::Instance() {
    static TApplication instance;
    return instance;
}

void TApplication::HandleCurrentException() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        HandleException(Exception("Unknown exception"));
    }
}

void TApplication::SetExceptionHooks(TExceptionHook handleHook, TExceptionHook showHook) {
    handleHook_ = handleHook;
    showHook_ = showHook;
}

// A hook that fails has not dealt with the exception: the routine goes on.
static bool RunHook(TApplication::TExceptionHook hook, const std::exception& e) noexcept {
    try {
        return hook && hook(e);
    } catch (...) {
        return false;
    }
}

void TApplication::HandleException(const std::exception& e) noexcept {
    if (RunHook(handleHook_, e)) return;
    try {
        if (OnException) {
            OnException(e);
            return;
        }
    } catch (...) {
        // The handler itself failed: fall back to the plain display below.
    }
    ShowException(e);
}

void TApplication::ShowException(const std::exception& e) noexcept {
    if (RunHook(showHook_, e)) return;
    try {
        std::string message = e.what();
        if (!message.empty() && message.back() > '.') message += '.';
        MessageBoxW(nullptr, Wide(message).c_str(), Wide(Title()).c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    } catch (...) {
        // Nothing more can be shown.
    }
}

bool TApplication::Dispatch(MSG& msg) {
    for (size_t i = 0; i < filters_.size(); ++i) {
        // Copy: a filter may remove itself.
        MessageFilter filter = filters_[i].second;
        if (filter && filter(msg)) return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            // Leave the quit for the main loop that waits for it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

bool TApplication::HandleMessage() {
    MSG msg;
    BOOL result = GetMessageW(&msg, nullptr, 0, 0);
    if (result == 0 || result == -1) {
        terminated_ = true;
        return false;
    }
    Dispatch(msg);
    return true;
}

int TApplication::Run() {
    MSG msg = {};
    for (;;) {
        BOOL result = GetMessageW(&msg, nullptr, 0, 0);
        if (result == 0 || result == -1) break;
        Dispatch(msg);
    }
    terminated_ = true;
    return static_cast<int>(msg.wParam);
}

int TApplication::AddMessageFilter(MessageFilter filter) {
    filters_.emplace_back(nextId_, std::move(filter));
    return nextId_++;
}

void TApplication::RemoveMessageFilter(int id) {
    std::erase_if(filters_, [id](const auto& f) { return f.first == id; });
}

int TApplication::HookMainWindow(WindowHook hook) {
    windowHooks_.emplace_back(nextId_, std::move(hook));
    return nextId_++;
}

void TApplication::UnhookMainWindow(int id) {
    std::erase_if(windowHooks_, [id](const auto& h) { return h.first == id; });
}

LRESULT CALLBACK TApplication::AppWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        TApplication& app = Instance();
        auto hooks = app.windowHooks_;
        for (auto& hook : hooks) {
            LRESULT result = 0;
            if (hook.second && hook.second(msg, wp, lp, result)) return result;
        }
        if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_MINIMIZE) {
            // A hidden application stays hidden: minimising would show its button again.
            if (IsWindowVisible(hwnd) && !IsIconic(hwnd)) ShowWindow(hwnd, SW_MINIMIZE);
            return 0;
        }
    } catch (...) {
        Instance().HandleCurrentException();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND TApplication::Handle() {
    if (!handle_) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &AppWndProc;
        wc.hInstance = HInstance();
        wc.hIcon = Icon();
        wc.lpszClassName = L"TApplication";
        RegisterClassW(&wc);
        // Zero size, never activated: it exists for the taskbar button and as owner.
        handle_ = CreateWindowExW(0, L"TApplication", Wide(Title()).c_str(),
                                  WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                                  nullptr, nullptr, HInstance(), nullptr);
    }
    return handle_;
}

std::string TApplication::ExeName() const { return ModuleFileName(nullptr); }

std::string TApplication::Title() const {
    std::string name = ExtractFileName(ExeName());
    size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

HICON TApplication::Icon() const {
    HICON icon = LoadIconW(HInstance(), L"MAINICON");
    return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

void TApplication::Minimize() {
    HWND h = Handle();
    if (IsWindowVisible(h) && !IsIconic(h)) ShowWindow(h, SW_MINIMIZE);
}

void TApplication::Restore() {
    if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
}

}  // namespace quillan::win
