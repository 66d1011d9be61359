// End to end with the built program under Wine: a malformed hot.ini and the hotkey give one
// report in Quillan.mlf beside the program, whose stack runs from the XML reader through the
// hotkey handler; Quillan stays resident, its tray icon shows a balloon, its menu comes with the
// problem in it, and the same press again adds no second report.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/crash/capture/probe_runner.h"

namespace quillan::test {
namespace {

struct TWindowSearch {
    const wchar_t* ClassName;
    DWORD Process;  // 0: any
    bool VisibleOnly;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectWindows(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TWindowSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (lstrcmpiW(className, search->ClassName) == 0 && (!search->Process || owner == search->Process) &&
        (!search->VisibleOnly || IsWindowVisible(hwnd)))
        search->Found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Windows(const wchar_t* className, DWORD process, bool visibleOnly) {
    TWindowSearch search = {className, process, visibleOnly, {}};
    EnumWindows(&CollectWindows, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(win::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The minimum run before a failure restarts Quillan, in seconds, when set in its environment (a minute
// otherwise).
constexpr wchar_t kRestartMinimumVariable[] = L"QUILLAN_RESTART_MINIMUM";

// Quillan's settings at their defaults: the template file beside the program, Ctrl + Win + H.
void ResetSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quillan"); }

class QuillanResident : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        const std::string program = std::string("Z:") + QUILLAN_PROGRAM;
        ASSERT_TRUE(CopyFileW(win::Wide(program).c_str(), win::Wide(dir_.Path() + "Quillan.exe").c_str(), FALSE));
    }
    void TearDown() override {
        SetEnvironmentVariableW(kRestartMinimumVariable, nullptr);
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 0);
            WaitForSingleObject(process_.hProcess, 5000);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
        ResetSettings();
    }

    bool Start() {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring exe = win::Wide(dir_.Path() + "Quillan.exe");
        std::wstring folder = win::Wide(dir_.Path());
        if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                            &process_))
            return false;
        // Resident once its tray icon's window exists; the start-up run may still be under way.
        bool resident =
            WaitFor([&] { return !Windows(L"TTrayCallbackWindow", process_.dwProcessId, false).empty(); }, 20000);
        Sleep(1500);
        return resident;
    }
    bool Running() { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    crash::TLogFile Log() { return ReadLog(dir_.Path() + "Quillan.mlf"); }

    TempDir dir_;
    PROCESS_INFORMATION process_ = {};
};

TEST_F(QuillanResident, AMalformedTemplateFileAtTheHotkeyIsReportedOnceAndShownInABalloon) {
    WriteFile(dir_.Path() + "hot.ini",
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n"
              "  <Application>notepad.exe</Application>\r\n  <Template><MenuCaption>Письмо</MenuCaption>\r\n"
              " </Templates>\r\n</HOT>\r\n");
    ASSERT_TRUE(Start());
    const size_t balloonsBefore = Windows(L"tooltips_class32", 0, true).size();

    // A press while the start-up run is still under way is ignored by design: press until one is taken.
    ULONGLONG nextPress = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (Log().Count() == 1) return true;
            if (GetTickCount64() >= nextPress) {
                PressHotkey('H');
                nextPress = GetTickCount64() + 4000;
            }
            return false;
        },
        30000));
    crash::TLogFile log = Log();
    EXPECT_EQ(log.ItemValue(0, "2.4"), "ESimpleXMLError");
    EXPECT_EQ(log.ItemValue(0, "2.3"), "Quillan.exe");
    const std::string message = log.ItemValue(0, "2.5").value_or("");
    EXPECT_FALSE(message.empty());

    // From the reader, through the template load and the menu build, to the hotkey handler.
    auto rows = ExceptionRows(log.Report(0));
    ASSERT_FALSE(rows.empty()) << log.Report(0);
    EXPECT_EQ(rows.front().Unit.rfind("components/xml/", 0), 0u) << Describe(rows);
    auto find = [&](const std::string& unit, const std::string& procedure) {
        for (size_t i = 0; i < rows.size(); ++i) {
            // A free function is named with its namespaces ("quillan::LoadTemplates").
            const std::string& name = rows[i].Procedure;
            const bool named = name == procedure || (name.size() > procedure.size() + 2 &&
                                                     name.compare(name.size() - procedure.size() - 2, std::string::npos,
                                                                  "::" + procedure) == 0);
            if (rows[i].Unit == unit && named) return static_cast<int>(i);
        }
        return -1;
    };
    const int load = find("engine/store/template_loader.cpp", "LoadTemplates");
    const int build = find("app/main_form_win.cpp", "BuildTemplateMenu");
    const int hotkey = find("app/main_form_win.cpp", "OnHotKey");
    EXPECT_GT(load, 0) << Describe(rows);
    EXPECT_GT(build, load) << Describe(rows);
    EXPECT_GT(hotkey, build) << Describe(rows);
    EXPECT_NE(rows.front().Thread.find("[Main]"), std::string::npos);

    // Still resident; the balloon tells the user why no template came, and the menu comes with
    // the problem and "Настройки" in it. Escape closes it.
    EXPECT_TRUE(Running());
    EXPECT_TRUE(WaitFor([&] { return Windows(L"tooltips_class32", 0, true).size() > balloonsBefore; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return !Windows(L"#32768", process_.dwProcessId, true).empty(); }, 10000));
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(WaitFor([&] { return Windows(L"#32768", process_.dwProcessId, true).empty(); }, 10000));

    // The same press again: the same failure is not stored twice.
    PressHotkey('H');
    Sleep(3000);
    EXPECT_EQ(Log().Count(), 1);
    EXPECT_TRUE(Running());
    // Nothing else of the configuration shows: no box of Quillan's.
    EXPECT_TRUE(Windows(L"#32770", process_.dwProcessId, true).empty());
}

// A thread of Quillan's that jumps to address 1: an access violation nobody handles.
void FaultIn(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    ASSERT_NE(process, nullptr);
    HANDLE thread =
        CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(1), nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    CloseHandle(thread);
    CloseHandle(process);
}

// The process of a Quillan tray icon other than except's; 0 when none.
DWORD OtherResident(DWORD except) {
    for (HWND tray : Windows(L"TTrayCallbackWindow", 0, false)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(tray, &owner);
        if (owner != except) return owner;
    }
    return 0;
}

// The texts of the visible balloons (tooltip windows) of every process.
std::vector<std::string> BalloonTexts() {
    std::vector<std::string> texts;
    for (HWND tip : Windows(L"tooltips_class32", 0, true)) {
        wchar_t text[1024] = {};
        DWORD_PTR length = 0;
        if (SendMessageTimeoutW(tip, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &length))
            texts.push_back(win::Narrow(text));
    }
    return texts;
}

void EndProcess(DWORD id) {
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

// A fault soon after the start (as one in the start-up run would be) ends Quillan instead of
// restarting it, so a program that fails at every start does not restart for ever. The minute as
// shipped: nothing shortens it here.
TEST_F(QuillanResident, AFaultWithinAMinuteOfTheStartEndsTheProgramWithoutARestart) {
    WriteFile(dir_.Path() + "hot.ini", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT/>\r\n");
    ASSERT_EQ(GetEnvironmentVariableW(kRestartMinimumVariable, nullptr, 0), 0u);
    ASSERT_TRUE(Start());
    const DWORD first = process_.dwProcessId;
    FaultIn(first);
    ASSERT_EQ(WaitForSingleObject(process_.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    EXPECT_EQ(code, 1u);
    Sleep(5000);
    const DWORD second = OtherResident(first);
    EXPECT_EQ(second, 0u);
    if (second) EndProcess(second);
    crash::TLogFile log = Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EAccessViolation");
}

// After the minimum run, a fault restarts Quillan; the new instance comes back to the tray and
// says once, in a balloon, that it was restarted and where the report is. The minimum is lowered
// to 8 s through the environment so that the test need not wait out the minute.
TEST_F(QuillanResident, AFaultAfterTheMinimumRunRestartsTheProgramWhichSaysSoWithTheLogsPath) {
    WriteFile(dir_.Path() + "hot.ini", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT/>\r\n");
    ASSERT_TRUE(SetEnvironmentVariableW(kRestartMinimumVariable, L"8"));
    const ULONGLONG started = GetTickCount64();
    ASSERT_TRUE(Start());
    const DWORD first = process_.dwProcessId;
    const ULONGLONG ran = GetTickCount64() - started;
    if (ran < 12000) Sleep(static_cast<DWORD>(12000 - ran));
    FaultIn(first);

    // Reported, ended with exit code 1, and started again: a new resident with its tray icon.
    ASSERT_EQ(WaitForSingleObject(process_.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    EXPECT_EQ(code, 1u);
    DWORD second = 0;
    EXPECT_TRUE(WaitFor([&] { return (second = OtherResident(first)) != 0; }, 20000));
    crash::TLogFile log = Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EAccessViolation");
    // The log's path as the program names it: its folder, which is the test's.
    const std::string logPath = dir_.Path() + "Quillan.mlf";
    std::vector<std::string> texts;
    const bool told = WaitFor(
        [&] {
            texts = BalloonTexts();
            for (const std::string& text : texts) {
                if (text.find("перезапущен после сбоя") != std::string::npos && text.find(logPath) != std::string::npos)
                    return true;
            }
            return false;
        },
        15000);
    std::string seen;
    for (const std::string& text : texts) seen += "[" + text + "] ";
    EXPECT_TRUE(told) << seen;
    if (second) EndProcess(second);
}

}  // namespace
}  // namespace quillan::test
