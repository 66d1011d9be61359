// The block in both forms and every version family, export names and tables, and the modules
// list over a made-up process.
#include <gtest/gtest.h>

#include <zlib.h>

#include <map>
#include <string>

#include "crash/codec/base64.h"
#include "crash/moduledata/byte_io.h"
#include "crash/moduledata/export_names.h"
#include "crash/moduledata/line_records.h"
#include "crash/moduledata/line_table_writer.h"
#include "crash/moduledata/module_block.h"
#include "crash/moduledata/module_data_format.h"
#include "crash/moduledata/modules_list.h"
#include "crash/moduledata/pe_exports.h"
#include "crash/options/carried_options.h"
#include "crash/options/options_stream.h"
#include "crash/options/shared_block.h"

namespace quillan::crash {
namespace {

std::string Compress(const std::string& bytes) {
    uLongf size = compressBound(bytes.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size());
    out.resize(size);
    return out;
}

// The carried configuration with one field changed, as a version-506 options stream.
std::string OptionsStream(const std::string& smtpHost) {
    TMishapModuleOptions o;
    ApplyCarriedOptions(o);
    o.SetSmtpHost(smtpHost);
    return o.SaveToBytes();
}
const std::string kOptions = OptionsStream("smtp.example");

// An options stream of the layout before version 500, laid byte by byte: no upload, dialog,
// layout, stack or burst fields, a 4-byte detail mask and the dialog and send flags as bytes.
std::string OldOptionsStream(std::uint32_t hangTimeout) {
    std::string out;
    auto str = [&](const std::string& text) {
        PutU32(out, static_cast<std::uint32_t>(text.size()));
        out += MaskOptionsString(text);
    };
    for (std::uint8_t b : {1, 1, 0x31, 0, 1, 1, 0}) PutU8(out, b);
    PutU32(out, hangTimeout);
    str("Frozen.");
    str("");
    str("old.example");
    PutU16(out, 25);
    str("");
    str("");
    PutU8(out, 1);
    PutU8(out, 0);
    PutU32(out, 300);
    PutU32(out, 3);
    str("");
    str("");
    PutU8(out, 1);  // mail method
    PutU32(out, 0xFFFFFFFF);
    str("C:\\Logs");
    for (std::uint8_t b : {0, 1, 1, 1, 1, 1, 0, 0, 0}) PutU8(out, b);
    PutU32(out, 0);  // no filters
    str("");
    for (int i = 0; i < 96; ++i) str(i == 14 ? "&OK" : "");
    return out;
}

std::string CheckValue(const std::string& password) {
    std::string plain;
    PutU32(plain, kModuleDataMagic);
    return TTeaChain(TeaKeyFromPassword(password), kNameChainStart).Encipher(plain);
}

std::string LineTablesFor(const std::string& password) {
    TLineTableInput in;
    in.Files = {"engine/store/template_file.cpp"};
    in.Procedures = {{"quillan::TTemplateFile", "Load", 10}};
    in.Ranges = {{0x100, 0x140, 0, 12, 0}};
    return BuildLineTables(in, TNameEncoder(TTeaChain(TeaKeyFromPassword(password), kNameChainStart)));
}

// The header that every resource form starts with.
std::string Header(std::uint16_t version) {
    std::string out;
    PutU32(out, kModuleDataMagic);
    PutU16(out, version);
    PutF64(out, 45000.5);
    PutU32(out, 9);
    PutU8(out, 0);
    PutU32(out, 0x2000);
    PutU32(out, 0x44);
    return out;
}

TEST(ModuleBlock, CurrentResourceFormRoundTrips) {
    TModuleBlockParts parts;
    parts.BuildDate = 45123.25;
    parts.Routines = {{0, 0x1234, RoutineSize(0x41)}, {1, 0x2000, 0x10}};
    parts.Options = kOptions;
    parts.CheckValue = CheckValue("pw");
    parts.LineTables = LineTablesFor("pw");
    const std::string bytes = WriteResourceBlock(parts);
    TModuleBlock block;
    ASSERT_TRUE(ReadResourceBlock(bytes, block));
    EXPECT_EQ(block.Version, 506);
    EXPECT_EQ(block.BuildDate, 45123.25);
    ASSERT_EQ(block.Routines.size(), 2u);
    EXPECT_EQ(block.Routines[0].Size, 0x44u);
    EXPECT_EQ(block.Routines[1].Offset, 0x2000u);
    EXPECT_EQ(block.Options, kOptions);
    EXPECT_EQ(block.CheckValue, parts.CheckValue);
    EXPECT_EQ(block.LineTables, parts.LineTables);
    EXPECT_TRUE(block.Error.empty());
}

TEST(ModuleBlock, Versions450To499HoldOptionsAndTablesInOneStreamBelow450Uncompressed) {
    std::string tables;
    PutU32(tables, 0);  // the block versions 405 to 499 skip
    PutU32(tables, 0);  // no units
    // Only the options loader knows where the options end; the tables follow them.
    const std::string options = OldOptionsStream(90);
    std::string rest = options;
    PutU32(rest, static_cast<std::uint32_t>(tables.size()));
    rest += tables;
    for (std::uint16_t version : {450, 499}) {
        TModuleBlock block;
        ASSERT_TRUE(ReadResourceBlock(Header(version) + Compress(rest), block));
        EXPECT_EQ(block.Version, version);
        EXPECT_EQ(block.Options, options);
        EXPECT_EQ(block.LineTables, tables);
        EXPECT_FALSE(block.CheckValue.has_value());
        EXPECT_TRUE(block.Error.empty()) << block.Error;
    }
    TModuleBlock old;
    ASSERT_TRUE(ReadResourceBlock(Header(420) + rest, old));
    EXPECT_EQ(old.Options, options);
    EXPECT_EQ(old.LineTables, tables);
    // Options cut short: neither they nor the tables behind them can be found.
    TModuleBlock cut;
    ASSERT_TRUE(ReadResourceBlock(Header(420) + options.substr(0, 300), cut));
    EXPECT_FALSE(cut.HasOptions);
    EXPECT_FALSE(cut.HasLineTables);
    EXPECT_EQ(cut.Error, "options: The options stream is truncated.");
}

TEST(ModuleBlock, AppendedFormIsFoundAtTheEndOfAFile) {
    TModuleBlockParts parts;
    parts.BuildDate = 44000;
    parts.Options = OldOptionsStream(90);
    parts.LineTables = "tables";
    const std::string file = std::string(1000, 'M') + WriteAppendedBlock(470, parts);
    auto place = FindAppendedBlock(file.size(), std::string_view(file).substr(file.size() - 8));
    ASSERT_TRUE(place);
    EXPECT_EQ(place->Offset, 1000u);
    TModuleBlock block;
    ASSERT_TRUE(ReadAppendedBlock(std::string_view(file).substr(place->Offset, place->Length), block));
    EXPECT_EQ(block.Version, 470);
    EXPECT_EQ(block.BuildDate, 44000);
    EXPECT_EQ(block.Options, parts.Options);
    EXPECT_EQ(block.LineTables, "tables");
    EXPECT_FALSE(FindAppendedBlock(file.size() - 1, std::string_view(file).substr(file.size() - 9, 8)));
    std::string hostile = file;
    hostile[hostile.size() - 5] = '\x7F';  // a length reaching before the file's start
    EXPECT_FALSE(FindAppendedBlock(hostile.size(), std::string_view(hostile).substr(hostile.size() - 8)));
}

TEST(ModuleBlock, DamagedBlocksGiveWhatCouldBeReadAndSayWhy) {
    TModuleBlockParts parts;
    parts.Options = kOptions;
    parts.CheckValue = CheckValue("pw");
    parts.LineTables = LineTablesFor("pw");
    const std::string whole = WriteResourceBlock(parts);
    TModuleBlock block;
    EXPECT_FALSE(ReadResourceBlock(whole.substr(0, 10), block));  // short header
    EXPECT_FALSE(ReadResourceBlock("not a block at all", block));
    ASSERT_TRUE(ReadResourceBlock(whole.substr(0, whole.size() - 6), block));  // truncated stream
    EXPECT_TRUE(block.HasOptions);
    EXPECT_FALSE(block.HasLineTables);
    EXPECT_EQ(block.Error, "line tables: buffer error");
    std::string corrupt = whole;
    corrupt[corrupt.size() - 12] ^= 0x55;
    ASSERT_TRUE(ReadResourceBlock(corrupt, block));
    EXPECT_FALSE(block.HasLineTables);
    EXPECT_FALSE(block.Error.empty());
    // A stream that inflates beyond the cap is refused, not inflated.
    std::string bomb;
    PutU32(bomb, kModuleDataMagic);
    PutU16(bomb, 506);
    PutF64(bomb, 0);
    PutU32(bomb, 0);  // no routines
    PutU32(bomb, 0);  // no options
    bomb += CheckValue("pw");
    bomb += Compress(std::string(kMaxLineTableBytes + 1024, '\0'));
    ASSERT_TRUE(ReadResourceBlock(bomb, block));
    EXPECT_FALSE(block.HasLineTables);
    EXPECT_EQ(block.Error, "line tables: buffer error");
}

TEST(ModuleBlock, InflationIsCappedAtExactlyItsLimit) {
    std::string plain;
    for (int i = 0; i < 100000; ++i) plain += static_cast<char>(i * 7 % 251);
    const std::string packed = Compress(plain);
    std::string out, error;
    // Far more output than the input suggests: out grows as the stream goes on.
    ASSERT_TRUE(InflateCapped(packed, plain.size(), out, error)) << error;
    EXPECT_EQ(out, plain);
    EXPECT_FALSE(InflateCapped(packed, plain.size() - 1, out, error));
    EXPECT_EQ(error, "buffer error");
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(InflateCapped(Compress(""), 0, out, error));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(InflateCapped(packed.substr(0, packed.size() / 2), plain.size(), out, error));
    EXPECT_EQ(error, "buffer error");
}

TEST(ExportNames, DecodingRules) {
    struct Case {
        const char* name;
        bool used;
        TStackKind kind;
        const char *unit, *cls, *proc;
    };
    const Case cases[] = {
        {"GetTickCount", true, TStackKind::PlainExport, "", "", "GetTickCount"},
        {"@Initialize", true, TStackKind::PlainExport, "", "", "_Initialize"},
        {"@Classes@TList@Add$qqrpv", true, TStackKind::PackageExport, "Classes", "TList", "Add"},
        {"@Sysutils@Format$qqrx17System@AnsiString", true, TStackKind::PackageExport, "Sysutils", "", "Format"},
        {"@Forms@TApplication@@HandleException$qqrp14System@TObject", true, TStackKind::PackageExport, "Forms", "",
         "TApplication_HandleException"},
        {"@Unit@TOuter@TInner@Run$qqrv", true, TStackKind::PackageExport, "Unit", "TOuter.TInner", "Run"},
        {"@Vcl@Forms@$xp$11TCustomForm", true, TStackKind::PackageExport, "Vcl", "", "Forms"},
        {"?Create@TClass@@QAEXXZ", false, TStackKind::Unknown, "", "", ""},
        {"NTDLL.RtlAllocateHeap", false, TStackKind::Unknown, "", "", ""},
    };
    for (const Case& c : cases) {
        TMishapStackEntry e;
        EXPECT_EQ(DecodeExportName(c.name, e), c.used) << c.name;
        EXPECT_EQ(e.Kind, c.kind) << c.name;
        EXPECT_EQ(e.UnitName, c.unit) << c.name;
        EXPECT_EQ(e.ClassName, c.cls) << c.name;
        EXPECT_EQ(e.ProcedureName, c.proc) << c.name;
    }
}

// A 32-bit image in memory: headers, an export table of three names, code.
struct TFakeImage {
    static constexpr TAddress kBase = 0x10000000;
    std::string bytes = std::string(0x3000, '\0');

    TFakeImage() {
        auto put32 = [&](size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
        };
        put32(60, 0x80);
        put32(0x80, 0x00004550);
        bytes[0x98] = 0x0B;  // optional header magic 0x10B
        bytes[0x99] = 0x01;
        put32(0x98 + 92, 16);      // number of data directories
        put32(0x98 + 96, 0x1000);  // export directory
        put32(0x98 + 100, 0x100);
        put32(0x1000 + 20, 4);  // functions (one is a forwarder)
        put32(0x1000 + 24, 4);  // names
        put32(0x1000 + 28, 0x1100);
        put32(0x1000 + 32, 0x1120);
        put32(0x1000 + 36, 0x1140);
        const char* names[] = {"Framed", "Plain", "Thunk", "Forwarded"};
        const std::uint32_t code[] = {0x2000, 0x2100, 0x2200, 0x1080};
        for (int i = 0; i < 4; ++i) {
            put32(0x1100 + 4 * i, code[i]);
            put32(0x1120 + 4 * i, 0x1180 + 0x20 * i);
            bytes[0x1140 + 2 * i] = static_cast<char>(i);
            bytes.replace(0x1180 + 0x20 * i, std::strlen(names[i]), names[i]);
        }
        bytes.replace(0x1080, 10, "OTHER.Func");
        // push ebp; mov ebp,esp; ... C3 inside an instruction; pop ebp; ret 8
        const char framed[] = "\x55\x8B\xEC\xB8\xC3\x00\x00\x00\x5D\xC2\x08\x00";
        bytes.replace(0x2000, 12, framed, 12);
        bytes.replace(0x2100, 4, "\x33\xC0\x40\xC3", 4);  // xor eax,eax; inc eax; ret
        // jmp [0x10002300]; mov eax,eax -> the slot holds 0x10002100
        bytes.replace(0x2200, 8, "\xFF\x25\x00\x23\x00\x10\x8B\xC0", 8);
        put32(0x2300, 0x10002100);
    }
};

TEST(PeExports, NamesAddressesThunksAndEstimatedLengths) {
    TFakeImage image;
    TBufferMemoryReader memory(TFakeImage::kBase, image.bytes.data(), image.bytes.size());
    const TMishapFunctionsList functions = ReadExportedFunctions(memory, TFakeImage::kBase, nullptr);
    ASSERT_EQ(functions.size(), 3u);  // the forwarder is left out
    EXPECT_EQ(functions[0].Name, "Framed");
    EXPECT_EQ(functions[0].Address, TFakeImage::kBase + 0x2000);
    EXPECT_EQ(functions[0].Length, 12u);  // up to "pop ebp; ret 8", not the C3 inside the mov
    // The thunk is followed to Plain's code: both sort there.
    EXPECT_EQ(functions[1].Address, TFakeImage::kBase + 0x2100);
    EXPECT_EQ(functions[2].Address, TFakeImage::kBase + 0x2100);
    EXPECT_EQ(functions[1].Length, 4u);
    EXPECT_EQ(FindExportedFunction(functions, TFakeImage::kBase + 0x200B)->Name, "Framed");
    EXPECT_EQ(FindExportedFunction(functions, TFakeImage::kBase + 0x200C), nullptr);
    EXPECT_NE(FindExportedFunction(functions, TFakeImage::kBase + 0x2103), nullptr);
    EXPECT_EQ(FindExportedFunction(functions, TFakeImage::kBase + 0x1FFF), nullptr);
    // A cut-off image yields what was readable, and no read past its end.
    TBufferMemoryReader cut(TFakeImage::kBase, image.bytes.data(), 0x1150);
    EXPECT_TRUE(ReadExportedFunctions(cut, TFakeImage::kBase, nullptr).empty());
}

// A process of two modules: the executable with a block, a DLL with exports and none.
class TFakePlatform : public IModulePlatform {
public:
    static constexpr TAddress kExe = 0x400000;
    TFakeImage dll;
    TBufferMemoryReader memory{TFakeImage::kBase, dll.bytes.data(), dll.bytes.size()};
    std::string block;
    std::optional<std::string> exportedPassword;
    double exeDate = 45000;
    int blockReads = 0;
    std::map<std::string, std::string> files;
    std::string sharedBlock;  // the executable's shared options block; empty: none

    TAddress ModuleOfAddress(TAddress a) override {
        if (a >= kExe && a < kExe + 0x10000) return kExe;
        if (a >= TFakeImage::kBase && a < TFakeImage::kBase + 0x3000) return TFakeImage::kBase;
        return 0;
    }
    bool ModuleFileName(TAddress h, std::string& path) override {
        if (h == kExe)
            path = "C:\\Quillan\\Quillan.exe";
        else if (h == TFakeImage::kBase)
            path = "C:\\Windows\\fake.dll";
        else
            return false;
        return true;
    }
    bool IsExecutable(TAddress h) override { return h == kExe; }
    TModuleFileState FileState(const std::string& path) override {
        TModuleFileState s;
        s.Exists = true;
        s.Size = files.count(path) ? files[path].size() : 1000;
        s.Modified = path.find("Quillan") != std::string::npos ? exeDate : 1;
        return s;
    }
    void VersionInfo(const std::string&, std::string& version, std::string& description) override {
        version = "1.2.3.4";
        description = "Fake";
    }
    bool ResourceBlock(TAddress h, std::string& bytes) override {
        ++blockReads;
        if (h != kExe || block.empty()) return false;
        bytes = block;
        return true;
    }
    bool ReadFile(const std::string& path, std::uint64_t offset, size_t count, std::string& bytes) override {
        if (!files.count(path) || offset + count > files[path].size()) return false;
        bytes = files[path].substr(offset, count);
        return true;
    }
    IMemoryReader& Memory() override { return memory; }
    TAddress ProcAddress(TAddress, const std::string&) override { return 0; }
    std::optional<std::string> ExportedPassword(TAddress) override { return exportedPassword; }
    bool OverlaySharedOptions(TAddress h, TMishapModuleOptions& options) override {
        std::string stream;
        if (h != kExe || !DecodeSharedBlock(sharedBlock, stream)) return false;
        options.LoadFromBytes(stream);
        return true;
    }
};

std::string ProgramBlock(const std::string& password) {
    TModuleBlockParts parts;
    parts.Options = kOptions;
    parts.CheckValue = CheckValue(password);
    parts.LineTables = LineTablesFor(password);
    return WriteResourceBlock(parts);
}

TEST(ModulesList, ResolvesThroughLineTablesWithTheExportedPassword) {
    TFakePlatform platform;
    platform.block = ProgramBlock("secret");
    platform.exportedPassword = "secret";
    TMishapModulesList list(platform);
    TMishapStackEntry e;
    list.Resolve(TFakePlatform::kExe + 0x1000 + 0x120, e);
    EXPECT_EQ(e.Kind, TStackKind::LineTable);
    EXPECT_EQ(e.ModuleHandle, TFakePlatform::kExe);
    EXPECT_EQ(e.ModuleFile, "C:\\Quillan\\Quillan.exe");
    EXPECT_EQ(e.UnitName, "engine/store/template_file.cpp");
    EXPECT_EQ(e.ClassName, "quillan::TTemplateFile");
    EXPECT_EQ(e.ProcedureName, "Load");
    EXPECT_EQ(e.Line, 12);
    EXPECT_EQ(e.LineOffset, 2);
    auto module = list.FindByHandle(TFakePlatform::kExe);
    ASSERT_TRUE(module);
    EXPECT_TRUE(module->Deciphered);
    EXPECT_TRUE(module->HasOptions);
    EXPECT_EQ(module->Options.SmtpHost(), "smtp.example");
    EXPECT_EQ(module->Options.MaxLogReports(), 300u);
    EXPECT_FALSE(module->SharedOptions);
    EXPECT_EQ(module->Version, "1.2.3.4");
    EXPECT_TRUE(module->Functions.empty());  // the executable's exports are not read
    // Outside the tables: the executable has no exports, so the entry is only placed in it.
    list.Resolve(TFakePlatform::kExe + 0x1000 + 0x200, e);
    EXPECT_EQ(e.Kind, TStackKind::InModule);
    list.Resolve(0x99, e);
    EXPECT_EQ(e.Kind, TStackKind::Unknown);
    EXPECT_EQ(e.Address, 0x99u);
}

TEST(ModulesList, AWrongPasswordGivesBase64NamesWithoutExtensionAndTheGlobalEventIsAsked) {
    TFakePlatform platform;
    platform.block = ProgramBlock("secret");
    TMishapModulesList list(platform);
    int asked = 0;
    list.SetPasswordRequestEvent([&](TAddress module, std::string& password) {
        ++asked;
        EXPECT_EQ(module, TFakePlatform::kExe);
        password = "wrong";
        return true;
    });
    TMishapStackEntry e;
    list.Resolve(TFakePlatform::kExe + 0x1100, e);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(e.Kind, TStackKind::LineTable);
    EXPECT_EQ(e.UnitName[0], '?');
    std::string raw;
    EXPECT_TRUE(Base64Decode(e.UnitName.substr(1), raw));
    EXPECT_EQ(raw.size(), std::string("engine/store/template_file.cpp").size());
    EXPECT_EQ(e.ProcedureName[0], '?');
    EXPECT_FALSE(list.FindByHandle(TFakePlatform::kExe)->Deciphered);
}

TEST(ModulesList, DllsResolveThroughExportsAndAChangedFileIsReadAgain) {
    TFakePlatform platform;
    platform.block = ProgramBlock("pw");
    platform.exportedPassword = "pw";
    TMishapModulesList list(platform);
    TMishapStackEntry e;
    list.Resolve(TFakeImage::kBase + 0x2005, e);
    EXPECT_EQ(e.Kind, TStackKind::PlainExport);
    EXPECT_EQ(e.ProcedureName, "Framed");
    EXPECT_EQ(e.ModuleFile, "C:\\Windows\\fake.dll");
    list.Resolve(TFakeImage::kBase + 0x2800, e);
    EXPECT_EQ(e.Kind, TStackKind::InModule);

    list.Resolve(TFakePlatform::kExe + 0x1100, e);
    const auto before = list.FindByHandle(TFakePlatform::kExe);
    const int reads = platform.blockReads;
    list.DropChanged();  // nothing changed
    EXPECT_EQ(list.FindByHandle(TFakePlatform::kExe), before);
    platform.exeDate += 1;
    list.DropChanged();
    const auto after = list.FindByHandle(TFakePlatform::kExe);
    EXPECT_NE(after, before);
    EXPECT_EQ(after->Modified, platform.exeDate);
    EXPECT_EQ(platform.blockReads, reads + 1);
    EXPECT_EQ(list.Count(), 2u);
}

TEST(ModulesList, TheAppendedFormIsReadFromTheFileWhenThereIsNoResource) {
    TFakePlatform platform;
    TModuleBlockParts parts;
    parts.Options = kOptions;
    parts.LineTables = LineTablesFor("pw");
    platform.files["C:\\Quillan\\Quillan.exe"] = std::string(5000, 'x') + WriteAppendedBlock(506, parts);
    platform.exportedPassword = "pw";
    TMishapModulesList list(platform);
    TMishapStackEntry e;
    list.Resolve(TFakePlatform::kExe + 0x1100, e);
    EXPECT_EQ(e.Kind, TStackKind::LineTable);
    EXPECT_EQ(e.UnitName, "engine/store/template_file.cpp");
    EXPECT_EQ(list.FindByHandle(TFakePlatform::kExe)->FormatVersion, 506);
    EXPECT_EQ(list.FindByHandle(TFakePlatform::kExe)->Options.SmtpHost(), "smtp.example");
}

TEST(ModulesList, TheSharedOptionsBlockOverlaysTheBlocksOptions) {
    TFakePlatform platform;
    platform.block = ProgramBlock("pw");
    const std::string changed = OptionsStream("changed.example");
    platform.sharedBlock = EncodeSharedBlock(&changed);
    TMishapModulesList list(platform);
    auto module = list.FindByHandle(TFakePlatform::kExe);
    ASSERT_TRUE(module);
    EXPECT_TRUE(module->SharedOptions);
    EXPECT_EQ(module->Options.SmtpHost(), "changed.example");
    EXPECT_EQ(module->BlockOptions.SmtpHost(), "smtp.example");
    EXPECT_EQ(module->Options.ModuleName(), "C:\\Quillan\\Quillan.exe");

    // A report reads the shared block again: the module may have changed its options since.
    TMishapModuleOptions options;
    const std::string later = OptionsStream("later.example");
    platform.sharedBlock = EncodeSharedBlock(&later);
    ASSERT_TRUE(list.LoadOptions(TFakePlatform::kExe, options));
    EXPECT_EQ(options.SmtpHost(), "later.example");
    EXPECT_EQ(options.ModuleName(), "C:\\Quillan\\Quillan.exe");
    // A block that says "no options" (flag 0) leaves the block's own.
    platform.sharedBlock = EncodeSharedBlock(nullptr);
    ASSERT_TRUE(list.LoadOptions(TFakePlatform::kExe, options));
    EXPECT_EQ(options.SmtpHost(), "smtp.example");
    EXPECT_FALSE(list.LoadOptions(0x12345678, options));
}

TEST(ModulesList, DamagedOrMissingOptionsLeaveTheDefaultsAndTheLineTables) {
    TFakePlatform platform;
    TModuleBlockParts parts;
    parts.Options = kOptions.substr(0, 100);
    parts.CheckValue = CheckValue("pw");
    parts.LineTables = LineTablesFor("pw");
    platform.block = WriteResourceBlock(parts);
    platform.exportedPassword = "pw";
    TMishapModulesList list(platform);
    auto module = list.FindByHandle(TFakePlatform::kExe);
    ASSERT_TRUE(module);
    EXPECT_FALSE(module->HasOptions);
    EXPECT_EQ(module->BlockError, "options: The options stream is truncated.");
    TMishapModuleOptions defaults;
    EXPECT_TRUE(module->Options.SameAs(defaults));
    EXPECT_EQ(module->Lines.UnitCount(), 1u);
    // A DLL without a block has the defaults too.
    auto dll = list.FindByHandle(TFakeImage::kBase);
    ASSERT_TRUE(dll);
    EXPECT_FALSE(dll->HasOptions);
    EXPECT_TRUE(dll->Options.SameAs(defaults));
}

TEST(ModulesList, AnOldBlockGivesItsConvertedOptionsAndXorMaskedNames) {
    // Version 449: one uncompressed stream of options and tables, names masked like option strings.
    std::string unit;
    PutU32(unit, 0);  // the block versions 405 to 499 skip
    PutU32(unit, 1);
    PutU8(unit, 12);
    unit += MaskOptionsString("old/unit.cpp");
    PutU32(unit, 7);     // first line
    PutU32(unit, 0x40);  // start
    PutU32(unit, 0x20);  // size
    std::string records;
    ASSERT_TRUE(AppendLineRecord(records, TLineStep{1, 0x20, true}));
    PutU8(records, 7);
    records += MaskOptionsString("OldProc");
    PutU32(unit, static_cast<std::uint32_t>(records.size()));
    unit += records;
    std::string rest = OldOptionsStream(90000);  // milliseconds below version 422
    PutU32(rest, static_cast<std::uint32_t>(unit.size()));
    rest += unit;
    TFakePlatform platform;
    platform.block = Header(421) + rest;
    TMishapModulesList list(platform);
    TMishapStackEntry e;
    list.Resolve(TFakePlatform::kExe + 0x1000 + 0x50, e);
    EXPECT_EQ(e.Kind, TStackKind::LineTable);
    EXPECT_EQ(e.UnitName, "old/unit.cpp");
    EXPECT_EQ(e.ProcedureName, "OldProc");
    EXPECT_EQ(e.Line, 7);
    auto module = list.FindByHandle(TFakePlatform::kExe);
    EXPECT_TRUE(module->HasOptions);
    EXPECT_EQ(module->Options.HangTimeout(), 90u);
    EXPECT_EQ(module->Options.MailMethod(), 2);  // method 1 with a host, below version 450
    EXPECT_EQ(module->Options.SmtpHost(), "old.example");
    EXPECT_EQ(module->Options.Text(14), "&OK");
}

// The program reads its options at start-up and may never report: the options alone are read,
// and the line tables wait for the first address to resolve.
TEST(ModulesList, OptionsAloneMakeNoEntry) {
    TFakePlatform platform;
    platform.block = ProgramBlock("pw");
    platform.exportedPassword = "pw";
    TMishapModulesList list(platform);
    TMishapModuleOptions options;
    ASSERT_TRUE(list.LoadOptions(TFakePlatform::kExe, options));
    EXPECT_EQ(options.SmtpHost(), "smtp.example");
    EXPECT_EQ(options.ModuleName(), "C:\\Quillan\\Quillan.exe");
    EXPECT_EQ(list.Count(), 0u);
    TMishapStackEntry e;
    list.Resolve(TFakePlatform::kExe + 0x1100, e);
    EXPECT_EQ(e.Kind, TStackKind::LineTable);
    EXPECT_EQ(e.UnitName, "engine/store/template_file.cpp");
    EXPECT_EQ(list.Count(), 1u);
    // Once made, the entry serves the options.
    const int reads = platform.blockReads;
    ASSERT_TRUE(list.LoadOptions(TFakePlatform::kExe, options));
    EXPECT_EQ(options.SmtpHost(), "smtp.example");
    EXPECT_EQ(platform.blockReads, reads);
}

}  // namespace
}  // namespace quillan::crash
