#include "crash/stack/stack_scan.h"

#include <algorithm>
#include <cstring>

namespace quillan::crash {
namespace {

TAddress SlotValue(TCallArch arch, const std::uint8_t* p) {
    TAddress value = 0;
    for (size_t i = SlotSize(arch); i-- > 0;) value = (value << 8) | p[i];
    return value;
}

bool Named(TStackKind kind) {
    return kind == TStackKind::PlainExport || kind == TStackKind::PackageExport || kind == TStackKind::LineTable;
}

}  // namespace

size_t ScanStack(TCallArch arch, IMemoryReader& stack, IMemoryReader& code, TAddress stackPointer, TAddress stackTop,
                 std::vector<TAddress>& found) {
    const size_t before = found.size();
    if (stackTop <= stackPointer) return 0;
    found.reserve(before + MaxScanAddresses(arch));
    const size_t slot = SlotSize(arch);
    const TAddress end = stackTop - stackPointer > kStackScanLimit ? stackPointer + kStackScanLimit : stackTop;
    std::uint8_t chunk[kStackScanChunk];
    for (TAddress at = stackPointer; end - at >= slot;) {
        const size_t bytes = std::min<TAddress>(kStackScanChunk, (end - at) / slot * slot);
        // One check for the whole chunk; only a chunk that straddles unreadable memory costs
        // a read per slot.
        const bool whole = stack.Read(at, chunk, bytes);
        for (size_t offset = 0; offset < bytes; offset += slot) {
            const std::uint8_t* value = chunk + offset;
            std::uint8_t single[8];
            if (!whole) {
                if (!stack.Read(at + offset, single, slot)) continue;
                value = single;
            }
            TCallSite site;
            if (!FindCallBefore(arch, code, SlotValue(arch, value), site)) continue;
            if (site.Called != 0) found.push_back(site.Called);
            found.push_back(site.Site);
        }
        at += bytes;
    }
    return found.size() - before;
}

void AppendResolved(TMishapStackList& list, const std::vector<TAddress>& addresses, std::uint32_t threadId,
                    bool runningThread, const TAddressResolver& resolve) {
    list.reserve(list.size() + addresses.size());
    for (TAddress address : addresses) {
        TMishapStackEntry entry;
        entry.Address = address;
        resolve(address, entry);
        entry.ThreadId = threadId;
        entry.RunningThread = runningThread;
        list.push_back(std::move(entry));
    }
}

void HideRepeats(TMishapStackList& list, size_t first) {
    if (list.size() < first + 2) return;
    for (size_t i = list.size() - 1; i-- > first;) {
        TMishapStackEntry& entry = list[i];
        if (!Named(entry.Kind)) continue;
        int compared = 0;
        for (size_t j = i + 1; j < list.size() && compared < 2; ++j) {
            const TMishapStackEntry& next = list[j];
            if (!Named(next.Kind) || next.ModuleHandle != entry.ModuleHandle) continue;
            ++compared;
            if (next.Address == entry.Address) {
                entry.Kind = TStackKind::Unknown;
                break;
            }
        }
    }
}

void BuildCallStack(TCallArch arch, TMishapStackList& list, const TStackRequest& request, IMemoryReader& stack,
                    IMemoryReader& code, const TAddressResolver& resolve) {
    std::vector<TAddress> addresses;
    if (request.FirstAddress) addresses.push_back(*request.FirstAddress);
    ScanStack(arch, stack, code, request.StackPointer, request.StackTop, addresses);
    const size_t first = list.size();
    AppendResolved(list, addresses, request.ThreadId, request.RunningThread, resolve);
    HideRepeats(list, first);
}

bool TOverlayMemoryReader::Read(TAddress address, void* buffer, size_t size) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (size > 0) {
        size_t part;
        if (address >= base_ && address - base_ < copy_.size()) {
            part = std::min<TAddress>(size, copy_.size() - (address - base_));
            std::memcpy(out, copy_.data() + (address - base_), part);
        } else {
            part = address < base_ && base_ - address < size ? base_ - address : size;
            if (!beneath_.Read(address, out, part)) return false;
        }
        address += part;
        out += part;
        size -= part;
    }
    return true;
}

}  // namespace quillan::crash
