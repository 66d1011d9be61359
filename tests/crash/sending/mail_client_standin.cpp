// A stand-in mail client registered as the "mailto:" command by the tests: it writes the command
// line it was started with (Windows-1251) to the file that QUILLAN_MAILTO_RECORD names, and ends.
#include <windows.h>

#include <string>

#include "framework/win/text.h"

int main() {
    wchar_t record[MAX_PATH];
    if (!GetEnvironmentVariableW(L"QUILLAN_MAILTO_RECORD", record, MAX_PATH)) return 2;
    const std::string line = quillan::win::Narrow(GetCommandLineW());
    HANDLE file = CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
