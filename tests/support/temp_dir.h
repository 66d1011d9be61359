// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/core/codepage.h"

namespace quillan::test {

#ifdef _WIN32
inline constexpr const char* kSep = "\\";
#else
inline constexpr const char* kSep = "/";
#endif

class TempDir {
public:
    TempDir() {
        static int counter = 0;
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            auto candidate = base / ("quillan-test-" + std::to_string(Pid()) + "-" + std::to_string(counter++));
            if (std::filesystem::create_directory(candidate)) {
                path_ = candidate;
                break;
            }
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder as Windows-1251 text, ending in a separator.
    std::string Path() const {
#ifdef _WIN32
        std::wstring w = path_.wstring();
        return Utf16ToCp1251(std::u16string(w.begin(), w.end())) + kSep;
#else
        return path_.string() + kSep;
#endif
    }
    const std::filesystem::path& Native() const { return path_; }

    // Names of the entries, sorted, as Windows-1251 text.
    std::vector<std::string> List() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
#ifdef _WIN32
            std::wstring w = entry.path().filename().wstring();
            names.push_back(Utf16ToCp1251(std::u16string(w.begin(), w.end())));
#else
            names.push_back(entry.path().filename().string());
#endif
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    static long Pid();
    std::filesystem::path path_;
};

}  // namespace quillan::test

#ifdef _WIN32
#include <process.h>
inline long quillan::test::TempDir::Pid() { return _getpid(); }
#else
#include <unistd.h>
inline long quillan::test::TempDir::Pid() { return getpid(); }
#endif
