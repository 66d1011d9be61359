// The report archive against GNU tar and gzip: what they list and extract must be exactly what
// went in, and the header fields must have the layout the receiving side expects.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "crash/packaging/crc32.h"
#include "crash/packaging/tgz_writer.h"
#include "tests/crash/packaging/host_tools.h"
#include "tests/support/temp_dir.h"

namespace quillan::crash {
namespace {

using test::Quoted;
using test::ReadAll;
using test::RunTool;
using test::WriteAll;

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

void SetModified(const std::string& path, time_t when) {
    utimbuf times{when, when};
    ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

// The uncompressed tar image, as gzip sees it.
std::string Gunzip(const std::string& archive) {
    test::ToolResult r = RunTool("gzip -dc < " + Quoted(archive));
    EXPECT_EQ(r.Status, 0) << "gzip rejected " << archive;
    return r.Output;
}

// A name in Windows-1251, as the program's strings are ("Отчёт.txt").
const std::string kCyrillicName = "Отчёт.txt";

// Runs GNU tar in the C locale. The archive ends in one zero block where tar writes two, which
// tar notes as "A lone zero block"; any other complaint about a header fails the test.
test::ToolResult Tar(const std::string& arguments) {
    test::ToolResult r = RunTool("LC_ALL=C TZ=UTC tar " + arguments);
    EXPECT_EQ(r.Status, 0) << "tar " << arguments << "\n" << r.Errors;
    size_t at = 0;
    while (at < r.Errors.size()) {
        const size_t end = r.Errors.find('\n', at);
        const std::string line = r.Errors.substr(at, end - at);
        EXPECT_EQ(line.rfind("tar: A lone zero block at ", 0), 0u) << line;
        at = end == std::string::npos ? r.Errors.size() : end + 1;
    }
    return r;
}

TEST(TgzWriter, TarAndGzipListAndExtractEveryMemberByteForByte) {
    test::TempDir dir;
    const std::string src = dir.Path();
    struct Member {
        std::string name;
        size_t size;
    };
    const std::vector<Member> members = {
        {"empty.log", 0}, {"a511.bin", 511}, {"b512.bin", 512}, {"c513.bin", 513}, {kCyrillicName, 1000}};
    std::vector<std::string> contents;
    const std::string archive = src + "CompressFiles.tgz";
    {
        TTGZWriter writer(archive);
        for (size_t i = 0; i < members.size(); ++i) {
            contents.push_back(RandomBytes(members[i].size, static_cast<unsigned>(i + 1)));
            WriteAll(src + members[i].name, contents.back());
            SetModified(src + members[i].name, 1700000000);
            ASSERT_TRUE(writer.AddFile(src + members[i].name)) << members[i].name;
        }
        ASSERT_TRUE(writer.Finish());
    }

    EXPECT_EQ(RunTool("gzip -t " + Quoted(archive)).Status, 0) << "CRC-32 or size trailer wrong";
    // Header per member, data rounded up to whole blocks, one end block.
    const std::string image = Gunzip(archive);
    EXPECT_EQ(image.size(), 512u * (1 + (1 + 1) + (1 + 1) + (1 + 2) + (1 + 2) + 1));
    EXPECT_EQ(image.substr(image.size() - 512), std::string(512, '\0'));

    // Names come back as the bytes they were given: the archive carries Windows-1251 names.
    test::ToolResult list = Tar("--quoting-style=literal -tzf " + Quoted(archive));
    ASSERT_EQ(list.Status, 0);
    std::string expected;
    for (const Member& m : members) expected += m.name + "\n";
    EXPECT_EQ(list.Output, expected);
    // Which a UTF-8 system's tar shows escaped: "О" is byte 0316 in Windows-1251.
    test::ToolResult escaped = Tar("-tzf " + Quoted(archive));
    EXPECT_EQ(escaped.Output.substr(escaped.Output.rfind('\n', escaped.Output.size() - 2) + 1),
              "\\316\\362\\367\\270\\362.txt\n");

    // Sizes and the date as tar reads them from the octal fields.
    test::ToolResult verbose = Tar("-tvzf " + Quoted(archive) + " c513.bin");
    ASSERT_EQ(verbose.Status, 0);
    EXPECT_NE(verbose.Output.find(" 513 2023-11-14 22:13 c513.bin"), std::string::npos) << verbose.Output;

    const std::string out = src + "out/";
    ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
    ASSERT_EQ(Tar("-xzf " + Quoted(archive) + " -C " + Quoted(out)).Status, 0);
    // Members carry mode 0; the extracted files need read permission to be compared.
    ASSERT_EQ(RunTool("chmod -R u+rw " + Quoted(out)).Status, 0);
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(ReadAll(out + members[i].name), contents[i]) << members[i].name;
    }
}

TEST(TgzWriter, HeaderFieldsAreOctalWithBlanksAndTheChecksumTarAccepts) {
    test::TempDir dir;
    const std::string file = dir.Path() + "c513.bin";
    WriteAll(file, RandomBytes(513, 7));
    SetModified(file, 1000000);  // octal 3641100: leading blanks in the time field too
    const std::string archive = dir.Path() + "h.tgz";
    {
        TTGZWriter writer(archive);
        ASSERT_TRUE(writer.AddFile(file));
    }  // the destructor finishes the archive
    const std::string h = Gunzip(archive).substr(0, 512);
    ASSERT_EQ(h.size(), 512u);
    EXPECT_EQ(h.substr(0, 9), "c513.bin" + std::string(1, '\0'));
    EXPECT_EQ(h.substr(8, 92), std::string(92, '\0'));
    for (int field : {100, 108, 116}) EXPECT_EQ(h.substr(field, 8), std::string("     0 \0", 8)) << field;
    EXPECT_EQ(h.substr(124, 12), "       1001 ");
    EXPECT_EQ(h.substr(136, 12), "    3641100 ");
    EXPECT_EQ(h[156], '0');
    EXPECT_EQ(h.substr(257, 9), std::string("ustar   \0", 9));
    // Checksum: 6 places of blanks and octal digits, a blank, a zero byte.
    const std::string sum = h.substr(148, 8);
    EXPECT_EQ(sum.substr(6), std::string(" \0", 2));
    EXPECT_NE(sum.find_first_of("01234567"), std::string::npos);
    EXPECT_EQ(sum.substr(0, 6).find_first_not_of(" 01234567"), std::string::npos) << sum;
    EXPECT_EQ(h.substr(157, 100), std::string(100, '\0'));
    EXPECT_EQ(h.substr(266), std::string(512 - 266, '\0'));
    // tar verifies the checksum when it lists.
    test::ToolResult list = Tar("-tvzf " + Quoted(archive));
    EXPECT_EQ(list.Status, 0) << list.Output;
    EXPECT_NE(list.Output.find(" 513 1970-01-12 13:46 c513.bin"), std::string::npos) << list.Output;
}

TEST(TgzWriter, GzipHeaderNamesTheTarAndGzipRestoresThatName) {
    test::TempDir dir;
    WriteAll(dir.Path() + "report.txt", "report text\r\n");
    const std::string archive = dir.Path() + "CompressFiles.tgz";
    {
        TTGZWriter writer(archive);
        ASSERT_TRUE(writer.AddFile(dir.Path() + "report.txt"));
        ASSERT_TRUE(writer.Finish());
    }
    const std::string bytes = ReadAll(archive);
    ASSERT_GT(bytes.size(), 28u);
    EXPECT_EQ(bytes.substr(0, 10), std::string("\x1F\x8B\x08\x08\0\0\0\0\0\0", 10));
    EXPECT_EQ(bytes.substr(10, 18), std::string("CompressFiles.tar\0", 18));
    // Renamed, the file still decompresses to the name in its header.
    WriteAll(dir.Path() + "renamed.gz", bytes);
    ASSERT_EQ(RunTool("cd " + Quoted(dir.Path()) + " && gzip -dN renamed.gz").Status, 0);
    EXPECT_EQ(Gunzip(archive), ReadAll(dir.Path() + "CompressFiles.tar"));
}

TEST(TgzWriter, StampedNamesCarryTheReportTimeBeforeTheExtension) {
    // 2024-02-29 13:05:09 as days since 1899-12-30.
    const double reportTime = 45351.0 + (13 * 3600 + 5 * 60 + 9) / 86400.0;
    EXPECT_EQ(FormatStamp(reportTime), "20240229130509");
    EXPECT_EQ(FormatStamp(45351.0 - 0.4 / 86400000.0), "20240229000000");  // rounds to the millisecond
    EXPECT_EQ(StampFileName("CompressFiles.tgz", reportTime), "CompressFiles_20240229130509.tgz");
    EXPECT_EQ(StampFileName("README", reportTime), "README_20240229130509");
    EXPECT_EQ(StampFileName("log.v2.mlf", reportTime), "log.v2_20240229130509.mlf");

    test::TempDir dir;
    WriteAll(dir.Path() + "Screenshot.png", "png");
    WriteAll(dir.Path() + "README", "readme");
    const std::string archive = dir.Path() + StampFileName("CompressFiles.tgz", reportTime);
    {
        TTGZWriter writer(archive, true, reportTime);
        ASSERT_TRUE(writer.AddFile(dir.Path() + "Screenshot.png"));
        ASSERT_TRUE(writer.AddFile(dir.Path() + "README", "C:\\Temp\\Notes"));
        ASSERT_TRUE(writer.Finish());
    }
    test::ToolResult list = Tar("-tzf " + Quoted(archive));
    EXPECT_EQ(list.Output, "Screenshot_20240229130509.png\nNotes_20240229130509\n");
    EXPECT_EQ(ReadAll(archive).substr(10, 33), std::string("CompressFiles_20240229130509.tar\0", 33));
}

TEST(TgzWriter, UnreadableFilesAreLeftOutAndAnEmptyListMakesNoArchive) {
    test::TempDir dir;
    WriteAll(dir.Path() + "kept.txt", "kept");
    const std::string archive = dir.Path() + "a.tgz";
    {
        TTGZWriter writer(archive);
        EXPECT_FALSE(writer.AddFile(dir.Path() + "missing.txt"));
        EXPECT_FALSE(writer.AddFile(dir.Path()));  // a folder
        EXPECT_TRUE(writer.AddFile(dir.Path() + "kept.txt"));
        EXPECT_EQ(writer.Members().size(), 1u);
        ASSERT_TRUE(writer.Finish());
        EXPECT_FALSE(writer.AddFile(dir.Path() + "kept.txt")) << "nothing is added after the end";
    }
    EXPECT_EQ(Tar("-tzf " + Quoted(archive)).Output, "kept.txt\n");

    const std::string none = dir.Path() + "none.tgz";
    {
        TTGZWriter writer(none);
        EXPECT_FALSE(writer.AddFile(dir.Path() + "missing.txt"));
        EXPECT_FALSE(writer.Finish());
    }
    { TTGZWriter untouched(dir.Path() + "never.tgz"); }
    EXPECT_FALSE(std::filesystem::exists(dir.Native() / "none.tgz"));
    EXPECT_FALSE(std::filesystem::exists(dir.Native() / "never.tgz"));

    // An archive that cannot be written leaves nothing behind and says so.
    TTGZWriter lost(dir.Path() + "no-such-folder/x.tgz");
    ASSERT_TRUE(lost.AddFile(dir.Path() + "kept.txt"));
    EXPECT_FALSE(lost.Finish());
    EXPECT_FALSE(std::filesystem::exists(dir.Native() / "no-such-folder"));
}

TEST(TgzWriter, NamesLongerThanTheHeaderFieldSurviveWhole) {
    test::TempDir dir;
    const std::string longName = std::string(120, 'n') + ".txt";
    const std::string exact = std::string(96, 'e') + ".txt";  // exactly 100 bytes, no terminator
    WriteAll(dir.Path() + longName, "long");
    WriteAll(dir.Path() + exact, "exact");
    const std::string archive = dir.Path() + "long.tgz";
    {
        TTGZWriter writer(archive);
        ASSERT_TRUE(writer.AddFile(dir.Path() + longName));
        ASSERT_TRUE(writer.AddFile(dir.Path() + exact));
    }
    EXPECT_EQ(Tar("-tzf " + Quoted(archive)).Output, longName + "\n" + exact + "\n");
    EXPECT_EQ(Tar("-xzOf " + Quoted(archive) + " " + Quoted(longName)).Output, "long");
    EXPECT_EQ(Tar("-xzOf " + Quoted(archive) + " " + Quoted(exact)).Output, "exact");
}

TEST(TgzWriter, LargeMemberRoundTripsThroughGzip) {
    test::TempDir dir;
    // Half noise, half runs: both deflate paths, several output buffers.
    std::string data = RandomBytes(3 << 20, 11);
    for (size_t i = data.size() / 2; i < data.size(); ++i) data[i] = static_cast<char>((i / 4096) & 0x7F);
    WriteAll(dir.Path() + "big.bin", data);
    const std::string archive = dir.Path() + "big.tgz";
    {
        TTGZWriter writer(archive);
        ASSERT_TRUE(writer.AddFile(dir.Path() + "big.bin"));
    }
    EXPECT_EQ(RunTool("gzip -t " + Quoted(archive)).Status, 0);
    EXPECT_EQ(Tar("-xzOf " + Quoted(archive) + " big.bin").Output, data);
}

TEST(Crc32, AgreesWithZlibAtEveryLengthAndAlignment) {
    const std::string bytes = RandomBytes(300, 5);
    for (size_t offset = 0; offset < 4; ++offset) {
        for (size_t length = 0; length + offset <= bytes.size(); length += 7) {
            const auto* p = reinterpret_cast<const Bytef*>(bytes.data() + offset);
            EXPECT_EQ(Crc32(p, length), crc32(0, p, static_cast<uInt>(length))) << offset << "+" << length;
        }
    }
    // Continued in two pieces gives the value of the whole.
    const uint32_t first = Crc32(bytes.data(), 123);
    EXPECT_EQ(Crc32(bytes.data() + 123, bytes.size() - 123, first), Crc32(bytes.data(), bytes.size()));
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);  // the published check value
}

}  // namespace
}  // namespace quillan::crash
