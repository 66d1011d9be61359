// Where each C++ exception was thrown. The program is linked with __cxa_throw and __cxa_rethrow
// wrapped: every throw records the raise address, the registers, the stack pointer and a copy of
// the stack above it, keyed by the exception object, so that a report made in a catch handler
// (after unwinding overwrote those frames) still shows the throw site.
#pragma once

#include <cstdint>
#include <memory>
#include <typeinfo>
#include <vector>

#include "crash/capture/capture_types.h"

namespace quillan::crash {

// At most this much stack above the throw site is copied: it covers the frames between the
// throw and a catch handler, which the handler's own calls overwrite; the frames above the
// handler stay live and are read in place.
inline constexpr size_t kThrowStackCopy = sizeof(void*) * 2048;
// Records kept at once; older ones are reused.
inline constexpr size_t kThrowRecords = 16;

struct TThrowRecord {
    const void* Object = nullptr;
    const std::type_info* Type = nullptr;
    std::uint32_t ThreadId = 0;
    TAddress RaiseAddress = 0;  // the call instruction that threw
    TAddress StackPointer = 0;  // the thrower's stack pointer after that call
    TAddress StackTop = 0;
    TRegisterSnapshot Registers;
    std::shared_ptr<const std::vector<std::uint8_t>> Stack;  // from StackPointer up
    bool Rethrown = false;                                   // passed through a rethrow since
};

// The newest record of the exception object thrown at object (of that type, when type is given:
// an address can be reused by a later exception that was never thrown through the wrapper);
// false when none is kept.
bool FindThrowRecord(const void* object, const std::type_info* type, TThrowRecord& record);

// Whether the exception this thread is handling was rethrown and has not been caught again: a
// rethrow nobody catches ends in the unwinder's abort() on 64-bit Windows (the 32-bit unwinder
// calls std::terminate instead).
bool RethrowInFlight();

// Recording on or off for the whole process (on by default). Off, a throw costs one test more
// than without the wrapper.
void SetThrowRecording(bool on);

// The calling thread's registers now.
void CaptureRegisters(TRegisterSnapshot& registers);
// The stack pointer of a function's caller after the call returned: just above the slot that
// holds returnAddress, searched from the function's frame address up; frame when not found.
TAddress CallerStackPointer(const void* returnAddress, const void* const* frame);

// The records' origin for the report driver.
TStackOrigin StackOriginOf(const TThrowRecord& record);

}  // namespace quillan::crash
