// The crash dialog, the reproduction request, the progress box and the web page under Wine, with
// options changed at run time through CurrentMishapLogOptions. The oracles are the system's own:
// window styles and rectangles, the rich-edit control reading the pages' RTF, the profile API
// reading the state file, a program started through the support link, a CGI host's output.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "crash/dialog/crash_dialog_win.h"
#include "crash/dialog/dialog_state_win.h"
#include "crash/dialog/send_progress_win.h"
#include "crash/options/current_options.h"
#include "framework/win/text.h"
#include "resources/crash_dialog_ids.h"
#include "tests/crash/dialog/dialog_test_support.h"

// Out of memory, once, on one thread: the first allocation there after FailNextAllocationOn raises
// std::bad_alloc, as a report too big for what is left of the address space would.
namespace {
std::atomic<DWORD> g_failAllocationOn{0};
}  // namespace

void* operator new(std::size_t size) {
    DWORD thread = GetCurrentThreadId();
    if (g_failAllocationOn.load(std::memory_order_relaxed) == thread &&
        g_failAllocationOn.compare_exchange_strong(thread, 0))
        throw std::bad_alloc();
    // The process heap rather than malloc: GCC pairs malloc with free and takes delete for new's own.
    if (void* block = HeapAlloc(GetProcessHeap(), 0, size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

namespace quillan::crash::test {
namespace {

void FailNextAllocationOn(DWORD thread) { g_failAllocationOn = thread; }

int Dpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// A rich-edit control's text as Unicode with CR LF line ends (WM_GETTEXT would come through the
// ANSI window's code page).
std::wstring RichText(HWND edit) {
    std::wstring text(8192, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    get.flags = GT_USECRLF;
    get.codepage = 1200;
    const LRESULT n =
        SendMessageW(edit, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

// The page of the expanded dialog whose heading (static 102) reads heading.
HWND PageBody(HWND dialog, const std::wstring& heading) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND title = GetDlgItem(child, ML_ID_PAGE_TITLE); title && WideTextOf(title) == heading)
            return GetDlgItem(child, ML_ID_PAGE_BODY);
    }
    return nullptr;
}

int ProfileInt(const std::string& file, const wchar_t* key) {
    return static_cast<int>(GetPrivateProfileIntW(L"Coordinates", key, -9999, win::Wide(file).c_str()));
}

class CrashDialog : public ::testing::Test {
protected:
    void SetUp() override {
        SetCurrentMishapLogOptions(&options_);
        // A configuration that shows the dialog; the program's own shows none.
        TMishapModuleOptionsEx& o = CurrentMishapLogOptions();
        o.SetDialogFlags(dfShowDialog | dfShowDetailsButton | dfShowCopyToClipboard);
        o.SetLogFlags(lfGatherModules | lfGatherCpu);
        context_ = SampleReport(o);
        stateFile_ = DialogStateFilePath();
        DeleteFileW(win::Wide(stateFile_).c_str());
    }
    void TearDown() override {
        DeleteFileW(win::Wide(stateFile_).c_str());
        SetCurrentMishapLogOptions(nullptr);
    }
    TCrashDialogRequest Request() {
        TCrashDialogRequest request;
        request.Options = &CurrentMishapLogOptions();
        request.Context = &context_;
        request.Message = context_.Values[TReportItem::ExceptionMessage];
        request.ExceptionCount = 1;
        return request;
    }

    TMishapModuleOptionsEx options_;
    TReportContext context_;
    std::string stateFile_;
};

TEST_F(CrashDialog, OpensCompactDetailsRestoresTheStoredStateAndCloseWritesIt) {
    // A state stored by an earlier opening, written through the system's profile API.
    const std::wstring file = win::Wide(stateFile_);
    for (auto [key, value] : {std::pair{L"Width", L"900"},
                              {L"Height", L"560"},
                              {L"Left", L"40"},
                              {L"Top", L"30"},
                              {L"WindowsState", L"1"},
                              {L"Col2", L"150"},
                              {L"ColMod5", L"300"}})
        ASSERT_TRUE(WritePrivateProfileStringW(L"Coordinates", key, value, file.c_str()));
    TDialogRun run(Request());
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    HWND tabs = GetDlgItem(dialog, ML_ID_TABS);
    EXPECT_FALSE(IsWindowVisible(tabs)) << "opens compact";
    EXPECT_EQ(TextOf(GetDlgItem(dialog, ML_ID_MESSAGE)), context_.Values[TReportItem::ExceptionMessage]);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, ML_ID_DETAILS)), "&Details >>");
    EXPECT_EQ(TextOf(dialog), "Error.");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, ML_ID_OK)), "&OK");
    EXPECT_FALSE(GetWindowLongPtrW(dialog, GWL_STYLE) & WS_THICKFRAME) << "the compact form is fixed";
    EXPECT_FALSE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) << "system colours: no tool frame";
    EXPECT_LT(WindowRect(dialog).bottom - WindowRect(dialog).top, MulDiv(300, Dpi(), 96));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, ML_ID_TERMINATE))) << "first report of the run";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, ML_ID_SEND))) << "nothing to send with";
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, ML_ID_COPY)));

    Click(dialog, ML_ID_DETAILS);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tabs) != FALSE; }));
    const RECT expanded = WindowRect(dialog);
    EXPECT_EQ(expanded.left, 40);
    EXPECT_EQ(expanded.top, 30);
    EXPECT_EQ(expanded.right - expanded.left, 900);
    EXPECT_EQ(expanded.bottom - expanded.top, 560);
    EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_STYLE) & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_STYLE) & WS_MAXIMIZEBOX);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, ML_ID_DETAILS)), "<< &Details");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, ML_ID_MESSAGE)), CurrentMishapLogOptions().Text(TMishapText::DialogMessage));
    HWND stack = PageBody(dialog, L"Call Stack Information");
    HWND modules = PageBody(dialog, L"Modules Information");
    ASSERT_TRUE(stack && modules);
    EXPECT_EQ(SendMessageW(stack, LVM_GETCOLUMNWIDTH, 2, 0), 150);
    EXPECT_EQ(SendMessageW(stack, LVM_GETCOLUMNWIDTH, 4, 0), MulDiv(200, Dpi(), 96)) << "never stored: the default";
    EXPECT_EQ(SendMessageW(modules, LVM_GETCOLUMNWIDTH, 5, 0), 300);

    // The user moves, sizes and widens a column; closing keeps all of it.
    SetWindowPos(dialog, nullptr, 60, 50, 920, 600, SWP_NOZORDER);
    SendMessageW(stack, LVM_SETCOLUMNWIDTH, 2, 170);
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
    EXPECT_EQ(ProfileInt(stateFile_, L"Width"), 920);
    EXPECT_EQ(ProfileInt(stateFile_, L"Height"), 600);
    EXPECT_EQ(ProfileInt(stateFile_, L"Left"), 60);
    EXPECT_EQ(ProfileInt(stateFile_, L"Top"), 50);
    EXPECT_EQ(ProfileInt(stateFile_, L"WindowsState"), 1);
    EXPECT_EQ(ProfileInt(stateFile_, L"Col2"), 170);
    EXPECT_EQ(ProfileInt(stateFile_, L"ColMod5"), 300);
    EXPECT_EQ(ProfileInt(stateFile_, L"ColMod6"), MulDiv(80, Dpi(), 96));
    EXPECT_FALSE(run.Result().TerminatePressed);

    // The next opening, expanded by option, reads it; a maximised dialog reopens maximised.
    CurrentMishapLogOptions().SetDialogFlags(CurrentMishapLogOptions().DialogFlags() | dfOpenDetailed);
    {
        TDialogRun again(Request());
        HWND reopened = again.Wait();
        ASSERT_NE(reopened, nullptr);
        const RECT r = WindowRect(reopened);
        EXPECT_EQ(r.left, 60);
        EXPECT_EQ(r.top, 50);
        EXPECT_EQ(r.right, 980);
        EXPECT_EQ(r.bottom, 650);
        EXPECT_EQ(SendMessageW(PageBody(reopened, L"Call Stack Information"), LVM_GETCOLUMNWIDTH, 2, 0), 170);
        ShowWindow(reopened, SW_MAXIMIZE);
        Click(reopened, ML_ID_OK);
        ASSERT_TRUE(again.Join());
    }
    EXPECT_EQ(ProfileInt(stateFile_, L"WindowsState"), 3);
    EXPECT_EQ(ProfileInt(stateFile_, L"Width"), 920) << "the size to restore to";
    TDialogRun third(Request());
    HWND maximised = third.Wait();
    ASSERT_NE(maximised, nullptr);
    EXPECT_TRUE(IsZoomed(maximised));
    Click(maximised, ML_ID_DETAILS);  // back to compact: the state is kept first
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(GetDlgItem(maximised, ML_ID_TABS)); }));
    // Wine without a window manager may take a moment to restore a maximised window.
    EXPECT_TRUE(WaitUntil([&] { return !IsZoomed(maximised); }));
    Click(maximised, ML_ID_OK);
    ASSERT_TRUE(third.Join());
    EXPECT_EQ(ProfileInt(stateFile_, L"WindowsState"), 3);
}

TEST_F(CrashDialog, StateFileFallsBackToTheProfileWhenTheWindowsFolderCannotTakeIt) {
    // A folder of the file's name makes the Windows folder's file unwritable.
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring blocked = std::wstring(windows) + L"\\MishapLog.ini";
    DeleteFileW(blocked.c_str());
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    wchar_t profile[MAX_PATH] = {};
    GetEnvironmentVariableW(L"UserProfile", profile, MAX_PATH);
    const std::wstring expected = std::wstring(profile) + L"\\MishapLog\\MishapLog.ini";
    DeleteFileW(expected.c_str());
    const std::string path = DialogStateFilePath();
    EXPECT_EQ(win::Wide(path), expected);
    EXPECT_NE(GetFileAttributesW((std::wstring(profile) + L"\\MishapLog").c_str()), INVALID_FILE_ATTRIBUTES);

    CurrentMishapLogOptions().SetDialogFlags(dfShowDialog | dfOpenDetailed);
    TDialogRun run(Request());
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    SetWindowPos(dialog, nullptr, 10, 20, 880, 540, SWP_NOZORDER);
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
    EXPECT_EQ(ProfileInt(path, L"Width"), 880);
    EXPECT_EQ(GetFileAttributesW(blocked.c_str()), FILE_ATTRIBUTE_DIRECTORY) << "left as it was";
    RemoveDirectoryW(blocked.c_str());
    DeleteFileW(expected.c_str());
    EXPECT_EQ(DialogStateFilePath(), stateFile_) << "the Windows folder again once it can be written";
}

// Moves the mouse to a point of the screen as the user would (through the system's input queue).
void MoveMouse(int x, int y) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

TEST_F(CrashDialog, AutoClosesAfterFiveIdleSecondsAndAMouseMoveRestartsTheCount) {
    CurrentMishapLogOptions().SetDialogAutoCloseSeconds(5);
    // Closing includes hiding the window, which takes Wine about 2 s without a window manager.
    MoveMouse(2, 2);
    {
        TDialogRun run(Request());
        ASSERT_NE(run.Wait(), nullptr);
        const ULONGLONG shown = GetTickCount64();
        EXPECT_FALSE(run.Join(4000)) << "still open after 4 s";
        ASSERT_TRUE(run.Join(6000)) << "closed itself";
        const ULONGLONG took = GetTickCount64() - shown;
        EXPECT_GE(took, 4500u);
        EXPECT_LE(took, 9000u);
        EXPECT_FALSE(run.Result().TerminatePressed);
    }
    TDialogRun run(Request());
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    const ULONGLONG shown = GetTickCount64();
    EXPECT_FALSE(run.Join(3000));
    const RECT r = WindowRect(dialog);
    MoveMouse((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    MoveMouse((r.left + r.right) / 2 + 5, (r.top + r.bottom) / 2 + 3);
    const ULONGLONG moved = GetTickCount64();
    EXPECT_FALSE(run.Join(static_cast<DWORD>(shown + 6500 - GetTickCount64()))) << "the move restarted the count";
    ASSERT_TRUE(run.Join(8000));
    const ULONGLONG closedAfterMove = GetTickCount64() - moved;
    EXPECT_GE(closedAfterMove, 4000u);
    EXPECT_LE(closedAfterMove, 9000u);
    MoveMouse(2, 2);
}

TEST_F(CrashDialog, UncheckingSendDisablesTheScreenshotAndTheChoiceSaysNotSent) {
    TMishapModuleOptionsEx& o = CurrentMishapLogOptions();
    o.SetUploadMethod(1);
    o.SetSendFlags(sfAttachScreenshot);
    o.SetDialogFlags(dfShowDialog | dfSendChecked | dfAttachScreenshotChecked);
    {
        TDialogRun run(Request());
        HWND dialog = run.Wait();
        ASSERT_NE(dialog, nullptr);
        HWND screenshot = GetDlgItem(dialog, ML_ID_SCREENSHOT);
        EXPECT_EQ(IsDlgButtonChecked(dialog, ML_ID_SEND), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, ML_ID_SCREENSHOT), BST_CHECKED);
        EXPECT_TRUE(IsWindowEnabled(screenshot));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, ML_ID_COPY)));
        EXPECT_EQ(TextOf(GetDlgItem(dialog, ML_ID_SEND)), "&Send this error via Internet");
        Click(dialog, ML_ID_SEND);
        EXPECT_EQ(IsDlgButtonChecked(dialog, ML_ID_SEND), BST_UNCHECKED);
        EXPECT_FALSE(IsWindowEnabled(screenshot));
        Click(dialog, ML_ID_OK);
        ASSERT_TRUE(run.Join());
        EXPECT_TRUE(run.Result().SendOffered);
        EXPECT_FALSE(run.Result().SendChecked);
        EXPECT_TRUE(run.Result().SendUnchecked());
        EXPECT_FALSE(run.Result().ScreenshotChecked) << "a disabled box attaches nothing";
    }
    {
        TDialogRun run(Request());
        HWND dialog = run.Wait();
        ASSERT_NE(dialog, nullptr);
        Click(dialog, ML_ID_SEND);
        Click(dialog, ML_ID_SEND);  // checked again: the screenshot box comes back
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, ML_ID_SCREENSHOT)));
        Click(dialog, ML_ID_OK);
        ASSERT_TRUE(run.Join());
        EXPECT_TRUE(run.Result().SendChecked && run.Result().ScreenshotChecked);
        EXPECT_FALSE(run.Result().SendUnchecked());
    }
    TCrashDialogRequest duplicate = Request();
    duplicate.Duplicate = true;
    TDialogRun run(duplicate);
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, ML_ID_SEND))) << "a duplicate is not offered for sending";
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
    EXPECT_FALSE(run.Result().SendOffered || run.Result().SendUnchecked());
}

TEST_F(CrashDialog, InitialTabIsMappedOntoTheTabsThatExist) {
    TMishapModuleOptionsEx& o = CurrentMishapLogOptions();
    o.SetDialogFlags(dfShowDialog | dfOpenDetailed);
    o.SetLogFlags(0);  // neither Modules nor CPU
    o.SetInitialTab(4);
    context_.CustomData.clear();
    {
        TDialogRun run(Request());
        HWND dialog = run.Wait();
        ASSERT_NE(dialog, nullptr);
        HWND tabs = GetDlgItem(dialog, ML_ID_TABS);
        EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
        EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0) << "General";
        EXPECT_TRUE(IsWindowVisible(GetParent(PageBody(dialog, L"General Information"))));
        EXPECT_FALSE(IsWindowVisible(GetParent(PageBody(dialog, L"Call Stack Information"))));
        Click(dialog, ML_ID_OK);
        ASSERT_TRUE(run.Join());
    }
    context_.CustomData = "Шаблонов: 12";
    TDialogRun run(Request());
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    HWND tabs = GetDlgItem(dialog, ML_ID_TABS);
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 2) << "Other, moved left by the two missing tabs";
    HWND other = PageBody(dialog, L"Other Information");
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(IsWindowVisible(GetParent(other)));
    EXPECT_EQ(WideTextOf(other), L"Шаблонов: 12");
    // Changing the tab shows its page.
    SendMessageW(tabs, TCM_SETCURSEL, 1, 0);
    NMHDR change{tabs, ML_ID_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dialog, WM_NOTIFY, ML_ID_TABS, reinterpret_cast<LPARAM>(&change));
    EXPECT_TRUE(IsWindowVisible(GetParent(PageBody(dialog, L"Call Stack Information"))));
    EXPECT_FALSE(IsWindowVisible(GetParent(other)));
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
}

TEST_F(CrashDialog, TerminateAndRestartAreReportedAndTheBeforeTerminateEventCanKeepTheProcess) {
    TCrashDialogRequest request = Request();
    request.ExceptionCount = 3;  // ReportsBeforeTerminateButton 3: not yet
    {
        TDialogRun run(request);
        HWND dialog = run.Wait();
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, ML_ID_TERMINATE)));
        Click(dialog, ML_ID_OK);
        ASSERT_TRUE(run.Join());
    }
    request.ExceptionCount = 4;
    int calls = 0;
    request.BeforeTerminate = [&calls] { return ++calls > 1; };  // the first press is called off
    {
        TDialogRun run(request);
        HWND dialog = run.Wait();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, ML_ID_TERMINATE)));
        EXPECT_EQ(TextOf(GetDlgItem(dialog, ML_ID_TERMINATE)), "&Restart");
        Click(dialog, ML_ID_TERMINATE);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
        HWND again = run.Wait();
        ASSERT_NE(again, nullptr) << "shown again";
        EXPECT_EQ(calls, 1);
        Click(again, ML_ID_TERMINATE);
        ASSERT_TRUE(run.Join());
        EXPECT_EQ(calls, 2);
        EXPECT_TRUE(run.Result().TerminatePressed);
    }
    CurrentMishapLogOptions().SetTerminateAction(0);
    request.BeforeTerminate = nullptr;
    TDialogRun run(request);
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, ML_ID_TERMINATE)), "&Terminate");
    Click(dialog, ML_ID_TERMINATE);
    ASSERT_TRUE(run.Join());
    EXPECT_TRUE(run.Result().TerminatePressed);
    CurrentMishapLogOptions().SetShowTerminateButton(false);
    request.ExceptionCount = 100;
    TDialogRun hidden(request);
    dialog = hidden.Wait();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, ML_ID_TERMINATE)));
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(hidden.Join());
}

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(CrashDialog, KeepsInFrontOfTheProcessesOtherWindowsUnlessTopMostByOption) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuillanDialogTestWindow";
    RegisterClassW(&wc);
    HWND other = CreateWindowExW(0, wc.lpszClassName, L"Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 300, 200,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(other, nullptr);
    {
        TDialogRun run(Request());
        HWND dialog = run.Wait();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog; }));
        SetForegroundWindow(other);
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog; }, 1000)) << "back in front";
        EXPECT_FALSE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
        Click(dialog, ML_ID_OK);
        ASSERT_TRUE(run.Join());
    }
    CurrentMishapLogOptions().SetDialogFlags(CurrentMishapLogOptions().DialogFlags() | dfTopMost);
    TDialogRun run(Request());
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // The dialog's own activation comes first, so the user's choice below is the last word.
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog; }));
    SetForegroundWindow(other);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other; }, 1000));
    WaitUntil([] { return false; }, 300);  // thirty rounds of the keep-in-front timer
    EXPECT_EQ(GetForegroundWindow(), other) << "top-most by option: left where the user put it";
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
    DestroyWindow(other);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST_F(CrashDialog, SupportLinkDropsTopMostAndOpensThePageMaximised) {
    const std::wstring probe = ExeFolder() + L"crash_dialog_link_probe.exe";
    const std::wstring marker = ExeFolder() + L"link_probe.txt";
    DeleteFileW(marker.c_str());
    TMishapModuleOptionsEx& o = CurrentMishapLogOptions();
    o.SetSupportUrl(win::Narrow(probe));
    o.SetDialogFlags(dfShowDialog | dfTopMost | dfOwnColours);
    TDialogRun run(Request());
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) << "the library's own frame";
    WaitUntil([] { return false; }, 300);
    // The link is the dialog's blue text; find it on the screen and click its middle.
    const TScreenPicture picture = CaptureWindow(dialog);
    int left = picture.Width, right = -1, top = picture.Height, bottom = -1;
    for (int y = 0; y < picture.Height; ++y) {
        for (int x = 0; x < picture.Width; ++x) {
            if (picture.At(x, y) != 0x0000FF) continue;
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    ASSERT_GE(right, 0) << "no link drawn";
    EXPECT_EQ(picture.At(10, picture.Height - 5), 0xD4D0C8u) << "the library's own background";
    POINT click{(left + right) / 2, (top + bottom) / 2};
    const RECT window = WindowRect(dialog);
    click.x += window.left;
    click.y += window.top;
    ScreenToClient(dialog, &click);
    PostMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(click.x, click.y));
    PostMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(click.x, click.y));
    ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000));
    EXPECT_FALSE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    WaitUntil([] { return false; }, 300);
    HANDLE in = CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char text[32] = {};
    DWORD n = 0;
    ReadFile(in, text, sizeof text - 1, &n, nullptr);
    CloseHandle(in);
    EXPECT_STREQ(text, "show=3") << "SW_SHOWMAXIMIZED";
    // A press outside the link opens nothing.
    DeleteFileW(marker.c_str());
    PostMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(click.x, click.y));
    WaitUntil([] { return false; }, 1500);
    EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES);
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
}

TEST_F(CrashDialog, PagesReadBackThroughTheRichEditAndListsOpenAndCloseGroups) {
    CurrentMishapLogOptions().SetDialogFlags(dfShowDialog | dfOpenDetailed);
    TDialogRun run(Request());
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    HWND general = PageBody(dialog, L"General Information");
    ASSERT_NE(general, nullptr);
    std::wstring text = RichText(general);
    std::erase(text, L'\r');
    EXPECT_NE(text.find(L"Application:\n 1.1\tStart Date\t2024-05-06 09:10:11\n"), std::wstring::npos)
        << win::Narrow(text);
    EXPECT_NE(text.find(L" 2.5\tMessage\tОтказ в доступе {по адресу} 00401A2B.\n\t\tЧтение адреса 00000000.\n"),
              std::wstring::npos)
        << win::Narrow(text);
    EXPECT_NE(text.find(L" 3.2\tForm Text\tНастройки\n"), std::wstring::npos);
    // Colours of the header's table: titles teal and bold, values dark blue.
    const std::wstring raw = RichText(general);
    auto formatAt = [&](const std::wstring& what) {
        CHARFORMATW format{};
        format.cbSize = sizeof format;
        const size_t at = raw.find(what);
        SendMessageW(general, EM_SETSEL, at, at + 1);
        SendMessageW(general, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        return format;
    };
    CHARFORMATW title = formatAt(L"Exception:");
    EXPECT_EQ(title.crTextColor, RGB(0, 100, 100));
    EXPECT_TRUE(title.dwEffects & CFE_BOLD);
    CHARFORMATW value = formatAt(L"EAccessViolation");
    EXPECT_EQ(value.crTextColor, RGB(0, 0, 160));
    EXPECT_FALSE(value.dwEffects & CFE_BOLD);
    EXPECT_EQ(formatAt(L"Form Text").crTextColor, RGB(40, 40, 40));

    HWND cpu = PageBody(dialog, L"CPU Information");
    ASSERT_NE(cpu, nullptr);
    text = RichText(cpu);
    std::erase(text, L'\r');
    EXPECT_NE(text.find(L"EAX:\t00000001\tEDI:\t00401A2B\n"), std::wstring::npos) << win::Narrow(text);
    EXPECT_NE(
        text.find(
            L"0012FE80:\t00400000\t00401A2B:\t48 65 6C 6C 6F 20 7B 63 72 61 73 68 7D 20 5C 20\tHello {crash} \\ \n"),
        std::wstring::npos)
        << win::Narrow(text);

    HWND stack = PageBody(dialog, L"Call Stack Information");
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(SendMessageW(stack, LVM_GETITEMCOUNT, 0, 0), 3 + 8) << "three threads, eight entries";
    // A click on the first thread's row closes its five entries, a second one opens them.
    auto clickRow = [&](int row) {
        RECT r{};
        r.left = LVIR_BOUNDS;
        SendMessageW(stack, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM(r.left + 40, (r.top + r.bottom) / 2);
        SendMessageW(stack, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(stack, WM_LBUTTONUP, 0, at);
    };
    clickRow(0);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(stack, LVM_GETITEMCOUNT, 0, 0) == 6; }, 2000));
    clickRow(0);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(stack, LVM_GETITEMCOUNT, 0, 0) == 11; }, 2000));
    clickRow(3);  // an entry: nothing changes
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(SendMessageW(stack, LVM_GETITEMCOUNT, 0, 0), 11);
    HWND modules = PageBody(dialog, L"Modules Information");
    EXPECT_EQ(SendMessageW(modules, LVM_GETITEMCOUNT, 0, 0), 4);
    wchar_t title6[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = title6;
    column.cchTextMax = 64;
    SendMessageW(modules, LVM_GETCOLUMNW, 5, reinterpret_cast<LPARAM>(&column));
    EXPECT_STREQ(title6, L"Path");
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
}

TEST_F(CrashDialog, CaptionsComeFromTheTextsInCyrillicToo) {
    TMishapModuleOptionsEx& o = CurrentMishapLogOptions();
    o.SetText(TMishapText::ErrorCaption, "Ошибка.");
    o.SetText(TMishapText::OkButton, "&Готово");
    o.SetText(TMishapText::DetailsButton, "&Подробно");
    o.SetText(TMishapText::CopyToClipboardCheck, "&Копировать");
    o.SetText(TMishapText::GeneralTab, "Общее");
    TDialogRun run(Request());
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    // The title as the system keeps and draws it (asking the ANSI dialog would pass it through the
    // ANSI code page).
    wchar_t title[64] = {};
    InternalGetWindowText(dialog, title, 64);
    EXPECT_STREQ(title, L"Ошибка.");
    EXPECT_EQ(WideTextOf(GetDlgItem(dialog, ML_ID_OK)), L"&Готово");
    EXPECT_EQ(WideTextOf(GetDlgItem(dialog, ML_ID_DETAILS)), L"&Подробно >>");
    EXPECT_EQ(WideTextOf(GetDlgItem(dialog, ML_ID_COPY)), L"&Копировать");
    EXPECT_EQ(WideTextOf(GetDlgItem(dialog, ML_ID_MESSAGE)), win::Wide(context_.Values[TReportItem::ExceptionMessage]));
    wchar_t tab[32] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = tab;
    item.cchTextMax = 32;
    SendMessageW(GetDlgItem(dialog, ML_ID_TABS), TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(tab, L"Общее");
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
}

// Every WM_PAINT of the crash dialog's own window is taken away, as on a desktop that cannot show it.
LRESULT CALLBACK SwallowDialogPaint(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code >= 0 && wParam == PM_REMOVE && msg->message == WM_PAINT && GetDlgItem(msg->hwnd, ML_ID_TABS)) {
        ValidateRect(msg->hwnd, nullptr);
        msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The stop box a dialog that could not be shown leaves; its text, or empty when none came.
std::wstring TakeFallbackBox(const TDialogThread& thread) {
    // The message box's text is its static 0xFFFF; the crash dialog, titled alike, has none.
    HWND box = thread.WaitForWindow([](HWND w) { return WideTextOf(w) == L"Error." && GetDlgItem(w, 0xFFFF); });
    if (!box) return {};
    // MB_TOPMOST is asked for; Wine's message box does not honour it (checked with a bare
    // MessageBoxW), so the style is not an oracle here.
    std::wstring text = WideTextOf(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return text;
}

TEST_F(CrashDialog, ADialogThatCannotBeShownFallsBackToAStopBoxAndWarns) {
    HHOOK hook = nullptr;
    {
        TDialogRun run(Request(), [&hook] {
            hook = SetWindowsHookExW(WH_GETMESSAGE, SwallowDialogPaint, nullptr, GetCurrentThreadId());
        });
        EXPECT_EQ(TakeFallbackBox(run.Thread()), win::Wide(context_.Values[TReportItem::ExceptionMessage]));
        ASSERT_TRUE(run.Join());
        EXPECT_EQ(run.Error(), "Cannot show the DialogBox window.");
        UnhookWindowsHookEx(hook);
    }
    TCrashDialogRequest request = Request();
    request.ResourceModule = reinterpret_cast<TAddress>(GetModuleHandleW(L"kernel32.dll"));  // no templates there
    TDialogRun run(request);
    EXPECT_EQ(TakeFallbackBox(run.Thread()), win::Wide(context_.Values[TReportItem::ExceptionMessage]));
    ASSERT_TRUE(run.Join());
    EXPECT_EQ(run.Error(), "Cannot show the DialogBox window.");
}

// An exception inside the dialog's message handling (here out of memory while it lays out the
// expanded form) closes it with the boxes as the user left them, and is handed back for the
// driver's "GUI" warning: a report the user asked to send is sent, one they cleared is not.
TEST_F(CrashDialog, AFailureInsideTheDialogKeepsWhatTheUserChose) {
    TMishapModuleOptionsEx& o = CurrentMishapLogOptions();
    o.SetUploadMethod(1);
    o.SetSendFlags(sfAttachScreenshot);
    for (const bool startChecked : {false, true}) {
        SCOPED_TRACE(startChecked);
        o.SetDialogFlags(dfShowDialog | dfShowDetailsButton | dfShowCopyToClipboard |
                         (startChecked ? dfSendChecked | dfAttachScreenshotChecked : 0));
        TDialogRun run(Request());
        HWND dialog = run.Wait();
        ASSERT_NE(dialog, nullptr);
        Click(dialog, ML_ID_SEND);  // the user turns sending on, or off
        Click(dialog, ML_ID_COPY);
        UpdateWindow(dialog);  // shown and painted
        FailNextAllocationOn(run.Thread().ThreadId());
        Click(dialog, ML_ID_DETAILS);
        ASSERT_TRUE(run.Join());
        FailNextAllocationOn(0);
        EXPECT_EQ(run.Error(), "");
        const TCrashDialogResult& result = run.Result();
        EXPECT_TRUE(result.SendOffered);
        EXPECT_EQ(result.SendChecked, !startChecked);
        EXPECT_EQ(result.SendUnchecked(), startChecked);
        EXPECT_FALSE(result.ScreenshotChecked);
        EXPECT_TRUE(result.CopyToClipboard);
        EXPECT_FALSE(result.TerminatePressed);
        ASSERT_TRUE(result.Failure);
        EXPECT_THROW(std::rethrow_exception(result.Failure), std::bad_alloc);
    }
}

// The same in the reproduction request: the text written so far is kept.
TEST(ReproductionRequest, AFailureInsideTheRequestKeepsTheTextWritten) {
    TMishapModuleOptions options;
    std::string steps = "untouched";
    std::exception_ptr failure;
    bool given = false;
    TDialogThread thread([&] { given = AskReproductionSteps(options, steps, 0, &failure); });
    HWND request = thread.WaitForWindow();
    ASSERT_NE(request, nullptr);
    SetWindowTextW(GetDlgItem(request, ML_ID_REQUEST_TEXT), L"Нажать Ctrl+Win+H");
    FailNextAllocationOn(thread.ThreadId());
    Click(request, ML_ID_OK);
    ASSERT_TRUE(thread.Join());
    FailNextAllocationOn(0);
    ASSERT_TRUE(failure);
    EXPECT_THROW(std::rethrow_exception(failure), std::bad_alloc);
    EXPECT_TRUE(given);
    EXPECT_EQ(steps, "Нажать Ctrl+Win+H");
}

TEST(ReproductionRequest, EnteredTextComesBackAndBlankTextIsNone) {
    TMishapModuleOptions options;
    for (const std::wstring& typed : {std::wstring(L"Нажать Ctrl+Win+H\r\nвыбрать шаблон"), std::wstring(L" \r\n ")}) {
        std::string steps = "untouched";
        bool given = false;
        TDialogThread thread([&] { given = AskReproductionSteps(options, steps); });
        HWND request = thread.WaitForWindow();
        ASSERT_NE(request, nullptr);
        EXPECT_EQ(TextOf(request), "Request");
        EXPECT_EQ(TextOf(GetDlgItem(request, ML_ID_REQUEST_LABEL)),
                  "Please describe the steps to reproduce the error:");
        EXPECT_EQ(TextOf(GetDlgItem(request, ML_ID_OK)), "&OK");
        SetWindowTextW(GetDlgItem(request, ML_ID_REQUEST_TEXT), typed.c_str());
        Click(request, ML_ID_OK);
        ASSERT_TRUE(thread.Join());
        if (typed[0] == L' ') {
            EXPECT_FALSE(given);
            EXPECT_EQ(steps, "untouched");
        } else {
            EXPECT_TRUE(given);
            EXPECT_EQ(steps, "Нажать Ctrl+Win+H\r\nвыбрать шаблон");
        }
    }
}

TEST(SendProgressBox, OpensOnItsOwnThreadShowsStatusAndProgressAndCloses) {
    TMishapModuleOptions options;
    TSendProgressBox box(options.Text(TMishapText::SendCaption));
    EXPECT_FALSE(box.IsOpen());
    ASSERT_TRUE(box.Open());
    EXPECT_TRUE(TSendProgressBox::AnyOpen());
    HWND window = static_cast<HWND>(box.Window());
    ASSERT_TRUE(IsWindow(window));
    EXPECT_NE(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), box.ThreadId());
    EXPECT_EQ(TextOf(window), "Send.");
    box.SetStatus(options.Text(TMishapText::ResolvingDns));
    EXPECT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(window, ML_ID_SERVER_STATUS)) == "Resolving DNS..."; }));
    box.SetStatus(options.Text(TMishapText::SendingMessage));
    box.SetPosition(40);
    EXPECT_TRUE(WaitUntil([&] { return SendDlgItemMessageW(window, ML_ID_SERVER_PROGRESS, PBM_GETPOS, 0, 0) == 40; }));
    EXPECT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(window, ML_ID_SERVER_STATUS)) == "Sending message..."; }));
    box.SetPosition(250);
    EXPECT_TRUE(WaitUntil([&] { return SendDlgItemMessageW(window, ML_ID_SERVER_PROGRESS, PBM_GETPOS, 0, 0) == 100; }));
    box.Close();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(box.IsOpen());
    EXPECT_FALSE(TSendProgressBox::AnyOpen());
    box.Close();

    TSendProgressBox plain;
    ASSERT_TRUE(plain.Open());
    EXPECT_EQ(TextOf(static_cast<HWND>(plain.Window())), "SMTP sending...");
    TSendProgressBox missing({}, reinterpret_cast<TAddress>(GetModuleHandleW(L"kernel32.dll")));
    EXPECT_FALSE(missing.Open()) << "no template: no box, no wait";
}

// Runs the CGI test host with its standard output going to output (a pipe or a file).
struct HostRun {
    DWORD exitCode = 0;
    std::string outcome;
};
HostRun RunCgiHost(HANDLE output, bool cgi, const char* mode = "report") {
    const std::wstring folder = ExeFolder();
    const std::wstring outcomeFile = folder + L"cgi_outcome.txt";
    DeleteFileW(outcomeFile.c_str());
    if (cgi) SetEnvironmentVariableW(L"GATEWAY_INTERFACE", L"CGI/1.1");
    std::wstring command = L"\"" + folder + L"crash_dialog_cgi_host.exe\" \"" + outcomeFile + L"\" " + win::Wide(mode);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(L"GATEWAY_INTERFACE", nullptr);
    HostRun run;
    EXPECT_TRUE(started);
    if (!started) return run;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 30000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    HANDLE in = CreateFileW(outcomeFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char text[256] = {};
    DWORD n = 0;
    ReadFile(in, text, sizeof text - 1, &n, nullptr);
    CloseHandle(in);
    run.outcome = text;
    return run;
}

TEST(WebPage, ACgiHostAnswersWithTheErrorPage) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    for (const char* mode : {"report", "message"}) {
        HANDLE read = nullptr, write = nullptr;
        ASSERT_TRUE(CreatePipe(&read, &write, &inherit, 1 << 20));
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        const HostRun run = RunCgiHost(write, true, mode);
        CloseHandle(write);
        std::string output;
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0) output.append(buffer, n);
        CloseHandle(read);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.outcome, "ok");
        // A CGI answer: header lines, an empty line, then exactly Content-Length bytes.
        const size_t end = output.find("\r\n\r\n");
        ASSERT_NE(end, std::string::npos) << output;
        const std::string header = output.substr(0, end + 2);
        const std::string body = output.substr(end + 4);
        EXPECT_EQ(header.rfind("Status: 200 Error\r\n", 0), 0u) << header;
        EXPECT_NE(header.find("\r\nContent-Type: text/html\r\n"), std::string::npos);
        EXPECT_NE(header.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos)
            << header;
        EXPECT_EQ(body.rfind("<HTML><HEAD><title>Error.</title></HEAD><BODY>\r\n", 0), 0u) << body;
        EXPECT_EQ(body.find("<%"), std::string::npos);
        EXPECT_NE(body.find("</BODY></HTML><!-- MishapLog ID: 20240506091213-3 -->"), std::string::npos);
        if (std::string(mode) == "message") {
            EXPECT_NE(body.find("Division by zero in &lt;Total&gt; &amp; &quot;Sum&quot;<br>\r\n&nbsp;&nbsp;at line 7"
                                "<br><input type=button value=\"Ok\" OnClick=\"history.go(-1)\""),
                      std::string::npos)
                << body;
        } else {
            EXPECT_NE(body.find("An error has occurred during program execution.<br>\r\n"), std::string::npos);
            EXPECT_NE(body.find("the report&#039;s text<br>\r\n"), std::string::npos) << body;
            EXPECT_EQ(body.find("<input"), std::string::npos);
        }
    }
    // Not a CGI process: no page.
    EXPECT_EQ(RunCgiHost(GetStdHandle(STD_OUTPUT_HANDLE), false).outcome, "none");
    // An output that cannot be written: the warning.
    const std::wstring readOnly = ExeFolder() + L"cgi_readonly.txt";
    HANDLE file = CreateFileW(readOnly.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    file = CreateFileW(readOnly.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RunCgiHost(file, true).outcome, "warning=CGI: Cannot write in the ouput file.");
    CloseHandle(file);
    DeleteFileW(readOnly.c_str());
    EXPECT_EQ(DetectWebHost(), TWebHost::None) << "the test program itself";
}

}  // namespace
}  // namespace quillan::crash::test
