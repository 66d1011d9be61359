// Saving hot.ini: backup rename, atomic replace, nothing lost when the write fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/fsuid.h>
#include <unistd.h>
#endif

#include "engine/store/template_file.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "tests/support/temp_dir.h"

namespace quillan {
namespace {

using Names = std::vector<std::string>;

class TemplateSave : public ::testing::Test {
protected:
    TemplateSave() {
        record_.MenuCaption = "Подпись";
        record_.TemplateText = "С уважением,\r\nИван";
        tree_ = {{"Общие", {&record_}}};
        path_ = dir_.Path() + "hot.ini";
    }

    test::TempDir dir_;
    TTmpl record_;
    TTemplateTree tree_;
    std::string path_;
};

TEST_F(TemplateSave, FirstSaveCreatesTheFileWithoutBackup) {
    SaveTemplateFile(path_, tree_);
    EXPECT_EQ(ReadFileBytes(path_), BuildTemplateFile(tree_));
    EXPECT_EQ(dir_.List(), Names{"hot.ini"});
}

TEST_F(TemplateSave, OldFileBecomesTheBackupAndTheFirstBackupIsKept) {
    AtomicWriteFile(path_, "first");
    SaveTemplateFile(path_, tree_);
    EXPECT_EQ(ReadFileBytes(path_ + ".backup"), "first");
    EXPECT_EQ(ReadFileBytes(path_), BuildTemplateFile(tree_));

    record_.MenuCaption = "Второй";
    SaveTemplateFile(path_, tree_);
    EXPECT_EQ(ReadFileBytes(path_ + ".backup"), "first");
    EXPECT_EQ(ReadFileBytes(path_), BuildTemplateFile(tree_));
    EXPECT_EQ(dir_.List(), (Names{"hot.ini", "hot.ini.backup"}));
}

TEST_F(TemplateSave, TargetIsAFolderRaisesAndLeavesNoTemporary) {
    std::filesystem::create_directory(dir_.Native() / "hot.ini");
    try {
        SaveTemplateFile(path_, tree_);
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_NE(e.Message().find(path_), std::string::npos) << e.Message();
    }
    EXPECT_EQ(dir_.List(), Names{"hot.ini"});
    EXPECT_TRUE(DirectoryExists(path_));
}

TEST_F(TemplateSave, MissingFolderRaisesCreateError) {
    std::string path = dir_.Path() + "gone" + test::kSep + "hot.ini";
    try {
        SaveTemplateFile(path, tree_);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        std::string prefix = "Cannot create file \"" + path + "\". ";
        EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
    }
    EXPECT_TRUE(dir_.List().empty());
}

// The write fails after the old file was moved to the backup name: it must come
// back, or the next hotkey press finds no file. The temporary's slot is taken by
// a folder (the writer's temporaries are named "<path>.~N.tmp").
TEST_F(TemplateSave, FailedWriteAfterTheRenamePutsTheOldFileBack) {
    AtomicWriteFile(path_, "old content");
    std::filesystem::create_directory(dir_.Native() / "hot.ini.~0.tmp");
    EXPECT_THROW(SaveTemplateFile(path_, tree_), EFCreateError);
    EXPECT_EQ(ReadFileBytes(path_), "old content");
    EXPECT_EQ(dir_.List(), (Names{"hot.ini", "hot.ini.~0.tmp"}));
}

#ifndef _WIN32
// Root passes every permission check, so as root the file calls of this thread take the
// identity of a user without rights (the kernel then drops root's file capabilities too).
class FileAccessWithoutRoot {
public:
    FileAccessWithoutRoot() : dropped_(geteuid() == 0) {
        if (dropped_) {
            setfsgid(65534);
            setfsuid(65534);
        }
    }
    ~FileAccessWithoutRoot() {
        if (dropped_) {
            setfsuid(0);
            setfsgid(0);
        }
    }

private:
    bool dropped_;
};

bool CanCreateFileIn(const std::filesystem::path& dir) {
    std::filesystem::path probe = dir / "probe";
    int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return false;
    close(fd);
    unlink(probe.c_str());
    return true;
}
#endif

TEST_F(TemplateSave, ReadOnlyFolderKeepsTheOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "the read-only attribute does not stop writes into a folder on Windows";
#else
    AtomicWriteFile(path_, "old content");
    using std::filesystem::perms;
    std::filesystem::permissions(dir_.Native(), perms::owner_read | perms::owner_exec | perms::group_read |
                                                    perms::group_exec | perms::others_read | perms::others_exec);
    {
        FileAccessWithoutRoot withoutRoot;
        if (CanCreateFileIn(dir_.Native())) GTEST_SKIP() << "folder permissions do not stop writes here";
        EXPECT_THROW(SaveTemplateFile(path_, tree_), EFCreateError);
    }
    std::filesystem::permissions(dir_.Native(), perms::owner_all);
    EXPECT_EQ(ReadFileBytes(path_), "old content");
    EXPECT_EQ(dir_.List(), Names{"hot.ini"});
#endif
}

}  // namespace
}  // namespace quillan
