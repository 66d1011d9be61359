// Line records and names, checked against bytes laid out by hand from the record table.
#include <gtest/gtest.h>

#include <string>

#include "crash/codec/base64.h"
#include "crash/moduledata/byte_io.h"
#include "crash/moduledata/line_records.h"
#include "crash/moduledata/names.h"

namespace quillan::crash {
namespace {

TLineStep Decode(const std::string& bytes, std::uint16_t version = 506, size_t* used = nullptr) {
    TByteReader in(bytes);
    TLineStep step;
    EXPECT_TRUE(ReadLineRecord(in, version, step));
    if (used) *used = in.Position();
    return step;
}

TEST(LineRecords, EachFormReadFromHandLaidBytes) {
    struct Case {
        std::string bytes;
        TLineStep step;
        size_t size;
    };
    const Case cases[] = {
        // bit 0 = 0: line bits 6-7 (+1), address bits 1-5 (+1)
        {std::string("\xC4", 1), {4, 3, false}, 1},  // 11 00010 0
        {std::string("\x00", 1), {1, 1, false}, 1},
        // bits 0-1 = 01: line bits 5-7, address bits 2-4, new procedure
        {std::string("\xE5", 1), {8, 2, true}, 1},  // 111 001 01
        // u16: W = 0x2A57 -> line (W>>11)+1 = 6, address ((W>>4)&127)+1 = 38, bit 2 set
        {std::string("\x57\x2A", 2), {6, 38, true}, 2},
        // u32: V = address field 0x123, line field 0x4567 -> D = V<<4 | 8 | 3
        {std::string("\x7B\x56\x34\x12", 4), {0x4568, 0x124, false}, 4},
        // u32 with address field 4095: the line moves, the address does not
        {std::string("\x1F\x00\xF0\xFF", 4), {2, 0, true}, 4},
        // escape V = 0x0FFEFFFE, then u16 line - 1 and u16 address - 1
        {std::string("\xEB\xFF\xEF\xFF\x34\x12\xFF\xFF", 8), {0x1235, 0x10000, false}, 8},
    };
    for (const Case& c : cases) {
        size_t used = 0;
        const TLineStep got = Decode(c.bytes, 506, &used);
        EXPECT_EQ(got.Line, c.step.Line);
        EXPECT_EQ(got.Address, c.step.Address);
        EXPECT_EQ(got.NewProcedure, c.step.NewProcedure);
        EXPECT_EQ(used, c.size);
        // The writer picks the same, shortest, form.
        std::string written;
        ASSERT_TRUE(AppendLineRecord(written, c.step));
        EXPECT_EQ(written.size(), c.size);
    }
}

TEST(LineRecords, EscapeIsAPlainRecordBeforeVersion423) {
    // Before 423 the value 0x0FFEFFFE is an ordinary u32 record.
    size_t used = 0;
    const TLineStep got = Decode(std::string("\xEF\xFF\xEF\xFF", 4), 422, &used);
    EXPECT_EQ(used, 4u);
    EXPECT_EQ(got.Line, 0xFFFFu);
    EXPECT_EQ(got.Address, 4095u);
}

TEST(LineRecords, EveryStepRoundTripsAndImpossibleStepsAreRefused) {
    for (std::uint32_t line : {1u, 2u, 4u, 5u, 8u, 9u, 32u, 33u, 65535u, 65536u}) {
        for (std::uint32_t address : {0u, 1u, 8u, 9u, 32u, 33u, 128u, 129u, 4094u, 4095u, 4096u, 65536u}) {
            for (bool proc : {false, true}) {
                std::string bytes;
                ASSERT_TRUE(AppendLineRecord(bytes, {line, address, proc})) << line << " " << address;
                size_t used = 0;
                const TLineStep got = Decode(bytes, 506, &used);
                EXPECT_EQ(used, bytes.size());
                EXPECT_EQ(got.Line, line);
                EXPECT_EQ(got.Address, address);
                EXPECT_EQ(got.NewProcedure, proc);
            }
        }
    }
    std::string bytes;
    EXPECT_FALSE(AppendLineRecord(bytes, {0, 1, false}));
    EXPECT_FALSE(AppendLineRecord(bytes, {65537, 1, false}));
    EXPECT_FALSE(AppendLineRecord(bytes, {1, 65537, false}));
    EXPECT_TRUE(bytes.empty());
    const std::string cut("\x57", 1);  // a u16 record cut short
    TByteReader in(cut);
    TLineStep step;
    EXPECT_FALSE(ReadLineRecord(in, 506, step));
}

const TTeaChain kChain(TeaKeyFromPassword("pw"), 0x1122334455667788ull);

TEST(Names, QualifiedNamesJoinTheirComponents) {
    const TNameEncoder encoder(kChain);
    std::string bytes;
    encoder.WriteQualified(bytes, "quillan::TFForm", "FormCreate");
    encoder.Write(bytes, "engine/paste/paste_engine.cpp");
    // The qualified name's length byte carries bit 7 and the last component's length.
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), 0x80 | 10);
    TByteReader in(bytes);
    const TNameDecoder decoder(506, kChain, 0);
    std::string a, b;
    ASSERT_TRUE(decoder.Read(in, a));
    ASSERT_TRUE(decoder.Read(in, b));
    EXPECT_EQ(a, "quillan::TFForm.FormCreate");
    EXPECT_EQ(b, "engine/paste/paste_engine.cpp");
    EXPECT_EQ(in.Remaining(), 0u);

    // Up to version 501 bit 7 is part of the length: a 200-byte name.
    std::string old(1, static_cast<char>(200));
    old += std::string(200, static_cast<char>('x' ^ 0x5A));
    TByteReader oldIn(old);
    std::string name;
    ASSERT_TRUE(TNameDecoder(450, std::nullopt, 0x5A).Read(oldIn, name));
    EXPECT_EQ(name, std::string(200, 'x'));
}

TEST(Names, WithoutTheKeyANameShowsAsQuestionMarkAndBase64OfItsBytes) {
    const TNameEncoder encoder(kChain);
    std::string bytes;
    encoder.WriteQualified(bytes, "TClass", "Method");
    const std::string rawMethod = bytes.substr(1, 6);
    const std::string rawClass = bytes.substr(8, 6);
    TByteReader in(bytes);
    std::string name;
    ASSERT_TRUE(TNameDecoder(506, std::nullopt, 0).Read(in, name));
    EXPECT_EQ(name, "?" + Base64Encode(rawClass) + ".?" + Base64Encode(rawMethod));
}

TEST(Names, TruncatedAndEndlesslyQualifiedNamesAreRefused) {
    std::string name;
    const std::string shortName(
        "\x05"
        "abc",
        4);
    TByteReader cut(shortName);
    EXPECT_FALSE(TNameDecoder(506, kChain, 0).Read(cut, name));
    const std::string endless(400, '\x80');  // every length byte says "qualified, empty"
    TByteReader loop(endless);
    EXPECT_FALSE(TNameDecoder(506, kChain, 0).Read(loop, name));
    TByteReader skip(endless);
    EXPECT_FALSE(TNameDecoder::Skip(skip, 506));
}

}  // namespace
}  // namespace quillan::crash
