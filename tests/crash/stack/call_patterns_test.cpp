// The call forms of both word sizes, recognised from hand-made byte sequences.
#include <gtest/gtest.h>

#include <string>

#include "crash/stack/call_patterns.h"
#include "fake_memory.h"

namespace quillan::crash {
namespace {

using test::Bytes;
using test::Le32;
using test::TFakeMemory;

struct TLayout {
    TCallArch Arch;
    TAddress Code;  // 0x1000 bytes of int3
    TAddress Data;  // 0x100 bytes of zeros (pointer cells)
};
constexpr TLayout kI686{TCallArch::I686, 0x00401000, 0x00403000};
constexpr TLayout kX86_64{TCallArch::X86_64, 0x140001000, 0x140003000};
constexpr TAddress kUnmapped32 = 0x00500000;

std::string LayoutName(const ::testing::TestParamInfo<TLayout>& param) {
    return param.param.Arch == TCallArch::I686 ? "i686" : "x86_64";
}

TFakeMemory MakeMemory(const TLayout& layout) {
    TFakeMemory memory;
    memory.AddRegion(layout.Code, 0x1000);
    memory.AddRegion(layout.Data, 0x100, 0);
    return memory;
}

struct TFormCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    int SiteOffset;  // where the call starts within Bytes; -1: no call
};

// Puts each case at code + 0x100 and asks for the call before its end.
void CheckForms(const TLayout& layout, const std::vector<TFormCase>& cases) {
    const TAddress at = layout.Code + 0x100;
    for (const TFormCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeMemory memory = MakeMemory(layout);
        memory.Put(at, c.Bytes);
        TCallSite site;
        const bool found = FindCallBefore(layout.Arch, memory, at + c.Bytes.size(), site);
        EXPECT_EQ(found, c.SiteOffset >= 0);
        if (found && c.SiteOffset >= 0) {
            EXPECT_EQ(site.Site, at + c.SiteOffset);
        }
    }
}

TEST(CallForms, I686) {
    const std::uint32_t cell = kI686.Data + 0x10;
    CheckForms(kI686, {
                          {"call rel32", Bytes({{0xE8}, Le32(0x200)}), 0},
                          {"call ebx", {0xFF, 0xD3}, 0},
                          {"call [eax]", {0xFF, 0x10}, 0},
                          {"call [edi]", {0xFF, 0x17}, 0},
                          {"call [esi+8]", {0xFF, 0x56, 0x08}, 0},
                          {"call [ebp+8]", {0xFF, 0x55, 0x08}, 0},
                          {"call [edi+d32]", Bytes({{0xFF, 0x97}, Le32(0x100)}), 0},
                          {"call [esp]", {0xFF, 0x14, 0x24}, 0},
                          {"call [esp+8]", {0xFF, 0x54, 0x24, 0x08}, 0},
                          {"call [esp+d32]", Bytes({{0xFF, 0x94, 0x24}, Le32(0x100)}), 0},
                          {"call [abs32], readable pointer", Bytes({{0xFF, 0x15}, Le32(cell)}), 0},
                          {"call [abs32], unreadable pointer", Bytes({{0xFF, 0x15}, Le32(kUnmapped32)}), -1},
                          {"call [eax*4+d32]: other SIB", Bytes({{0xFF, 0x14, 0x85}, Le32(0x1000)}), -1},
                          {"call [esp+eax+8]: other SIB", {0xFF, 0x54, 0x04, 0x08}, -1},
                          {"jmp eax", {0xFF, 0xE0}, -1},
                          {"jmp [abs32]", Bytes({{0xFF, 0x25}, Le32(cell)}), -1},
                          {"push [esi]", {0xFF, 0x36}, -1},
                          {"inc ecx is no prefix", {0x41, 0xFF, 0xD4}, 1},
                      });
}

TEST(CallForms, X86_64) {
    const TAddress at = kX86_64.Code + 0x100;
    const TAddress cell = kX86_64.Data + 0x10;
    // RIP-relative operands count from the end of the instruction.
    auto rip = [&](size_t length, TAddress target) { return Le32(std::uint32_t(target - (at + length))); };
    const std::uint32_t unmappedRel = 0x40000000;
    CheckForms(kX86_64, {
                            {"call rel32", Bytes({{0xE8}, Le32(0x200)}), 0},
                            {"call rax", {0xFF, 0xD0}, 0},
                            {"call r12", {0x41, 0xFF, 0xD4}, 0},
                            {"REX without B is no prefix", {0x40, 0xFF, 0xD0}, 1},
                            {"call [rax]", {0xFF, 0x10}, 0},
                            {"call [r8]", {0x41, 0xFF, 0x10}, 0},
                            {"call [rbx+8]", {0xFF, 0x53, 0x08}, 0},
                            {"call [r13+8]", {0x41, 0xFF, 0x55, 0x08}, 0},
                            {"call [rax+d32]", Bytes({{0xFF, 0x90}, Le32(0x100)}), 0},
                            {"call [r9+d32]", Bytes({{0x41, 0xFF, 0x91}, Le32(0x100)}), 0},
                            {"call [rsp]", {0xFF, 0x14, 0x24}, 0},
                            {"call [r12]", {0x41, 0xFF, 0x14, 0x24}, 0},
                            {"call [rsp+8]", {0xFF, 0x54, 0x24, 0x08}, 0},
                            {"call [r12+8]", {0x41, 0xFF, 0x54, 0x24, 0x08}, 0},
                            {"call [rsp+d32]", Bytes({{0xFF, 0x94, 0x24}, Le32(0x100)}), 0},
                            {"call [r12+d32]", Bytes({{0x41, 0xFF, 0x94, 0x24}, Le32(0x100)}), 0},
                            {"call [rip+d32], readable cell", Bytes({{0xFF, 0x15}, rip(6, cell)}), 0},
                            {"REX.W call [rip+d32]", Bytes({{0x48, 0xFF, 0x15}, rip(7, cell)}), 0},
                            {"call [rip+d32], unreadable cell", Bytes({{0xFF, 0x15}, Le32(unmappedRel)}), -1},
                            // The i686 meaning (an absolute pointer) does not apply in 64-bit code.
                            {"call [rip+d32] read as absolute", Bytes({{0xFF, 0x15}, Le32(std::uint32_t(cell))}), -1},
                            {"jmp [rip+d32]", Bytes({{0xFF, 0x25}, rip(6, cell)}), -1},
                            {"jmp rax", {0xFF, 0xE0}, -1},
                        });
}

// A direct call's target: the called procedure is listed unless it is unreadable or starts with
// another direct call; an import thunk at the target is followed.
class DirectCall : public ::testing::TestWithParam<TLayout> {
protected:
    void SetUp() override {
        layout_ = GetParam();
        memory_ = MakeMemory(layout_);
    }
    bool Is64() const { return layout_.Arch == TCallArch::X86_64; }
    // A direct call at code + 0x100 to target; returns the return address.
    TAddress CallTo(TAddress target) {
        const TAddress at = layout_.Code + 0x100;
        memory_.Put(at, Bytes({{0xE8}, Le32(std::uint32_t(target - (at + 5)))}));
        return at + 5;
    }
    // An import thunk at thunk whose pointer cell (data + 0x10) holds target.
    void Thunk(TAddress thunk, TAddress target) {
        const TAddress cell = layout_.Data + 0x10;
        const std::uint32_t operand = Is64() ? std::uint32_t(cell - (thunk + 6)) : std::uint32_t(cell);
        memory_.Put(thunk, Bytes({{0xFF, 0x25}, Le32(operand), {0x90, 0x90}}));
        memory_.PutSlot(cell, target, SlotSize(layout_.Arch));
    }
    TCallSite Find(TAddress returnAddress) {
        TCallSite site;
        EXPECT_TRUE(FindCallBefore(layout_.Arch, memory_, returnAddress, site));
        EXPECT_EQ(site.Site, returnAddress - 5);
        return site;
    }

    TLayout layout_;
    TFakeMemory memory_;
};

TEST_P(DirectCall, CalledProcedureForwardAndBack) {
    const TAddress forward = layout_.Code + 0x400;
    memory_.Put(forward, {0x55, 0x89, 0xE5});  // push ebp; mov ebp, esp
    EXPECT_EQ(Find(CallTo(forward)).Called, forward);
    const TAddress back = layout_.Code + 0x20;  // a negative displacement
    memory_.Put(back, {0x53});
    EXPECT_EQ(Find(CallTo(back)).Called, back);
}

TEST_P(DirectCall, ProcedureStartingWithDirectCallIsNotListed) {
    const TAddress stub = layout_.Code + 0x400;
    memory_.Put(stub, Bytes({{0xE8}, Le32(0x10)}));
    EXPECT_EQ(Find(CallTo(stub)).Called, 0u);
}

TEST_P(DirectCall, UnreadableTargetStillGivesTheCallSite) {
    EXPECT_EQ(Find(CallTo(layout_.Code + 0x10000)).Called, 0u);
}

TEST_P(DirectCall, ImportThunkIsFollowed) {
    const TAddress thunk = layout_.Code + 0x500;
    const TAddress procedure = layout_.Code + 0x600;
    memory_.Put(procedure, {0x8B, 0xFF});
    Thunk(thunk, procedure);
    EXPECT_EQ(Find(CallTo(thunk)).Called, procedure);
    EXPECT_EQ(FollowImportThunk(layout_.Arch, memory_, thunk), procedure);
    EXPECT_EQ(FollowImportThunk(layout_.Arch, memory_, procedure), procedure);
}

TEST_P(DirectCall, ThunkToProcedureStartingWithDirectCall) {
    const TAddress thunk = layout_.Code + 0x500;
    const TAddress procedure = layout_.Code + 0x600;
    memory_.Put(procedure, Bytes({{0xE8}, Le32(0)}));
    Thunk(thunk, procedure);
    EXPECT_EQ(Find(CallTo(thunk)).Called, 0u);
}

TEST_P(DirectCall, ThunkIntoUnreadableMemoryIsNotListed) {
    const TAddress thunk = layout_.Code + 0x500;
    Thunk(thunk, Is64() ? 0x7FF000000000 : kUnmapped32);
    EXPECT_EQ(Find(CallTo(thunk)).Called, 0u);
}

INSTANTIATE_TEST_SUITE_P(BothWordSizes, DirectCall, ::testing::Values(kI686, kX86_64), LayoutName);

TEST(CallForms, ReturnAddressTooLowOrBytesUnreadable) {
    TFakeMemory memory = MakeMemory(kI686);
    TCallSite site;
    EXPECT_FALSE(FindCallBefore(TCallArch::I686, memory, 3, site));
    // The call's bytes start in unreadable memory just below the region.
    memory.Put(kI686.Code, {0xFF, 0xD0});
    EXPECT_FALSE(FindCallBefore(TCallArch::I686, memory, kI686.Code + 2, site));
    // i686 addresses wrap at 32 bits: a call near the top reaching past 4 GB lands low.
    TFakeMemory high;
    high.AddRegion(0xFFFFF000, 0x1000);
    high.AddRegion(0x1000, 0x100);
    high.Put(0x1010, {0x56});
    high.Put(0xFFFFF800, Bytes({{0xE8}, Le32(std::uint32_t(0x1010 - 0xFFFFF805ull))}));
    ASSERT_TRUE(FindCallBefore(TCallArch::I686, high, 0xFFFFF805, site));
    EXPECT_EQ(site.Called, 0x1010u);
}

}  // namespace
}  // namespace quillan::crash
