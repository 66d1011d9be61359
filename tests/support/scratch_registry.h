// Redirects HKEY_CURRENT_USER of this process to a fresh scratch key for one
// test, so no test ever reads or writes the real user's settings; the scratch
// key is deleted afterwards. Also raw registry access for checks, through the
// (redirected) HKEY_CURRENT_USER. Windows tests only.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/win/handle_win.h"

namespace quillan::test {

class ScratchRegistry {
public:
    ScratchRegistry() {
        static int counter = 0;
        path_ = L"Software\\QuillanTests\\run-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
        HKEY key = nullptr;
        LONG rc =
            RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        key_.reset(key);
        EXPECT_EQ(rc, ERROR_SUCCESS) << "scratch key";
        EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, key_.get()), ERROR_SUCCESS) << "redirection";
    }
    ~ScratchRegistry() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        key_.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        // Only goes when no other run still uses it.
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QuillanTests");
    }
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    // What HKEY_CURRENT_USER stands for while the object lives.
    HKEY Key() const { return key_.get(); }

    // Makes "Software" a volatile key: Windows refuses to create a lasting key
    // below a volatile one, so no key below "Software" can be created any more.
    void MakeSoftwareVolatile() {
        HKEY software = nullptr;
        ASSERT_EQ(RegCreateKeyExW(key_.get(), L"Software", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &software, nullptr),
                  ERROR_SUCCESS);
        win::RegKey owned(software);
    }

private:
    std::wstring path_;
    win::RegKey key_;
};

// A test case whose whole run sees the scratch registry.
class ScratchRegistryTest : public ::testing::Test {
protected:
    void MakeSoftwareVolatile() { registry_.MakeSoftwareVolatile(); }
    ScratchRegistry registry_;
};

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
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k);
    win::RegKey owned(k);
    return rc == ERROR_SUCCESS;
}

}  // namespace quillan::test
