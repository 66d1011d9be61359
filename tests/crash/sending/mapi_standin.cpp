// A stand-in mail client library for the Simple MAPI tests: MAPISendMail writes what it was given
// to the file that QUILLAN_MAPI_RECORD names, one item a line, and fails for the subject "fail".
#include <windows.h>
#include <mapi.h>

#include <string>

namespace {

void Record(const std::string& text) {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("QUILLAN_MAPI_RECORD", path, MAX_PATH)) return;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Text(const char* s) { return s ? s : "(null)"; }

}  // namespace

extern "C" {

ULONG WINAPI MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE session) {
    *session = 7;
    return SUCCESS_SUCCESS;
}

ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
    std::string out = "session " + std::to_string(session) + "\nflags " + std::to_string(flags) + "\nsubject " +
                      Text(message->lpszSubject) + "\nbody " + Text(message->lpszNoteText) + "\n";
    for (ULONG i = 0; i < message->nRecipCount; ++i)
        out += "to " + std::to_string(message->lpRecips[i].ulRecipClass) + " " + Text(message->lpRecips[i].lpszName) +
               " " + Text(message->lpRecips[i].lpszAddress) + "\n";
    for (ULONG i = 0; i < message->nFileCount; ++i)
        out += "file " + Text(message->lpFiles[i].lpszPathName) + " " + Text(message->lpFiles[i].lpszFileName) + "\n";
    Record(out);
    return Text(message->lpszSubject) == "fail" ? MAPI_E_FAILURE : SUCCESS_SUCCESS;
}

ULONG WINAPI MAPILogoff(LHANDLE, ULONG_PTR, FLAGS, ULONG) { return SUCCESS_SUCCESS; }
}
