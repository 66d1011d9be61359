#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crash/log/log_file.h"
#include "crash/log/log_path.h"
#include "framework/core/file_io.h"
#include "tests/crash/log/log_support.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

namespace quillan::crash {
namespace {

using test::MakeReport;

std::string Stored(const std::string& report) { return report + "\r\n\r\n\r\n"; }

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    if (FileExists(path)) RemoveFile(path);
    TFileStream file(path, FileMode::Create);
    file.WriteBuffer(bytes.data(), bytes.size());
}

TEST(LogFile, KeepsTheNewestReportsAndReadsThemBack) {
    quillan::test::TempDir dir;
    std::string path = dir.Path() + "quillan.mlf";
    TLogFile log;
    ASSERT_TRUE(log.Open(path));
    EXPECT_EQ(log.Count(), 0);
    for (int i = 1; i <= 4; ++i) {
        log.Add(MakeReport("1.0.0." + std::to_string(i), "0040123" + std::to_string(i), "m"), 3);
        log.Save();
    }
    ASSERT_EQ(log.Count(), 3);
    EXPECT_EQ(*log.ItemValue(0, "1.3"), "1.0.0.2");
    EXPECT_EQ(*log.ItemValue(2, "1.3"), "1.0.0.4");

    // On disk: the stored reports joined by one line break, none after the last.
    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes, Stored(MakeReport("1.0.0.2", "00401232", "m")) + "\r\n" +
                         Stored(MakeReport("1.0.0.3", "00401233", "m")) + "\r\n" +
                         Stored(MakeReport("1.0.0.4", "00401234", "m")));
    TLogFile again;
    ASSERT_TRUE(again.Open(path));
    ASSERT_EQ(again.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(again.Report(i), log.Report(i));
    EXPECT_EQ(again.Bytes(), bytes);
    // No temporary file is left beside the log.
    EXPECT_EQ(dir.List(), std::vector<std::string>{"quillan.mlf"});
    // A limit of 0 keeps the report just made.
    again.Add(MakeReport("2", "1", "x"), 0);
    EXPECT_EQ(again.Count(), 1);
}

TEST(LogFile, LineEndsAreNormalisedAndForeignTextIsDropped) {
    quillan::test::TempDir dir;
    std::string path = dir.Path() + "q.mlf";
    std::string a = MakeReport("1", "00401000", "first line\r\nsecond line");
    std::string b = MakeReport("1", "00402000", "other");
    std::string stored = Stored(a) + "\r\n" + Stored(b);
    for (const std::string& eol : {std::string("\n"), std::string("\r")}) {
        WriteFile(path, Replace(stored, "\r\n", eol));
        TLogFile log;
        ASSERT_TRUE(log.Open(path));
        ASSERT_EQ(log.Count(), 2);
        EXPECT_EQ(log.Report(0), Stored(a));
        EXPECT_EQ(log.Report(1), Stored(b));
    }
    // Text before, between and after the reports, and a file without its final line breaks.
    WriteFile(path, "Notes by hand\r\n\r\n\r\n\r\n" + Stored(a) + "\r\nstray words\r\n-\r\n\r\n\r\n\r\n" + b);
    TLogFile log;
    ASSERT_TRUE(log.Open(path));
    ASSERT_EQ(log.Count(), 2);
    log.Save();
    EXPECT_EQ(ReadFileBytes(path), stored);
    // A report that ends in an empty line (the CPU section's title alone) keeps it.
    TMishapModuleOptions noCpu;
    noCpu.SetLogFlags(0);
    std::string c = MakeReport("1", "00403000", "c", noCpu);
    ASSERT_EQ(c.substr(c.size() - 4), "\r\n\r\n");
    std::vector<std::string> reports = SplitLogText(Stored(c) + "\r\n" + Stored(a) + "\r\n" + Stored(c));
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0], Stored(c));
    EXPECT_EQ(reports[2], Stored(c));
}

TEST(LogFile, DuplicatesAreRecognisedOnTheExceptionItems) {
    TLogFile log;
    log.LoadFromBytes("");
    std::string first = MakeReport("1.0", "00401234", "Access violation.\r\n\r\nRead of address 0: x");
    log.Add(first, 32);
    // The same exception again, later and in another version: a duplicate.
    EXPECT_TRUE(log.IsDuplicateOf(MakeReport("1.1", "00401234", "Access violation.\r\n\r\nRead of address 0: x")));
    EXPECT_FALSE(log.IsDuplicateOf(MakeReport("1.0", "00401238", "Access violation.\r\n\r\nRead of address 0: x")));
    EXPECT_FALSE(log.IsDuplicateOf(MakeReport("1.0", "00401234", "Access violation.\r\n\r\nRead of address 1: x")));
    EXPECT_EQ(*log.ItemValue(0, "2.5"), "Access violation.\r\n .\r\n Read of address 0:_x");
    EXPECT_FALSE(log.ItemValue(0, "7.1").has_value());
    // Reports that show none of the items cannot be told apart, so none counts as a duplicate.
    TMishapModuleOptions hidden;
    uint64_t mask = kDetailMaskAll;
    for (int item = 2; item <= 5; ++item) mask &= ~(1ull << DetailBit(2, item));
    hidden.SetDetailMask(mask);
    TLogFile other;
    other.LoadFromBytes("");
    other.Add(MakeReport("1", "a", "b", hidden), 32);
    EXPECT_FALSE(other.IsDuplicateOf(MakeReport("1", "c", "d", hidden)));
}

TEST(LogFile, VersionChangeDeletesTheLog) {
    quillan::test::TempDir dir;
    std::string path = dir.Path() + "q.mlf";
    TLogFile log;
    ASSERT_TRUE(log.Open(path));
    log.Add(MakeReport("1.0.0.5", "1", "m"), 32);
    log.Save();
    EXPECT_FALSE(log.DeleteIfVersionChanged("1.0.0.5"));
    EXPECT_TRUE(FileExists(path));
    EXPECT_TRUE(log.DeleteIfVersionChanged("1.0.0.6"));
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(log.Count(), 0);
    // A last report that hides its version deletes nothing.
    TMishapModuleOptions hidden;
    hidden.SetDetailMask(kDetailMaskAll & ~(1ull << DetailBit(1, 3)));
    log.Add(MakeReport("1.0.0.5", "1", "m", hidden), 32);
    EXPECT_FALSE(log.DeleteIfVersionChanged("2.0"));
    EXPECT_EQ(log.Count(), 1);
}

TEST(LogPath, NameAndPlaceRules) {
    struct Case {
        const char *module, *output, *computer, *expected;
    };
    const Case cases[] = {
        {"C:\\App\\quillan.exe", "", "", "C:\\App\\quillan.mlf"},
        {"C:\\App\\quillan.exe", "D:\\Logs", "", "D:\\Logs\\quillan.mlf"},
        {"C:\\App\\quillan.exe", "D:\\Logs\\", "", "D:\\Logs\\quillan.mlf"},
        {"C:\\App\\quillan.exe", "D:\\Logs\\all.MLF", "", "D:\\Logs\\all.MLF"},
        {"C:\\App\\quillan.exe", "", "WORK PC.1", "C:\\App\\quillan_WORK_PC_1.mlf"},
        {"C:\\App\\quillan.exe", "D:\\all.mlf", "PC-7", "D:\\all_PC-7.mlf"},
        {"C:\\My.App\\quillan", "", "", "C:\\My.App\\quillan.mlf"},
    };
    for (const Case& c : cases) EXPECT_EQ(LogFileName(c.module, c.output, c.computer), c.expected) << c.expected;
    EXPECT_EQ(SafeComputerName("Ноут_1"), "_____1");
    std::string folder = ProfileLogFolder("C:\\Users\\me", "C:\\App\\quillan.exe", true);
    EXPECT_EQ(folder, "C:\\Users\\me\\MishapLog\\quillan\\");
    EXPECT_EQ(ProfileLogFolder("/home/me/", "/opt/q/quillan", false), "/home/me/MishapLog/");
}

TEST(LogFile, FallsBackToTheProfileFolder) {
    quillan::test::TempDir dir;
    std::string missing = dir.Path() + "no-such-folder" + quillan::test::kSep + "quillan.mlf";
    TLogFile log;
    EXPECT_FALSE(log.Open(missing));
    TLogFallback fallback{dir.Path(), "quillan.exe", true};
    ASSERT_TRUE(log.Open(missing, fallback));
    std::string expected =
        dir.Path() + "MishapLog" + quillan::test::kSep + "quillan" + quillan::test::kSep + "quillan.mlf";
    EXPECT_EQ(log.Path(), expected);
    log.Add(MakeReport("1", "2", "3"), 5);
    log.Save();
    EXPECT_TRUE(FileExists(expected));
    // Without the subfolder the log sits in "MishapLog" itself.
    fallback.Subfolder = false;
    ASSERT_TRUE(log.Open(missing, fallback));
    EXPECT_EQ(log.Path(), dir.Path() + "MishapLog" + quillan::test::kSep + "quillan.mlf");
}

TEST(LogFile, HugeOrHostileFilesAreReadWithinBounds) {
    quillan::test::TempDir dir;
    std::string path = dir.Path() + "big.mlf";
    std::string newest = Stored(MakeReport("9", "00409999", "newest"));
    // 20 MB of fake 4 KB reports and then a real one: only the last 16 MB are read, and the
    // report the read starts in is dropped.
    std::string fake = std::string(4090, 'x') + "-\r\n|" + "\r\n\r\n\r\n\r\n";
    std::string bytes;
    bytes.reserve((20u << 20) + fake.size() + newest.size());
    while (bytes.size() < (20u << 20)) bytes += fake + "\r\n";
    bytes += newest;
    WriteFile(path, bytes);
    TLogFile log;
    ASSERT_TRUE(log.Open(path));
    EXPECT_EQ(static_cast<size_t>(log.Count()), kMaxLogReadBytes / (fake.size() + 2));
    EXPECT_EQ(log.Report(log.Count() - 1), newest);
    EXPECT_EQ(log.Report(0), fake);
    ASSERT_TRUE(log.Open(path, {}, 300));
    EXPECT_EQ(log.Count(), 300);
    log.Add(MakeReport("10", "1", "m"), 300);
    log.Save();
    EXPECT_EQ(ReadFileBytes(path).size(), 298 * (fake.size() + 2) + newest.size() + 2 + log.Report(299).size());
    // Many tiny pieces keep only the newest; a file of nothing but line breaks holds no report.
    std::string tiny;
    for (int i = 0; i < 20000; ++i) tiny += "-\r\n|" + std::to_string(i) + "\r\n\r\n\r\n\r\n";
    std::vector<std::string> kept = SplitLogText(tiny, 300);
    ASSERT_EQ(kept.size(), 300u);
    EXPECT_EQ(kept.back(), "-\r\n|19999\r\n\r\n\r\n\r\n");
    EXPECT_TRUE(SplitLogText(std::string(1 << 20, '\n')).empty());
}

#ifndef _WIN32
// The disk fills while the log is written: the save fails with the "Log" warning and the
// reports already on disk stay as they were.
TEST(LogFile, FailedSaveKeepsTheStoredReports) {
    quillan::test::TempDir dir;
    std::string path = dir.Path() + "q.mlf";
    TLogFile log;
    ASSERT_TRUE(log.Open(path));
    for (int i = 0; i < 3; ++i) ASSERT_FALSE(AppendReportToLog(log, MakeReport("1", std::to_string(i), "m"), 10));
    std::string before = ReadFileBytes(path);

    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = before.size() / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::optional<std::string> warning = AppendReportToLog(log, MakeReport("1", "new", "m"), 10);
    setrlimit(RLIMIT_FSIZE, &old);

    ASSERT_TRUE(warning.has_value());
    EXPECT_EQ(warning->rfind("[Log] ", 0), 0u) << *warning;
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"q.mlf"});
    EXPECT_EQ(log.Count(), 4);
}
#endif

}  // namespace
}  // namespace quillan::crash
