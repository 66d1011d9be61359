#include "framework/clipboard/clipboard_win.h"

#include <cstring>

#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"
#include "framework/win/window_win.h"

namespace quillan::win {
namespace {

constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryMs = 20;
constexpr wchar_t kOwnerClass[] = L"TQuillanClipboardOwner";

// A global block holding a copy of bytes; the caller owns it until the clipboard takes it.
GlobalHandle GlobalCopy(const void* data, size_t size) {
    GlobalHandle block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size));
    if (!block) ThrowOutOfMemory();
    {
        GlobalLockScope lock(block.get());
        if (!lock) ThrowOutOfMemory();
        std::memcpy(lock.get(), data, size);
    }
    return block;
}

}  // namespace

TClipboard::~TClipboard() {
    if (openCount_ > 0) CloseClipboard();
}

HWND TClipboard::Owner() {
    if (owner_) return owner_;
    if (!ownWindow_) {
        // A message-only window is enough to own clipboard data, and works headless.
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kOwnerClass;
        RegisterClassExW(&wc);  // fails harmlessly when already registered
        ownWindow_.reset(
            CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
        if (!ownWindow_) RaiseLastOSError("CreateWindowEx (clipboard owner)");
    }
    return ownWindow_.get();
}

void TClipboard::Open() {
    if (openCount_ == 0) {
        HWND owner = Owner();
        // Another program (a clipboard viewer, a remote-desktop agent) may hold the
        // clipboard for a moment; wait a little before giving up.
        DWORD error = 0;
        for (int attempt = 0;; ++attempt) {
            if (OpenClipboard(owner)) break;
            // Wine reports no error code for a busy clipboard; Windows says access denied.
            error = GetLastError();
            if (error == 0) error = ERROR_ACCESS_DENIED;
            if (attempt + 1 >= kOpenAttempts)
                throw Exception(Format(kSCannotOpenClipboard, {SysErrorMessage(static_cast<int>(error))}));
            Sleep(kOpenRetryMs);
        }
        emptied_ = false;
    }
    ++openCount_;
}

void TClipboard::Close() {
    if (openCount_ == 0) return;
    if (--openCount_ == 0) {
        CloseClipboard();
        emptied_ = false;
    }
}

void TClipboard::Clear() {
    TClipboardScope scope(*this);
    if (!EmptyClipboard()) RaiseLastOSError("EmptyClipboard");
    emptied_ = true;
}

void TClipboard::Adding() {
    if (openCount_ != 0 && !emptied_) Clear();
}

int TClipboard::FormatCount() { return CountClipboardFormats(); }

UINT TClipboard::Formats(int index) {
    TClipboardScope scope(*this);
    UINT format = 0;
    for (int i = 0; i <= index; ++i) {
        format = EnumClipboardFormats(format);
        if (format == 0) break;
    }
    return format;
}

bool TClipboard::HasFormat(UINT format) { return IsClipboardFormatAvailable(format) != FALSE; }

HANDLE TClipboard::GetAsHandle(UINT format) {
    TClipboardScope scope(*this);
    return GetClipboardData(format);
}

void TClipboard::SetAsHandle(UINT format, HANDLE value) {
    TClipboardScope scope(*this);
    Adding();
    SetLastError(0);
    if (SetClipboardData(format, value)) return;
    // Wine refuses data it cannot convert without setting an error code.
    if (GetLastError() == 0) {
        throw EOSError(Format("SetClipboardData refused clipboard format %d", {std::to_string(format)}));
    }
    RaiseLastOSError("SetClipboardData");
}

void TClipboard::SetTextBuf(std::string_view text) {
    std::wstring wide = Wide(text);
    GlobalHandle unicode = GlobalCopy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    std::string ansi(text);
    GlobalHandle bytes = GlobalCopy(ansi.c_str(), ansi.size() + 1);
    // The locale tells readers of CF_TEXT that its bytes are Windows-1251.
    LCID russian = MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT);
    GlobalHandle locale = GlobalCopy(&russian, sizeof(russian));
    TClipboardScope scope(*this);
    Adding();
    SetAsHandle(CF_UNICODETEXT, unicode.get());
    unicode.release();
    SetAsHandle(CF_TEXT, bytes.get());
    bytes.release();
    SetAsHandle(CF_LOCALE, locale.get());
    locale.release();
}

std::string TClipboard::AsText() {
    TClipboardScope scope(*this);
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data) return {};
    GlobalLockScope lock(data);
    const auto* p = static_cast<const wchar_t*>(lock.get());
    if (!p) return {};
    size_t limit = GlobalSize(data) / sizeof(wchar_t);
    size_t length = 0;
    while (length < limit && p[length] != 0) ++length;
    return Narrow(std::wstring_view(p, length));
}

TClipboard& Clipboard() {
    static TClipboard instance;
    return instance;
}

bool CopyTextToClipboard(std::string_view text) noexcept {
    try {
        TClipboard clipboard;
        clipboard.SetTextBuf(text);
        return true;
    } catch (...) {
        // Busy, refused or out of memory: the caller has nothing better to offer than the text it
        // still holds.
        return false;
    }
}

}  // namespace quillan::win
