// The built program under Wine, resident in the tray: while idle, and while the template menu
// comes and goes, it holds no common controls library; the tray menu, with its pictures, and the
// options dialog load it when they first open, in the version the manifest names, and the dialog
// works with it: its tree lists the templates, its buttons are the library's own.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "framework/win/text.h"
#include "tests/support/temp_dir.h"

namespace quillan::test {
namespace {

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() > until) return false;
        Sleep(20);
    }
}

struct TWindowSearch {
    const wchar_t* ClassName;
    DWORD Process;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TWindowSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (lstrcmpiW(className, search->ClassName) == 0 && owner == search->Process) search->Found.push_back(hwnd);
    return TRUE;
}

// The process's top-level windows of a class; visible ones only when asked.
std::vector<HWND> Windows(const wchar_t* className, DWORD process, bool visibleOnly) {
    TWindowSearch search = {className, process, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    if (visibleOnly) std::erase_if(search.Found, [](HWND w) { return !IsWindowVisible(w); });
    return search.Found;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TWindowSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    if (lstrcmpiW(className, search->ClassName) == 0) search->Found.push_back(hwnd);
    return TRUE;
}

// The children of a window of a class.
std::vector<HWND> Children(HWND parent, const wchar_t* className) {
    TWindowSearch search = {className, 0, {}};
    EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// The process's module of that file name (any folder), as the system lists it; nullptr when none.
HMODULE LoadedModule(HANDLE process, const wchar_t* fileName, std::wstring* path = nullptr) {
    HMODULE modules[512] = {};
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules, sizeof(modules), &needed)) return nullptr;
    const DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), 512);
    for (DWORD i = 0; i < count; ++i) {
        HMODULE module = modules[i];
        wchar_t full[MAX_PATH] = {};
        if (!GetModuleFileNameExW(process, module, full, MAX_PATH)) continue;
        const wchar_t* base = wcsrchr(full, L'\\');
        if (lstrcmpiW(base ? base + 1 : full, fileName) != 0) continue;
        if (path) *path = full;
        return module;
    }
    return nullptr;
}

// What the loader gives this process for comctl32 and the "Button" class under the program's own
// manifest (the library it names, the class it redirects to), and without it. Call before this
// process loads comctl32 otherwise.
struct TManifestChoice {
    std::wstring Library;
    ATOM Button = 0;
    ATOM PlainButton = 0;
    std::wstring PlainLibrary;
};

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

ATOM ButtonAtom() {
    HWND button = CreateWindowExW(0, L"Button", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ATOM atom = static_cast<ATOM>(GetClassLongW(button, GCW_ATOM));
    DestroyWindow(button);
    return atom;
}

TManifestChoice ManifestChoice(const std::wstring& program) {
    TManifestChoice choice;
    choice.PlainButton = ButtonAtom();
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    choice.PlainLibrary = std::wstring(system) + L"\\comctl32.dll";
    ACTCTXW context = {};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE handle = CreateActCtxW(&context);
    ULONG_PTR cookie = 0;
    if (handle == INVALID_HANDLE_VALUE || !ActivateActCtx(handle, &cookie)) return choice;
    choice.Library = ModulePath(LoadLibraryW(L"comctl32.dll"));
    choice.Button = ButtonAtom();
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(handle);
    return choice;
}

void Tap(BYTE vk) {
    const DWORD extended = vk == VK_DOWN || vk == VK_UP ? KEYEVENTF_EXTENDEDKEY : 0;
    keybd_event(vk, static_cast<BYTE>(MapVirtualKeyW(vk, 0)), extended, 0);
    keybd_event(vk, static_cast<BYTE>(MapVirtualKeyW(vk, 0)), extended | KEYEVENTF_KEYUP, 0);
}

void PressHotkey(BYTE key) {
    auto send = [](BYTE vk, bool up, DWORD extended) {
        keybd_event(vk, static_cast<BYTE>(MapVirtualKeyW(vk, 0)), (up ? KEYEVENTF_KEYUP : 0) | extended, 0);
    };
    send(VK_CONTROL, false, 0);
    send(VK_LWIN, false, KEYEVENTF_EXTENDEDKEY);
    send(key, false, 0);
    send(key, true, 0);
    send(VK_LWIN, true, KEYEVENTF_EXTENDEDKEY);
    send(VK_CONTROL, true, 0);
}

void ResetSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quillan"); }

class IdleProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        const std::wstring program = win::Wide(std::string("Z:") + QUILLAN_PROGRAM);
        ASSERT_TRUE(CopyFileW(program.c_str(), win::Wide(dir_.Path() + "Quillan.exe").c_str(), FALSE));
        const std::string hot =
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n"
            "  <Application>Общие</Application>\r\n"
            "  <Template><MenuCaption>Письмо</MenuCaption><TemplateText>Добрый день</TemplateText></Template>\r\n"
            " </Templates>\r\n</HOT>\r\n";
        HANDLE file = CreateFileW(win::Wide(dir_.Path() + "hot.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, hot.data(), static_cast<DWORD>(hot.size()), &written, nullptr);
        CloseHandle(file);
    }
    void TearDown() override {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 0);
            WaitForSingleObject(process_.hProcess, 5000);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
        ResetSettings();
    }

    // Started, with its tray icon, and past the start-up run.
    bool Start() {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring exe = win::Wide(dir_.Path() + "Quillan.exe");
        std::wstring folder = win::Wide(dir_.Path());
        if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                            &process_))
            return false;
        WaitForInputIdle(process_.hProcess, 20000);
        bool resident = WaitFor([&] { return !Windows(L"TTrayCallbackWindow", Id(), false).empty(); }, 20000);
        Sleep(2000);
        return resident;
    }
    DWORD Id() const { return process_.dwProcessId; }
    HMODULE ComCtl(std::wstring* path = nullptr) { return LoadedModule(process_.hProcess, L"comctl32.dll", path); }
    bool MenuShown() { return !Windows(L"#32768", Id(), true).empty(); }

    TempDir dir_;
    PROCESS_INFORMATION process_ = {};
};

TEST_F(IdleProgram, LoadsTheCommonControlsOnlyForTheTrayMenuAndTheOptionsDialog) {
    ASSERT_TRUE(Start());
    // Idle in the tray: the program's modules are listed, and the library is not among them.
    ASSERT_NE(LoadedModule(process_.hProcess, L"Quillan.exe"), nullptr);
    EXPECT_EQ(ComCtl(), nullptr);

    // The template menu at the hotkey (a press may come too early after the start: pressed until
    // taken) needs none either.
    ULONGLONG nextPress = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (MenuShown()) return true;
            if (GetTickCount64() >= nextPress) {
                PressHotkey('H');
                nextPress = GetTickCount64() + 3000;
            }
            return false;
        },
        20000));
    Tap(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !MenuShown(); }, 10000));
    EXPECT_EQ(ComCtl(), nullptr);

    // The tray menu: a single left click on the icon opens it, with its pictures.
    HWND tray = Windows(L"TTrayCallbackWindow", Id(), false).front();
    PostMessageW(tray, WM_USER + 1, 1, WM_LBUTTONDOWN);
    PostMessageW(tray, WM_USER + 1, 1, WM_LBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return MenuShown(); }, 10000));
    std::wstring path;
    EXPECT_NE(ComCtl(&path), nullptr);
    // The version the manifest names, though loaded long after the start.
    const TManifestChoice manifest = ManifestChoice(win::Wide(dir_.Path() + "Quillan.exe"));
    ASSERT_FALSE(manifest.Library.empty());
    ASSERT_NE(lstrcmpiW(manifest.Library.c_str(), manifest.PlainLibrary.c_str()), 0);
    EXPECT_EQ(lstrcmpiW(path.c_str(), manifest.Library.c_str()), 0) << win::Narrow(path);

    // "Настройки", the second item, opens the options dialog.
    Tap(VK_DOWN);
    Tap(VK_DOWN);
    Tap(VK_RETURN);
    std::vector<HWND> forms;
    ASSERT_TRUE(WaitFor([&] { return !(forms = Windows(L"TOptionForm", Id(), true)).empty(); }, 15000));
    HWND form = forms.front();
    // Its tree lists the template file's group and template.
    std::vector<HWND> trees;
    ASSERT_TRUE(WaitFor([&] { return !(trees = Children(form, WC_TREEVIEWW)).empty(); }, 5000));
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(trees.front(), TVM_GETCOUNT, 0, 0) >= 2; }, 5000))
        << SendMessageW(trees.front(), TVM_GETCOUNT, 0, 0);
    // Its buttons are of the class the manifest redirects "Button" to: the library's, which draws
    // them in the system's style.
    std::vector<HWND> buttons = Children(form, L"Button");
    ASSERT_FALSE(buttons.empty());
    ASSERT_NE(manifest.Button, manifest.PlainButton);
    for (HWND button : buttons)
        EXPECT_EQ(GetClassLongW(button, GCW_ATOM), manifest.Button) << win::GetWindowTextA1251(button);
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return Windows(L"TOptionForm", Id(), true).empty(); }, 10000));
}

}  // namespace
}  // namespace quillan::test
