// Redirects HKEY_CURRENT_USER of this process to a fresh scratch key for one
// test, so no test ever reads or writes the real user's settings.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace quillan::test {

class ScratchRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        path_ = L"Software\\QuillanTests\\run-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch_,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, scratch_), ERROR_SUCCESS);
    }

    void TearDown() override {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (scratch_) RegCloseKey(scratch_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        // Only goes when no other run still uses it.
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QuillanTests");
    }

    // Makes "Software" a volatile key: Windows refuses to create a lasting key
    // below a volatile one, so no key below "Software" can be created any more.
    void MakeSoftwareVolatile() {
        HKEY software = nullptr;
        ASSERT_EQ(RegCreateKeyExW(scratch_, L"Software", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &software, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(software);
    }

    HKEY scratch_ = nullptr;
    std::wstring path_;
};

}  // namespace quillan::test
