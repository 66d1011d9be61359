// "Запускать вместе с Windows" through the dialog's box, against the registry's Run key.
#include "engine/settings/autostart.h"
#include "tests/options/options_support.h"

namespace quillan::test {
namespace {

class AutoStartTest : public OptionsTest {
protected:
    void SetUp() override {
        OptionsTest::SetUp();
        WriteHot(HotFile(AppBlock("Общие", {})));
    }
    static std::wstring ThisExe() {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        return path;
    }
    // The Run value as stored; "<absent>" when there is none.
    static std::wstring RunValue(DWORD* type = nullptr) {
        std::wstring value;
        return RegValue(kRunKeyPath, kAutoStartValueName, value, type) ? value : L"<absent>";
    }
    static void SetRunValue(const std::wstring& value) { SetRegString(kRunKeyPath, kAutoStartValueName, value); }
    LRESULT Box() const { return SendMessageW(form->cbAutoStart->Handle(), BM_GETCHECK, 0, 0); }
    void ClickBox() { SendMessageW(form->cbAutoStart->Handle(), BM_CLICK, 0, 0); }
};

TEST_F(AutoStartTest, CheckingAddsTheQuotedPathAndUncheckingRemovesIt) {
    Open();
    EXPECT_EQ(Box(), BST_UNCHECKED);
    ClickBox();
    EXPECT_EQ(Box(), BST_CHECKED);
    EXPECT_EQ(RunValue(), L"<absent>") << "written before OK";
    PressOK();
    ASSERT_EQ(form->ModalResult, win::mrOk);
    DWORD type = 0;
    EXPECT_EQ(RunValue(&type), L"\"" + ThisExe() + L"\"");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // Not a copy in the form storage: the box reads the Run key itself.
    EXPECT_EQ(Setting(L"cbAutoStart_Checked"), "<absent>");

    Open();
    EXPECT_EQ(Box(), BST_CHECKED);
    ClickBox();
    EXPECT_EQ(Box(), BST_UNCHECKED);
    PressOK();
    EXPECT_EQ(RunValue(), L"<absent>");
    Open();
    EXPECT_EQ(Box(), BST_UNCHECKED);
}

TEST_F(AutoStartTest, CancelLeavesTheValueAsItWas) {
    Open();
    ClickBox();
    PressCancel();
    EXPECT_EQ(RunValue(), L"<absent>");
}

TEST_F(AutoStartTest, ThisCopyWrittenAnotherWayShowsCheckedAndStays) {
    // Unquoted, in other letter case, with an argument: still this program.
    std::wstring exe = ThisExe();
    CharUpperBuffW(exe.data(), static_cast<DWORD>(exe.size()));
    const std::wstring value = exe + L" /tray";
    SetRunValue(value);
    Open();
    EXPECT_EQ(Box(), BST_CHECKED);
    form->cbHot->SetItemIndex(2);
    PressOK();
    EXPECT_EQ(RunValue(), value);
}

TEST_F(AutoStartTest, AnotherCopyIsLeftAloneUntilTheUserChooses) {
    const std::wstring other = L"\"C:\\Other place\\Quillan.exe\"";
    SetRunValue(other);
    Open();
    EXPECT_EQ(Box(), BST_INDETERMINATE) << "another copy shows grayed";
    EXPECT_NE(form->cbAutoStart->Hint().find("C:\\Other place\\Quillan.exe"), std::string::npos)
        << form->cbAutoStart->Hint();
    form->cbRestoreClpbrd->SetChecked(false);
    PressOK();
    EXPECT_EQ(RunValue(), other);

    // Round of the box: this copy, nothing, and back to leaving it alone.
    Open();
    ClickBox();
    EXPECT_EQ(Box(), BST_CHECKED);
    ClickBox();
    EXPECT_EQ(Box(), BST_UNCHECKED);
    ClickBox();
    EXPECT_EQ(Box(), BST_INDETERMINATE);
    PressOK();
    EXPECT_EQ(RunValue(), other);

    Open();
    ClickBox();
    PressOK();
    EXPECT_EQ(RunValue(), L"\"" + ThisExe() + L"\"");
}

TEST_F(AutoStartTest, ValueThatIsNoTextCountsAsAnotherProgram) {
    SetRegDword(kRunKeyPath, kAutoStartValueName, 1);
    Open();
    EXPECT_EQ(Box(), BST_INDETERMINATE);
    PressOK();
    DWORD type = 0;
    RunValue(&type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(AutoStartTest, BoxFollowsTheValueWhenTheDialogIsActivated) {
    Open();
    EXPECT_EQ(Box(), BST_UNCHECKED);
    SetRunValue(L"\"" + ThisExe() + L"\"");
    SendMessageW(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(Box(), BST_CHECKED);
    // A choice the user made is not overridden by a later change elsewhere.
    ClickBox();
    SetRunValue(L"\"C:\\Other\\Quillan.exe\"");
    SendMessageW(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(Box(), BST_UNCHECKED);
    // ... and "ОК" does not remove a value that changed behind the box's back.
    PressOK();
    EXPECT_EQ(RunValue(), L"\"C:\\Other\\Quillan.exe\"");
    EXPECT_EQ(Box(), BST_INDETERMINATE);
}

// A Run key that cannot be written: said to the user, and the dialog stays open.
TEST_F(AutoStartTest, RefusedWriteIsToldAndKeepsTheDialogOpen) {
    // Windows creates no lasting key below a volatile one, so the Run key cannot come to be.
    HKEY microsoft = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &microsoft, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(microsoft);
    Open();
    ClickBox();
    PressOK();
    EXPECT_EQ(form->ModalResult, win::mrNone);
    ASSERT_EQ(saveErrors.size(), 1u);
    EXPECT_EQ(saveErrors[0].rfind("Не удалось открыть раздел автозапуска: ", 0), 0u) << saveErrors[0];
    EXPECT_EQ(Box(), BST_CHECKED) << "the user's choice stays for another try";
    EXPECT_EQ(RunValue(), L"<absent>");
}

TEST_F(AutoStartTest, ClickingTheBoxIsAChangeThatExitAsksAbout) {
    Open();
    EXPECT_FALSE(form->HasChanges());
    ClickBox();
    EXPECT_TRUE(form->HasChanges());
    ClickBox();
    EXPECT_FALSE(form->HasChanges());
}

}  // namespace
}  // namespace quillan::test
