#include "framework/win/stack.h"

#include <windows.h>

namespace quillan::win {

namespace {

constexpr ULONG_PTR kKeptBelow = 64 * 1024;

}  // namespace

void ReleaseUnusedStack() {
    MEMORY_BASIC_INFORMATION here = {};
    if (!VirtualQuery(&here, &here, sizeof(here))) return;
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    const ULONG_PTR page = system.dwPageSize;
    const auto base = reinterpret_cast<ULONG_PTR>(here.AllocationBase);
    const auto current = reinterpret_cast<ULONG_PTR>(&here);
    if (current - base <= kKeptBelow) return;
    const ULONG_PTR keepFrom = (current - kKeptBelow) & ~(page - 1);
    // Region by region from the stack's base: only plain committed pages are reset (a guard page
    // must stay one, and reserved pages hold nothing).
    ULONG_PTR at = base;
    MEMORY_BASIC_INFORMATION part = {};
    while (at < keepFrom && VirtualQuery(reinterpret_cast<void*>(at), &part, sizeof(part)) &&
           reinterpret_cast<ULONG_PTR>(part.AllocationBase) == base) {
        const ULONG_PTR start = reinterpret_cast<ULONG_PTR>(part.BaseAddress);
        const ULONG_PTR end = start + part.RegionSize;
        if (end <= start) break;
        const ULONG_PTR stop = end < keepFrom ? end : keepFrom;
        if (part.State == MEM_COMMIT && part.Protect == PAGE_READWRITE && stop > start)
            VirtualAlloc(part.BaseAddress, stop - start, MEM_RESET, PAGE_READWRITE);
        at = end;
    }
}

}  // namespace quillan::win
