#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/core/streams.h"
#include "tests/support/temp_dir.h"

namespace quillan {
namespace {

TEST(FileIo, MissingFileRaisesOpenErrorWithTheRuntimeText) {
    test::TempDir dir;
    std::string path = dir.Path() + "missing.ini";
    try {
        ReadFileBytes(path);
        FAIL();
    } catch (const EFOpenError& e) {
        std::string prefix = "Cannot open file \"" + path + "\". ";
        EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
        EXPECT_GT(e.Message().size(), prefix.size());  // the system's reason follows
        EXPECT_NE(e.Message().back(), '.');
    }
}

TEST(FileIo, AtomicWriteReplacesAndLeavesNoTemporary) {
    test::TempDir dir;
    std::string path = dir.Path() + "hot.ini";
    AtomicWriteFile(path, "old");
    AtomicWriteFile(path, std::string("new\r\n\0x", 7));
    EXPECT_EQ(ReadFileBytes(path), std::string("new\r\n\0x", 7));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"hot.ini"});
}

TEST(FileIo, AtomicWriteOfPiecesWritesTheirConcatenation) {
    test::TempDir dir;
    std::string path = dir.Path() + "pieces.mlf";
    std::string big(100 * 1024, 'b'), medium(40 * 1024, 'm');
    std::vector<std::string_view> pieces = {"a", "\r\n", medium, "", medium, big, "z"};
    AtomicWriteFile(path, pieces);
    EXPECT_EQ(ReadFileBytes(path), "a\r\n" + medium + medium + big + "z");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"pieces.mlf"});
}

TEST(FileIo, AtomicWriteIntoMissingFolderKeepsNothingAndRaises) {
    test::TempDir dir;
    std::string path = dir.Path() + "no-such-folder" + test::kSep + "hot.ini";
    EXPECT_THROW(AtomicWriteFile(path, "x"), EFCreateError);
    EXPECT_TRUE(dir.List().empty());
}

TEST(FileIo, RenameRefusesToReplaceAnExistingFile) {
    test::TempDir dir;
    std::string a = dir.Path() + "a";
    std::string b = dir.Path() + "b";
    AtomicWriteFile(a, "A");
    AtomicWriteFile(b, "B");
    EXPECT_FALSE(RenameFile(a, b));
    EXPECT_EQ(ReadFileBytes(b), "B");
    EXPECT_TRUE(RemoveFile(b));
    EXPECT_TRUE(RenameFile(a, b));
    EXPECT_EQ(ReadFileBytes(b), "A");
    EXPECT_FALSE(FileExists(a));
}

TEST(FileIo, CyrillicFileNames) {
    test::TempDir dir;
    std::string path = dir.Path() + "Шаблоны.ini";
    AtomicWriteFile(path, "x");
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(ReadFileBytes(path), "x");
}

// The standard library is the oracle for the folder listing and the write time.
TEST(FileIo, ListsPlainFilesAndReadsTheirWriteTime) {
    test::TempDir dir;
    AtomicWriteFile(dir.Path() + "Шаблоны.ini", "x");
    AtomicWriteFile(dir.Path() + "b.txt", "y");
    std::filesystem::create_directory(dir.Native() / "sub");
    std::vector<std::string> names = ListFileNames(dir.Path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"b.txt", "Шаблоны.ini"}));
    EXPECT_TRUE(ListFileNames(dir.Path() + "missing").empty());

    const std::filesystem::path native = dir.Native() / "b.txt";
    const auto when = std::chrono::sys_seconds(std::chrono::seconds(1000000000));  // 2001-09-09 01:46:40 UTC
    std::filesystem::last_write_time(native, std::chrono::file_clock::from_sys(when));
    EXPECT_EQ(FileWriteUnixTime(dir.Path() + "b.txt"), std::optional<int64_t>(1000000000));
    EXPECT_EQ(FileWriteUnixTime(dir.Path() + "missing.txt"), std::nullopt);
}

TEST(FilePaths, StemCutsTheFolderAndOnlyTheLastExtension) {
    EXPECT_EQ(ExecutableStem("C:\\Program Files\\Quillan\\Quillan.exe"), "Quillan");
    EXPECT_EQ(ExecutableStem("C:\\x.y\\a.b.exe"), "a.b");
    EXPECT_EQ(ExecutableStem("D:noext"), "noext");
    EXPECT_EQ(ExecutableStem("/tmp/quillan"), "quillan");
    EXPECT_EQ(ExecutableStem("C:\\dir.d\\"), "");
}

}  // namespace
}  // namespace quillan
