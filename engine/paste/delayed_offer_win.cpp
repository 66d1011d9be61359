#include "engine/paste/delayed_offer_win.h"

#include <cstring>

#include "engine/clipboard/clipboard_snapshot.h"
#include "framework/win/handle_win.h"
#include "framework/win/window_win.h"

namespace quillan {
namespace {

constexpr wchar_t kOfferClass[] = L"TQuillanDelayedOffer";
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryMs = 20;

DWORD g_ownWriteSequence = 0;

// Marks of private data: placed with their data, since clipboard monitors read them to
// decide whether to read anything else.
const wchar_t* const kPrivateMarks[] = {L"ExcludeClipboardContentFromMonitorProcessing",
                                        L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"};

bool IsPrivateMark(UINT format) {
    for (const wchar_t* name : kPrivateMarks) {
        if (RegisterClipboardFormatW(name) == format) return true;
    }
    return false;
}

bool PlaceCopy(UINT format, const std::string& bytes) {
    win::GlobalHandle block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes.empty() ? 1 : bytes.size()));
    if (!block) return false;
    {
        win::GlobalLockScope lock(block.get());
        if (!lock) return false;
        if (!bytes.empty()) std::memcpy(lock.get(), bytes.data(), bytes.size());
    }
    if (!SetClipboardData(format, block.get())) return false;
    block.release();  // the clipboard owns it now
    return true;
}

std::string BytesOf(HANDLE data) {
    std::string bytes;
    if (!data) return bytes;
    const win::GlobalLockScope p(data);
    if (p) bytes.assign(static_cast<const char*>(p.get()), GlobalSize(data));
    return bytes;
}

}  // namespace

void NoteOwnWrite() { g_ownWriteSequence = GetClipboardSequenceNumber(); }

bool OwnWriteCurrent() { return GetClipboardSequenceNumber() == g_ownWriteSequence; }

TDelayedOffer::TDelayedOffer() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOfferClass;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
    window_ = CreateWindowExW(0, kOfferClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window_) win::RaiseLastOSError("CreateWindowEx (clipboard offer)");
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TDelayedOffer::~TDelayedOffer() {
    if (owns_) RenderAll();
    // Detached first: what the window is sent while it goes must not reach a half-destroyed object.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

bool TDelayedOffer::Open() {
    // A clipboard monitor may be reading what was just placed; wait a little for it. A
    // reader may also be waiting for this window to render a format: sent messages are
    // handled meanwhile, and only they (no timer, no input), so no paste can start here.
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (OpenClipboard(window_)) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kOpenRetryMs, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return false;
}

bool TDelayedOffer::TakeOver() {
    if (!Open()) return false;
    std::vector<TFormat> formats;
    std::vector<std::pair<UINT, std::string>> marks;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
        if (format > 0xFFFF || IsHandleOnlyClipboardFormat(static_cast<uint16_t>(format))) continue;
        std::string bytes = BytesOf(GetClipboardData(format));
        if (bytes.empty()) continue;
        if (IsPrivateMark(format)) {
            marks.emplace_back(format, std::move(bytes));
        } else {
            formats.push_back({format, std::move(bytes), false});
        }
    }
    if (formats.empty() || !EmptyClipboard()) {
        CloseClipboard();
        return false;
    }
    formats_ = std::move(formats);
    offered_ = true;
    owns_ = true;
    for (const TFormat& format : formats_) SetClipboardData(format.Id, nullptr);
    for (const auto& [format, bytes] : marks) PlaceCopy(format, bytes);
    CloseClipboard();
    return true;
}

void TDelayedOffer::ExpectTarget(DWORD targetProcess) {
    targetProcess_ = targetProcess;
    expecting_ = true;
}

void TDelayedOffer::NoteRead(UINT) {
    // The reader holds the clipboard open while it waits for the data: its window (if it
    // named one) says which program it is. Wine's own mirror of the clipboard to X opens
    // it with a window of its own process, so it never counts.
    HWND opener = GetOpenClipboardWindow();
    DWORD process = 0;
    if (opener) GetWindowThreadProcessId(opener, &process);
    if (expecting_ && (!opener || process == targetProcess_)) {
        ++targetReads_;
        lastTargetRead_ = GetTickCount();
    } else {
        ++otherReads_;
    }
}

void TDelayedOffer::Render(UINT format) {
    for (TFormat& entry : formats_) {
        if (entry.Id != format || entry.Rendered) continue;
        NoteRead(format);
        // Inside the reader's open: the data goes straight in, the clipboard is not opened.
        const bool own = OwnWriteCurrent();
        entry.Rendered = PlaceCopy(format, entry.Bytes);
        if (own) NoteOwnWrite();  // handing over what was offered is no change of the user's
        return;
    }
}

void TDelayedOffer::RenderAll() {
    if (!Open()) return;
    const bool own = OwnWriteCurrent();
    if (GetClipboardOwner() == window_) {
        for (TFormat& entry : formats_) {
            if (!entry.Rendered) entry.Rendered = PlaceCopy(entry.Id, entry.Bytes);
        }
    }
    CloseClipboard();
    if (own) NoteOwnWrite();
}

LRESULT CALLBACK TDelayedOffer::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TDelayedOffer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    try {
        switch (msg) {
            case WM_RENDERFORMAT:
                self->Render(static_cast<UINT>(wParam));
                return 0;
            case WM_RENDERALLFORMATS:
                self->RenderAll();
                return 0;
            case WM_DESTROYCLIPBOARD:
                self->owns_ = false;
                return 0;
            default:
                break;
        }
    } catch (...) {
        // Out of memory while copying a format: the reader gets no data for it, which it
        // handles as a format that is not there; nothing may unwind through user32.
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace quillan
