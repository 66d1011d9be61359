// Drives the options dialog modelessly against a scratch registry and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dialogs/options/options_form.h"
#include "engine/settings/settings.h"
#include "engine/settings/settings_reader.h"
#include "framework/core/file_io.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/pump.h"
#include "tests/support/temp_dir.h"

namespace quillan::test {

inline const char* kHeader = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n";

// One application block of the file layout; templates as {caption, text, x, y}.
struct TplSpec {
    std::string caption, text;
    int x, y;
};
inline std::string AppBlock(const std::string& app, const std::vector<TplSpec>& templates) {
    std::string s = " <Templates>\r\n  <Application>" + app + "</Application>\r\n";
    for (const TplSpec& t : templates)
        s += "   <Template>\r\n    <MenuCaption>" + t.caption + "</MenuCaption>\r\n    <TemplateText>" + t.text +
             "</TemplateText>\r\n    <PointX>" + std::to_string(t.x) + "</PointX>\r\n    <PointY>" +
             std::to_string(t.y) + "</PointY>\r\n   </Template>\r\n";
    return s + " </Templates>\r\n";
}
inline std::string HotFile(const std::string& blocks) { return kHeader + blocks + "</HOT>\r\n"; }

// Ctrl down or up as this thread sees it: the synthesised key first; when it does
// not arrive (another process of the Wine server holds the input) the thread's
// key state is set directly, which is what the click handler reads.
inline void SetCtrl(bool down) {
    keybd_event(VK_CONTROL, 0, down ? 0 : KEYEVENTF_KEYUP, 0);
    // The synthesised key reaches this thread's key state through the queue.
    if (PumpUntil([down] { return (GetKeyState(VK_CONTROL) < 0) == down; }, 1000)) return;
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// A click at a point of the memo's client area (the caret goes there).
inline void ClickMemo(HWND memo, int x = 2, int y = 2) {
    SendMessageW(memo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(memo, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::Application().OnException = [this](const std::exception& e) { errors.push_back(e.what()); };
        SetFolderSetting(dir.Path());
    }
    void TearDown() override {
        form.reset();
        win::Application().OnException = nullptr;
    }

    std::wstring SettingsKey() const { return win::Wide(GetSettingsKeyPath().substr(1)); }
    void SetFolderSetting(const std::string& folder) { SetRegString(SettingsKey(), L"deIDE_Text", win::Wide(folder)); }
    std::string Setting(const wchar_t* name) const {
        std::wstring value;
        return RegValue(SettingsKey(), name, value) ? win::Narrow(value) : "<absent>";
    }
    std::string HotPath() const { return dir.Path() + "hot.ini"; }
    void WriteHot(const std::string& text) const { AtomicWriteFile(HotPath(), text); }
    std::string ReadHot() const { return ReadFileBytes(HotPath()); }

    // A fresh dialog, shown modelessly (FormShow has run).
    TOptionForm& Open(bool focus = false, const std::string& currentApp = "") {
        form.reset();
        form = std::make_unique<TOptionForm>(focus, currentApp, [this](const std::string& h) { hints.push_back(h); });
        form->OnSaveError = [this](const std::string& m) { saveErrors.push_back(m); };
        // The user's answers in turn; with none left, the box's safe button (No, Cancel, OK).
        form->OnAsk = [this](const std::string& text, unsigned flags) {
            asked.push_back(text);
            if (!answers.empty()) {
                int answer = answers.front();
                answers.erase(answers.begin());
                return answer;
            }
            unsigned buttons = flags & MB_TYPEMASK;
            return buttons == MB_YESNO ? IDNO : buttons == MB_YESNOCANCEL ? IDCANCEL : IDOK;
        };
        form->Show();
        return *form;
    }
    // "ОК" as the user presses it; closes the dialog when it ends confirmed.
    void PressOK() {
        SendMessageW(form->bOK->Handle(), BM_CLICK, 0, 0);
        if (form->ModalResult == win::mrOk) form->Close();
    }
    void PressCancel() {
        SendMessageW(form->bCancel->Handle(), BM_CLICK, 0, 0);
        if (form->ModalResult != win::mrNone) form->Close();
    }

    win::TTreeNode* Node(const std::string& text) const {
        for (int i = 0; i < form->TreeView1->Count(); ++i)
            if (form->TreeView1->Item(i)->Text() == text) return form->TreeView1->Item(i);
        return nullptr;
    }
    // The record shown by the tree node of that text.
    TTmpl* Record(const std::string& text) const { return form->Model().Record(form->IdOf(Node(text))); }
    // Node texts in index order, templates indented by one blank.
    std::vector<std::string> TreeTexts() const {
        std::vector<std::string> out;
        for (int i = 0; i < form->TreeView1->Count(); ++i) {
            win::TTreeNode* n = form->TreeView1->Item(i);
            out.push_back(std::string(static_cast<size_t>(n->Level()), ' ') + n->Text());
        }
        return out;
    }
    void Select(const std::string& text) {
        win::TTreeNode* node = Node(text);
        ASSERT_NE(node, nullptr) << text;
        form->TreeView1->SetSelected(node);
    }

    ScratchRegistry registry;
    TempDir dir;
    std::unique_ptr<TOptionForm> form;
    std::vector<std::string> errors, saveErrors, hints, asked;
    std::vector<int> answers;
};

}  // namespace quillan::test
