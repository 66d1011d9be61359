// Recognising the call instruction that ends just before a candidate return address, for both
// word sizes: the i686 program and the x86_64 test build. Platform-free; memory is read through
// an IMemoryReader, so nothing unreadable is ever touched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crash/moduledata/memory_reader.h"
#include "crash/report/report_types.h"

namespace quillan::crash {

enum class TCallArch : std::uint8_t {
    I686,    // 4-byte stack slots, 32-bit addresses
    X86_64,  // 8-byte stack slots, REX prefixes, RIP-relative memory operands
};

// The build's own instruction set.
inline constexpr TCallArch kNativeCallArch = sizeof(void*) == 8 ? TCallArch::X86_64 : TCallArch::I686;

inline constexpr size_t SlotSize(TCallArch arch) { return arch == TCallArch::I686 ? 4 : 8; }
// The most bytes before a return address that any call form of arch occupies.
inline constexpr size_t LongestCall(TCallArch arch) { return arch == TCallArch::I686 ? 7 : 8; }

// A call instruction found before a return address.
struct TCallSite {
    TAddress Site = 0;    // the call instruction's first byte
    TAddress Called = 0;  // direct calls: the procedure called (import thunks followed); else 0
};

// Whether the bytes before returnAddress form a call of arch; on success fills site. Operands
// that name memory (the pointer of call [absolute], call [rip+d32]) must be readable, and a
// direct call's target counts as a called procedure only when it is readable and does not
// itself begin with a direct call.
bool FindCallBefore(TCallArch arch, IMemoryReader& code, TAddress returnAddress, TCallSite& site);

// The target of an import thunk (jmp [pointer]) at address, or address itself when no readable
// thunk is there.
TAddress FollowImportThunk(TCallArch arch, IMemoryReader& code, TAddress address);

}  // namespace quillan::crash
