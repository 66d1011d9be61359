// The dialog over its model: a wrapped memo, a delete followed by edits, and the
// stored settings that the engine reads back.
#include <algorithm>

#include "tests/options/options_support.h"

namespace quillan::test {
namespace {

// 120 characters of words: the memo wraps the line at its width.
std::string LongLine() {
    std::string line;
    while (line.size() < 120) line += "слово ";
    return line.substr(0, 120);
}

// A click of the user with Ctrl held, at the place of the memo's character offset.
void CtrlClickAt(win::TMemo& memo, int offset) {
    LRESULT at = SendMessageW(memo.Handle(), EM_POSFROMCHAR, static_cast<WPARAM>(offset), 0);
    SetForegroundWindow(GetAncestor(memo.Handle(), GA_ROOT));
    SetCtrl(true);
    ClickMemo(memo.Handle(), static_cast<short>(LOWORD(at)) + 1, static_cast<short>(HIWORD(at)) + 2);
    SetCtrl(false);
}

TEST_F(OptionsTest, WrappedFirstLineKeepsTheMarkerOnTheTextsOwnLines) {
    const std::string text = LongLine() + "\r\nabcd\r\nef";
    const std::string original = HotFile(AppBlock("Общие", {}) + AppBlock("notepad.exe", {{"long", text, 3, 2}}));
    WriteHot(original);
    Open();
    Select("long");
    // The memo shows more lines than the text has: its first line is wrapped.
    ASSERT_GT(SendMessageW(form->mTemple->Handle(), EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(form->mTemple->Text(), LongLine() + "\r\nab*cd\r\nef");
    EXPECT_EQ(form->mTemple->SelStart(), 125);  // just after the marker
    EXPECT_EQ(form->leCaption->Text(), "long");
    EXPECT_EQ(Record("long")->TemplateText, text);
    PressOK();
    EXPECT_EQ(ReadHot(), original);

    // Ctrl+Click at the start of the text's third line.
    Open();
    Select("long");
    CtrlClickAt(*form->mTemple, static_cast<int>(form->mTemple->Text().find("ef")));
    EXPECT_EQ(form->seRow->Value(), 3);
    EXPECT_EQ(form->seCol->Value(), 1);
    EXPECT_EQ(Record("long")->PointY, 3);
    EXPECT_EQ(Record("long")->PointX, 1);
    PressOK();
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("notepad.exe", {{"long", text, 1, 3}})));
}

TEST_F(OptionsTest, EditsAfterADeleteLandInTheNewlySelectedRecord) {
    WriteHot(HotFile(AppBlock("Общие", {}) +
                     AppBlock("a.exe", {{"t1", "one", 0, 0}, {"t2", "two", 0, 0}, {"t3", "three", 0, 0}})));
    Open();
    Select("t2");
    EXPECT_EQ(form->mTemple->Text(), "two");
    SendMessageW(form->bDelete->Handle(), BM_CLICK, 0, 0);
    ASSERT_NE(form->TreeView1->Selected(), nullptr);
    EXPECT_EQ(form->TreeView1->Selected()->Text(), "t3");
    EXPECT_EQ(form->mTemple->Text(), "three");
    EXPECT_EQ(form->leCaption->Text(), "t3");
    SendMessageW(form->mTemple->Handle(), EM_SETSEL, 0, 0);
    SendMessageW(form->mTemple->Handle(), WM_CHAR, L'Z', 1);
    form->seCol->SetValue(2);
    EXPECT_EQ(Record("t3")->TemplateText, "Zthree");
    EXPECT_EQ(Record("t3")->PointX, 2);
    EXPECT_EQ(Record("t1")->TemplateText, "one");
    PressOK();
    EXPECT_EQ(ReadHot(),
              HotFile(AppBlock("Общие", {}) + AppBlock("a.exe", {{"t1", "one", 4, 1}, {"t3", "Zthree", 2, 1}})));
}

// The form storage writes the values under the names the engine reads; a control
// renamed apart from the table would make the dialog refuse to open instead.
TEST_F(OptionsTest, StoredSettingsAreTheOnesTheEngineReads) {
    TempDir other;
    WriteHot(HotFile(AppBlock("Общие", {})));
    Open();
    EXPECT_EQ(form->FormStore1->StoredProps(), StoredSettingEntries());
    EXPECT_EQ(form->FormStore1->StorageSection(), kSettingsSection);
    EXPECT_EQ(GetSettingsKeyPath(), "\\" + form->FormStore1->StorageKey() + "\\" + kSettingsSection);
    form->cbHot->SetItemIndex(2);
    form->cbRestoreClpbrd->SetChecked(false);
    form->deIDE->SetText(other.Path());
    PressOK();

    std::vector<std::string> names;
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey().c_str(), 0, KEY_READ, &raw), ERROR_SUCCESS);
    win::RegKey key(raw);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(win::Narrow(std::wstring_view(name, length)));
    }
    for (const TStoredSetting& setting : kStoredSettings)
        EXPECT_NE(std::find(names.begin(), names.end(), setting.ValueName), names.end()) << setting.ValueName;
    EXPECT_EQ(ReadHotKeyChoice(nullptr), 2);
    EXPECT_FALSE(ReadRestoreClipboard());
    EXPECT_EQ(GetTemplateFilePath(), other.Path() + "hot.ini");
}

}  // namespace
}  // namespace quillan::test
