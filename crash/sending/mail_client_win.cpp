// The mail-client path: Simple MAPI through the client's own library, then its "mailto:" command.
#include <windows.h>
#include <mapi.h>

#include <algorithm>
#include <vector>

#include "crash/sending/mailto.h"
#include "crash/sending/send_platform_win.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"
#include "framework/win/text.h"
#include "framework/win/window_win.h"

namespace quillan::crash {

namespace {

// A text value of a registry key, environment strings expanded; empty when missing.
std::wstring RegText(HKEY root, const std::wstring& key, const wchar_t* name) {
    // RegGetValue refuses REG_EXPAND_SZ without RRF_NOEXPAND: the expansion is done here.
    constexpr DWORD kFlags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    DWORD size = 0, type = 0;
    if (RegGetValueW(root, key.c_str(), name, kFlags, &type, nullptr, &size) != ERROR_SUCCESS || size < sizeof(wchar_t))
        return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(root, key.c_str(), name, kFlags, &type, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(wcsnlen(value.c_str(), value.size()));
    if (type != REG_EXPAND_SZ) return value;
    std::wstring expanded(32768, L'\0');
    const DWORD n = ExpandEnvironmentStringsW(value.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (n == 0 || n > expanded.size()) return value;
    expanded.resize(n - 1);
    return expanded;
}

}  // namespace

std::string MapiLibraryPath() {
    const std::wstring client = RegText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\Mail", nullptr);
    if (!client.empty()) {
        const std::wstring dll = RegText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\Mail\\" + client, L"DLLPath");
        if (!dll.empty()) return win::Narrow(dll);
    }
    return "mapi32.dll";
}

bool SendMapiMail(const TMapiMail& mail, unsigned flags, std::string& failure) {
    // The user's mail client, as the registry names it now; loaded for this one mail.
    const std::wstring libraryPath = win::Wide(MapiLibraryPath());
    win::TProcLibrary library(libraryPath.c_str(), win::TProcLibrary::TOpen::Scoped);
    const win::TProc<LPMAPILOGON> logonProc(library, "MAPILogon");
    const win::TProc<LPMAPISENDMAIL> sendProc(library, "MAPISendMail");
    const win::TProc<LPMAPILOGOFF> logoffProc(library, "MAPILogoff");
    if (!library.Module()) {
        failure = "Cannot open the MAPI dll.";
        return false;
    }
    const auto logon = logonProc.Get();
    const auto send = sendProc.Get();
    const auto logoff = logoffProc.Get();
    if (!logon || !send || !logoff) {
        failure = "Cannot found the MAPI functions.";
        return false;
    }
    LHANDLE session = 0;
    if (logon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &session) != SUCCESS_SUCCESS) {
        failure = "Cannot LogOn into the MAPI service.";
        return false;
    }
    // Simple MAPI takes the program's own (ANSI) text: the strings are passed as they are.
    std::vector<std::string> addresses;
    for (const auto& r : mail.Recipients) addresses.push_back("SMTP:" + r);
    std::vector<MapiRecipDesc> recipients(mail.Recipients.size());
    for (size_t i = 0; i < recipients.size(); ++i) {
        recipients[i].ulRecipClass = MAPI_TO;
        recipients[i].lpszName = const_cast<char*>(mail.Recipients[i].c_str());
        recipients[i].lpszAddress = const_cast<char*>(addresses[i].c_str());
    }
    std::vector<std::string> names;
    for (const auto& path : mail.Attachments) names.push_back(ExtractFileName(path));
    std::vector<MapiFileDesc> files(mail.Attachments.size());
    for (size_t i = 0; i < files.size(); ++i) {
        files[i].nPosition = static_cast<ULONG>(-1);
        files[i].lpszPathName = const_cast<char*>(mail.Attachments[i].c_str());
        files[i].lpszFileName = const_cast<char*>(names[i].c_str());
    }
    MapiMessage message{};
    message.lpszSubject = const_cast<char*>(mail.Subject.c_str());
    message.lpszNoteText = const_cast<char*>(mail.Body.c_str());
    message.nRecipCount = static_cast<ULONG>(recipients.size());
    message.lpRecips = recipients.empty() ? nullptr : recipients.data();
    message.nFileCount = static_cast<ULONG>(files.size());
    message.lpFiles = files.empty() ? nullptr : files.data();
    const ULONG sent = send(session, 0, &message, flags, 0);
    logoff(session, 0, 0, 0);
    if (sent != SUCCESS_SUCCESS) {
        failure = "Cannot send the MAPI message.";
        return false;
    }
    return true;
}

bool RunMailtoCommand(const std::string& url, int idleMs, int settleMs, std::string& failure, int totalMs) {
    const std::wstring command = RegText(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", nullptr);
    if (command.empty()) {
        failure = "Cannot find the \"mailto:\" command.";
        return false;
    }
    std::wstring line = win::Wide(MailtoCommandLine(win::Narrow(command), url));
    if (line.size() > kMaxCommandLine) {
        failure = "The mail client's command line would be " + std::to_string(line.size()) +
                  " characters long, more than " + std::to_string(kMaxCommandLine) + ".";
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0x4000020, nullptr, nullptr, &startup,
                        &process)) {
        failure = "Cannot start the mail client: " + SysErrorMessage(static_cast<int>(GetLastError())) + ".";
        return false;
    }
    const win::ProcessInformation started(process);
    const ULONGLONG start = GetTickCount64();
    const auto left = [&](int limitMs) {
        const ULONGLONG spent = GetTickCount64() - start;
        const ULONGLONG rest = spent < static_cast<ULONGLONG>(totalMs) ? totalMs - spent : 0;
        return static_cast<DWORD>(std::min<ULONGLONG>(rest, static_cast<ULONGLONG>(std::max(limitMs, 0))));
    };
    WaitForInputIdle(started.Process(), left(idleMs));
    Sleep(left(settleMs));
    if (HWND found = win::FirstVisibleWindowOf(started.ProcessId()))
        SetWindowPos(found, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The user may keep the client open for as long as they like; the report thread may not wait that long.
    if (WaitForSingleObject(started.Process(), left(totalMs)) == WAIT_TIMEOUT) return true;
    DWORD code = 0;
    if (!GetExitCodeProcess(started.Process(), &code)) {
        failure = "Cannot read the mail client's exit code.";
        return false;
    }
    return true;
}

}  // namespace quillan::crash
