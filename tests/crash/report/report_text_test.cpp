#include <gtest/gtest.h>

#include <string>

#include "crash/options/options.h"
#include "crash/report/date_text.h"
#include "crash/report/log_item.h"
#include "crash/report/report_text.h"
#include "crash/report/tables.h"

namespace quillan::crash {
namespace {

TMishapStackEntry Entry(TStackKind kind, uint32_t thread, TAddress address, const char* module, const char* unit,
                        const char* cls, const char* procedure, int line = 0, int offset = 0, bool running = false) {
    TMishapStackEntry e;
    e.Kind = kind;
    e.ThreadId = thread;
    e.Address = address;
    e.ModuleFile = module;
    e.UnitName = unit;
    e.ClassName = cls;
    e.ProcedureName = procedure;
    e.Line = line;
    e.LineOffset = offset;
    e.RunningThread = running;
    return e;
}

// Three threads: the exception thread (main), the report thread, another caller; entries of every
// kind, of which only some are listed.
TMishapStackList HandMadeStack() {
    const char* exe = "C:\\App\\quillan.exe";
    return {
        Entry(TStackKind::LineTable, 100, 0x00401234, exe, "Main", "TFForm", "N1Click", 120, 3),
        Entry(TStackKind::LineTable, 100, 0x00405678, exe, "Forms", "TApplication", "HandleMessage"),
        Entry(TStackKind::PlainExport, 100, 0x7C801234, "C:\\Windows\\system32\\user32.dll", "", "",
              "DispatchMessageW"),
        Entry(TStackKind::PackageExport, 100, 0x50001000, "C:\\App\\rtl.bpl", "System", "TObject", "Free"),
        Entry(TStackKind::InModule, 100, 0x00407000, exe, "", "", ""),
        Entry(TStackKind::Unknown, 100, 0x12345678, "", "", "", ""),
        Entry(TStackKind::LineTable, 200, 0x00409ABC, exe, "MishapLog", "TExceptionThread", "Execute", 77, 0, true),
        Entry(TStackKind::LineTable, 300, 0x0040AAAA, exe, "Worker", "", "Run", 5, 2),
    };
}

std::vector<TThreadSummary> HandMadeThreads() {
    return {{100, "0", "", true}, {200, "2", "TExceptionThread", false}, {300, "-1", "TWorker", false}};
}

TEST(ReportSections, AlignmentGapsAndMultiLineValues) {
    TMishapModuleOptions options;
    // Hide 1.2, 1.5, 2.3 and every item of sections 3 to 6.
    uint64_t mask = 0;
    for (int item : {1, 3, 4}) mask |= 1ull << DetailBit(1, item);
    for (int item : {1, 2, 4, 5}) mask |= 1ull << DetailBit(2, item);
    options.SetDetailMask(mask);
    TReportContext context;
    context.Options = &options;
    context.Values[TReportItem::StartDate] = "2024-01-02 03:04:05";
    context.Values[TReportItem::NameDescription] = "hidden";
    context.Values[TReportItem::VersionNumber] = "1.0.0.5";
    context.Values[TReportItem::ExceptionDate] = "2024-01-02 03:04:06";
    context.Values[TReportItem::ExceptionAddress] = "00401234";
    context.Values[TReportItem::ExceptionModule] = "hidden";
    context.Values[TReportItem::ExceptionType] = "EAccessViolation";
    context.Values[TReportItem::ExceptionMessage] =
        "Access violation at address 00401234.\n\nRead of address 00000000: bad\r\n";
    context.Values[TReportItem::ComputerName] = "hidden";
    EXPECT_EQ(InformationSections(context),
              "Application:\r\n"
              "-----------------------------------------\r\n"
              "  1.1 Start Date    : 2024-01-02 03:04:05\r\n"
              "  1.3 Version Number: 1.0.0.5\r\n"
              "  1.4 Parameters    : \r\n"
              "\r\n"
              "Exception:\r\n"
              "----------------------------------------------------\r\n"
              "  2.1 Date   : 2024-01-02 03:04:06\r\n"
              "  2.2 Address: 00401234\r\n"
              "  2.4 Type   : EAccessViolation\r\n"
              "  2.5 Message: Access violation at address 00401234.\r\n"
              " .\r\n"
              " Read of address 00000000:_bad\r\n"
              "\r\n");
}

TEST(ReportSections, CustomDataIsSectionSevenAfterNetwork) {
    TMishapModuleOptions options;
    TReportContext context;
    context.Options = &options;
    context.Values[TReportItem::Dhcp] = "OFF             - ";
    context.CustomData = "Build: nightly\r\nUser data";
    std::string text = InformationSections(context);
    size_t network = text.find("Network:\r\n");
    size_t other = text.find("Other Information:\r\n");
    ASSERT_NE(network, std::string::npos);
    ASSERT_NE(other, std::string::npos);
    EXPECT_LT(network, other);
    EXPECT_NE(text.find("  6.6 DHCP      : OFF             - \r\n\r\nOther"), std::string::npos);
    EXPECT_EQ(text.substr(other),
              "Other Information:\r\n"
              "----------------------\r\n"
              "  7.1 : Build:_nightly\r\n"
              " User data\r\n"
              "\r\n");
    EXPECT_EQ(FormatLogValue("one line: kept"), "one line: kept");
}

TEST(CallStackTable, ColumnsThreadLinesAndBracketedOffsets) {
    TMishapModuleOptions options;
    options.SetStackFlags(skPlainExports | skLineOffset);
    EXPECT_EQ(CallStackTable(options, HandMadeStack(), HandMadeThreads(), kLayout32),
              "Call Stack Information:\r\n"
              "-------------------------------------------------------------------------\r\n"
              "|Address |Module     |Unit     |Class           |Procedure/Method|Line  |\r\n"
              "-------------------------------------------------------------------------\r\n"
              "Exception Thread: ID=100; Priority=0; [Main]                             \r\n"
              "|00401234|quillan.exe|Main     |TFForm          |N1Click         |120[3]|\r\n"
              "|00405678|quillan.exe|Forms    |TApplication    |HandleMessage   |      |\r\n"
              "|7C801234|user32.dll |         |                |DispatchMessageW|      |\r\n"
              "Running Thread: ID=200; Priority=2; Class=TExceptionThread               \r\n"
              "|00409ABC|quillan.exe|MishapLog|TExceptionThread|Execute         |77[0] |\r\n"
              "Calling Thread: ID=300; Priority=-1; Class=TWorker                       \r\n"
              "|0040AAAA|quillan.exe|Worker   |                |Run             |5[2]  |\r\n"
              "-------------------------------------------------------------------------\r\n"
              "\r\n");
}

TEST(CallStackTable, KindsByStackFlagsAndPlainLineCells) {
    TMishapModuleOptions options;
    options.SetStackFlags(skPackageExports);
    std::string table = CallStackTable(options, HandMadeStack(), HandMadeThreads(), kLayout32);
    EXPECT_EQ(table.find("DispatchMessageW"), std::string::npos);
    EXPECT_NE(table.find("|50001000|rtl.bpl    |System   |TObject         |Free            |    |"), std::string::npos);
    EXPECT_NE(table.find("|N1Click         |120 |"), std::string::npos);
    EXPECT_EQ(table.find("00407000"), std::string::npos);
    EXPECT_EQ(table.find("12345678"), std::string::npos);
    // An empty list still gives the frame of the table.
    std::string empty = CallStackTable(options, {}, {}, kLayout32);
    EXPECT_EQ(empty,
              "Call Stack Information:\r\n"
              "--------------------------------------------------\r\n"
              "|Address |Module|Unit|Class|Procedure/Method|Line|\r\n"
              "--------------------------------------------------\r\n"
              "--------------------------------------------------\r\n"
              "\r\n");
}

TEST(ModulesTable, RowsAndWidths) {
    TMishapModuleOptions options;
    std::vector<TModuleSummary> modules = {
        {0x00400000, "C:\\App\\quillan.exe", "Quillan", "1.0.0.5", 123456, EncodeDateTime(2024, 3, 5, 14, 7, 9)},
        {0x7C800000, "C:\\Windows\\system32\\user32.dll", "Multi-User Windows USER API Client DLL", "6.1.7601.17514",
         1008128, EncodeDateTime(2010, 11, 20, 12, 19, 6)},
    };
    EXPECT_EQ(ModulesTable(options, modules, kLayout32),
              "Modules Information:\r\n"
              "--------------------------------------------------------------------------------------------------------"
              "---------------------\r\n"
              "|Handle  |Name       |Description                           |Version       |Size   |Modified           "
              "|Path                |\r\n"
              "--------------------------------------------------------------------------------------------------------"
              "---------------------\r\n"
              "|00400000|quillan.exe|Quillan                               |1.0.0.5       |123456 |2024-03-05 "
              "14:07:09|C:\\App\\             |\r\n"
              "|7C800000|user32.dll |Multi-User Windows USER API Client DLL|6.1.7601.17514|1008128|2010-11-20 "
              "12:19:06|C:\\Windows\\system32\\|\r\n"
              "--------------------------------------------------------------------------------------------------------"
              "---------------------\r\n"
              "\r\n");
}

TCpuSnapshot HandMadeCpu() {
    TCpuSnapshot cpu;
    cpu.HasRegisters = true;
    cpu.Registers[rgAx] = 1;
    cpu.Registers[rgDi] = 7;
    cpu.Registers[rgBx] = 0x12FF00;
    cpu.Registers[rgSi] = 8;
    cpu.Registers[rgCx] = 0xDEADBEEF;
    cpu.Registers[rgSp] = 0x12FE00;
    cpu.Registers[rgDx] = 0;
    cpu.Registers[rgIp] = 0x401234;
    cpu.HasDump = true;
    cpu.StackAddress = 0x12FE00;
    for (uint32_t i = 0; i < 16; ++i) cpu.StackValues[i] = i * 0x11111111u;
    cpu.MemoryAddress = 0x401230;
    for (int i = 0; i < 256; ++i) cpu.Memory[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    return cpu;
}

TEST(CpuSection, RegistersStackAndDump) {
    TMishapModuleOptions options;
    EXPECT_EQ(CpuSection(options, HandMadeCpu(), kLayout32),
              "Registers:\r\n"
              "-----------------------------\r\n"
              "EAX: 00000001   EDI: 00000007\r\n"
              "EBX: 0012FF00   ESI: 00000008\r\n"
              "ECX: DEADBEEF   ESP: 0012FE00\r\n"
              "EDX: 00000000   EIP: 00401234\r\n"
              "\r\n"
              "Stack:               Memory Dump:\r\n"
              "------------------   ---------------------------------------------------------------------------\r\n"
              "0012FE00: 00000000   00401230:  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ................\r\n"
              "0012FE04: 11111111   00401240:  10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ................\r\n"
              "0012FE08: 22222222   00401250:  20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F  !\"#$%&'()*+,-./\r\n"
              "0012FE0C: 33333333   00401260:  30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F 0123456789:;<=>?\r\n"
              "0012FE10: 44444444   00401270:  40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F @ABCDEFGHIJKLMNO\r\n"
              "0012FE14: 55555555   00401280:  50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F PQRSTUVWXYZ[\\]^_\r\n"
              "0012FE18: 66666666   00401290:  60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F `abcdefghijklmno\r\n"
              "0012FE1C: 77777777   004012A0:  70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F pqrstuvwxyz{|}~.\r\n"
              "0012FE20: 88888888   004012B0:  80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F ................\r\n"
              "0012FE24: 99999999   004012C0:  90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F ................\r\n"
              "0012FE28: AAAAAAAA   004012D0:  A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF ................\r\n"
              "0012FE2C: BBBBBBBB   004012E0:  B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB BC BD BE BF ................\r\n"
              "0012FE30: CCCCCCCC   004012F0:  C0 C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF ................\r\n"
              "0012FE34: DDDDDDDD   00401300:  D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF ................\r\n"
              "0012FE38: EEEEEEEE   00401310:  E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF ................\r\n"
              "0012FE3C: FFFFFFFF   00401320:  F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ................\r\n");
}

TEST(CpuSection, WithoutRegistersAndWithoutTheSection) {
    TMishapModuleOptions options;
    EXPECT_EQ(CpuSection(options, TCpuSnapshot(), kLayout32),
              "Registers:\r\n"
              "-----------------------------\r\n"
              "EAX: ????       EDI: ????    \r\n"
              "EBX: ????       ESI: ????    \r\n"
              "ECX: ????       ESP: ????    \r\n"
              "EDX: ????       EIP: ????    \r\n"
              "\r\n"
              "Stack:               Memory Dump:\r\n"
              "------------------   ---------------------------------------------------------------------------\r\n");
    options.SetLogFlags(0);
    EXPECT_EQ(CpuSection(options, HandMadeCpu(), kLayout32), "Registers:\r\n----------\r\n\r\n");
}

TEST(CpuSection, SixtyFourBitNamesAndWidths) {
    TMishapModuleOptions options;
    TCpuSnapshot cpu = HandMadeCpu();
    cpu.Registers[rgIp] = 0x00007FF612341234ull;
    std::string text = CpuSection(options, cpu, kLayout64);
    EXPECT_NE(text.find("\r\nRAX: 0000000000000001   RDI: 0000000000000007\r\n"), std::string::npos);
    EXPECT_NE(text.find("RDX: 0000000000000000   RIP: 00007FF612341234\r\n"), std::string::npos);
    EXPECT_NE(text.find("Registers:\r\n" + std::string(45, '-') + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("Stack:" + std::string(31, ' ') + "Memory Dump:\r\n" + std::string(34, '-') + "   " +
                        std::string(83, '-') + "\r\n"),
              std::string::npos);
    // Slots of 8 bytes.
    EXPECT_NE(text.find("\r\n000000000012FE10: 0000000022222222   0000000000401250:  20 21"), std::string::npos)
        << text;
    cpu.HasRegisters = false;
    EXPECT_NE(CpuSection(options, cpu, kLayout64)
                  .find("RAX: ????" + std::string(15, ' ') + "RDI: ????" + std::string(12, ' ') + "\r\n"),
              std::string::npos);
}

TEST(ReportText, WholeReportFrame) {
    TMishapModuleOptions options;
    TReportContext context;
    context.Options = &options;
    context.Layout = &kLayout32;
    context.Values[TReportItem::ExceptionMessage] = "a\r\n\r\n\r\n\r\nb";
    context.Stack = HandMadeStack();
    context.Threads = HandMadeThreads();
    context.Cpu = HandMadeCpu();
    std::string text = BuildReportText(context);
    EXPECT_EQ(text.rfind("MishapLog 5.0.6 RC 6\r\n\r\nApplication:\r\n", 0), 0u);
    size_t stack = text.find("Call Stack Information:");
    size_t cpu = text.find("Registers:");
    ASSERT_NE(stack, std::string::npos);
    ASSERT_NE(cpu, std::string::npos);
    EXPECT_LT(stack, cpu);
    EXPECT_EQ(text.find("Modules Information:"), std::string::npos);
    // Empty lines of values never make the run of line breaks that separates stored reports.
    EXPECT_EQ(text.find("\r\n\r\n\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    context.Modules.push_back({0x400000, "C:\\quillan.exe", "", "", 1, 0});
    text = BuildReportText(context);
    size_t modules = text.find("Modules Information:");
    EXPECT_LT(stack, modules);
    EXPECT_LT(modules, text.find("Registers:"));
}

TEST(DateText, DaysSince1899) {
    EXPECT_EQ(DateTimeText(0), "1899-12-30 00:00:00");
    EXPECT_EQ(DateTimeText(45000.5), "2023-03-15 12:00:00");
    EXPECT_EQ(DateTimeText(EncodeDateTime(2000, 2, 29, 23, 59, 59, 700)), "2000-03-01 00:00:00");
    EXPECT_EQ(DateTimeText(1e300), "");
}

}  // namespace
}  // namespace quillan::crash
