#include "framework/richedit/rich_edit_win.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <cstdlib>
#include <vector>

#include "engine/paste/caret.h"
#include "engine/paste/paste_engine_win.h"
#include "framework/clipboard/clipboard_win.h"
#include "framework/win/handle_win.h"
#include "tests/paste/paste_support.h"
#include "tests/support/dpi.h"

namespace quillan::win {
namespace {

class RichEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override { DestroyWindow(parent); }
    HWND parent = nullptr;
};

TEST_F(RichEditTest, HiddenDefaultSizedChildWithTheFormFont) {
    TRichEdit edit(parent);
    EXPECT_FALSE(IsWindowVisible(edit.Handle()));
    EXPECT_EQ(GetParent(edit.Handle()), parent);
    RECT r;
    GetWindowRect(edit.Handle(), &r);
    EXPECT_EQ(r.right - r.left, 185);
    EXPECT_EQ(r.bottom - r.top, 89);
    HFONT font = CreateFontW(-20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    {
        TRichEdit withFont(parent, font);
        withFont.SetText(std::string(60, 'W'));
        TRichEdit plain(parent);
        plain.SetText(std::string(60, 'W'));
        // A larger font wraps the same text into more lines.
        EXPECT_GT(withFont.LineCount(), plain.LineCount());
    }
    DeleteObject(font);
}

TEST_F(RichEditTest, LinesOfTheTextAsTheControlHoldsThem) {
    TRichEdit edit(parent);
    edit.SetText(TemplateControlText("Первая\r\nвторая\r\n"));
    EXPECT_EQ(edit.LineCount(), 3);  // the line after the final break is empty
    EXPECT_EQ(edit.Line(0), "Первая");
    EXPECT_EQ(edit.Line(1), "вторая");
    EXPECT_EQ(edit.Line(2), "");
    EXPECT_EQ(edit.Line(3), "");
    EXPECT_EQ(edit.Line(-1), "");
    std::string text = edit.Text();
    EXPECT_EQ(text.substr(0, 6), "Первая");
}

TEST_F(RichEditTest, WrapsLongLinesAtItsWidthWithoutLosingText) {
    TRichEdit edit(parent);
    std::string text;
    for (int i = 0; i < 30; ++i) text += "слово ";
    edit.SetText(text);
    ASSERT_GT(edit.LineCount(), 2);
    std::string joined;
    for (int k = 0; k < edit.LineCount(); ++k) joined += edit.Line(k);
    EXPECT_EQ(joined, text);
}

TEST_F(RichEditTest, TextIsTakenLiterallyEvenWhenItLooksLikeRichText) {
    TRichEdit edit(parent);
    edit.SetText("{\\rtf1 \\b жирный\\b0}");
    EXPECT_EQ(edit.Text(), "{\\rtf1 \\b жирный\\b0}");
    edit.SetText("");
    EXPECT_EQ(edit.Text(), "");
}

TEST_F(RichEditTest, LongTextIsNotCutAtTheDefaultLimit) {
    TRichEdit edit(parent);
    std::string text;
    while (text.size() < 40000) text += "0123456789 abcdefghij\r\n";
    edit.SetText(text);
    EXPECT_EQ(edit.Text().size(), text.size());
}

TEST_F(RichEditTest, CopyPlacesRussianRichTextAndPlainText) {
    TRichEdit edit(parent);
    edit.SetText("Шаблон\r\n");
    edit.SelectAll();
    EXPECT_TRUE(edit.SetSelectionCharset(204));
    Clipboard().Clear();
    edit.CopyToClipboard();
    EXPECT_EQ(test::ClipboardText(), "Шаблон\r\n");
    std::string rtf = test::ClipboardBytes("Rich Text Format");
    EXPECT_NE(rtf.find("\\fcharset204"), std::string::npos) << rtf;
}

// Every font size (\fsN, in half points) that the rich text asks for.
std::vector<int> RtfFontSizes(const std::string& rtf) {
    std::vector<int> sizes;
    for (size_t at = rtf.find("\\fs"); at != std::string::npos; at = rtf.find("\\fs", at + 3)) {
        if (at + 3 < rtf.size() && rtf[at + 3] >= '0' && rtf[at + 3] <= '9') sizes.push_back(std::atoi(&rtf[at + 3]));
    }
    return sizes;
}

// The form's font, -11 pixels drawn for 96 DPI, is 8.25 pt: the rich text that a paste
// places asks for that size whatever the screen's DPI, both with the control's own
// font and with the main form's.
TEST_F(RichEditTest, RichTextKeepsTheFormFontsPointSizeAtTheScreensDpi) {
    int dpi = GetDeviceCaps(WindowDC(nullptr).get(), LOGPIXELSY);
    if (test::ChildDpi()) {
        ASSERT_EQ(dpi, test::ChildDpi()) << "the logical DPI did not reach the process";
    }
    FontHandle formFont(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                    L"MS Sans Serif"));
    for (HFONT font : {static_cast<HFONT>(nullptr), formFont.get()}) {
        TRichEdit edit(parent, font);
        edit.SetText("Шаблон\r\nвторая строка");
        edit.SelectAll();
        edit.SetSelectionCharset(204);
        Clipboard().Clear();
        edit.CopyToClipboard();
        std::string rtf = test::ClipboardBytes("Rich Text Format");
        std::vector<int> sizes = RtfFontSizes(rtf);
        ASSERT_FALSE(sizes.empty()) << rtf;
        for (int halfPoints : sizes) {
            EXPECT_GE(halfPoints, 16) << "at " << dpi << " DPI: " << rtf;
            EXPECT_LE(halfPoints, 17) << "at " << dpi << " DPI: " << rtf;
        }
    }
}

// The same in a process started at 144 DPI.
TEST_F(RichEditTest, RichTextKeepsThePointSizeAt144Dpi) {
    if (test::ChildDpi()) GTEST_SKIP() << "the child runs the DPI case itself";
    EXPECT_EQ(test::RunSelfAtDpi(144, "RichEditTest.RichTextKeepsTheFormFontsPointSizeAtTheScreensDpi"), 0);
}

// Through a real paste with the main form's font into a rich-edit target: the text that
// arrives there has the form's 8.25 pt at the screen's DPI too.
TEST(RichEditPaste, ARichEditTargetGetsTheFormFontsPointSizeAtTheScreensDpi) {
    test::ScratchRegistry registry;
    test::SetRestore("True");
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    FontHandle formFont(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                    L"MS Sans Serif"));
    test::TargetWindow target(test::TargetWindow::Kind::RichEdit);
    ASSERT_TRUE(target.Focus());
    TTmpl tmpl;
    tmpl.TemplateText = "Шаблон";
    tmpl.PointX = 7;
    tmpl.PointY = 1;
    PasteTemplate(&tmpl, owner, formFont.get());
    ASSERT_TRUE(test::PumpUntil([&] { return target.Text().rfind("Шаблон", 0) == 0; })) << target.Text();
    SendMessageW(target.control, EM_SETSEL, 0, 6);
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    SendMessageW(target.control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    DestroyWindow(owner);
    ASSERT_TRUE(format.dwMask & CFM_SIZE) << "the pasted text has more than one size";
    const int dpi = GetDeviceCaps(WindowDC(nullptr).get(), LOGPIXELSY);
    EXPECT_GE(format.yHeight, 160) << "twips at " << dpi << " DPI";
    EXPECT_LE(format.yHeight, 170) << "twips at " << dpi << " DPI";
}

TEST(RichEditPaste, ARichEditTargetGetsTheSamePointSizeAt144Dpi) {
    if (test::ChildDpi()) GTEST_SKIP() << "the child runs the DPI case itself";
    EXPECT_EQ(test::RunSelfAtDpi(144, "RichEditPaste.ARichEditTargetGetsTheFormFontsPointSizeAtTheScreensDpi"), 0);
}

// The copy holds the text and no paragraph mark of the control's own: a template
// pasted inside a line does not split it.
TEST_F(RichEditTest, CopyOfATextWithoutFinalBreakEndsWithoutOne) {
    TRichEdit edit(parent);
    edit.SetText(TemplateControlText("Шаблон\r\nвторая"));
    edit.SelectAll();
    Clipboard().Clear();
    edit.CopyToClipboard();
    EXPECT_EQ(test::ClipboardText(), "Шаблон\r\nвторая");
    std::string rtf = test::ClipboardBytes("Rich Text Format");
    // The control word \par, not \pard or another word that starts with it.
    int marks = 0;
    for (size_t at = rtf.find("\\par"); at != std::string::npos; at = rtf.find("\\par", at + 1)) {
        const char next = at + 4 < rtf.size() ? rtf[at + 4] : ' ';
        marks += !((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z'));
    }
    EXPECT_EQ(marks, 1) << "one paragraph mark, between the lines: " << rtf;
}

}  // namespace
}  // namespace quillan::win
