// A processor fault on a thread that holds a lock the report would need: the process heap's
// (lock=process) or the C run-time's heap lock together with its heap's (lock=crt). The report
// must not wait for the faulting thread; at worst the process ends within the report's bound.
#include <windows.h>

#include "tests/crash/capture/probes/probe_support.h"

extern "C" {
__declspec(dllimport) void __cdecl _lock(int);
__declspec(dllimport) void __cdecl _unlock(int);
__declspec(dllimport) intptr_t __cdecl _get_heap_handle();
}

namespace {

const int kCrtHeapLock = 4;  // _HEAP_LOCK

[[gnu::noinline]] void WriteWhileLocked(volatile int* target) {
    *target = 1;  // FAULT-LOCKED
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::string folder = quillan::probe::Setup(argc, argv);
    const std::string lock = quillan::probe::Argument("lock");
    quillan::probe::WriteMarker(folder, "locking.txt");
    if (lock == "crt") {
        _lock(kCrtHeapLock);
        HeapLock(reinterpret_cast<HANDLE>(_get_heap_handle()));
    } else {
        HeapLock(GetProcessHeap());
    }
    WriteWhileLocked(nullptr);
    return 0;
}
