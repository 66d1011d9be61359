// The real main form under Wine, with its settings in a scratch registry, its
// hot.ini in a scratch folder and a focused target window in front of it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_form_win.h"
#include "tests/paste/paste_support.h"
#include "tests/support/temp_dir.h"

namespace quillan::test {

inline constexpr char kUserText[] = "прежний текст";
inline constexpr char kUserFormat[] = "QuillanShellTestFormat";
inline const std::string kUserBytes("\x01\x02\x00\x03", 4);
inline constexpr char kSelected[] = "выделено";

// One template of hot.ini: caption, text, hot point column and row.
struct TemplateSpec {
    std::string caption;
    std::string text;
    int x;
    int y;
};

// hot.ini with the templates in the common group "Общие", so every program gets them.
std::string HotIni(const std::vector<TemplateSpec>& templates);

// The default file: two templates, "первый" and "второй".
std::vector<TemplateSpec> DefaultTemplates();

// True while this thread shows a menu.
bool InMenuMode();
// True when nobody holds Win + H with these modifiers (a registration of our own succeeds).
bool HotKeyFree(UINT modifiers);
// Top-level windows of this thread with the window class.
int CountThreadWindows(const wchar_t* windowClass);
HWND FindThreadWindow(const wchar_t* windowClass);
// Taps a key (cursor keys as extended keys).
void Tap(BYTE vk);

// Closes every menu that opens on this thread while it lives, and counts them.
class MenuWatch {
public:
    MenuWatch();
    int opened = 0;

private:
    Ticker ticker_;
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the form; FormCreate runs the start-up paste into the target.
    void CreateForm();
    void WriteHotIni(const std::vector<TemplateSpec>& templates);
    void StoreSetting(const char* name, const std::string& value);
    // Posts the hotkey message with the form's id.
    void PostHotKey();
    // Posts a left click on the tray icon and the end of its double-click wait, so the
    // click is acted on at once, in whatever loop takes the messages.
    void PostTrayClick();
    // Captions of the template menu's items, top to bottom.
    std::vector<std::string> MenuCaptions();
    bool UserClipboardIsBack();

    ScratchRegistry registry_;
    TempDir dir_;
    std::unique_ptr<TargetWindow> target_;
    std::unique_ptr<TFForm> form_;
    std::vector<std::string> errors_;
};

}  // namespace quillan::test
