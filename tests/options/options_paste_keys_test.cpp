// The application panel's paste method, and what the dialog does not show, through
// the dialog's own controls and hot.ini on disk.
#include "tests/options/options_support.h"

namespace quillan::test {
namespace {

// The writer's layout with a method, an unknown method and elements of a newer
// version (or of the user's hand) at several levels.
const std::string kWithExtras = std::string(kHeader) +
                                " <Templates>\r\n"
                                "  <Application>Общие</Application>\r\n"
                                "   <Template>\r\n"
                                "    <MenuCaption>Подпись</MenuCaption>\r\n"
                                "    <TemplateText>С уважением,\r\nИван</TemplateText>\r\n"
                                "    <PointX>5</PointX>\r\n"
                                "    <PointY>2</PointY>\r\n"
                                "    <Hotkey ctrl=\"1\">F5</Hotkey>\r\n"
                                "   </Template>\r\n"
                                " </Templates>\r\n"
                                " <!-- терминалы -->\r\n"
                                " <Templates>\r\n"
                                "  <Application>putty.exe</Application>\r\n"
                                "  <PasteKeys>CtrlShiftV</PasteKeys>\r\n"
                                "  <Colour>#FF0000</Colour>\r\n"
                                " </Templates>\r\n"
                                " <Templates>\r\n"
                                "  <Application>vm.exe</Application>\r\n"
                                "  <PasteKeys>Dictate</PasteKeys>\r\n"
                                " </Templates>\r\n"
                                "</HOT>\r\n";

class PasteKeysTest : public OptionsTest {
protected:
    std::string ComboText() const {
        int index = form->cbPasteKeys->ItemIndex();
        wchar_t buffer[256] = {};
        SendMessageW(form->cbPasteKeys->Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(buffer));
        return win::Narrow(buffer);
    }
    std::string ItemText(int index) const {
        wchar_t buffer[256] = {};
        SendMessageW(form->cbPasteKeys->Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(buffer));
        return win::Narrow(buffer);
    }
    // Picks an item as the user does: the selection, then the list's notice.
    void Pick(int index) {
        HWND combo = form->cbPasteKeys->Handle();
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }
};

TEST_F(PasteKeysTest, FileWithMethodsAndUnknownElementsRoundTripsByteForByte) {
    WriteHot(kWithExtras);
    Open();
    ASSERT_TRUE(errors.empty());
    Select("putty.exe");
    EXPECT_TRUE(form->pnApp->Visible());
    EXPECT_EQ(ComboText(), "Ctrl+Shift+V");
    Select("vm.exe");
    EXPECT_EQ(ComboText(), "«Dictate» (неизвестный способ, оставлен как есть)");
    Select("Подпись");
    PressOK();
    ASSERT_EQ(form->ModalResult, win::mrOk);
    EXPECT_EQ(ReadHot(), kWithExtras);
    EXPECT_EQ(ReadFileBytes(HotPath() + ".backup"), kWithExtras);
}

TEST_F(PasteKeysTest, ChosenMethodIsWrittenAfterTheApplication) {
    WriteHot(kWithExtras);
    Open();
    Select("Общие");
    EXPECT_EQ(ComboText(), "По умолчанию (Ctrl+V)");
    Pick(4);  // typing
    Select("putty.exe");
    Pick(0);  // back to the built-in choice: no element
    PressOK();
    std::string expected = kWithExtras;
    const std::string common = "  <Application>Общие</Application>\r\n";
    expected.insert(expected.find(common) + common.size(), "  <PasteKeys>Type</PasteKeys>\r\n");
    const std::string putty = "  <PasteKeys>CtrlShiftV</PasteKeys>\r\n";
    expected.erase(expected.find(putty), putty.size());
    EXPECT_EQ(ReadHot(), expected);
    // The next opening shows what was written; putty's built-in choice is named.
    Open();
    Select("Общие");
    EXPECT_EQ(ComboText(), "Набор с клавиатуры (без буфера обмена)");
    Select("putty.exe");
    EXPECT_EQ(ComboText(), "По умолчанию (Shift+Insert)");
}

// Renaming the application in the dialog: the list's first item names the built-in choice
// of the new name at once, and what was chosen stays chosen and is written.
TEST_F(PasteKeysTest, RenamedApplicationNamesTheBuiltInChoiceOfItsNewName) {
    WriteHot(kWithExtras);
    Open();
    Select("putty.exe");
    EXPECT_EQ(ItemText(0), "По умолчанию (Shift+Insert)");
    SetWindowTextW(form->eApp->Handle(), L"notepad.exe");
    ASSERT_NE(Node("notepad.exe"), nullptr);
    EXPECT_EQ(ItemText(0), "По умолчанию (Ctrl+V)");
    EXPECT_EQ(ComboText(), "Ctrl+Shift+V");
    Select("vm.exe");
    SetWindowTextW(form->eApp->Handle(), L"VirtualBoxVM.exe");
    EXPECT_EQ(ItemText(0), "По умолчанию (Набор с клавиатуры (без буфера обмена))");
    EXPECT_EQ(ComboText(), "«Dictate» (неизвестный способ, оставлен как есть)");
    PressOK();
    const std::string text = ReadHot();
    EXPECT_NE(text.find("  <Application>notepad.exe</Application>\r\n  <PasteKeys>CtrlShiftV</PasteKeys>\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  <Application>VirtualBoxVM.exe</Application>\r\n  <PasteKeys>Dictate</PasteKeys>\r\n"),
              std::string::npos)
        << text;
}

TEST_F(PasteKeysTest, DeletedApplicationKeepsTheElementsAroundIt) {
    WriteHot(kWithExtras);
    Open();
    Select("putty.exe");
    SendMessageW(form->bDelete->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(Node("putty.exe"), nullptr);
    PressOK();
    const std::string text = ReadHot();
    // The comment between the groups stays; what was inside the group goes with it.
    EXPECT_NE(text.find(" <!-- терминалы -->\r\n"), std::string::npos);
    EXPECT_EQ(text.find("Colour"), std::string::npos);
    EXPECT_NE(text.find("    <Hotkey ctrl=\"1\">F5</Hotkey>\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quillan::test
