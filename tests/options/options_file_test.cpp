// The options dialog against hot.ini and the registry: what OK writes, what it keeps.
#include "tests/options/options_support.h"

namespace quillan::test {
namespace {

TEST_F(OptionsTest, FirstUseReportsTheMissingFileAndOkCreatesIt) {
    Open();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Cannot open file \"" + HotPath() + "\".", 0), 0u) << errors[0];
    EXPECT_EQ(TreeTexts(), std::vector<std::string>{"Общие"});
    EXPECT_TRUE(form->cbRestoreClpbrd->Checked());
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrOk);
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {})));
    EXPECT_FALSE(FileExists(HotPath() + ".backup"));
    EXPECT_EQ(Setting(L"deIDE_Text"), dir.Path());
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "0");
    EXPECT_EQ(Setting(L"cbRestoreClpbrd_Checked"), "True");
    EXPECT_EQ(hints, std::vector<std::string>{"Quillan (Ctrl + Win + H)"});
}

TEST_F(OptionsTest, MarkerIsShownButNeverSaved) {
    const std::string original =
        HotFile(AppBlock("Общие", {}) + AppBlock("notepad.exe", {{"cap", "ab\r\ncdef", 3, 2}}));
    WriteHot(original);
    Open();
    EXPECT_TRUE(errors.empty());
    Select("cap");
    EXPECT_TRUE(form->pnOpt->Visible());
    EXPECT_FALSE(form->pnApp->Visible());
    EXPECT_EQ(form->mTemple->Text(), "ab\r\ncd*ef");
    EXPECT_EQ(form->seCol->Value(), 3);
    EXPECT_EQ(form->seRow->Value(), 2);
    EXPECT_EQ(form->leCaption->Text(), "cap");
    EXPECT_EQ(Record("cap")->TemplateText, "ab\r\ncdef");
    PressOK();
    EXPECT_EQ(ReadHot(), original);
    EXPECT_EQ(ReadFileBytes(HotPath() + ".backup"), original);
}

TEST_F(OptionsTest, SettingsAndTrayHintAreStoredOnOk) {
    WriteHot(HotFile(AppBlock("Общие", {})));
    Open();
    form->cbHot->SetItemIndex(1);
    form->cbRestoreClpbrd->SetChecked(false);
    form->deIDE->SetText("  " + dir.Path() + "  ");
    PressOK();
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "1");
    EXPECT_EQ(Setting(L"cbRestoreClpbrd_Checked"), "False");
    EXPECT_EQ(Setting(L"deIDE_Text"), dir.Path());
    EXPECT_EQ(hints, std::vector<std::string>{"Quillan (Shift + Win + H)"});
    // The next opening restores them.
    Open();
    EXPECT_EQ(form->cbHot->ItemIndex(), 1);
    EXPECT_FALSE(form->cbRestoreClpbrd->Checked());
}

// One window-position value of another type must not reset the stored settings
// at the next "ОК".
TEST_F(OptionsTest, DamagedPlacementValueKeepsTheStoredSettings) {
    WriteHot(HotFile(AppBlock("Общие", {})));
    SetRegString(SettingsKey(), L"cbHot_ItemIndex", L"2");
    SetRegString(SettingsKey(), L"cbRestoreClpbrd_Checked", L"False");
    SetRegDword(SettingsKey(), L"Flags", 0);
    SetRegDword(SettingsKey(), L"NormPos", 1);
    Open();
    EXPECT_TRUE(errors.empty()) << errors[0];
    EXPECT_EQ(form->cbHot->ItemIndex(), 2);
    EXPECT_FALSE(form->cbRestoreClpbrd->Checked());
    EXPECT_EQ(form->deIDE->Text(), dir.Path());
    PressOK();
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "2");
    EXPECT_EQ(Setting(L"cbRestoreClpbrd_Checked"), "False");
    EXPECT_EQ(Setting(L"deIDE_Text"), dir.Path());
    EXPECT_FALSE(ReadRestoreClipboard());
}

TEST_F(OptionsTest, FolderChangeWithoutOpenWritesToTheStoredFolder) {
    TempDir other;
    WriteHot(HotFile(AppBlock("Общие", {}) + AppBlock("a.exe", {})));
    Open();
    form->deIDE->SetText(other.Path());
    PressOK();
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("a.exe", {})));
    EXPECT_TRUE(FileExists(HotPath() + ".backup"));
    EXPECT_FALSE(FileExists(other.Path() + "hot.ini"));
    EXPECT_EQ(Setting(L"deIDE_Text"), other.Path());
    EXPECT_EQ(GetTemplateFilePath(), other.Path() + "hot.ini");
}

TEST_F(OptionsTest, SecondOkKeepsTheFirstBackup) {
    const std::string first = HotFile(AppBlock("Общие", {}) + AppBlock("first.exe", {}));
    WriteHot(first);
    Open();
    form->SpeedButton1Click();
    PressOK();
    EXPECT_EQ(ReadFileBytes(HotPath() + ".backup"), first);
    Open();
    form->SpeedButton1Click();
    PressOK();
    EXPECT_EQ(ReadFileBytes(HotPath() + ".backup"), first);
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("first.exe", {}) + AppBlock("Приложение 1", {}) +
                                 AppBlock("Приложение 1", {})));
}

TEST_F(OptionsTest, EscapedTextsRoundTrip) {
    WriteHot(HotFile(AppBlock("Общие", {{"x", "y", 1, 1}})));
    Open();
    Select("x");
    form->leCaption->SetText("a<b&c");
    form->mTemple->SetText("if (a < b && c > d) \"q\" 'z'");
    PressOK();
    std::string file = ReadHot();
    EXPECT_NE(file.find("<MenuCaption>a&lt;b&amp;c</MenuCaption>"), std::string::npos) << file;
    EXPECT_NE(file.find("<TemplateText>if (a &lt; b &amp;&amp; c &gt; d) &quot;q&quot; &apos;z&apos;</TemplateText>"),
              std::string::npos)
        << file;
    Open();
    Select("a<b&c");
    EXPECT_EQ(Record("a<b&c")->TemplateText, "if (a < b && c > d) \"q\" 'z'");
}

TEST_F(OptionsTest, DefaultHotPointIsWrittenButNotKept) {
    WriteHot(HotFile(AppBlock("Общие", {})));
    Open();
    Select("Общие");
    form->SpeedButton2Click();
    Select("//Шаблон 1");
    form->mTemple->SetText("line1\r\n\r\nline3");
    TTmpl* record = Record("line1..line3");
    PressOK();
    EXPECT_NE(ReadHot().find("<TemplateText>line1\r\n\r\nline3</TemplateText>\r\n    <PointX>6</PointX>\r\n"
                             "    <PointY>2</PointY>"),
              std::string::npos)
        << ReadHot();
    EXPECT_EQ(record->PointX, 0);
    EXPECT_EQ(record->PointY, 0);
}

// A write that fails leaves the dialog open with its tree, tells the user, and
// changes neither the registry nor the file.
TEST_F(OptionsTest, FailedWriteKeepsTheDialogOpenAndChangesNothing) {
    SetFolderSetting("Q:\\no\\such\\folder");
    Open();
    errors.clear();
    form->SpeedButton1Click();
    form->cbHot->SetItemIndex(2);
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrNone);
    ASSERT_EQ(saveErrors.size(), 1u);
    EXPECT_NE(saveErrors[0].find("Cannot create file"), std::string::npos) << saveErrors[0];
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "Приложение 1"}));
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "<absent>");
    EXPECT_EQ(Setting(L"deIDE_Text"), "Q:\\no\\such\\folder");
    EXPECT_TRUE(hints.empty());

    // hot.ini replaced by a folder: the same, and the folder is left alone.
    SetFolderSetting(dir.Path());
    CreateDirectoryW(win::Wide(HotPath()).c_str(), nullptr);
    saveErrors.clear();
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrNone);
    EXPECT_EQ(saveErrors.size(), 1u);
    EXPECT_TRUE(DirectoryExists(HotPath()));
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "<absent>");

    // Once the cause is gone the same dialog saves.
    RemoveDirectoryW(win::Wide(HotPath()).c_str());
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrOk);
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("Приложение 1", {})));
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "2");
}

TEST_F(OptionsTest, ReadErrorsLeaveTheTreeAndTheDialogUsable) {
    WriteHot("<HOT><Templates><Application>x</Application></HOT>");
    Open();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Invalid XML Element"), std::string::npos) << errors[0];
    EXPECT_EQ(TreeTexts(), std::vector<std::string>{"Общие"});

    // "Открыть" with another folder loads; a failing strip click keeps that tree.
    TempDir other;
    AtomicWriteFile(other.Path() + "hot.ini", HotFile(AppBlock("Общие", {}) + AppBlock("b.exe", {{"t", "u", 1, 1}})));
    form->deIDE->SetText(other.Path());
    SendMessageW(form->Button1->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "b.exe", " t"}));
    errors.clear();
    SendMessageW(form->Panel1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 5));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "b.exe", " t"}));
}

}  // namespace
}  // namespace quillan::test
