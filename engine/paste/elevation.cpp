#include "engine/paste/elevation.h"

#include "framework/win/handle.h"

namespace quillan {
namespace {

bool TokenElevated(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return GetLastError() == ERROR_ACCESS_DENIED;
    win::KernelHandle token(raw);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size)) return false;
    return elevation.TokenIsElevated != 0;
}

}  // namespace

bool IsCurrentProcessElevated() { return TokenElevated(GetCurrentProcess()); }

bool IsProcessElevated(DWORD pid) {
    if (pid == GetCurrentProcessId()) return IsCurrentProcessElevated();
    win::KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    // Even the limited query is refused only for protected or higher-integrity processes.
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    return TokenElevated(process.get());
}

bool IsInputBlockedFor(HWND window) {
    if (!window) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == 0 || pid == GetCurrentProcessId()) return false;
    if (IsCurrentProcessElevated()) return false;
    return IsProcessElevated(pid);
}

}  // namespace quillan
