#include "engine/settings/autostart.h"

#include <windows.h>

#include <vector>

#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

std::wstring ThisExecutable() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

// A path as the file system names it: full, long names, so that "C:\PROGRA~1\..."
// and "c:\program files\..." compare equal.
std::wstring Canonical(const std::wstring& path) {
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    std::wstring result = n > 0 && n < MAX_PATH * 2 ? std::wstring(full, n) : path;
    wchar_t longName[MAX_PATH * 2];
    n = GetLongPathNameW(result.c_str(), longName, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) result.assign(longName, n);
    return result;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    std::wstring x = Canonical(a);
    std::wstring y = Canonical(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring Expand(const std::wstring& text) {
    DWORD n = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (n == 0) return text;
    std::wstring out(n, L'\0');
    n = ExpandEnvironmentStringsW(text.c_str(), out.data(), n);
    if (n == 0) return text;
    out.resize(n - 1);
    return out;
}

std::string SystemMessage(LONG code) { return SysErrorMessage(static_cast<int>(code)); }

}  // namespace

std::wstring AutoStartCommand() { return L"\"" + ThisExecutable() + L"\""; }

std::wstring CommandProgram(const std::wstring& command) {
    size_t start = command.find_first_not_of(L" \t");
    if (start == std::wstring::npos) return {};
    if (command[start] == L'"') {
        size_t end = command.find(L'"', start + 1);
        return command.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
    }
    std::wstring whole = command.substr(start);
    while (!whole.empty() && (whole.back() == L' ' || whole.back() == L'\t')) whole.pop_back();
    // An unquoted path with blanks, as people write them by hand.
    if (GetFileAttributesW(whole.c_str()) != INVALID_FILE_ATTRIBUTES) return whole;
    return whole.substr(0, whole.find_first_of(L" \t"));
}

TAutoStart ReadAutoStart() {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return {};
    win::RegKey key(raw);
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key.get(), kAutoStartValueName, nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return {};
    TAutoStart result{TAutoStartKind::Other, {}};
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return result;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), kAutoStartValueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return result;
    result.Command.assign(data.data());  // up to the first NUL, stored or added
    std::wstring command = type == REG_EXPAND_SZ ? Expand(result.Command) : result.Command;
    std::wstring program = CommandProgram(command);
    if (!program.empty() && SamePath(program, ThisExecutable())) result.Kind = TAutoStartKind::This;
    return result;
}

void WriteAutoStart(bool on) {
    HKEY raw = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (rc != ERROR_SUCCESS) throw Exception("Не удалось открыть раздел автозапуска: " + SystemMessage(rc));
    win::RegKey key(raw);
    if (on) {
        std::wstring command = AutoStartCommand();
        rc = RegSetValueExW(key.get(), kAutoStartValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    } else {
        rc = RegDeleteValueW(key.get(), kAutoStartValueName);
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS) throw Exception("Не удалось изменить автозапуск: " + SystemMessage(rc));
}

}  // namespace quillan
