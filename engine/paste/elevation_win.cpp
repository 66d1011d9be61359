#include "engine/paste/elevation_win.h"

#include <vector>

#include "framework/win/handle_win.h"

namespace quillan {
namespace {

TIntegrityLevel TokenIntegrityLevelOf(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return std::nullopt;
    win::KernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
    // DWORD-sized storage keeps the label and its SID aligned.
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    if (!GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size)) return std::nullopt;
    PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    if (!sid || !IsValidSid(sid)) return std::nullopt;
    UCHAR count = *GetSidSubAuthorityCount(sid);
    if (count == 0) return std::nullopt;
    return static_cast<uint32_t>(*GetSidSubAuthority(sid, count - 1u));
}

}  // namespace

TIntegrityLevel CurrentIntegrityLevel() { return TokenIntegrityLevelOf(GetCurrentProcess()); }

TIntegrityLevel IntegrityLevelOf(DWORD pid) {
    if (pid == GetCurrentProcessId()) return CurrentIntegrityLevel();
    win::KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return std::nullopt;
    return TokenIntegrityLevelOf(process.get());
}

bool IsInputBlockedFor(HWND window) {
    if (!window) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == 0 || pid == GetCurrentProcessId()) return false;
    return InputBlockedByIntegrity(CurrentIntegrityLevel(), IntegrityLevelOf(pid));
}

}  // namespace quillan
