// The raw scan and the call-stack building over made-up stacks of both word sizes.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "crash/stack/stack_scan.h"
#include "fake_memory.h"

namespace quillan::crash {
namespace {

using test::Bytes;
using test::Le32;
using test::TFakeMemory;

struct TScanLayout {
    TCallArch Arch;
    TAddress Code;   // module 1: 0x1000 bytes of code
    TAddress Code2;  // module 2
    TAddress Data;   // inside module 1 but no code: resolves to kind 1
    TAddress Stack;
};
constexpr TScanLayout kScanI686{TCallArch::I686, 0x00401000, 0x10001000, 0x00403000, 0x00100000};
constexpr TScanLayout kScanX86_64{TCallArch::X86_64, 0x140001000, 0x7FF810001000, 0x140003000, 0x0000000000500000};

std::string ScanLayoutName(const ::testing::TestParamInfo<TScanLayout>& param) {
    return param.param.Arch == TCallArch::I686 ? "i686" : "x86_64";
}

class Scan : public ::testing::TestWithParam<TScanLayout> {
protected:
    void SetUp() override {
        layout_ = GetParam();
        slot_ = SlotSize(layout_.Arch);
        code_.AddRegion(layout_.Code, 0x1000);
        code_.AddRegion(layout_.Code2, 0x1000);
        code_.AddRegion(layout_.Data, 0x100, 0);
        next_ = layout_.Code + 0x100;
        next2_ = layout_.Code2 + 0x100;
    }

    // Places "call reg" in module 1 (or 2) and returns its return address.
    TAddress IndirectCall(bool secondModule = false) {
        TAddress& at = secondModule ? next2_ : next_;
        code_.Put(at, {0xFF, 0xD0});
        const TAddress returnAddress = at + 2;
        sites_[returnAddress] = at;
        at += 0x10;
        return returnAddress;
    }
    // Places a direct call to a procedure that starts with push ebp; returns the return address.
    TAddress DirectCall(TAddress& procedure) {
        procedure = next_ + 8;
        code_.Put(next_, Bytes({{0xE8}, Le32(3)}));
        code_.Put(procedure, {0x55});
        sites_[next_ + 5] = next_;
        next_ += 0x10;
        return next_ - 0x10 + 5;
    }
    // A stack region of size bytes from layout.Stack holding values in consecutive slots.
    void MakeStack(size_t size, const std::vector<TAddress>& values, TAddress offset = 0) {
        stack_.AddRegion(layout_.Stack, size, 0);
        PutSlots(offset, values);
    }
    void PutSlots(TAddress offset, const std::vector<TAddress>& values) {
        for (size_t i = 0; i < values.size(); ++i) stack_.PutSlot(layout_.Stack + offset + i * slot_, values[i], slot_);
    }
    std::vector<TAddress> ScanFrom(TAddress offset, TAddress top) {
        std::vector<TAddress> found;
        ScanStack(layout_.Arch, stack_, code_, layout_.Stack + offset, layout_.Stack + top, found);
        return found;
    }
    TAddress SiteOf(TAddress returnAddress) { return sites_.at(returnAddress); }

    TScanLayout layout_;
    size_t slot_ = 4;
    TFakeMemory code_;
    TFakeMemory stack_;
    TAddress next_ = 0;
    TAddress next2_ = 0;
    std::map<TAddress, TAddress> sites_;
};

TEST_P(Scan, FindsReturnAddressesAmongOtherValues) {
    const TAddress a = IndirectCall();
    TAddress procedure = 0;
    const TAddress b = DirectCall(procedure);
    const TAddress c = IndirectCall(true);
    const TAddress noCall = layout_.Code + 0x800;  // int3 before it
    MakeStack(0x1000, {0, 1, layout_.Stack + 0x40, a, noCall, 0x00500000, layout_.Data + 8, b, 0xFFFFFFFF, c});
    EXPECT_EQ(ScanFrom(0, 0x1000), (std::vector<TAddress>{SiteOf(a), procedure, SiteOf(b), SiteOf(c)}));
    // From above the first return address, it is not seen.
    EXPECT_EQ(ScanFrom(4 * slot_, 0x1000), (std::vector<TAddress>{procedure, SiteOf(b), SiteOf(c)}));
    // A top below the stack pointer scans nothing.
    EXPECT_TRUE(ScanFrom(0x100, 0x80).empty());
}

TEST_P(Scan, StackIsReadPerChunk) {
    const TAddress a = IndirectCall();
    MakeStack(4000, {});
    for (size_t offset = 0; offset < 4000; offset += 16 * slot_) PutSlots(offset, {a});
    const auto found = ScanFrom(0, 4000);
    EXPECT_EQ(found.size(), 4000 / (16 * slot_) + (4000 % (16 * slot_) ? 1 : 0));
    EXPECT_EQ(stack_.reads, 10);
}

TEST_P(Scan, UnreadableStackMemoryIsSkipped) {
    const TAddress a = IndirectCall();
    const TAddress b = IndirectCall();
    const TAddress c = IndirectCall();
    // Readable: [0, 800) and [1000, 2000); the chunk [800, 1200) straddles the hole.
    stack_.AddRegion(layout_.Stack, 800, 0);
    stack_.AddRegion(layout_.Stack + 1000, 1000, 0);
    PutSlots(800 - slot_, {a});
    PutSlots(1000, {b});
    PutSlots(1600, {c});
    EXPECT_EQ(ScanFrom(0, 2000), (std::vector<TAddress>{SiteOf(a), SiteOf(b), SiteOf(c)}));
    // Five chunks; the one with the hole again slot by slot.
    EXPECT_EQ(stack_.reads, 5 + static_cast<int>(400 / slot_));
}

TEST_P(Scan, OnlyTheLowest100KilobytesAreScanned) {
    const TAddress a = IndirectCall();
    const TAddress b = IndirectCall();
    const TAddress c = IndirectCall();
    const TAddress d = IndirectCall();
    MakeStack(200 * 1024, {a});
    PutSlots(kStackScanLimit - slot_, {b, c});
    PutSlots(150000 / slot_ * slot_, {d});
    EXPECT_EQ(ScanFrom(0, 200 * 1024), (std::vector<TAddress>{SiteOf(a), SiteOf(b)}));
    // The limit counts from the stack pointer.
    EXPECT_EQ(ScanFrom(slot_, 200 * 1024), (std::vector<TAddress>{SiteOf(b), SiteOf(c)}));
    EXPECT_LE(stack_.reads, static_cast<int>(2 * kStackScanLimit / kStackScanChunk + 2));
}

TEST_P(Scan, FoundAddressesStayWithinTheReservedRoom) {
    // Every slot a direct call: two addresses per slot, the most a scan can find.
    TAddress procedure = 0;
    const TAddress a = DirectCall(procedure);
    MakeStack(kStackScanLimit, {});
    for (size_t offset = 0; offset < kStackScanLimit; offset += slot_) PutSlots(offset, {a});
    std::vector<TAddress> found{1};
    ScanStack(layout_.Arch, stack_, code_, layout_.Stack, layout_.Stack + kStackScanLimit, found);
    const size_t capacity = found.capacity();
    EXPECT_EQ(found.size(), 1 + MaxScanAddresses(layout_.Arch));
    found.resize(1);
    ScanStack(layout_.Arch, stack_, code_, layout_.Stack, layout_.Stack + kStackScanLimit, found);
    EXPECT_EQ(found.capacity(), capacity);  // a second scan into the same room allocates nothing
}

// Module 1 resolves to line tables (kind 4) except its data part (kind 1); module 2 to exports.
void FakeResolve(const TScanLayout& layout, TAddress address, TMishapStackEntry& entry) {
    if (address >= layout.Data && address < layout.Data + 0x100) {
        entry.Kind = TStackKind::InModule;
        entry.ModuleHandle = layout.Code - 0x1000;
    } else if (address >= layout.Code && address < layout.Code + 0x1000) {
        entry.Kind = TStackKind::LineTable;
        entry.ModuleHandle = layout.Code - 0x1000;
        entry.ProcedureName = "P" + std::to_string(address - layout.Code);
    } else if (address >= layout.Code2 && address < layout.Code2 + 0x1000) {
        entry.Kind = TStackKind::PlainExport;
        entry.ModuleHandle = layout.Code2 - 0x1000;
    }
}

class CallStack : public Scan {
protected:
    TMishapStackList Build(const std::vector<TAddress>& slots, std::optional<TAddress> first = std::nullopt) {
        MakeStack(0x1000, slots);
        TStackRequest request;
        request.FirstAddress = first;
        request.StackPointer = layout_.Stack;
        request.StackTop = layout_.Stack + 0x1000;
        request.ThreadId = 77;
        request.RunningThread = true;
        TMishapStackList list;
        BuildCallStack(layout_.Arch, list, request, stack_, code_,
                       [&](TAddress address, TMishapStackEntry& entry) { FakeResolve(layout_, address, entry); });
        return list;
    }
    // The addresses of the entries a report shows (kinds 2 to 4).
    static std::vector<TAddress> Shown(const TMishapStackList& list) {
        std::vector<TAddress> shown;
        for (const auto& entry : list) {
            if (entry.Kind != TStackKind::Unknown && entry.Kind != TStackKind::InModule) shown.push_back(entry.Address);
        }
        return shown;
    }
};

TEST_P(CallStack, FirstAddressThreadAndFlags) {
    const TAddress a = IndirectCall();
    const TAddress raise = layout_.Code + 0x900;
    const TMishapStackList list = Build({a}, raise);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Address, raise);
    EXPECT_EQ(list[0].ProcedureName, "P2304");
    EXPECT_EQ(list[1].Address, SiteOf(a));
    for (const auto& entry : list) {
        EXPECT_EQ(entry.ThreadId, 77u);
        EXPECT_TRUE(entry.RunningThread);
    }
}

TEST_P(CallStack, SameReturnAddressTwiceInARowShowsOnce) {
    const TAddress a = IndirectCall();
    const TAddress b = IndirectCall();
    EXPECT_EQ(Shown(Build({a, a, 5, b})), (std::vector<TAddress>{SiteOf(a), SiteOf(b)}));
}

TEST_P(CallStack, RepeatedDirectCallShowsOnePair) {
    TAddress procedure = 0;
    const TAddress a = DirectCall(procedure);
    const TMishapStackList list = Build({a, a});
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(Shown(list), (std::vector<TAddress>{procedure, SiteOf(a)}));
    // The hidden ones are the first pair: the outer copy stays.
    EXPECT_EQ(list[0].Kind, TStackKind::Unknown);
    EXPECT_EQ(list[3].Kind, TStackKind::LineTable);
}

TEST_P(CallStack, RepeatsFurtherApartStay) {
    const TAddress a = IndirectCall();
    const TAddress b = IndirectCall();
    const TAddress c = IndirectCall();
    // One named entry between: still a repeat; two between: not.
    EXPECT_EQ(Shown(Build({a, b, a})), (std::vector<TAddress>{SiteOf(b), SiteOf(a)}));
    stack_ = TFakeMemory();
    EXPECT_EQ(Shown(Build({a, b, c, a})), (std::vector<TAddress>{SiteOf(a), SiteOf(b), SiteOf(c), SiteOf(a)}));
}

TEST_P(CallStack, OtherModulesAndUnresolvedEntriesDoNotSeparateRepeats) {
    const TAddress a = IndirectCall();
    const TAddress x = IndirectCall(true);
    const TAddress y = IndirectCall(true);
    // Entries of module 2 are not counted between two of module 1.
    EXPECT_EQ(Shown(Build({a, x, y, a})), (std::vector<TAddress>{SiteOf(x), SiteOf(y), SiteOf(a)}));
}

TEST_P(CallStack, UnresolvedRepeatsAreKept) {
    // Calls in the data part of module 1 resolve to kind 1 only; such entries are never hidden.
    code_.Put(layout_.Data + 0x20, {0xFF, 0xD0});
    const TAddress a = layout_.Data + 0x22;
    const TMishapStackList list = Build({a, a});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Kind, TStackKind::InModule);
    EXPECT_EQ(list[1].Kind, TStackKind::InModule);
}

TEST_P(CallStack, EarlierEntriesOfTheListAreLeftAlone) {
    const TAddress a = IndirectCall();
    TMishapStackList list(1);
    list[0].Kind = TStackKind::LineTable;
    list[0].Address = SiteOf(a);
    list[0].ModuleHandle = layout_.Code - 0x1000;
    MakeStack(0x100, {a});
    TStackRequest request{std::nullopt, layout_.Stack, layout_.Stack + 0x100, 1, false};
    BuildCallStack(layout_.Arch, list, request, stack_, code_,
                   [&](TAddress address, TMishapStackEntry& entry) { FakeResolve(layout_, address, entry); });
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Kind, TStackKind::LineTable);
    EXPECT_EQ(list[1].Kind, TStackKind::LineTable);
}

INSTANTIATE_TEST_SUITE_P(BothWordSizes, Scan, ::testing::Values(kScanI686, kScanX86_64), ScanLayoutName);
INSTANTIATE_TEST_SUITE_P(BothWordSizes, CallStack, ::testing::Values(kScanI686, kScanX86_64), ScanLayoutName);

TEST(OverlayMemory, CopyStandsInForTheMemoryBeneath) {
    TFakeMemory beneath;
    beneath.AddRegion(0x1000, 100, 0x11);
    const std::vector<std::uint8_t> copy(20, 0x22);
    TOverlayMemoryReader overlay(0x1000 + 20, copy, beneath);
    std::uint8_t bytes[40];
    ASSERT_TRUE(overlay.Read(0x1000 + 25, bytes, 10));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 10), std::vector<std::uint8_t>(10, 0x22));
    ASSERT_TRUE(overlay.Read(0x1000 + 10, bytes, 35));  // beneath, copy, beneath
    EXPECT_EQ(bytes[9], 0x11);
    EXPECT_EQ(bytes[10], 0x22);
    EXPECT_EQ(bytes[29], 0x22);
    EXPECT_EQ(bytes[30], 0x11);
    EXPECT_FALSE(overlay.Read(0x1000 + 90, bytes, 20));  // past the memory beneath
    // A copy of memory that is gone since reads on its own.
    TOverlayMemoryReader beyond(0x1000 + 95, copy, beneath);
    ASSERT_TRUE(beyond.Read(0x1000 + 90, bytes, 20));
    EXPECT_EQ(bytes[4], 0x11);
    EXPECT_EQ(bytes[5], 0x22);
    EXPECT_FALSE(beyond.Read(0x1000 + 110, bytes, 10));
}

TEST(OverlayMemory, ScanSeesTheStackAsCopied) {
    TFakeMemory code;
    code.AddRegion(0x00401000, 0x1000);
    code.Put(0x00401100, {0xFF, 0xD0});
    TFakeMemory live;
    live.AddRegion(0x00100000, 0x100, 0);
    std::vector<std::uint8_t> copy = Le32(0x00401102);
    TOverlayMemoryReader stack(0x00100010, copy, live);
    std::vector<TAddress> found;
    ScanStack(TCallArch::I686, stack, code, 0x00100000, 0x00100100, found);
    EXPECT_EQ(found, std::vector<TAddress>{0x00401100});
    found.clear();
    ScanStack(TCallArch::I686, live, code, 0x00100000, 0x00100100, found);
    EXPECT_TRUE(found.empty());
}

}  // namespace
}  // namespace quillan::crash
