#include "crash/moduledata/memory_reader_win.h"

#include <cstring>

namespace quillan::crash {
namespace {

bool ReadableProtection(DWORD protect) {
    if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
    return (protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                       PAGE_EXECUTE_WRITECOPY)) != 0;
}

}  // namespace

bool TProcessMemoryReader::RegionOf(TAddress address, TAddress& end, bool& readable) {
    if (regionEnd_ != 0 && address >= regionStart_ && address < regionEnd_) {
        end = regionEnd_;
        readable = regionReadable_;
        return true;
    }
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), &info, sizeof info) == 0) {
        return false;
    }
    regionStart_ = reinterpret_cast<uintptr_t>(info.BaseAddress);
    regionEnd_ = regionStart_ + info.RegionSize;
    // A region's protection can change later (a guard page is touched); the cache lives only as
    // long as one reader, which a report makes afresh.
    regionReadable_ = info.State == MEM_COMMIT && ReadableProtection(info.Protect);
    end = regionEnd_;
    readable = regionReadable_;
    return true;
}

bool TProcessMemoryReader::Readable(TAddress address, size_t size) {
    if (size == 0) return true;
    const TAddress last = address + size - 1;
    if (last < address || last > static_cast<TAddress>(UINTPTR_MAX)) return false;
    for (TAddress at = address;;) {
        TAddress end;
        bool readable;
        if (!RegionOf(at, end, readable) || !readable) return false;
        if (last < end) return true;
        at = end;
    }
}

bool TProcessMemoryReader::Read(TAddress address, void* buffer, size_t size) {
    if (!Readable(address, size)) return false;
    std::memcpy(buffer, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), size);
    return true;
}

}  // namespace quillan::crash
