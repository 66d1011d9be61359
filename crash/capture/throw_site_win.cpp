#include "crash/capture/throw_site_win.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>

#include "crash/capture/cpp_exception.h"
#include "crash/stack/threads_list_win.h"

extern "C" {
[[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void* destructor);
[[noreturn]] void __real___cxa_rethrow();
[[noreturn]] void __wrap___cxa_throw(void* object, std::type_info* type, void* destructor);
[[noreturn]] void __wrap___cxa_rethrow();
}

namespace quillan::crash {

namespace {

// One record. Writers and the reader take the slot's spin lock; a throw never allocates, so an
// out-of-memory exception is recorded like any other.
// Plain data, zero before any code runs (a throw may come during another unit's static
// initialisation, before this unit's dynamic initialisation would have run).
struct TSlot {
    std::atomic_flag busy;
    std::uint64_t sequence;  // 0: empty
    const void* object;
    const std::type_info* type;
    std::uint32_t threadId;
    TAddress raise;
    TAddress sp;
    TAddress top;
    bool hasRegisters;
    bool rethrown;
    TAddress registers[kRegisterCount];
    size_t size;
    std::uint8_t bytes[kThrowStackCopy];
};

TSlot g_slots[kThrowRecords];
std::atomic<std::uint64_t> g_next{1};
std::atomic<bool> g_recording{true};

void Lock(TSlot& slot) {
    while (slot.busy.test_and_set(std::memory_order_acquire)) SwitchToThread();
}

void Unlock(TSlot& slot) { slot.busy.clear(std::memory_order_release); }

void ReadRegisters(const CONTEXT& c, TRegisterSnapshot& r) {
    r.Present = true;
#if defined(_M_X64) || defined(__x86_64__)
    r.Registers = {c.Rax, c.Rbx, c.Rcx, c.Rdx, c.Rdi, c.Rsi, c.Rsp, c.Rip};
#else
    r.Registers = {c.Eax, c.Ebx, c.Ecx, c.Edx, c.Edi, c.Esi, c.Esp, c.Eip};
#endif
}

TAddress StackTopNow() { return CurrentStackTop(); }

// The general registers as they are at this point, read in place (a context capture through
// the system costs more than the rest of the record).
struct TGeneralRegisters {
    uintptr_t ax, bx, cx, dx, di, si;
};

[[gnu::always_inline]] inline TGeneralRegisters GeneralRegisters() {
    TGeneralRegisters r;
    asm volatile("" : "=a"(r.ax), "=b"(r.bx), "=c"(r.cx), "=d"(r.dx), "=D"(r.di), "=S"(r.si));
    return r;
}

// frame is the wrapper's frame address; its return address lies just above it.
[[gnu::noinline]] void Record(const void* object, const std::type_info* type, void* returnAddress, void* const* frame,
                              const TGeneralRegisters& general) {
    const TAddress top = StackTopNow();
    const TAddress sp = CallerStackPointer(returnAddress, frame);
    // The call that threw is a direct call: 5 bytes before the return address.
    const TAddress raise = reinterpret_cast<TAddress>(returnAddress) - 5;

    const std::uint64_t sequence = g_next.fetch_add(1, std::memory_order_relaxed);
    TSlot& slot = g_slots[sequence % kThrowRecords];
    Lock(slot);
    slot.sequence = sequence;
    slot.object = object;
    slot.type = type;
    slot.threadId = GetCurrentThreadId();
    slot.raise = raise;
    slot.sp = sp;
    slot.top = top;
    slot.registers[rgAx] = general.ax;
    slot.registers[rgBx] = general.bx;
    slot.registers[rgCx] = general.cx;
    slot.registers[rgDx] = general.dx;
    slot.registers[rgDi] = general.di;
    slot.registers[rgSi] = general.si;
    slot.registers[rgIp] = raise;
    slot.registers[rgSp] = sp;
    slot.hasRegisters = true;
    slot.rethrown = false;
    slot.size = top > sp ? static_cast<size_t>(top - sp) : 0;
    if (slot.size > kThrowStackCopy) slot.size = kThrowStackCopy;
    std::memcpy(slot.bytes, reinterpret_cast<const void*>(sp), slot.size);
    Unlock(slot);
}

// Marks the newest record of object as rethrown; false when none is kept.
bool MarkRethrown(const void* object) {
    TSlot* newest = nullptr;
    std::uint64_t newestSequence = 0;
    for (TSlot& slot : g_slots) {
        Lock(slot);
        if (slot.sequence > newestSequence && slot.object == object) {
            newest = &slot;
            newestSequence = slot.sequence;
        }
        Unlock(slot);
    }
    if (!newest) return false;
    Lock(*newest);
    if (newest->sequence == newestSequence) newest->rethrown = true;
    Unlock(*newest);
    return true;
}

}  // namespace

bool FindThrowRecord(const void* object, const std::type_info* type, TThrowRecord& record) {
    if (!object) return false;
    TSlot* newest = nullptr;
    std::uint64_t newestSequence = 0;
    for (TSlot& slot : g_slots) {
        Lock(slot);
        if (slot.sequence > newestSequence && slot.object == object && (!type || !slot.type || *slot.type == *type)) {
            newest = &slot;
            newestSequence = slot.sequence;
        }
        Unlock(slot);
    }
    if (!newest) return false;
    Lock(*newest);
    // It may have been reused meanwhile.
    bool same = newest->sequence == newestSequence;
    if (same) {
        record.Object = newest->object;
        record.Type = newest->type;
        record.ThreadId = newest->threadId;
        record.RaiseAddress = newest->raise;
        record.StackPointer = newest->sp;
        record.StackTop = newest->top;
        record.Registers.Present = newest->hasRegisters;
        std::copy(newest->registers, newest->registers + kRegisterCount, record.Registers.Registers.begin());
        record.Stack = std::make_shared<const std::vector<std::uint8_t>>(newest->bytes, newest->bytes + newest->size);
        record.Rethrown = newest->rethrown;
    }
    Unlock(*newest);
    return same;
}

TAddress CallerStackPointer(const void* returnAddress, const void* const* frame) {
    const TAddress top = StackTopNow();
    for (int i = 0; i < 64 && reinterpret_cast<TAddress>(frame + i + 1) <= top; ++i) {
        if (frame[i] == returnAddress) return reinterpret_cast<TAddress>(frame + i + 1);
    }
    return reinterpret_cast<TAddress>(frame);
}

void CaptureRegisters(TRegisterSnapshot& registers) {
    CONTEXT context;
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    RtlCaptureContext(&context);
    ReadRegisters(context, registers);
}

bool RethrowInFlight() {
    // A rethrow counts its exception as uncaught again until a handler catches it.
    if (std::uncaught_exceptions() == 0) return false;
    std::exception_ptr current = std::current_exception();
    TThrowRecord record;
    return current && FindThrowRecord(ThrownObjectOf(current), current.__cxa_exception_type(), record) &&
           record.Rethrown;
}

void SetThrowRecording(bool on) { g_recording = on; }

TStackOrigin StackOriginOf(const TThrowRecord& record) {
    TStackOrigin origin;
    origin.StackPointer = record.StackPointer;
    origin.StackTop = record.StackTop;
    origin.Saved = record.Stack;
    return origin;
}

}  // namespace quillan::crash

extern "C" void __wrap___cxa_throw(void* object, std::type_info* type, void* destructor) {
    if (quillan::crash::g_recording.load(std::memory_order_relaxed)) {
        const auto general = quillan::crash::GeneralRegisters();
        quillan::crash::Record(object, type, __builtin_return_address(0),
                               static_cast<void* const*>(__builtin_frame_address(0)), general);
    }
    __real___cxa_throw(object, type, destructor);
}

extern "C" void __wrap___cxa_rethrow() {
    if (quillan::crash::g_recording.load(std::memory_order_relaxed)) {
        // A rethrow keeps the original throw site; only an exception thrown unseen (through
        // std::rethrow_exception, say) gets its record here.
        std::exception_ptr current = std::current_exception();
        const void* object = quillan::crash::ThrownObjectOf(current);
        if (object && !quillan::crash::MarkRethrown(object)) {
            quillan::crash::Record(object, current.__cxa_exception_type(), __builtin_return_address(0),
                                   static_cast<void* const*>(__builtin_frame_address(0)),
                                   quillan::crash::GeneralRegisters());
            quillan::crash::MarkRethrown(object);
        }
    }
    __real___cxa_rethrow();
}
