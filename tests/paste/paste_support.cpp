#include "tests/paste/paste_support.h"

#include <richedit.h>

#include <cstring>
#include <map>

#include "engine/settings/settings_reader.h"
#include "engine/store/template_file.h"
#include "framework/clipboard/clipboard_win.h"
#include "framework/win/text.h"

namespace quillan::test {

TTmpl Template(const std::string& text, int32_t x, int32_t y) {
    TTmpl tmpl;
    tmpl.TemplateText = text;
    tmpl.PointX = x;
    tmpl.PointY = y;
    return tmpl;
}

bool RunningUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::string ShownText(const std::string& text) {
    std::string shown;
    const std::vector<std::string> lines = TemplateLines(text);
    for (size_t i = 0; i < lines.size(); ++i) shown += (i ? "\n" : "") + lines[i];
    return shown;
}

namespace {

constexpr wchar_t kFrameClass[] = L"QuillanPasteTarget";

std::map<UINT_PTR, Ticker*>& Tickers() {
    static std::map<UINT_PTR, Ticker*> tickers;
    return tickers;
}

std::string Normalized(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            result += '\n';
        } else {
            result += text[i];
        }
    }
    return result;
}

// Like any editor, the frame hands the focus to its text control when it is activated.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETFOCUS) {
        if (HWND child = GetWindow(hwnd, GW_CHILD)) SetFocus(child);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void SetRestore(const char* value) {
    std::string path = GetSettingsKeyPath();
    if (!path.empty() && path[0] == '\\') path.erase(0, 1);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, win::Wide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    std::wstring data = win::Wide(value);
    RegSetValueExW(key, L"cbRestoreClpbrd_Checked", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

TargetWindow::TargetWindow(Kind kind) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &FrameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kFrameClass;
    RegisterClassExW(&wc);  // already registered by an earlier window: fine
    frame = CreateWindowExW(0, kFrameClass, L"Quillan paste target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 500, 300,
                            nullptr, nullptr, wc.hInstance, nullptr);
    const wchar_t* className = L"EDIT";
    if (kind == Kind::RichEdit) {
        LoadLibraryW(L"riched20.dll");
        className = L"RichEdit20W";
    }
    control = CreateWindowExW(WS_EX_CLIENTEDGE, className, L"",
                              WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL, 5, 5, 480, 250, frame,
                              nullptr, wc.hInstance, nullptr);
    SetPropW(control, L"QuillanTarget", this);
    original_ =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlProc)));
}

TargetWindow::~TargetWindow() {
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    RemovePropW(control, L"QuillanTarget");
    DestroyWindow(frame);
}

LRESULT CALLBACK TargetWindow::ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TargetWindow*>(GetPropW(hwnd, L"QuillanTarget"));
    if (msg == WM_KEYDOWN)
        self->keys.push_back({wParam, lParam, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0});
    return CallWindowProcW(self->original_, hwnd, msg, wParam, lParam);
}

bool TargetWindow::Focus() {
    return PumpUntil([this] {
        if (GetForegroundWindow() != frame) SetForegroundWindow(frame);
        if (GetFocus() != control) SetFocus(control);
        return GetForegroundWindow() == frame && GetFocus() == control;
    });
}

std::string TargetWindow::Text() const { return Normalized(win::GetWindowTextA1251(control)); }

bool TargetWindow::Caret(int& row, int& column) const {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    row = static_cast<int>(SendMessageW(control, EM_LINEFROMCHAR, start, 0));
    column = static_cast<int>(start - SendMessageW(control, EM_LINEINDEX, static_cast<WPARAM>(row), 0));
    return start == end;
}

int TargetWindow::CountKeys(WPARAM vk) const {
    int n = 0;
    for (const Key& key : keys) n += key.vk == vk ? 1 : 0;
    return n;
}

Ticker::Ticker(UINT intervalMs, std::function<void()> fn) : fn_(std::move(fn)) {
    id_ = SetTimer(nullptr, 0, intervalMs, &Tick);
    Tickers()[id_] = this;
}

Ticker::~Ticker() {
    KillTimer(nullptr, id_);
    Tickers().erase(id_);
}

void CALLBACK Ticker::Tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = Tickers().find(id);
    if (it != Tickers().end()) it->second->fn_();
}

void PutUserClipboard(const std::string& text, const char* formatName, const std::string& bytes) {
    auto& clipboard = win::Clipboard();
    clipboard.Open();
    clipboard.Clear();
    clipboard.SetTextBuf(text);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    clipboard.SetAsHandle(RegisterClipboardFormatW(win::Wide(formatName).c_str()), block);
    clipboard.Close();
}

std::string ClipboardText() { return win::Clipboard().AsText(); }

bool ClipboardHas(UINT format) { return IsClipboardFormatAvailable(format) != FALSE; }

bool ClipboardHas(const char* registeredName) {
    return ClipboardHas(RegisterClipboardFormatW(win::Wide(registeredName).c_str()));
}

std::string ClipboardBytes(UINT format) {
    if (!OpenClipboard(nullptr)) return {};
    std::string bytes;
    HANDLE data = GetClipboardData(format);
    if (const char* p = data ? static_cast<const char*>(GlobalLock(data)) : nullptr) {
        bytes.assign(p, GlobalSize(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return bytes;
}

std::map<std::string, std::string> ClipboardContent() {
    std::map<std::string, std::string> content;
    if (!OpenClipboard(nullptr)) return content;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
        if (format == CF_BITMAP || format == CF_METAFILEPICT || format == CF_PALETTE || format == CF_ENHMETAFILE)
            continue;
        wchar_t name[128] = {};
        std::string key =
            GetClipboardFormatNameW(format, name, 128) > 0 ? win::Narrow(name) : "#" + std::to_string(format);
        HANDLE data = GetClipboardData(format);
        std::string bytes;
        if (const char* p = data ? static_cast<const char*>(GlobalLock(data)) : nullptr) {
            bytes.assign(p, GlobalSize(data));
            GlobalUnlock(data);
        }
        content[key] = bytes;
    }
    CloseClipboard();
    return content;
}

std::string ClipboardBytes(const char* registeredName) {
    return ClipboardBytes(RegisterClipboardFormatW(win::Wide(registeredName).c_str()));
}

PasteScene::PasteScene(const std::string& userText, const char* userFormat, const std::string& userBytes) {
    PutUserClipboard(userText, userFormat, userBytes);
    SetRestore("True");
    owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

PasteScene::~PasteScene() { DestroyWindow(owner); }

}  // namespace quillan::test
