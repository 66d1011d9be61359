// Redirects HKEY_CURRENT_USER to a scratch key for one test, so the real
// user's settings are never touched; the scratch key is deleted afterwards.
#pragma once

#include <windows.h>

#include <string>

namespace quillan::test {

class ScratchRegistry {
public:
    ScratchRegistry() {
        path_ = L"Software\\QuillanTestScratch\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++);
        RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, key_);
    }
    ~ScratchRegistry() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

private:
    static inline int counter_ = 0;
    std::wstring path_;
    HKEY key_ = nullptr;
};

// Raw registry access for checks, through the (redirected) HKEY_CURRENT_USER.
inline bool RegValue(const std::wstring& key, const std::wstring& name, std::wstring& out, DWORD* type = nullptr) {
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    DWORD t = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &t, buffer, &size) !=
        ERROR_SUCCESS)
        return false;
    if (type) *type = t;
    out = (t == REG_SZ || t == REG_EXPAND_SZ) ? std::wstring(buffer) : std::wstring();
    return true;
}

inline void SetRegString(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

inline void SetRegDword(const std::wstring& key, const std::wstring& name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_DWORD, &value, sizeof(value));
}

inline bool RegKeyExists(const std::wstring& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

}  // namespace quillan::test
