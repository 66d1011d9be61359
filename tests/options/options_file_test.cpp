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

// The templates go where the folder field sends them, so the next hotkey press
// finds them; the old folder's file is left as it was.
TEST_F(OptionsTest, FolderChangeWritesTheTemplatesIntoTheNewFolder) {
    TempDir other;
    const std::string file = HotFile(AppBlock("Общие", {}) + AppBlock("a.exe", {{"c", "t", 1, 1}}));
    WriteHot(file);
    Open();
    form->deIDE->SetText(other.Path());
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrOk);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ReadFileBytes(other.Path() + "hot.ini"), file);
    EXPECT_EQ(ReadHot(), file);
    EXPECT_FALSE(FileExists(HotPath() + ".backup"));
    EXPECT_EQ(Setting(L"deIDE_Text"), other.Path());
    EXPECT_EQ(GetTemplateFilePath(), other.Path() + "hot.ini");
}

// A hot.ini already in the new folder is replaced only when the user says so.
TEST_F(OptionsTest, FolderWithItsOwnFileIsReplacedOnlyWhenAsked) {
    TempDir other;
    const std::string theirs = HotFile(AppBlock("Общие", {}) + AppBlock("theirs.exe", {}));
    AtomicWriteFile(other.Path() + "hot.ini", theirs);
    WriteHot(HotFile(AppBlock("Общие", {}) + AppBlock("mine.exe", {})));
    Open();
    form->deIDE->SetText(other.Path());
    PressOK();  // answered "Нет"
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find(other.Path() + "hot.ini"), std::string::npos) << asked[0];
    EXPECT_EQ(form->ModalResult, win::mrNone);
    EXPECT_EQ(ReadFileBytes(other.Path() + "hot.ini"), theirs);
    EXPECT_EQ(Setting(L"deIDE_Text"), dir.Path());
    answers = {IDYES};
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrOk);
    EXPECT_EQ(ReadFileBytes(other.Path() + "hot.ini"), HotFile(AppBlock("Общие", {}) + AppBlock("mine.exe", {})));
    EXPECT_EQ(ReadFileBytes(other.Path() + "hot.ini.backup"), theirs);
    EXPECT_EQ(Setting(L"deIDE_Text"), other.Path());
}

// A folder that is missing, is a file or cannot be written is told at the field
// before anything is written, and a corrected folder then saves.
TEST_F(OptionsTest, FolderIsCheckedBeforeWriting) {
    WriteHot(HotFile(AppBlock("Общие", {})));
    AtomicWriteFile(dir.Path() + "plain", "x");
    Open();
    form->SpeedButton1Click();
    const struct {
        std::string folder, says;
    } cases[] = {
        {"Q:\\no\\such\\folder", "не найдена"},
        {dir.Path() + "missing", "не найдена"},
        {dir.Path() + "plain", "не папка"},
        // Linux lets nobody, root included, create files in /proc.
        {"Z:\\proc", "нельзя записать"},
    };
    for (const auto& c : cases) {
        form->deIDE->SetText(c.folder);
        PressOK();
        EXPECT_EQ(form->ModalResult, win::mrNone) << c.folder;
        EXPECT_NE(form->FileState().find(c.says), std::string::npos) << c.folder << ": " << form->FileState();
        EXPECT_EQ(GetFocus(), form->deIDE->Handle()) << c.folder;
    }
    EXPECT_TRUE(saveErrors.empty());
    EXPECT_EQ(Setting(L"deIDE_Text"), dir.Path());
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {})));
    form->deIDE->SetText(dir.Path());
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrOk);
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("Приложение 1", {})));
    EXPECT_EQ(form->FileState(), "");
}

// One typo in hot.ini: the dialog says where, and "ОК" replaces the file only on the
// user's word, keeping the unreadable file beside it under a name of its own.
TEST_F(OptionsTest, UnreadableFileIsNeverReplacedUnasked) {
    std::string broken = HotFile(AppBlock("Общие", {}) + AppBlock("notepad.exe", {{"a", "b", 1, 1}}));
    broken.replace(broken.find("</MenuCaption>"), 14, "</MenuCaptio>");
    WriteHot(broken);
    Open();
    EXPECT_NE(form->FileState().find("строка 9, символ"), std::string::npos) << form->FileState();
    ASSERT_TRUE(PumpUntil([&] { return !asked.empty(); }, 2000));
    EXPECT_NE(asked[0].find("строка 9, символ"), std::string::npos) << asked[0];
    EXPECT_NE(asked[0].find(HotPath()), std::string::npos) << asked[0];
    asked.clear();
    EXPECT_EQ(TreeTexts(), std::vector<std::string>{"Общие"});

    PressOK();  // answered "Нет"
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("hot.ini.unreadable"), std::string::npos) << asked[0];
    EXPECT_EQ(form->ModalResult, win::mrNone);
    EXPECT_EQ(ReadHot(), broken);
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "<absent>");

    AtomicWriteFile(HotPath() + ".unreadable", "an earlier one");
    answers = {IDYES};
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrOk);
    EXPECT_EQ(ReadFileBytes(HotPath() + ".unreadable"), "an earlier one");
    EXPECT_EQ(ReadFileBytes(HotPath() + ".unreadable2"), broken);
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {})));
    EXPECT_FALSE(FileExists(HotPath() + ".backup"));
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "0");
}

// Reloading from the button strip or "Открыть" asks before the edits go.
TEST_F(OptionsTest, ReloadAsksBeforeEditsAreLost) {
    WriteHot(HotFile(AppBlock("Общие", {{"x", "y", 1, 1}})));
    Open();
    form->deIDE->SetText(dir.Path());  // the settings are not what a reload replaces
    SendMessageW(form->Panel1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 5));
    EXPECT_TRUE(asked.empty());
    Select("x");
    form->leCaption->SetText("edited");
    SendMessageW(form->Panel1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 5));  // "Нет"
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", " edited"}));
    SendMessageW(form->Button1->Handle(), BM_CLICK, 0, 0);  // "Нет"
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", " edited"}));
    answers = {IDYES};
    SendMessageW(form->Panel1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 5));
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", " x"}));
}

// "Выход" with the dialog open: without changes it just ends; with changes it asks
// to save them, and "Отмена" keeps the program.
TEST_F(OptionsTest, QuitAsksToSaveChanges) {
    const std::string file = HotFile(AppBlock("Общие", {}));
    WriteHot(file);
    Open();
    EXPECT_TRUE(form->ConfirmQuit());
    EXPECT_TRUE(asked.empty());
    SendMessageW(form->SpeedButton1->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(form->ConfirmQuit());  // "Отмена"
    EXPECT_EQ(asked.size(), 1u);
    answers = {IDNO};
    EXPECT_TRUE(form->ConfirmQuit());
    EXPECT_EQ(ReadHot(), file);
    form->cbHot->SetItemIndex(1);
    answers = {IDYES};
    EXPECT_TRUE(form->ConfirmQuit());
    EXPECT_EQ(form->ModalResult, win::mrOk);
    form->Close();
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("Приложение 1", {})));
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "1");
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
                             "    <PointY>3</PointY>"),
              std::string::npos)
        << ReadHot();
    EXPECT_EQ(record->PointX, 0);
    EXPECT_EQ(record->PointY, 0);
}

// A write that fails leaves the dialog open with its tree, tells the user, and
// changes neither the registry nor the file.
TEST_F(OptionsTest, FailedWriteKeepsTheDialogOpenAndChangesNothing) {
    // hot.ini replaced by a folder: the write fails, the user is told, and the
    // folder is left alone.
    WriteHot(HotFile(AppBlock("Общие", {})));
    Open();
    RemoveFile(HotPath());
    CreateDirectoryW(win::Wide(HotPath()).c_str(), nullptr);
    form->SpeedButton1Click();
    form->cbHot->SetItemIndex(2);
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrNone);
    ASSERT_EQ(saveErrors.size(), 1u);
    EXPECT_NE(saveErrors[0].find(HotPath()), std::string::npos) << saveErrors[0];
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "Приложение 1"}));
    EXPECT_TRUE(DirectoryExists(HotPath()));
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "<absent>");
    EXPECT_TRUE(hints.empty());

    // Once the cause is gone the same dialog saves.
    RemoveDirectoryW(win::Wide(HotPath()).c_str());
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrOk);
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("Приложение 1", {})));
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "2");
}

// A stored folder that is gone does not lock the dialog: the corrected folder saves.
TEST_F(OptionsTest, MissingStoredFolderCanBeCorrected) {
    SetFolderSetting("Q:\\no\\such\\folder");
    Open();
    form->SpeedButton1Click();
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrNone);
    EXPECT_NE(form->FileState().find("не найдена"), std::string::npos) << form->FileState();
    form->deIDE->SetText(dir.Path());
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrOk);
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("Приложение 1", {})));
    EXPECT_EQ(Setting(L"deIDE_Text"), dir.Path());
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
