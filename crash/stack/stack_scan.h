// The raw stack scan: every stack slot whose value returns just after a call instruction gives
// the call's address (and, for a direct call, the called procedure first). No frame chain is
// followed. Platform-free: the stack and the code are read through IMemoryReader, so the same
// scan runs over live threads on Windows and over byte buffers in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "crash/moduledata/memory_reader.h"
#include "crash/report/report_types.h"
#include "crash/stack/call_patterns.h"

namespace quillan::crash {

// At most this much stack is scanned per thread, from its stack pointer up.
inline constexpr size_t kStackScanLimit = 102400;
// Stack memory is read (and so checked) this many bytes at a time; a chunk that cannot be read
// whole is read slot by slot.
inline constexpr size_t kStackScanChunk = 400;

// The most addresses one scan can find: two per slot.
inline constexpr size_t MaxScanAddresses(TCallArch arch) { return 2 * kStackScanLimit / SlotSize(arch); }

// Scans the slots from stackPointer up to stackTop (at most kStackScanLimit bytes) and appends
// the addresses found to found, lowest slot first. found never grows past its capacity, so the
// caller that reserves MaxScanAddresses(arch) beforehand gets a scan that allocates nothing
// (a thread may be suspended meanwhile, holding the heap's lock). Returns the number appended.
// stack reads the slots, code the bytes around candidate return addresses; the two may be the
// same reader, but two keep a region cache each.
size_t ScanStack(TCallArch arch, IMemoryReader& stack, IMemoryReader& code, TAddress stackPointer, TAddress stackTop,
                 std::vector<TAddress>& found);

// Fills kind, module, address and location of an entry for an address.
using TAddressResolver = std::function<void(TAddress address, TMishapStackEntry& entry)>;

// Appends one resolved entry per address, marked with the thread's id and whether it is the
// thread that runs the report.
void AppendResolved(TMishapStackList& list, const std::vector<TAddress>& addresses, std::uint32_t threadId,
                    bool runningThread, const TAddressResolver& resolve);

// Hides repeats among list[first..]: going back from the second-last entry, an entry resolved to a
// name (kinds 2 to 4) becomes kind 0 when one of the next two such entries of the same module has
// the same address. So a return address found twice in a row is shown once.
void HideRepeats(TMishapStackList& list, size_t first);

// One thread's stack as the report lists it.
struct TStackRequest {
    std::optional<TAddress> FirstAddress;  // the exception address, listed first
    TAddress StackPointer = 0;
    TAddress StackTop = 0;
    std::uint32_t ThreadId = 0;
    bool RunningThread = false;
};

// Builds a call stack: the first address, then the scan, resolved, repeats hidden; appended to
// list. Use it for a stack that does not change meanwhile (see ScanStack for suspended threads).
void BuildCallStack(TCallArch arch, TMishapStackList& list, const TStackRequest& request, IMemoryReader& stack,
                    IMemoryReader& code, const TAddressResolver& resolve);

// Reads from a copy of memory taken earlier where the copy covers the address, elsewhere from
// the memory beneath: a stack as it was when an exception was raised, over the live one.
class TOverlayMemoryReader : public IMemoryReader {
public:
    TOverlayMemoryReader(TAddress base, const std::vector<std::uint8_t>& copy, IMemoryReader& beneath)
        : base_(base), copy_(copy), beneath_(beneath) {}
    bool Read(TAddress address, void* buffer, size_t size) override;

private:
    TAddress base_;
    const std::vector<std::uint8_t>& copy_;
    IMemoryReader& beneath_;
};

}  // namespace quillan::crash
