// The framework's clipboard object. Open and Close nest: the system clipboard is
// opened by the first Open and closed by the matching last Close, so operations
// that open it themselves can run inside an outer Open.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "framework/win/handle_win.h"

namespace quillan::win {

class TClipboard {
public:
    TClipboard() = default;
    ~TClipboard();
    TClipboard(const TClipboard&) = delete;
    TClipboard& operator=(const TClipboard&) = delete;

    // OpenClipboard on the first call, retried briefly while another program
    // holds it; raises Exception "Cannot open clipboard: <reason>" when it stays busy.
    void Open();
    // CloseClipboard on the call that matches the first Open; extra calls do nothing.
    void Close();
    int OpenCount() const { return openCount_; }

    // Empties the clipboard and takes ownership (inside its own Open/Close).
    void Clear();
    int FormatCount();
    // The format at index (0-based) in the clipboard's enumeration order; 0 past the end.
    UINT Formats(int index);
    bool HasFormat(UINT format);
    // The clipboard's data handle, owned by the clipboard; nullptr when absent.
    HANDLE GetAsHandle(UINT format);
    // Places a handle; the clipboard owns it from then on. The first placement of an
    // Open/Close session empties the clipboard unless Clear ran in that session.
    // Raises EOSError when the system refuses (the handle stays the caller's).
    void SetAsHandle(UINT format, HANDLE value);
    // Windows-1251 text as CF_UNICODETEXT, CF_TEXT and a Russian CF_LOCALE.
    void SetTextBuf(std::string_view text);
    // CF_UNICODETEXT converted to Windows-1251; empty when there is no text.
    std::string AsText();

    HWND Owner();

private:
    void Adding();

    int openCount_ = 0;
    bool emptied_ = false;
    HWND owner_ = nullptr;
    WindowHandle ownWindow_;
};

// Open for one scope: Open in the constructor, the matching Close on every way out.
class TClipboardScope {
public:
    explicit TClipboardScope(TClipboard& clipboard) : clipboard_(clipboard) { clipboard_.Open(); }
    ~TClipboardScope() { clipboard_.Close(); }
    TClipboardScope(const TClipboardScope&) = delete;
    TClipboardScope& operator=(const TClipboardScope&) = delete;

private:
    TClipboard& clipboard_;
};

// The process's one clipboard object.
TClipboard& Clipboard();

// Puts text on the clipboard as SetTextBuf does, through a clipboard object of the calling
// thread's own (so it can run on any thread), waiting as Open does while another program holds
// it. False when the clipboard stayed busy or refused the text. Never raises: for the fault path.
bool CopyTextToClipboard(std::string_view text) noexcept;

// Runtime message text.
inline constexpr const char* kSCannotOpenClipboard = "Cannot open clipboard: %s";

}  // namespace quillan::win
