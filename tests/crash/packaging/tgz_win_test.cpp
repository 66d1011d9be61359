// The archive writer on Windows: Windows-1251 names reach the file system through the wide API,
// the file time comes from the system, and a file another process holds locked is left out.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <string>

#include "crash/packaging/tgz_writer.h"
#include "framework/core/codepage.h"
#include "tests/support/temp_dir.h"

namespace quillan::crash {
namespace {

std::wstring Wide(const std::string& cp1251) {
    std::u16string w = Cp1251ToUtf16(cp1251);
    return std::wstring(w.begin(), w.end());
}

void WriteWide(const std::string& path, const std::string& bytes, const FILETIME& written) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    SetFileTime(h, nullptr, nullptr, &written);
    CloseHandle(h);
}

// The tar image inside a gzip file, through zlib's own gzip reader.
std::string Gunzip(const std::string& path) {
    gzFile file = gzopen_w(Wide(path).c_str(), "rb");
    if (!file) return {};
    std::string out;
    char buffer[8192];
    int n;
    while ((n = gzread(file, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    gzclose(file);
    return out;
}

TEST(TgzWriterOnWindows, CyrillicNamesTimesAndLockedFiles) {
    test::TempDir dir;
    const std::string name = "Отчёт.txt";
    // 2023-11-14 22:13:20 UTC, 1700000000 seconds after 1970.
    const ULONGLONG ticks = (1700000000ULL + 11644473600ULL) * 10000000ULL;
    const FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    WriteWide(dir.Path() + name, "report", written);
    WriteWide(dir.Path() + "locked.txt", "locked", written);
    HANDLE lock =
        CreateFileW(Wide(dir.Path() + "locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    const std::string archive = dir.Path() + "CompressFiles.tgz";
    {
        TTGZWriter writer(archive);
        EXPECT_TRUE(writer.AddFile(dir.Path() + name));
        EXPECT_FALSE(writer.AddFile(dir.Path() + "locked.txt")) << "opened without sharing elsewhere";
        ASSERT_TRUE(writer.Finish());
    }
    CloseHandle(lock);

    const std::string image = Gunzip(archive);
    ASSERT_EQ(image.size(), 3u * 512);
    EXPECT_EQ(image.substr(0, name.size() + 1), name + '\0');
    EXPECT_EQ(image.substr(136, 12), "14524770400 ");
    EXPECT_EQ(image.substr(512, 7), std::string("report\0", 7));
}

}  // namespace
}  // namespace quillan::crash
