#include "crash/stack/call_patterns.h"

#include <array>

namespace quillan::crash {
namespace {

enum class TOperand : std::uint8_t {
    None,
    Relative,         // E8 rel32: the target is the return address plus rel32
    AbsolutePointer,  // FF 15 abs32: the pointer itself must be readable
    RipPointer,       // FF 15 rel32: the pointer at the return address plus rel32 must be readable
};

enum TPrefix : std::uint8_t {
    kNoPrefix = 0,
    kRexB = 1,    // 0x41, 0x43, ... 0x4F: rm names r8 to r15
    kAnyRex = 2,  // 0x40 to 0x4F
};

// One encoding of a call. For 0xFF the ModRM byte has reg field 2; ModRm holds its mod and reg
// bits and RmSet the rm values allowed (bit r for rm = r).
struct TCallForm {
    std::uint8_t Opcode;
    std::uint8_t ModRm;
    std::uint8_t RmSet;
    std::uint8_t Sib;   // the one SIB byte accepted, 0 when none follows
    std::uint8_t Disp;  // bytes of displacement (E8: of the relative target)
    TOperand Operand;
    std::uint8_t Prefix;

    size_t Length() const { return Opcode == 0xE8 ? 5 : 2 + (Sib ? 1 : 0) + Disp; }
};

constexpr std::uint8_t kAllRm = 0xFF;
constexpr std::uint8_t kNoSibNoDisp = 0xCF;  // rm 0-3, 6, 7: not SIB (4), not disp32/RIP (5)
constexpr std::uint8_t kNoSib = 0xEF;        // rm 0-3, 5-7
constexpr std::uint8_t kSibRm = 0x10;        // rm 4: a SIB byte follows
constexpr std::uint8_t kDispRm = 0x20;       // rm 5 with mod 0: disp32 alone (i686) or RIP-relative

// The two tables, row by row the same instruction; tried in this order, the first match wins.
//                               i686                                          x86_64
constexpr std::array<TCallForm, 9> kI686Forms{{
    {0xE8, 0x00, 0, 0, 4, TOperand::Relative, kNoPrefix},               // call rel32
    {0xFF, 0xD0, kAllRm, 0, 0, TOperand::None, kNoPrefix},              // call reg
    {0xFF, 0x10, kNoSibNoDisp, 0, 0, TOperand::None, kNoPrefix},        // call [reg]
    {0xFF, 0x50, kNoSib, 0, 1, TOperand::None, kNoPrefix},              // call [reg+d8]
    {0xFF, 0x90, kNoSib, 0, 4, TOperand::None, kNoPrefix},              // call [reg+d32]
    {0xFF, 0x10, kSibRm, 0x24, 0, TOperand::None, kNoPrefix},           // call [esp]
    {0xFF, 0x50, kSibRm, 0x24, 1, TOperand::None, kNoPrefix},           // call [esp+d8]
    {0xFF, 0x90, kSibRm, 0x24, 4, TOperand::None, kNoPrefix},           // call [esp+d32]
    {0xFF, 0x10, kDispRm, 0, 4, TOperand::AbsolutePointer, kNoPrefix},  // call [abs32]
}};
constexpr std::array<TCallForm, 9> kX86_64Forms{{
    {0xE8, 0x00, 0, 0, 4, TOperand::Relative, kNoPrefix},        // call rel32
    {0xFF, 0xD0, kAllRm, 0, 0, TOperand::None, kRexB},           // call reg, r8-r15 with REX.B
    {0xFF, 0x10, kNoSibNoDisp, 0, 0, TOperand::None, kRexB},     // call [reg]
    {0xFF, 0x50, kNoSib, 0, 1, TOperand::None, kRexB},           // call [reg+d8]
    {0xFF, 0x90, kNoSib, 0, 4, TOperand::None, kRexB},           // call [reg+d32]
    {0xFF, 0x10, kSibRm, 0x24, 0, TOperand::None, kRexB},        // call [rsp], [r12] with REX.B
    {0xFF, 0x50, kSibRm, 0x24, 1, TOperand::None, kRexB},        // call [rsp+d8]
    {0xFF, 0x90, kSibRm, 0x24, 4, TOperand::None, kRexB},        // call [rsp+d32]
    {0xFF, 0x10, kDispRm, 0, 4, TOperand::RipPointer, kAnyRex},  // call [rip+d32]
}};

const std::array<TCallForm, 9>& FormsOf(TCallArch arch) { return arch == TCallArch::I686 ? kI686Forms : kX86_64Forms; }

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Address arithmetic wraps at the word size of arch.
TAddress Wrap(TCallArch arch, TAddress address) { return arch == TCallArch::I686 ? address & 0xFFFFFFFFu : address; }
TAddress Offset(TCallArch arch, TAddress address, std::uint32_t rel32) {
    return Wrap(arch, address + static_cast<TAddress>(static_cast<std::int64_t>(static_cast<std::int32_t>(rel32))));
}

bool ReadPointer(TCallArch arch, IMemoryReader& memory, TAddress at, TAddress& value) {
    std::uint8_t bytes[8];
    if (!memory.Read(at, bytes, SlotSize(arch))) return false;
    value = Le32(bytes);
    if (arch == TCallArch::X86_64) value |= static_cast<TAddress>(Le32(bytes + 4)) << 32;
    return true;
}

bool Readable(TCallArch arch, IMemoryReader& memory, TAddress at) {
    TAddress ignored;
    return ReadPointer(arch, memory, at, ignored);
}

bool PrefixAllowed(std::uint8_t prefix, std::uint8_t byte) {
    if (prefix == kRexB) return (byte & 0xF1) == 0x41;
    if (prefix == kAnyRex) return (byte & 0xF0) == 0x40;
    return false;
}

// Whether the form ends at the end of before[0..n).
bool FormMatches(const TCallForm& form, const std::uint8_t* before, size_t n) {
    const size_t length = form.Length();
    if (length > n) return false;
    const std::uint8_t* at = before + (n - length);
    if (at[0] != form.Opcode) return false;
    if (form.Opcode == 0xE8) return true;
    if ((at[1] & 0xF8) != form.ModRm || !((form.RmSet >> (at[1] & 7)) & 1)) return false;
    return form.Sib == 0 || at[2] == form.Sib;
}

void SetCalled(TCallArch arch, IMemoryReader& code, TAddress target, TCallSite& site) {
    std::uint8_t first;
    if (!code.Read(target, &first, 1)) return;
    const TAddress procedure = FollowImportThunk(arch, code, target);
    // A procedure that starts with another direct call is a stub, not a frame worth showing.
    if (!code.Read(procedure, &first, 1) || first == 0xE8) return;
    site.Called = procedure;
}

}  // namespace

TAddress FollowImportThunk(TCallArch arch, IMemoryReader& code, TAddress address) {
    std::uint8_t thunk[6];
    if (!code.Read(address, thunk, sizeof thunk) || thunk[0] != 0xFF || thunk[1] != 0x25) return address;
    const TAddress cell =
        arch == TCallArch::I686 ? Le32(thunk + 2) : Offset(arch, address + sizeof thunk, Le32(thunk + 2));
    TAddress target;
    if (!ReadPointer(arch, code, cell, target)) return address;
    return Wrap(arch, target);
}

bool FindCallBefore(TCallArch arch, IMemoryReader& code, TAddress returnAddress, TCallSite& site) {
    const size_t n = LongestCall(arch);
    if (returnAddress < n) return false;
    std::uint8_t before[8];
    if (!code.Read(returnAddress - n, before, n)) return false;
    for (const TCallForm& form : FormsOf(arch)) {
        if (!FormMatches(form, before, n)) continue;
        size_t length = form.Length();
        // A prefix makes the instruction one byte longer; it starts at the prefix.
        if (form.Prefix != kNoPrefix && length < n && PrefixAllowed(form.Prefix, before[n - length - 1])) ++length;
        const std::uint32_t operand = Le32(before + n - 4);
        TCallSite found{returnAddress - length, 0};
        switch (form.Operand) {
            case TOperand::None:
                break;
            case TOperand::Relative:
                SetCalled(arch, code, Offset(arch, returnAddress, operand), found);
                break;
            case TOperand::AbsolutePointer:
                if (!Readable(arch, code, operand)) continue;
                break;
            case TOperand::RipPointer:
                if (!Readable(arch, code, Offset(arch, returnAddress, operand))) continue;
                break;
        }
        site = found;
        return true;
    }
    return false;
}

}  // namespace quillan::crash
