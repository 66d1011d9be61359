#include "tests/shell/form_support.h"

#include <fstream>

#include "engine/settings/settings_reader.h"
#include "framework/registry/registry_win.h"
#include "framework/win/application_win.h"

namespace quillan::test {
namespace {

BOOL CALLBACK CollectOfClass(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<std::pair<const wchar_t*, std::vector<HWND>>*>(param);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpW(name, search->first) == 0 && IsWindowVisible(window)) search->second.push_back(window);
    return TRUE;
}

std::vector<HWND> ThreadWindows(const wchar_t* windowClass) {
    std::pair<const wchar_t*, std::vector<HWND>> search{windowClass, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectOfClass, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

}  // namespace

std::string HotIni(const std::vector<TemplateSpec>& templates) {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n";
    text += "  <Application>Общие</Application>\r\n";
    for (const TemplateSpec& t : templates) {
        text += "   <Template>\r\n    <MenuCaption>" + t.caption + "</MenuCaption>\r\n    <TemplateText>" + t.text +
                "</TemplateText>\r\n    <PointX>" + std::to_string(t.x) + "</PointX>\r\n    <PointY>" +
                std::to_string(t.y) + "</PointY>\r\n   </Template>\r\n";
    }
    return text + " </Templates>\r\n</HOT>\r\n";
}

std::vector<TemplateSpec> DefaultTemplates() { return {{"первый", "один", 5, 1}, {"второй", "два", 4, 1}}; }

bool InMenuMode() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & GUI_INMENUMODE) != 0;
}

bool HotKeyFree(UINT modifiers) {
    if (!RegisterHotKey(nullptr, 0x7777, modifiers, 'H')) return false;
    UnregisterHotKey(nullptr, 0x7777);
    return true;
}

int CountThreadWindows(const wchar_t* windowClass) { return static_cast<int>(ThreadWindows(windowClass).size()); }

HWND FindThreadWindow(const wchar_t* windowClass) {
    std::vector<HWND> found = ThreadWindows(windowClass);
    return found.empty() ? nullptr : found.front();
}

void Tap(BYTE vk) {
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

// The tick runs inside the menu's own loop, which ends right after EndMenu: one
// close per menu.
MenuWatch::MenuWatch()
    : ticker_(15, [this] {
          if (!InMenuMode()) return;
          ++opened;
          EndMenu();
      }) {}

void FormTest::SetUp() {
    win::Application().OnException = [this](const std::exception& e) { errors_.push_back(e.what()); };
    StoreSetting("deIDE_Text", dir_.Path());
    StoreSetting("cbRestoreClpbrd_Checked", "True");
    WriteHotIni(DefaultTemplates());
    target_ = std::make_unique<TargetWindow>(TargetWindow::Kind::Edit);
    SetWindowTextW(target_->control, L"\x0432\x044B\x0434\x0435\x043B\x0435\x043D\x043E");  // "выделено"
    SendMessageW(target_->control, EM_SETSEL, 0, -1);
    ASSERT_TRUE(target_->Focus());
    PutUserClipboard(kUserText, kUserFormat, kUserBytes);
}

void FormTest::TearDown() {
    if (form_) {
        form_->FormDestroy();
        form_.reset();
    }
    target_.reset();
    win::Application().OnException = nullptr;
}

void FormTest::CreateForm() {
    form_ = std::make_unique<TFForm>();
    form_->FormCreate();
    // The start-up may have moved the front to nobody in particular; the target again.
    ASSERT_TRUE(target_->Focus());
}

void FormTest::WriteHotIni(const std::vector<TemplateSpec>& templates) {
    std::ofstream file(dir_.Native() / "hot.ini", std::ios::binary | std::ios::trunc);
    file << HotIni(templates);
}

void FormTest::StoreSetting(const char* name, const std::string& value) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(GetSettingsKeyPath(), true));
    registry.WriteString(name, value);
}

void FormTest::PostHotKey() {
    PostMessageW(form_->Handle(), WM_HOTKEY, static_cast<WPARAM>(form_->HotKeyId()),
                 MAKELPARAM(MOD_CONTROL | MOD_WIN, 'H'));
}

void FormTest::PostTrayClick() {
    HWND callback = form_->TrayIcon().CallbackWindow();
    PostMessageW(callback, TTrayIcon::kCallbackMessage, TTrayIcon::kIconId, WM_LBUTTONDOWN);
    PostMessageW(callback, TTrayIcon::kCallbackMessage, TTrayIcon::kIconId, WM_LBUTTONUP);
    // The icon's click timer (id 3) ends the wait for a second click.
    PostMessageW(callback, WM_TIMER, 3, 0);
}

std::vector<std::string> FormTest::MenuCaptions() {
    std::vector<std::string> captions;
    TMenuItem& items = form_->TemplateMenu().Items();
    for (int i = 0; i < items.Count(); ++i) captions.push_back(items.Items(i).Caption);
    return captions;
}

bool FormTest::UserClipboardIsBack() {
    std::string bytes = ClipboardBytes(kUserFormat);
    return ClipboardText() == kUserText && bytes.substr(0, kUserBytes.size()) == kUserBytes;
}

}  // namespace quillan::test
