// Every paste method into Wine's own programs in another process: notepad (an edit
// control) and wordpad (a rich-edit window).
#include <gtest/gtest.h>

#include <string>

#include "engine/paste/paste_engine_win.h"
#include "engine/paste/paste_method.h"
#include "framework/win/text.h"
#include "framework/win/window_win.h"
#include "tests/paste/paste_support.h"

namespace quillan {
namespace {

using test::RunningUnderWine;

constexpr char kPeerUserText[] = "прежний текст";
constexpr char kPeerUserFormat[] = "QuillanPeerTestFormat";
const std::string kPeerUserBytes("\x09\x08", 2);

struct TChildSearch {
    const wchar_t* prefix;  // of the class name, case-insensitive
    HWND found;
};

bool ClassStarts(HWND hwnd, const wchar_t* prefix) {
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    return _wcsnicmp(cls, prefix, wcslen(prefix)) == 0;
}

BOOL CALLBACK FindChild(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<TChildSearch*>(param);
    if (!ClassStarts(hwnd, s->prefix)) return TRUE;
    s->found = hwnd;
    return FALSE;
}

std::string TextOf(HWND control) {
    auto length = static_cast<size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0));
    std::wstring buffer(length + 1, L'\0');
    SendMessageW(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(wcslen(buffer.c_str()));
    return test::ShownText(win::Narrow(buffer));
}

class PeerTest : public ::testing::TestWithParam<std::tuple<const wchar_t*, TPasteMethod>> {
protected:
    void SetUp() override {
        test::SetRestore("True");
        owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner);
        if (process.hProcess) {
            TerminateProcess(process.hProcess, 0);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    // Starts the program; its main window and the text control inside it.
    bool Start(const wchar_t* program, const wchar_t* controlClass) {
        // Wordpad is not on the path: it lives with the accessories.
        std::wstring command = program;
        if (command == L"wordpad.exe") {
            wchar_t path[MAX_PATH];
            ExpandEnvironmentStringsW(L"%ProgramFiles%\\Windows NT\\Accessories\\wordpad.exe", path, MAX_PATH);
            command = L"\"" + std::wstring(path) + L"\"";
        }
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process))
            return false;
        WaitForInputIdle(process.hProcess, 30000);
        return test::PumpUntil(
            [&] {
                const HWND top = win::FirstVisibleWindowOf(process.dwProcessId);
                if (!top) return false;
                TChildSearch child{controlClass, nullptr};
                EnumChildWindows(top, &FindChild, reinterpret_cast<LPARAM>(&child));
                frame = top;
                control = child.found;
                return control != nullptr;
            },
            30000);
    }
    // The program in front with its text control focused, as the user leaves it.
    bool Front() {
        return test::PumpUntil(
            [&] {
                SetForegroundWindow(frame);
                GUITHREADINFO info{};
                info.cbSize = sizeof(info);
                if (GetForegroundWindow() != frame || !GetGUIThreadInfo(process.dwThreadId, &info)) return false;
                if (info.hwndFocus != control) PostMessageW(frame, WM_SETFOCUS, 0, 0);
                return info.hwndFocus == control;
            },
            20000);
    }

    test::ScratchRegistry registry;
    HWND owner = nullptr;
    PROCESS_INFORMATION process = {};
    HWND frame = nullptr;
    HWND control = nullptr;
};

TEST_P(PeerTest, TemplateArrivesAndTheClipboardIsTheUsersAfter) {
    const auto [program, method] = GetParam();
    const bool wordpad = std::wstring(program) == L"wordpad.exe";
    if (wordpad && method == TPasteMethod::ShiftInsert && RunningUnderWine())
        GTEST_SKIP() << "Wine's rich edit control does not paste on Shift+Insert (Windows' does)";
    if (!Start(program, wordpad ? L"RichEdit" : L"Edit")) GTEST_SKIP() << "no " << win::Narrow(program) << " here";
    ASSERT_TRUE(Front());
    test::PutUserClipboard(kPeerUserText, kPeerUserFormat, kPeerUserBytes);
    const DWORD sequence = GetClipboardSequenceNumber();
    TTmpl tmpl;
    tmpl.TemplateText = "Здравствуйте,\r\nуважаемый коллега!";
    tmpl.PointX = 1;
    tmpl.PointY = 2;
    PasteTemplate(&tmpl, owner, nullptr, method);
    std::string seen;
    EXPECT_TRUE(test::PumpUntil([&] { return (seen = TextOf(control)) == "Здравствуйте,\nуважаемый коллега!"; }, 15000))
        << seen;
    DWORD start = 0;
    DWORD end = 0;
    // The start of the second line: after 13 letters and one line break (two in an edit control).
    // The other program takes the Left presses in its own time.
    const DWORD hotPoint = wordpad ? 14u : 15u;
    test::PumpUntil(
        [&] {
            SendMessageW(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            return end == hotPoint;
        },
        10000);
    EXPECT_EQ(end, hotPoint);
    EXPECT_EQ(start, end);
    if (method == TPasteMethod::Type) {
        EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << "typing touched the clipboard";
    }
    EXPECT_EQ(test::ClipboardText(), kPeerUserText);
    EXPECT_EQ(test::ClipboardBytes(kPeerUserFormat).substr(0, kPeerUserBytes.size()), kPeerUserBytes);
}

std::string PeerName(const ::testing::TestParamInfo<std::tuple<const wchar_t*, TPasteMethod>>& info) {
    std::string program = win::Narrow(std::get<0>(info.param));
    return program.substr(0, program.find('.')) + PasteKeysName(std::get<1>(info.param));
}

class PeerHundredTest : public PeerTest {};

// One paste after another, as fast as the restore allows: each is the template (a text of
// its own, so neither the user's clipboard nor the template before), and after each the
// user's clipboard is back, every format of it.
TEST_P(PeerHundredTest, HundredPastesInARowEachTheTemplateAndTheUsersClipboardAfter) {
    const auto [program, method] = GetParam();
    const bool wordpad = std::wstring(program) == L"wordpad.exe";
    if (!Start(program, wordpad ? L"RichEdit" : L"Edit")) GTEST_SKIP() << "no " << win::Narrow(program) << " here";
    ASSERT_TRUE(Front());
    test::PutUserClipboard(kPeerUserText, kPeerUserFormat, kPeerUserBytes);
    const auto user = test::ClipboardContent();
    for (int i = 0; i < 100; ++i) {
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        TTmpl tmpl;
        tmpl.TemplateText = "Шаблон номер " + std::to_string(i);
        PasteTemplate(&tmpl, owner, nullptr, method);
        ASSERT_EQ(test::ClipboardContent(), user) << "paste " << i;
        std::string seen;
        ASSERT_TRUE(test::PumpUntil([&] { return (seen = TextOf(control)) == tmpl.TemplateText; }, 5000))
            << "paste " << i << ": " << seen;
    }
}

INSTANTIATE_TEST_SUITE_P(NotepadAndWordpad, PeerHundredTest,
                         ::testing::Combine(::testing::Values(L"notepad.exe", L"wordpad.exe"),
                                            ::testing::Values(TPasteMethod::CtrlV)),
                         PeerName);

INSTANTIATE_TEST_SUITE_P(NotepadAndWordpad, PeerTest,
                         ::testing::Combine(::testing::Values(L"notepad.exe", L"wordpad.exe"),
                                            ::testing::Values(TPasteMethod::CtrlV, TPasteMethod::ShiftInsert,
                                                              TPasteMethod::CtrlShiftV, TPasteMethod::Type)),
                         PeerName);

}  // namespace
}  // namespace quillan
