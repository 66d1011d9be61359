#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "engine/paste/caret.h"
#include "engine/paste/elevation_win.h"
#include "engine/paste/keys.h"
#include "engine/paste/paste_engine_win.h"
#include "engine/paste/wait.h"
#include "engine/store/template_file.h"
#include "framework/clipboard/clipboard_win.h"
#include "framework/core/exceptions.h"
#include "tests/paste/paste_support.h"

namespace quillan {
namespace {

using test::ClipboardBytes;
using test::ClipboardHas;
using test::ClipboardText;
using test::ShownText;
using test::TargetWindow;
using test::Template;

constexpr char kUserText[] = "прежний текст";
constexpr char kUserFormat[] = "QuillanPasteTestFormat";
const std::string kUserBytes("\x01\x02\x03\x00\xFF", 5);

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int CountChildren(HWND parent) {
    int n = 0;
    EnumChildWindows(parent, &CountChild, reinterpret_cast<LPARAM>(&n));
    return n;
}

void ExpectUserClipboardBack() {
    EXPECT_EQ(ClipboardText(), kUserText);
    std::string bytes = ClipboardBytes(kUserFormat);
    ASSERT_GE(bytes.size(), kUserBytes.size());
    EXPECT_EQ(bytes.substr(0, kUserBytes.size()), kUserBytes);
}

class PasteTest : public ::testing::Test {
protected:
    test::PasteScene scene{kUserText, kUserFormat, kUserBytes};
    HWND owner = scene.owner;
};

TEST_F(PasteTest, CyrillicTemplateIsPastedAndTheUserClipboardComesBack) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    TTmpl tmpl = Template("Привет, мир", 11, 1);
    PasteTemplate(&tmpl, owner, nullptr);
    EXPECT_EQ(target.Text(), "Привет, мир");
    int row = -1;
    int column = -1;
    EXPECT_TRUE(target.Caret(row, column));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 10);
    // One Left press, sent as the cursor-block key.
    ASSERT_EQ(target.CountKeys(VK_LEFT), 1);
    for (const auto& key : target.keys) {
        if (key.vk == VK_LEFT) {
            EXPECT_NE(key.flags & (1 << 24), 0) << "Left without the extended flag";
        }
        if (key.vk == 'V') {
            EXPECT_TRUE(key.ctrlDown);
        }
    }
    EXPECT_EQ(CountChildren(owner), 0) << "hidden control left behind";
    ExpectUserClipboardBack();
}

struct HotPointCase {
    const char* text;
    int32_t x;
    int32_t y;
    int row;
    int column;
};

class HotPointTest : public PasteTest,
                     public ::testing::WithParamInterface<std::tuple<TargetWindow::Kind, HotPointCase>> {};

TEST_P(HotPointTest, CaretEndsOnTheHotPoint) {
    const auto& [kind, c] = GetParam();
    TargetWindow target(kind);
    ASSERT_TRUE(target.Focus());
    TTmpl tmpl = Template(c.text, c.x, c.y);
    PasteTemplate(&tmpl, owner, nullptr);
    EXPECT_EQ(target.Text(), ShownText(c.text)) << "exactly the template, no line break added";
    int row = -1;
    int column = -1;
    EXPECT_TRUE(target.Caret(row, column));
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(column, c.column);
    EXPECT_EQ(target.CountKeys(VK_LEFT), CountCaretPresses(c.text, c.x, c.y));
}

const char kLetter[] = "Здравствуйте!\r\n\r\nТекст\r\n\r\nС уважением, Иван";

// Unset hot points (0, as a file without PointX and PointY reads) and the ones the
// file writer fills in for them (DefaultHotPointsMeetTheEnd below) leave the caret at
// the end of the text, whatever blank lines and line breaks it has.
const HotPointCase kHotPoints[] = {
    {"abcde\r\nfghij", 6, 2, 1, 5},               // end of the text
    {"abcde\r\nfghij", 1, 1, 0, 0},               // row 1, column 1 of two lines
    {"Шаблон\r\nвторая строка", 4, 2, 1, 3},      // inside a line
    {"Шаблон\r\nвторая строка\r\n", 7, 1, 0, 6},  // end of a line that is not the last
    {"a\r\n\r\nb", 0, 0, 2, 1},                   // a blank line: the end is after "b"
    {"a\r\n\r\nb\r\n", 0, 0, 3, 0},               // a final break: the line after it
    {"a\r\n\r\nb", 1, 3, 2, 0},                   // before "b"
    {kLetter, 0, 0, 4, 17},                       // a letter with blank lines
    {kLetter, 1, 3, 2, 0},                        // before "Текст"
    {"one\rtwo\rthree", 0, 0, 2, 5},              // CR without LF
    {"one\rtwo\r", 4, 1, 0, 3},
    {"x\ny", 0, 0, 1, 1},      // LF alone
    {"\r\n\r\n", 0, 0, 2, 0},  // nothing but line breaks
};

INSTANTIATE_TEST_SUITE_P(EditAndRichEdit, HotPointTest,
                         ::testing::Combine(::testing::Values(TargetWindow::Kind::Edit, TargetWindow::Kind::RichEdit),
                                            ::testing::ValuesIn(kHotPoints)));

TEST_F(PasteTest, WithRestoreOffTheTemplateStaysMarkedPrivate) {
    test::SetRestore("False");
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    TTmpl tmpl = Template("Шаблон", 7, 1);
    PasteTemplate(&tmpl, owner, nullptr);
    EXPECT_EQ(target.Text(), "Шаблон");
    EXPECT_EQ(ClipboardText(), "Шаблон");
    EXPECT_NE(ClipboardBytes("Rich Text Format").find("fcharset204"), std::string::npos);
    EXPECT_FALSE(ClipboardHas(kUserFormat));
    EXPECT_TRUE(ClipboardHas("ExcludeClipboardContentFromMonitorProcessing"));
    const std::string zero(4, '\0');
    EXPECT_EQ(ClipboardBytes("CanIncludeInClipboardHistory").substr(0, 4), zero);
    EXPECT_EQ(ClipboardBytes("CanUploadToCloudClipboard").substr(0, 4), zero);
}

TEST_F(PasteTest, WhatTheUserCopiesDuringTheWaitIsNotOverwritten) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    bool copied = false;
    test::Ticker ticker(20, [&] {
        if (copied || target.Text().empty()) return;
        win::Clipboard().SetTextBuf("новое");
        copied = true;
    });
    TTmpl tmpl = Template("abc", 4, 1);
    PasteTemplate(&tmpl, owner, nullptr);
    ASSERT_TRUE(copied);
    EXPECT_EQ(target.Text(), "abc");
    EXPECT_EQ(ClipboardText(), "новое");
}

TEST_F(PasteTest, NestedPasteStillGivesBackTheUserClipboard) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    TTmpl inner = Template("2", 2, 1);
    bool nested = false;
    test::Ticker ticker(20, [&] {
        if (nested || target.Text().empty()) return;
        nested = true;
        PasteTemplate(&inner, owner, nullptr);
    });
    TTmpl outer = Template("1", 2, 1);
    PasteTemplate(&outer, owner, nullptr);
    ASSERT_TRUE(nested);
    // The inner paste lands at the hot point the outer one left: after "1".
    EXPECT_EQ(target.Text(), "12");
    ExpectUserClipboardBack();
}

// The start-up run: the window in front keeps its selected text, gets no key, and the
// clipboard is not touched at all; the paste after it still works.
TEST_F(PasteTest, StartUpRunLeavesTheWindowInFrontAndTheClipboardAlone) {
    TargetWindow target(TargetWindow::Kind::Edit);
    SetWindowTextW(target.control, L"\x0432\x044B\x0434\x0435\x043B\x0435\x043D\x043E");  // "выделено"
    SendMessageW(target.control, EM_SETSEL, 0, -1);
    ASSERT_TRUE(target.Focus());
    const DWORD sequence = GetClipboardSequenceNumber();
    PasteTemplate(nullptr, owner, nullptr);
    // A marker key behind anything that might still be on its way.
    keybd_event(VK_F9, 0, 0, 0);
    keybd_event(VK_F9, 0, KEYEVENTF_KEYUP, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return target.CountKeys(VK_F9) == 1; }));
    EXPECT_EQ(target.keys.size(), 1u) << "a key of the start-up run reached the window in front";
    EXPECT_EQ(target.Text(), "выделено");
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(target.control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 8u) << "the selection is still there";
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << "the clipboard was changed";
    EXPECT_EQ(CountChildren(owner), 0) << "hidden control left behind";
    ExpectUserClipboardBack();

    TTmpl tmpl = Template("да", 0, 0);
    PasteTemplate(&tmpl, owner, nullptr);
    EXPECT_EQ(target.Text(), "да");
    ExpectUserClipboardBack();
}

// The hot point the file writer fills in for an unset one is where the paste ends.
TEST_F(PasteTest, WrittenDefaultHotPointsMeetTheEndOfThePaste) {
    for (TargetWindow::Kind kind : {TargetWindow::Kind::Edit, TargetWindow::Kind::RichEdit}) {
        for (const char* text : {"a\r\n\r\nb", kLetter, "a\r\n\r\nb\r\n\r\n", "one\rtwo\r\rthree", "Шаблон"}) {
            TargetWindow target(kind);
            ASSERT_TRUE(target.Focus());
            THotPoint written = DefaultHotPoint(text);
            TTmpl tmpl = Template(text, written.X, written.Y);
            PasteTemplate(&tmpl, owner, nullptr);
            EXPECT_EQ(target.Text(), ShownText(text));
            int row = -1;
            int column = -1;
            EXPECT_TRUE(target.Caret(row, column));
            const std::vector<std::string> lines = TemplateLines(text);
            EXPECT_EQ(row, static_cast<int>(lines.size()) - 1) << text;
            EXPECT_EQ(column, static_cast<int>(lines.back().size())) << text;
            EXPECT_EQ(target.CountKeys(VK_LEFT), 0) << text;
        }
    }
}

// A template pasted in the middle of a line stays in that line.
TEST_F(PasteTest, PasteInsideALineDoesNotSplitIt) {
    for (TargetWindow::Kind kind : {TargetWindow::Kind::Edit, TargetWindow::Kind::RichEdit}) {
        TargetWindow target(kind);
        SetWindowTextW(target.control, L"left right");
        SendMessageW(target.control, EM_SETSEL, 5, 5);
        ASSERT_TRUE(target.Focus());
        TTmpl tmpl = Template("[Шаблон] ", 0, 0);
        PasteTemplate(&tmpl, owner, nullptr);
        EXPECT_EQ(target.Text(), "left [Шаблон] right");
        int row = -1;
        int column = -1;
        EXPECT_TRUE(target.Caret(row, column));
        EXPECT_EQ(row, 0);
        EXPECT_EQ(column, 14);
        ExpectUserClipboardBack();
    }
}

TEST_F(PasteTest, CtrlVWaitsForAHeldShiftToBeReleased) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    const BYTE shiftScan = static_cast<BYTE>(MapVirtualKeyW(VK_SHIFT, 0));
    keybd_event(VK_SHIFT, shiftScan, 0, 0);
    if (!test::PumpUntil([] { return PasteModifiersDown(); }, 1000)) {
        keybd_event(VK_SHIFT, shiftScan, KEYEVENTF_KEYUP, 0);
        GTEST_SKIP() << "this system does not report synthesised Shift through GetAsyncKeyState";
    }
    int ticks = 0;
    bool heldUntilRelease = false;
    size_t keysBeforeRelease = 0;
    test::Ticker ticker(100, [&] {
        if (++ticks != 3) return;
        heldUntilRelease = PasteModifiersDown();
        keysBeforeRelease = target.keys.size();
        keybd_event(VK_SHIFT, shiftScan, KEYEVENTF_KEYUP, 0);
    });
    TTmpl tmpl = Template("abc", 2, 1);
    PasteTemplate(&tmpl, owner, nullptr);
    // Wine may drop a synthesised key state when it syncs with the X server; then the
    // paste need not wait, but no key of it may arrive with Shift down either way.
    if (heldUntilRelease) {
        for (size_t i = 0; i < keysBeforeRelease; ++i) EXPECT_NE(target.keys[i].vk, 'V') << "Ctrl+V too early";
    }
    for (const auto& key : target.keys) {
        if (key.vk == 'V' || key.vk == VK_LEFT) {
            EXPECT_FALSE(key.shiftDown) << "key " << key.vk;
        }
    }
    EXPECT_EQ(target.Text(), "abc");
    int row = -1;
    int column = -1;
    EXPECT_TRUE(target.Caret(row, column)) << "Shift+Left selected text";
    EXPECT_EQ(column, 1);
}

// A hand-edited hot point far before the text: the presses stop at the text's length
// in caret steps (plus two) instead of sending billions of key events.
TEST_F(PasteTest, LeftPressesStopAtTheCap) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    const std::string text = "abc\r\nde";
    TTmpl tmpl = Template(text, -2000000000, 1);
    ASSERT_GT(CountCaretPresses(text, tmpl.PointX, tmpl.PointY), CaretPressLimit(text));
    PasteTemplate(&tmpl, owner, nullptr);
    EXPECT_EQ(target.Text(), "abc\nde");
    EXPECT_EQ(target.CountKeys(VK_LEFT), CaretPressLimit(text));
    int row = -1;
    int column = -1;
    EXPECT_TRUE(target.Caret(row, column));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 0);
    ExpectUserClipboardBack();
}

// A long walk goes out in one batch: every press arrives, as the cursor-block key, and
// the caret ends at the start of the text.
TEST_F(PasteTest, SevenHundredPressWalkArrivesWhole) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    std::string text;
    for (int i = 0; i < 700; ++i) text += static_cast<char>(0xE0 + i % 32);  // а..я
    ASSERT_EQ(CountCaretPresses(text, 1, 1), 700);
    TTmpl tmpl = Template(text, 1, 1);
    PasteTemplate(&tmpl, owner, nullptr);
    EXPECT_EQ(target.Text(), text);
    EXPECT_EQ(target.CountKeys(VK_LEFT), 700);
    for (const auto& key : target.keys) {
        if (key.vk == VK_LEFT) {
            ASSERT_NE(key.flags & (1 << 24), 0) << "Left without the extended flag";
        }
    }
    int row = -1;
    int column = -1;
    EXPECT_TRUE(target.Caret(row, column));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 0);
    ExpectUserClipboardBack();
}

// The record a paste came from is freed, and its memory reused, while the paste waits
// for the user to let go of Shift: the paste goes on with its own copy.
TEST_F(PasteTest, PasteOwnsItsTemplateFromTheStart) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    const BYTE shiftScan = static_cast<BYTE>(MapVirtualKeyW(VK_SHIFT, 0));
    keybd_event(VK_SHIFT, shiftScan, 0, 0);
    if (!test::PumpUntil([] { return PasteModifiersDown(); }, 1000)) {
        keybd_event(VK_SHIFT, shiftScan, KEYEVENTF_KEYUP, 0);
        GTEST_SKIP() << "this system does not report synthesised Shift through GetAsyncKeyState";
    }
    auto record = std::make_unique<TTmpl>(Template("original", 3, 1));
    std::unique_ptr<TTmpl> replacement;
    bool swapped = false;
    test::Ticker ticker(20, [&] {
        if (swapped) return;
        swapped = true;
        record.reset();
        replacement = std::make_unique<TTmpl>(Template("replaced text", 1, 1));
        keybd_event(VK_SHIFT, shiftScan, KEYEVENTF_KEYUP, 0);
    });
    PasteTemplate(record.get(), owner, nullptr);
    ASSERT_TRUE(swapped);
    EXPECT_EQ(target.Text(), "original");
    EXPECT_EQ(target.CountKeys(VK_LEFT), CountCaretPresses("original", 3, 1));
    ExpectUserClipboardBack();
}

TEST_F(PasteTest, BusyClipboardFailsThePasteAndFreesTheControl) {
    test::SetRestore("False");
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        if (OpenClipboard(nullptr)) {
            SetEvent(held);
            WaitForSingleObject(release, 10000);
            CloseClipboard();
        }
        SetEvent(held);
    });
    WaitForSingleObject(held, 5000);
    TTmpl tmpl = Template("abc", 4, 1);
    try {
        PasteTemplate(&tmpl, owner, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().rfind("Cannot open clipboard", 0), 0u) << e.Message();
    }
    SetEvent(release);
    holder.join();
    CloseHandle(held);
    CloseHandle(release);
    EXPECT_EQ(CountChildren(owner), 0) << "hidden control left behind";
    EXPECT_EQ(target.CountKeys('V'), 0);
    ExpectUserClipboardBack();  // never touched
}

BOOL CALLBACK FindAnyChild(HWND, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

// Another program holds the clipboard while the paste tries to save it, and lets it
// go as soon as the paste would go on (its hidden control exists) or the paste has
// returned. Without a snapshot the paste must not replace the user's clipboard.
TEST_F(PasteTest, ClipboardBusyDuringTheSaveRefusesThePasteAndKeepsTheClipboard) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HWND parent = owner;
    std::thread holder([&] {
        if (OpenClipboard(nullptr)) {
            SetEvent(held);
            bool child = false;
            while (!child && WaitForSingleObject(done, 2) == WAIT_TIMEOUT)
                EnumChildWindows(parent, &FindAnyChild, reinterpret_cast<LPARAM>(&child));
            CloseClipboard();
        }
        SetEvent(held);
    });
    WaitForSingleObject(held, 5000);
    TTmpl tmpl = Template("abc", 4, 1);
    bool refused = false;
    try {
        PasteTemplate(&tmpl, owner, nullptr);
    } catch (const EPasteRefused& e) {
        refused = true;
        EXPECT_EQ(e.Message(), kSClipboardBusy);
    }
    SetEvent(done);
    holder.join();
    CloseHandle(held);
    CloseHandle(done);
    EXPECT_TRUE(refused);
    EXPECT_EQ(target.CountKeys('V'), 0);
    EXPECT_EQ(target.Text(), "");
    EXPECT_EQ(CountChildren(owner), 0) << "hidden control left behind";
    ExpectUserClipboardBack();
}

TEST(Elevation, PeersOfTheSameTokenAreReachable) {
    EXPECT_FALSE(IsInputBlockedFor(nullptr));
    HWND own = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(IsInputBlockedFor(own));
    DestroyWindow(own);
    EXPECT_EQ(IntegrityLevelOf(GetCurrentProcessId()), CurrentIntegrityLevel());
    EXPECT_FALSE(IntegrityLevelOf(0xFFFFFFF0u).has_value());  // no such process: unknown
    // A second process with this process's token runs at the same level.
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_list_tests";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(IntegrityLevelOf(pi.dwProcessId), CurrentIntegrityLevel());
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(WaitWithMessages, HandlesMessagesEvenForZeroAndWaitsTheTime) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    WaitWithMessages(0);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, window, WM_APP, WM_APP, PM_NOREMOVE)) << "queue not processed";
    DestroyWindow(window);
    const DWORD start = GetTickCount();
    WaitWithMessages(100);
    EXPECT_GE(GetTickCount() - start, 100u);
}

TEST(Keys, CtrlCCopiesTheSelectionOfTheFocusedControl) {
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    SetWindowTextW(target.control, L"\x043A\x043E\x043F\x0438\x044F");  // "копия"
    SendMessageW(target.control, EM_SETSEL, 0, -1);
    win::Clipboard().SetTextBuf("");
    SendCopyKeys();
    EXPECT_TRUE(test::PumpUntil([] { return ClipboardText() == "копия"; }));
}

// The copy of a program that pastes on Ctrl+Shift+V is Ctrl+Shift+C: one C, with both
// modifiers down; the edit control copies on it too.
TEST(Keys, TheCopyOfCtrlShiftVIsCtrlShiftC) {
    test::ScratchRegistry registry;
    test::SetRestore("True");
    TargetWindow target(TargetWindow::Kind::Edit);
    ASSERT_TRUE(target.Focus());
    SetWindowTextW(target.control, L"\x043A\x043E\x043F\x0438\x044F");  // "копия"
    SendMessageW(target.control, EM_SETSEL, 0, -1);
    win::Clipboard().SetTextBuf("прежнее");
    {
        TSelectionCopy copy(kForegroundWaitMs, TPasteMethod::CtrlShiftV);
        EXPECT_TRUE(copy.Copied());
        EXPECT_EQ(ClipboardText(), "копия");
    }
    ASSERT_EQ(target.CountKeys('C'), 1);
    for (const auto& key : target.keys) {
        if (key.vk == 'C') {
            EXPECT_TRUE(key.ctrlDown && key.shiftDown);
        }
    }
    EXPECT_EQ(ClipboardText(), "прежнее");
}

}  // namespace
}  // namespace quillan
