// Line tables: hand-built units for the procedure rules, and the writer checked by resolving
// every byte of generated code against the ranges it was given.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "crash/moduledata/byte_io.h"
#include "crash/moduledata/line_records.h"
#include "crash/moduledata/line_table_writer.h"
#include "crash/moduledata/line_tables.h"
#include "crash/moduledata/module_data_format.h"

namespace quillan::crash {
namespace {

const TTeaChain kLineChain(TeaKeyFromPassword("pw"), kNameChainStart);
const TNameEncoder kLineEncoder(kLineChain);

TLineTables Tables(const std::string& units, std::uint16_t version = 506) {
    return TLineTables(units, TNameDecoder(version, kLineChain, 0));
}

// One unit: name, first line, start, size and the records.
std::string Unit(const std::string& name, std::uint32_t firstLine, std::uint32_t start, std::uint32_t size,
                 const std::string& records) {
    std::string out;
    kLineEncoder.Write(out, name);
    PutU32(out, firstLine);
    PutU32(out, start);
    PutU32(out, size);
    PutU32(out, static_cast<std::uint32_t>(records.size()));
    return out + records;
}

void Record(std::string& out, std::uint32_t line, std::uint32_t address, const char* procedure = nullptr) {
    ASSERT_TRUE(AppendLineRecord(out, {line, address, procedure != nullptr}));
    if (procedure) kLineEncoder.Write(out, procedure);
}

TEST(LineTables, ProcedureNameRules) {
    std::string r;
    Record(r, 2, 4, "TForm.Create");  // offsets 100..103, line 10: class split at the first dot
    Record(r, 3, 4, ".Destroy");      // 104..107, line 12: a method of the same class
    Record(r, 1, 4, "@Helper");       // 108..111, line 15: "@" becomes "_", no class
    Record(r, 1, 4, "A.B.C");         // 112..115, line 16: split at the first dot only
    Record(r, 1, 4);                  // 116..119, line 17: still A.B.C
    std::string units;
    PutU32(units, 1);
    units += Unit("app/main_form", 10, 100, 20, r);
    const TLineTables tables = Tables(units);
    struct Want {
        std::uint32_t offset;
        const char *cls, *proc;
        int line, offset_;
    };
    for (const Want& w :
         {Want{100, "TForm", "Create", 10, 0}, Want{107, "TForm", "Destroy", 12, 0}, Want{110, "", "_Helper", 15, 0},
          Want{112, "A", "B.C", 16, 0}, Want{119, "A", "B.C", 17, 1}}) {
        TLineLocation at;
        ASSERT_TRUE(tables.Resolve(w.offset, at)) << w.offset;
        EXPECT_EQ(at.Unit, "app/main_form.cpp");  // the extension is added to a name without one
        EXPECT_EQ(at.Class, w.cls) << w.offset;
        EXPECT_EQ(at.Procedure, w.proc) << w.offset;
        EXPECT_EQ(at.Line, w.line) << w.offset;
        EXPECT_EQ(at.LineOffset, w.offset_) << w.offset;
    }
    TLineLocation none;
    EXPECT_FALSE(tables.Resolve(99, none));
    EXPECT_FALSE(tables.Resolve(120, none));
}

TEST(LineTables, AddressStep4095MovesTheLineAndNotTheAddress) {
    std::string r;
    Record(r, 5, 0, "Run");  // empty range at line 20: the procedure starts at line 20
    Record(r, 1, 8);         // 0..7 at line 25
    std::string units;
    PutU32(units, 1);
    units += Unit("a.cpp", 20, 0, 8, r);
    TLineLocation at;
    ASSERT_TRUE(Tables(units).Resolve(3, at));
    EXPECT_EQ(at.Line, 25);
    EXPECT_EQ(at.Procedure, "Run");
    EXPECT_EQ(at.LineOffset, 5);
}

TEST(LineTables, OldVersionsSkipTheirLeadingBlockAndUnitsOverlapInStreamOrder) {
    std::string r1, r2;
    Record(r1, 1, 10, "First");
    Record(r2, 1, 30, "Second");
    std::string units;
    PutU32(units, 3);  // versions 405 to 499: a block to skip
    units += "xyz";
    PutU32(units, 2);
    // Names below version 500 use the XOR mask (0 here), so they are written in clear.
    auto plainUnit = [](const std::string& name, std::uint32_t start, std::uint32_t size, const std::string& rec) {
        std::string out(1, static_cast<char>(name.size()));
        out += name;
        PutU32(out, 1);
        PutU32(out, start);
        PutU32(out, size);
        PutU32(out, static_cast<std::uint32_t>(rec.size()));
        return out + rec;
    };
    auto plainRecord = [](std::uint32_t address, const char* proc) {
        std::string out;
        AppendLineRecord(out, {1, address, true});
        out += static_cast<char>(std::strlen(proc));
        return out + proc;
    };
    units += plainUnit("b.cpp", 10, 10, plainRecord(10, "First"));
    units += plainUnit("a.cpp", 0, 30, plainRecord(30, "Second"));
    const TLineTables tables(units, TNameDecoder(450, std::nullopt, 0));
    ASSERT_EQ(tables.UnitCount(), 2u);
    TLineLocation at;
    ASSERT_TRUE(tables.Resolve(15, at));  // both cover 15: the first in the stream wins
    EXPECT_EQ(at.Unit, "b.cpp");
    EXPECT_EQ(at.Procedure, "First");
    ASSERT_TRUE(tables.Resolve(25, at));
    EXPECT_EQ(at.Unit, "a.cpp");
}

TEST(LineTables, MalformedTablesKeepTheWholeUnitsBeforeTheFault) {
    std::string r;
    Record(r, 1, 16, "Proc");
    std::string units;
    PutU32(units, 1000);  // more units announced than present
    units += Unit("ok.cpp", 1, 0, 16, r);
    units += Unit("cut.cpp", 1, 16, 16, r).substr(0, 20);
    const TLineTables tables = Tables(units);
    EXPECT_EQ(tables.UnitCount(), 1u);
    TLineLocation at;
    EXPECT_TRUE(tables.Resolve(5, at));
    EXPECT_FALSE(tables.Resolve(20, at));
}

TEST(LineTableWriter, ALineGoingBackStartsANewEntryOfTheSameFileThatNamesTheProcedureAgain) {
    TLineTableInput in;
    in.Files = {"engine/paste/paste_engine.cpp"};
    in.Procedures = {{"quillan::TPasteEngine", "Paste", 40}};
    in.Ranges = {{0, 10, 0, 42, 0}, {10, 20, 0, 45, 0}, {20, 30, 0, 43, 0}, {30, 40, 0, 47, 0}};
    TLineTableStats stats;
    const TLineTables tables = Tables(BuildLineTables(in, kLineEncoder, &stats).substr(0));
    ASSERT_EQ(tables.UnitCount(), 2u);
    EXPECT_EQ(stats.LineBack, 1u);
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(tables.UnitAt(i).Name, "engine/paste/paste_engine.cpp");
    const int lines[] = {42, 45, 43, 47};
    for (std::uint32_t offset = 0; offset < 40; ++offset) {
        TLineLocation at;
        ASSERT_TRUE(tables.Resolve(offset, at)) << offset;
        EXPECT_EQ(at.Line, lines[offset / 10]) << offset;
        EXPECT_EQ(at.Class, "quillan::TPasteEngine");
        EXPECT_EQ(at.Procedure, "Paste");
        // Counted from the procedure's own first line in both entries.
        EXPECT_EQ(at.LineOffset, lines[offset / 10] - 40) << offset;
    }
}

// Random code: several files, procedures, lines jumping both ways, gaps and long ranges.
TEST(LineTableWriter, EveryByteOfGeneratedCodeResolvesToWhatItWasGiven) {
    std::mt19937 random(12);
    for (int round = 0; round < 20; ++round) {
        TLineTableInput in;
        in.Files = {"a.cpp", "dir/b.h", "c/d/e.cpp"};
        for (int p = 0; p < 12; ++p) {
            in.Procedures.push_back({p % 3 ? "quillan::TClass" + std::to_string(p % 4) : "", "Proc" + std::to_string(p),
                                     1 + static_cast<std::uint32_t>(random() % 300)});
        }
        std::uint32_t at = 0;
        for (int i = 0; i < 400; ++i) {
            if (random() % 10 == 0) at += random() % 40;  // padding or foreign code
            const std::uint32_t size = random() % 50 == 0 ? 70000 : 1 + random() % 40;
            // A procedure's code lies at or after its first line.
            const int procedure = static_cast<int>(random() % 13) - 1;
            const std::uint32_t base = procedure >= 0 ? in.Procedures[procedure].FirstLine : 1;
            in.Ranges.push_back({at, at + size, static_cast<std::uint32_t>(random() % 3),
                                 base + static_cast<std::uint32_t>(random() % 200), procedure});
            at += size;
        }
        const TLineTables tables = Tables(BuildLineTables(in, kLineEncoder));
        for (const TCodeRange& r : in.Ranges) {
            for (std::uint32_t offset : {r.Start, r.Start + (r.End - r.Start) / 2, r.End - 1}) {
                TLineLocation got;
                ASSERT_TRUE(tables.Resolve(offset, got)) << offset;
                EXPECT_EQ(got.Unit, in.Files[r.File]) << offset;
                EXPECT_EQ(got.Line, static_cast<int>(r.Line)) << offset;
                const TProcedureName* p = r.Procedure >= 0 ? &in.Procedures[r.Procedure] : nullptr;
                EXPECT_EQ(got.Procedure, p ? p->Name : "") << offset;
                EXPECT_EQ(got.Class, p ? p->Class : "") << offset;
                if (p) {
                    EXPECT_EQ(got.LineOffset, static_cast<int>(r.Line - p->FirstLine)) << offset;
                }
                EXPECT_GE(got.LineOffset, 0);
            }
        }
    }
}

}  // namespace
}  // namespace quillan::crash
