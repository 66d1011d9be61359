// A stand-in mail client registered as the "mailto:" command by the tests: it writes the command
// line it was started with (Windows-1251) to the file that QUILLAN_MAILTO_RECORD names, and ends.
// With QUILLAN_MAILTO_HOLD naming an event it first stays open, as a user writing the mail would,
// until the event is set (at most a minute), then writes the record's name + ".ended".
#include <windows.h>

#include <string>

#include "framework/win/text.h"

namespace {

bool WriteRecord(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return true;
}

}  // namespace

int main() {
    wchar_t record[MAX_PATH];
    if (!GetEnvironmentVariableW(L"QUILLAN_MAILTO_RECORD", record, MAX_PATH)) return 2;
    if (!WriteRecord(record, quillan::win::Narrow(GetCommandLineW()))) return 3;
    wchar_t hold[MAX_PATH];
    if (GetEnvironmentVariableW(L"QUILLAN_MAILTO_HOLD", hold, MAX_PATH)) {
        if (HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, hold)) {
            WaitForSingleObject(release, 60000);
            CloseHandle(release);
        }
        WriteRecord(std::wstring(record) + L".ended", "ended");
    }
    return 0;
}
