#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(FilePaths, StemCutsTheFolderAndOnlyTheLastExtension) {
    EXPECT_EQ(ExecutableStem("C:\\Program Files\\Quillan\\Quillan.exe"), "Quillan");
    EXPECT_EQ(ExecutableStem("C:\\x.y\\a.b.exe"), "a.b");
    EXPECT_EQ(ExecutableStem("D:noext"), "noext");
    EXPECT_EQ(ExecutableStem("/tmp/quillan"), "quillan");
    EXPECT_EQ(ExecutableStem("C:\\dir.d\\"), "");
}

}  // namespace
}  // namespace quillan
