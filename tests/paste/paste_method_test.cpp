// The paste methods into real windows: the three chords through the clipboard, and
// typing, which leaves the clipboard alone.
#include <gtest/gtest.h>

#include <string>

#include "engine/paste/caret.h"
#include "engine/paste/paste_engine_win.h"
#include "engine/paste/paste_method.h"
#include "tests/paste/paste_support.h"

namespace quillan {
namespace {

using test::ClipboardBytes;
using test::ClipboardText;
using test::RunningUnderWine;
using test::ShownText;
using test::TargetWindow;
using test::Template;

constexpr char kMethodUserText[] = "прежний текст";
constexpr char kMethodUserFormat[] = "QuillanMethodTestFormat";
const std::string kMethodUserBytes("\x05\x00\x07", 3);

class MethodTest : public ::testing::TestWithParam<std::tuple<TPasteMethod, TargetWindow::Kind>> {
protected:
    void ExpectUserClipboard() {
        EXPECT_EQ(ClipboardText(), kMethodUserText);
        EXPECT_EQ(ClipboardBytes(kMethodUserFormat).substr(0, kMethodUserBytes.size()), kMethodUserBytes);
    }

    test::PasteScene scene{kMethodUserText, kMethodUserFormat, kMethodUserBytes};
    HWND owner = scene.owner;
};

TEST_P(MethodTest, TemplateLandsWithTheCaretOnItsHotPoint) {
    const auto [method, kind] = GetParam();
    if (method == TPasteMethod::ShiftInsert && kind == TargetWindow::Kind::RichEdit && RunningUnderWine())
        GTEST_SKIP() << "Wine's rich edit control does not paste on Shift+Insert (Windows' does)";
    TargetWindow target(kind);
    ASSERT_TRUE(target.Focus());
    const std::string text = "Первая строка\r\nвторая";
    TTmpl tmpl = Template(text, 3, 2);
    const DWORD sequence = GetClipboardSequenceNumber();
    PasteTemplate(&tmpl, owner, nullptr, method);
    // Typed keys may still be on their way when the call returns.
    EXPECT_TRUE(test::PumpUntil([&] { return target.Text() == ShownText(text); }, 10000)) << target.Text();
    test::PumpUntil([&] { return target.CountKeys(VK_LEFT) >= CountCaretPresses(text, 3, 2); }, 5000);
    int row = -1;
    int column = -1;
    EXPECT_TRUE(target.Caret(row, column));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(column, 2);
    EXPECT_EQ(target.CountKeys(VK_LEFT), CountCaretPresses(text, 3, 2));
    // Only the chord of the method reached the window.
    EXPECT_EQ(target.CountKeys('V') > 0, method == TPasteMethod::CtrlV || method == TPasteMethod::CtrlShiftV);
    EXPECT_EQ(target.CountKeys(VK_INSERT) > 0, method == TPasteMethod::ShiftInsert);
    for (const auto& key : target.keys) {
        if (key.vk == VK_INSERT) {
            EXPECT_TRUE(key.shiftDown);
            EXPECT_NE(key.flags & (1 << 24), 0) << "Insert of the keypad, not of the cursor block";
        }
        if (key.vk == 'V') {
            EXPECT_TRUE(key.ctrlDown);
            EXPECT_EQ(key.shiftDown, method == TPasteMethod::CtrlShiftV);
        }
    }
    if (method == TPasteMethod::Type) {
        EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << "typing touched the clipboard";
    }
    ExpectUserClipboard();
}

std::string MethodName(const ::testing::TestParamInfo<std::tuple<TPasteMethod, TargetWindow::Kind>>& info) {
    return std::string(PasteKeysName(std::get<0>(info.param))) +
           (std::get<1>(info.param) == TargetWindow::Kind::Edit ? "IntoEdit" : "IntoRichEdit");
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, MethodTest,
                         ::testing::Combine(::testing::Values(TPasteMethod::CtrlV, TPasteMethod::ShiftInsert,
                                                              TPasteMethod::CtrlShiftV, TPasteMethod::Type),
                                            ::testing::Values(TargetWindow::Kind::Edit, TargetWindow::Kind::RichEdit)),
                         MethodName);

class TypingTest : public MethodTest {};

// A thousand Cyrillic characters over several lines, typed: the window holds every
// byte, and the clipboard never changed hands.
TEST_F(TypingTest, ThousandCyrillicCharactersArriveByteExact) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    std::string text;
    for (int i = 0; text.size() < 1000; ++i) {
        // Every letter of the alphabet, both cases, ё and Ё, punctuation and line breaks.
        static const char kAlphabet[] = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя «—»№ ";
        text += kAlphabet[static_cast<size_t>(i) % (sizeof(kAlphabet) - 1)];
        if (i % 97 == 96) text += "\r\n";
    }
    text.resize(1000);
    TTmpl tmpl = Template(text, 1, 1);
    const DWORD sequence = GetClipboardSequenceNumber();
    PasteTemplate(&tmpl, owner, nullptr, TPasteMethod::Type);
    EXPECT_TRUE(test::PumpUntil([&] { return target.Text() == ShownText(text); }, 30000));
    EXPECT_EQ(target.Text(), ShownText(text));
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    ExpectUserClipboard();
}

}  // namespace
}  // namespace quillan
