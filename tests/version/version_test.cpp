// Version resources read back through the system: this executable links the
// program's own resource, version_fixture.exe beside it one without "FileVersion".
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

#include "components/version/version_info_win.h"
#include "framework/core/file_io.h"
#include "framework/win/text.h"
#include "tests/support/temp_dir.h"

namespace quillan::version {
namespace {

std::string SelfPath() { return win::ModuleFileName(); }
std::string FixturePath() { return ExtractFilePath(SelfPath()) + "version_fixture.exe"; }

TEST(VersionInfo, ProgramResource) {
    TVersionInfo info(SelfPath());
    ASSERT_TRUE(info.Valid());
    EXPECT_EQ(info.Translation(), "041904E3");
    EXPECT_EQ(info.ProductName(), "Quillan");
    // Windows-1251 text survives the resource compiler and the wide API.
    EXPECT_EQ(info.FileDescription(), "Quillan — вставка текстовых шаблонов");
    EXPECT_EQ(info.LegalCopyright(), "© 2026 Quillan developers");
    EXPECT_EQ(info.FileVersion(), "1.0.0.0");
    EXPECT_EQ(info.GetVerValue("OriginalFilename"), "Quillan.exe");
    auto fixed = info.FixedFileInfo();
    ASSERT_TRUE(fixed.has_value());
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 65536u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
}

TEST(VersionInfo, MissingKeyGivesEmptyText) {
    TVersionInfo info(SelfPath());
    ASSERT_TRUE(info.Valid());
    EXPECT_EQ(info.GetVerValue("NoSuchValue"), "");
    EXPECT_EQ(info.GetVerValue(""), "");
}

TEST(VersionInfo, FileVersionFallsBackToTheFixedRecord) {
    TVersionInfo info(FixturePath());
    ASSERT_TRUE(info.Valid()) << FixturePath();
    EXPECT_EQ(info.Translation(), "040904B0");
    EXPECT_EQ(info.ProductName(), "Fixture");
    EXPECT_EQ(info.GetVerValue("FileVersion"), "");
    // High then low word of the most significant part, then of the least.
    EXPECT_EQ(info.FileVersion(), "2.5.300.4");
    EXPECT_EQ(info.LegalCopyright(), "");
}

TEST(VersionInfo, FilesWithoutAVersionResource) {
    test::TempDir dir;
    const std::string text = dir.Path() + "plain.txt";
    std::ofstream(win::Wide(text).c_str()) << "not a program";
    for (const std::string& path : {text, dir.Path() + "missing.exe", std::string()}) {
        TVersionInfo info(path);
        EXPECT_FALSE(info.Valid()) << path;
        EXPECT_EQ(info.Translation(), "") << path;
        EXPECT_EQ(info.ProductName(), "") << path;
        EXPECT_EQ(info.FileDescription(), "") << path;
        EXPECT_EQ(info.LegalCopyright(), "") << path;
        // No fixed-record fallback for an invalid object.
        EXPECT_EQ(info.FileVersion(), "") << path;
        EXPECT_FALSE(info.FixedFileInfo().has_value()) << path;
    }
}

TEST(VersionInfo, FormatFixedVersion) {
    VS_FIXEDFILEINFO fixed = {};
    fixed.dwFileVersionMS = 0x0001FFFF;
    fixed.dwFileVersionLS = 0x00020003;
    EXPECT_EQ(FormatFixedVersion(fixed), "1.65535.2.3");
}

}  // namespace
}  // namespace quillan::version
