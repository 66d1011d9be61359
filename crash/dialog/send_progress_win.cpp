#include "crash/dialog/send_progress_win.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "crash/dialog/dialog_support_win.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/handle_win.h"
#include "resources/crash_dialog_ids.h"

namespace quillan::crash {

namespace {

constexpr UINT kUpdateStatus = WM_APP + 1;
constexpr UINT kCloseBox = WM_APP + 2;

std::atomic<int> openBoxes{0};

}  // namespace

struct TSendProgressBox::State {
    std::string Caption;
    HINSTANCE Resources = nullptr;
    std::mutex Lock;
    std::string Status;
    std::atomic<HWND> Window{nullptr};
    win::KernelHandle Thread;
    DWORD ThreadId = 0;
};

namespace {

INT_PTR CALLBACK ServerProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    auto* state = reinterpret_cast<TSendProgressBox::State*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            state = reinterpret_cast<TSendProgressBox::State*>(lParam);
            if (!state->Caption.empty()) SetDialogTitle(hwnd, state->Caption);
            SendDlgItemMessageW(hwnd, ML_ID_SERVER_PROGRESS, PBM_SETRANGE32, 0, 100);
            state->Window = hwnd;
            return FALSE;
        case kUpdateStatus: {
            std::string status;
            {
                std::lock_guard<std::mutex> guard(state->Lock);
                status = state->Status;
            }
            SetControlText(hwnd, ML_ID_SERVER_STATUS, status);
            return TRUE;
        }
        case kCloseBox:
            EndDialog(hwnd, IDOK);
            return TRUE;
        case WM_CLOSE:
            return TRUE;  // only the sending code closes the box
        default:
            return FALSE;
    }
}

DWORD WINAPI BoxThread(void* parameter) {
    auto* state = static_cast<TSendProgressBox::State*>(parameter);
    win::InitCommonControls(ICC_PROGRESS_CLASS);
    DialogBoxParamA(state->Resources, "ML_SERVER", nullptr, ServerProc, reinterpret_cast<LPARAM>(state));
    state->Window = nullptr;
    return 0;
}

}  // namespace

TSendProgressBox::TSendProgressBox(std::string caption, TAddress resourceModule) : state_(std::make_shared<State>()) {
    state_->Caption = std::move(caption);
    state_->Resources = DialogResources(resourceModule);
}

TSendProgressBox::~TSendProgressBox() { Close(); }

bool TSendProgressBox::Open() {
    if (state_->Thread) return IsOpen();
    state_->Thread.reset(CreateThread(nullptr, 0, BoxThread, state_.get(), 0, &state_->ThreadId));
    if (!state_->Thread) return false;
    // The sending waits until the box exists, in 50 ms steps; a box that cannot be made ends its thread.
    while (!state_->Window) {
        if (WaitForSingleObject(state_->Thread.get(), 50) == WAIT_OBJECT_0) {
            state_->Thread.reset();
            return false;
        }
    }
    ++openBoxes;
    return true;
}

bool TSendProgressBox::IsOpen() const { return state_->Window != nullptr; }

void TSendProgressBox::SetStatus(const std::string& text) {
    {
        std::lock_guard<std::mutex> guard(state_->Lock);
        state_->Status = text;
    }
    if (HWND box = state_->Window) PostMessageW(box, kUpdateStatus, 0, 0);
}

void TSendProgressBox::SetPosition(int percent) {
    if (HWND box = state_->Window)
        PostMessageW(GetDlgItem(box, ML_ID_SERVER_PROGRESS), PBM_SETPOS, std::clamp(percent, 0, 100), 0);
}

void TSendProgressBox::Close() {
    if (!state_->Thread) return;
    if (HWND box = state_->Window) PostMessageW(box, kCloseBox, 0, 0);
    WaitForSingleObject(state_->Thread.get(), INFINITE);
    state_->Thread.reset();
    --openBoxes;
}

void* TSendProgressBox::Window() const { return state_->Window.load(); }

uint32_t TSendProgressBox::ThreadId() const { return state_->Thread ? state_->ThreadId : 0; }

bool TSendProgressBox::AnyOpen() { return openBoxes > 0; }

}  // namespace quillan::crash
