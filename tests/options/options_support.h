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
#include "framework/win/application.h"
#include "framework/win/text.h"
#include "tests/support/scratch_registry.h"
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

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::Application().OnException = [this](const std::exception& e) { errors.push_back(e.what()); };
        SetFolderSetting(dir.Path());
    }
    void TearDown() override {
        form.reset();
        win::Application().OnException = nullptr;
        AppCounter = 0;
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
    std::vector<std::string> errors, saveErrors, hints;
};

}  // namespace quillan::test
