#include "framework/richedit/rich_edit_win.h"

#include <richedit.h>

#include <cstring>
#include <vector>

#include "framework/core/exceptions.h"
#include "framework/win/text.h"

namespace quillan::win {

const wchar_t* TRichEdit::LoadLibraryAndClass() {
    // Loaded once and kept for the process: unloading while a control of its
    // class may still exist (a nested paste) would pull the code from under it.
    static const wchar_t* className = []() -> const wchar_t* {
        if (LoadLibraryW(L"Msftedit.dll")) return L"RICHEDIT50W";
        if (LoadLibraryW(L"riched20.dll")) return L"RichEdit20W";
        return nullptr;
    }();
    if (!className) RaiseLastOSError("LoadLibrary riched20.dll");
    return className;
}

TRichEdit::TRichEdit(HWND parent, HFONT font) {
    const wchar_t* className = LoadLibraryAndClass();
    // No WS_VISIBLE and no scroll bars: never shown, and it wraps at its own width.
    CreateControl(WS_EX_CLIENTEDGE, className, "", WS_CHILD | ES_MULTILINE | ES_WANTRETURN, 0, 0, kDefaultWidth,
                  kDefaultHeight, parent, 0);
    if (!font) {
        ownFont_.reset(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                   L"MS Sans Serif"));
        font = static_cast<HFONT>(ownFont_.get());
    }
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetPointSizeOf(font);
    // The default limit of 32767 characters would cut long templates short.
    SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    // Wrap at the window's width.
    SendMessageW(hwnd_, EM_SETTARGETDEVICE, 0, 0);
}

void TRichEdit::SetPointSizeOf(HFONT font) {
    // WM_SETFONT turns the font's pixels into points at the screen's DPI: the form's
    // -11 pixels, drawn for 96 DPI, would ask for 5.5 pt at 144 DPI and the pasted text
    // shrink as the DPI grows. The size in twips is the same at every DPI.
    LOGFONTW lf = {};
    if (!GetObjectW(font, sizeof(lf), &lf) || lf.lfHeight == 0) return;
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_SIZE;
    format.yHeight = MulDiv(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight, 1440, kDesignDpi);
    SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

// The window goes before the font it uses.
TRichEdit::~TRichEdit() { DestroyHandle(); }

namespace {

struct StreamSource {
    const BYTE* data;
    size_t size;
    size_t position;
};

DWORD CALLBACK ReadSource(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
    auto* source = reinterpret_cast<StreamSource*>(cookie);
    size_t n = source->size - source->position;
    if (n > static_cast<size_t>(wanted)) n = static_cast<size_t>(wanted);
    memcpy(buffer, source->data + source->position, n);
    source->position += n;
    *given = static_cast<LONG>(n);
    return 0;
}

}  // namespace

void TRichEdit::SetText(const std::string& text) {
    // Streamed in as plain text: WM_SETTEXT would parse a text that starts with "{\rtf"
    // as rich text, and a template holding an RTF snippet would lose its words.
    std::wstring wide = Wide(text);
    StreamSource source = {reinterpret_cast<const BYTE*>(wide.data()), wide.size() * sizeof(wchar_t), 0};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = &ReadSource;
    SendMessageW(hwnd_, EM_STREAMIN, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&stream));
    if (stream.dwError != 0) throw EOSError("TRichEdit.SetText: " + std::to_string(stream.dwError));
}

std::string TRichEdit::Text() const { return GetWindowTextA1251(hwnd_); }

void TRichEdit::SelectAll() {
    // Up to the end of the text but not the control's own closing paragraph mark: with
    // it the rich text would carry one paragraph more than the plain text, and a
    // rich-text target would get an extra empty line with the caret a line off.
    GETTEXTLENGTHEX query = {GTL_PRECISE | GTL_NUMCHARS, 1200};
    LRESULT length = SendMessageW(hwnd_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
    SendMessageW(hwnd_, EM_SETSEL, 0, length);
}

bool TRichEdit::SetSelectionCharset(BYTE charset) {
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_CHARSET;
    format.bCharSet = charset;
    return SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format)) != 0;
}

void TRichEdit::CopyToClipboard() { SendMessageW(hwnd_, WM_COPY, 0, 0); }

int TRichEdit::LineCount() const { return static_cast<int>(SendMessageW(hwnd_, EM_GETLINECOUNT, 0, 0)); }

std::string TRichEdit::Line(int k) const {
    if (k < 0 || k >= LineCount()) return {};
    LRESULT start = SendMessageW(hwnd_, EM_LINEINDEX, static_cast<WPARAM>(k), 0);
    if (start < 0) return {};
    auto length = static_cast<size_t>(SendMessageW(hwnd_, EM_LINELENGTH, static_cast<WPARAM>(start), 0));
    // EM_GETLINE takes the buffer size in its first WORD and may copy the line break too.
    // Its size field is 16 bits, so a longer line comes back cut at 65535 characters.
    std::vector<wchar_t> buffer(length + 3 < 0xFFFF ? length + 3 : 0xFFFF, L'\0');
    buffer[0] = static_cast<wchar_t>(buffer.size());
    auto copied = static_cast<size_t>(
        SendMessageW(hwnd_, EM_GETLINE, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(buffer.data())));
    std::wstring line(buffer.data(), copied < buffer.size() ? copied : buffer.size());
    while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n')) line.pop_back();
    return Narrow(line);
}

}  // namespace quillan::win
