// Folder edit and spin edit driven through their window messages.
#include <gtest/gtest.h>

#include <cstdlib>

#include "components/edits/edits_win.h"
#include "framework/controls/form_win.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"
#include "tests/support/temp_dir.h"

namespace quillan {
namespace {

class THostForm : public win::TForm {
public:
    THostForm() {
        CreateForm(L"TEditsTestForm", "Host", WS_OVERLAPPEDWINDOW, 0, 300, 200, nullptr);
        folder = std::make_unique<TFolderEdit>(hwnd_);
        folder->SetBounds(10, 10, 200, 22);
        spin = std::make_unique<TSpinEdit>(hwnd_);
        spin->SetBounds(10, 40, 80, 22);
        ok = std::make_unique<win::TButton>(hwnd_, "OK");
        ok->SetDefault(true);
        ok->OnClick = [this](win::TControl&) { ++okClicks; };
        cancel = std::make_unique<win::TButton>(hwnd_, "Cancel");
        cancel->Cancel = true;
        cancel->OnClick = [this](win::TControl&) { ++cancelClicks; };
        for (win::TControl* c : std::initializer_list<win::TControl*>{folder.get(), spin.get(), ok.get(), cancel.get()})
            RegisterComponent(*c);
        spin->OnChange = [this](win::TControl&) { ++changes; };
    }
    std::string ClassName() const override { return "THostForm"; }
    std::unique_ptr<TFolderEdit> folder;
    std::unique_ptr<TSpinEdit> spin;
    std::unique_ptr<win::TButton> ok, cancel;
    int okClicks = 0, cancelClicks = 0, changes = 0;
};

void Type(HWND hwnd, wchar_t ch) { SendMessageW(hwnd, WM_CHAR, ch, 1); }
void Key(HWND hwnd, WPARAM vk) { SendMessageW(hwnd, WM_KEYDOWN, vk, 1); }

TEST(SpinEdit, TypingIsFilteredToSignsDigitsAndControlCharacters) {
    THostForm form;
    HWND edit = form.spin->Handle();
    form.spin->SetText("");
    for (wchar_t ch : std::wstring(L"-1a2 x.3\x0444")) Type(edit, ch);
    EXPECT_EQ(form.spin->Text(), "-123");
    EXPECT_EQ(form.spin->Value(), -123);
    Type(edit, L'\b');  // backspace is a control character and acts
    EXPECT_EQ(form.spin->Text(), "-12");
    Type(edit, L'+');
    EXPECT_EQ(form.spin->Text(), "-12+");
    EXPECT_EQ(form.spin->Value(), 0);  // not a decimal integer: the lower bound
}

TEST(SpinEdit, ArrowsAndButtonsStepByOneWithoutBounds) {
    THostForm form;
    HWND edit = form.spin->Handle();
    EXPECT_EQ(form.spin->Text(), "0");
    Key(edit, VK_DOWN);
    EXPECT_EQ(form.spin->Text(), "-1");
    Key(edit, VK_UP);
    Key(edit, VK_UP);
    EXPECT_EQ(form.spin->Value(), 1);
    EXPECT_EQ(form.changes, 3);
    form.spin->SetValue(1);  // same text: no change notification
    EXPECT_EQ(form.changes, 3);

    // The buttons: a click on the upper half goes up, on the lower half down.
    HWND buttons = GetWindow(edit, GW_CHILD);
    ASSERT_NE(buttons, nullptr);
    RECT r;
    GetClientRect(buttons, &r);
    auto click = [&](int y) {
        LPARAM at = MAKELPARAM(r.right / 2, y);
        SendMessageW(buttons, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(buttons, WM_LBUTTONUP, 0, at);
    };
    click(2);
    EXPECT_EQ(form.spin->Value(), 2);
    click(r.bottom - 2);
    click(r.bottom - 2);
    EXPECT_EQ(form.spin->Value(), 0);

    form.spin->MinValue = -2;
    form.spin->MaxValue = 5;
    form.spin->SetValue(9);
    EXPECT_EQ(form.spin->Value(), 5);
}

TEST(SpinEdit, EnterAndEscGoToTheFormsButtons) {
    THostForm form;
    form.spin->SetText("7");
    Key(form.spin->Handle(), VK_RETURN);
    Type(form.spin->Handle(), L'\r');
    EXPECT_EQ(form.okClicks, 1);
    EXPECT_EQ(form.spin->Text(), "7");
    Key(form.spin->Handle(), VK_ESCAPE);
    EXPECT_EQ(form.cancelClicks, 1);
}

TEST(FolderEdit, ChooserStartsAtTheTextsFolderOrRoot) {
    THostForm form;
    test::TempDir dir;
    std::string existing = dir.Path();
    struct Call {
        std::string start;
        UINT errorMode;
    };
    std::vector<Call> calls;
    bool confirm = false;
    std::string answer;
    form.folder->BrowseForFolder = [&](HWND, const std::string& start, std::string& chosen) {
        calls.push_back({start, GetErrorMode()});
        chosen = answer;
        return confirm;
    };
    UINT modeBefore = GetErrorMode();

    form.folder->ButtonClick();  // empty text, no earlier choice
    form.folder->SetText("Q:\\no\\such\\folder");
    form.folder->ButtonClick();  // cancelled: the text stays
    EXPECT_EQ(form.folder->Text(), "Q:\\no\\such\\folder");
    form.folder->SetText(existing);
    confirm = true;
    answer = existing + "sub";
    CreateDirectoryW((dir.Native() / "sub").c_str(), nullptr);
    form.folder->ButtonClick();
    EXPECT_EQ(form.folder->Text(), existing + "sub");
    EXPECT_EQ(form.folder->InitialDir, existing + "sub");
    form.folder->SetText("");
    form.folder->ButtonClick();  // empty text: the remembered folder

    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].start, "\\");
    EXPECT_EQ(calls[1].start, "\\");
    EXPECT_EQ(calls[2].start, existing);
    EXPECT_EQ(calls[3].start, existing + "sub");
    for (const Call& c : calls) EXPECT_TRUE(c.errorMode & SEM_FAILCRITICALERRORS);
    EXPECT_EQ(GetErrorMode(), modeBefore);

    // Several-folders mode appends after ";".
    form.folder->MultipleDirs = true;
    form.folder->SetText("A:\\x");
    form.folder->ButtonClick();
    EXPECT_EQ(form.folder->Text(), "A:\\x;" + existing + "sub");
}

TEST(FolderEdit, ButtonClickRunsTheChooser) {
    THostForm form;
    int calls = 0;
    form.folder->BrowseForFolder = [&](HWND, const std::string&, std::string&) { return ++calls, false; };
    SendMessageW(form.folder->ButtonHandle(), BM_CLICK, 0, 0);
    EXPECT_EQ(calls, 1);
}

TEST(SpinEdit, ParseDecimal) {
    EXPECT_EQ(ParseDecimal(" -15 "), -15);
    EXPECT_EQ(ParseDecimal("+3"), 3);
    EXPECT_EQ(ParseDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ParseDecimal("-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(ParseDecimal("2147483648"));
    EXPECT_FALSE(ParseDecimal("$10"));
    EXPECT_FALSE(ParseDecimal("-"));
    EXPECT_FALSE(ParseDecimal(""));
    EXPECT_FALSE(ParseDecimal("1e3"));
}

}  // namespace
}  // namespace quillan

namespace quillan {
namespace {

// Pixels of the window's rectangle on the screen that are not white, the colour of
// an edit's empty client area.
int NonWhitePixels(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    HDC screen = GetDC(nullptr);
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (GetPixel(screen, x, y) != RGB(255, 255, 255)) ++count;
    ReleaseDC(nullptr, screen);
    return count;
}

// The program runs with the themed common controls of its manifest; the folder
// button must be seen there, not only clickable.
TEST(FolderEdit, BrowseButtonIsDrawnWithTheProgramsControls) {
    const char* root = std::getenv("QUILLAN_SOURCE_DIR");
    std::wstring manifest =
        win::Wide(std::string(root ? root : QUILLAN_EDITS_SOURCE_DIR) + "/resources/quillan.manifest");
    ACTCTXW context = {};
    context.cbSize = sizeof(context);
    context.lpSource = manifest.c_str();
    HANDLE activation = CreateActCtxW(&context);
    ASSERT_NE(activation, INVALID_HANDLE_VALUE) << "the program's manifest";
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(activation, &cookie));
    {
        THostForm form;
        form.folder->SetText("C:\\Data");
        form.Show();
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 500) {
            win::Application().ProcessMessages();
            Sleep(10);
        }
        RECT button;
        GetWindowRect(form.folder->ButtonHandle(), &button);
        ASSERT_GT(button.right - button.left, 0);
        // The capture sees the screen: the edit's empty right part is white.
        RECT edit;
        GetWindowRect(form.folder->Handle(), &edit);
        HDC screen = GetDC(nullptr);
        COLORREF inside = GetPixel(screen, edit.right - 6, (edit.top + edit.bottom) / 2);
        ReleaseDC(nullptr, screen);
        ASSERT_EQ(inside, RGB(255, 255, 255)) << "no screen capture here";
        // Not drawn, the square shows the edit's white; drawn, at least its frame and glyph.
        EXPECT_GT(NonWhitePixels(form.folder->ButtonHandle()),
                  (button.right - button.left) + (button.bottom - button.top));
    }
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(activation);
}

}  // namespace
}  // namespace quillan
