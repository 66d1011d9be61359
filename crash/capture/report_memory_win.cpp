#include "crash/capture/report_memory_win.h"

#include <pthread.h>
#include <windows.h>

#include <cstdint>
#include <cstring>

extern "C" {
void* __real_malloc(std::size_t size);
void __real_free(void* pointer);
void* __real_realloc(void* pointer, std::size_t size);
}

namespace quillan::crash {

namespace {

// Blocks are powers of two from 32 bytes on, each after a 16-byte header (which keeps the
// 16-byte alignment a malloc'd block has); freed blocks wait on their size's list.
constexpr std::size_t kReserve = 64u << 20;
constexpr std::size_t kCommitStep = 1u << 20;
constexpr std::size_t kFirstCommit = 2u << 20;
constexpr std::size_t kHeader = 16;
constexpr unsigned kMinClass = 5;
constexpr unsigned kClasses = 27;  // up to 64 MB
constexpr std::uint32_t kMagic = 0x51524D42;
constexpr unsigned kMaxThreads = 16;

struct THeader {
    std::uint32_t Class;
    std::uint32_t Magic;
    THeader* Next;  // while free
};
static_assert(sizeof(THeader) <= kHeader);

// Plain data, zero before any code runs: operator new is called during static initialisation.
struct TArena {
    char* Base;
    std::size_t Used;
    std::size_t Committed;
    std::size_t InUse;
    volatile LONG Lock;
    volatile LONG Fatal;
    THeader* Free[kClasses];
    volatile LONG ThreadCount;
    volatile LONG Expected;
    volatile DWORD Threads[kMaxThreads];
};
TArena g_arena;

class TSpin {
public:
    TSpin() {
        while (InterlockedExchange(&g_arena.Lock, 1) != 0) Sleep(0);
    }
    ~TSpin() { InterlockedExchange(&g_arena.Lock, 0); }
    TSpin(const TSpin&) = delete;
    TSpin& operator=(const TSpin&) = delete;
};

bool ReportThread() {
    if (!g_arena.Base) return false;
    const DWORD self = GetCurrentThreadId();
    const LONG count = g_arena.ThreadCount;
    for (LONG i = 0; i < count && i < static_cast<LONG>(kMaxThreads); ++i) {
        if (g_arena.Threads[i] == self) return true;
    }
    return false;
}

unsigned ClassOf(std::size_t size) {
    unsigned c = kMinClass;
    while (c < kClasses && (std::size_t(1) << c) < size + kHeader) ++c;
    return c;
}

// Null when the reserve is spent: the caller falls back to the heap.
void* ArenaAllocate(std::size_t size) {
    const unsigned c = ClassOf(size);
    if (c >= kClasses) return nullptr;
    const std::size_t block = std::size_t(1) << c;
    TSpin lock;
    THeader* header = g_arena.Free[c];
    if (header) {
        g_arena.Free[c] = header->Next;
    } else {
        if (g_arena.Used + block > kReserve) return nullptr;
        while (g_arena.Used + block > g_arena.Committed) {
            if (!VirtualAlloc(g_arena.Base + g_arena.Committed, kCommitStep, MEM_COMMIT, PAGE_READWRITE))
                return nullptr;
            g_arena.Committed += kCommitStep;
        }
        header = reinterpret_cast<THeader*>(g_arena.Base + g_arena.Used);
        g_arena.Used += block;
        header->Class = c;
        header->Magic = kMagic;
    }
    header->Next = nullptr;
    g_arena.InUse += block;
    return reinterpret_cast<char*>(header) + kHeader;
}

bool Owns(const void* pointer) {
    const char* p = static_cast<const char*>(pointer);
    return g_arena.Base && p >= g_arena.Base && p < g_arena.Base + kReserve;
}

void ArenaFree(void* pointer) {
    auto* header = reinterpret_cast<THeader*>(static_cast<char*>(pointer) - kHeader);
    if (header->Magic != kMagic || header->Class >= kClasses) return;  // not ours to take back
    TSpin lock;
    header->Next = g_arena.Free[header->Class];
    g_arena.Free[header->Class] = header;
    g_arena.InUse -= std::size_t(1) << header->Class;
}

void* Allocate(std::size_t size) {
    if (ReportThread()) {
        if (void* p = ArenaAllocate(size == 0 ? 1 : size)) return p;
    }
    return __real_malloc(size);
}

void Release(void* pointer) {
    if (!pointer) return;
    if (Owns(pointer)) {
        ArenaFree(pointer);
        return;
    }
    // The heap may be locked by the thread whose fault is being reported: its blocks are left.
    if (g_arena.Fatal && ReportThread()) return;
    __real_free(pointer);
}

void* Reallocate(void* pointer, std::size_t size) {
    if (!pointer) return Allocate(size);
    if (!Owns(pointer)) {
        // A heap block keeps to the heap (its size is the heap's to know).
        return __real_realloc(pointer, size);
    }
    if (size == 0) {
        Release(pointer);
        return nullptr;
    }
    auto* header = reinterpret_cast<THeader*>(static_cast<char*>(pointer) - kHeader);
    const std::size_t room = (std::size_t(1) << header->Class) - kHeader;
    if (size <= room) return pointer;
    void* moved = Allocate(size);
    if (!moved) return nullptr;
    std::memcpy(moved, pointer, room);
    Release(pointer);
    return moved;
}

}  // namespace

bool ReserveReportMemory() {
    TSpin lock;
    if (g_arena.Base) return true;
    void* base = VirtualAlloc(nullptr, kReserve, MEM_RESERVE, PAGE_NOACCESS);
    if (!base) return false;
    if (!VirtualAlloc(base, kFirstCommit, MEM_COMMIT, PAGE_READWRITE)) {
        VirtualFree(base, 0, MEM_RELEASE);
        return false;
    }
    g_arena.Committed = kFirstCommit;
    g_arena.Base = static_cast<char*>(base);
    return true;
}

void EnterReportThread() {
    // A thread the threads library did not start gets its record at its first lock or self
    // query, which initialises critical sections: under Wine that takes the process heap.
    (void)pthread_self();
    const DWORD self = GetCurrentThreadId();
    TSpin lock;
    if (ReportThread()) return;
    const LONG index = g_arena.ThreadCount;
    if (index >= static_cast<LONG>(kMaxThreads)) return;
    g_arena.Threads[index] = self;
    InterlockedExchange(&g_arena.ThreadCount, index + 1);
}

void ExpectReportThread() { InterlockedIncrement(&g_arena.Expected); }

bool AwaitReportThreads(unsigned long timeoutMs) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    while (g_arena.ThreadCount < g_arena.Expected && g_arena.ThreadCount < static_cast<LONG>(kMaxThreads)) {
        if (GetTickCount64() > until) return false;
        Sleep(1);
    }
    return true;
}

void SetReportMemoryFatal() { InterlockedExchange(&g_arena.Fatal, 1); }

}  // namespace quillan::crash

// Every allocation of the program's own code and of the statically linked libraries (the C++
// library, the threads library, zlib) passes here (-Wl,--wrap): a report thread's blocks come from
// the reserve, other threads' from the run-time's heap.
extern "C" {
void* __wrap_malloc(std::size_t size) { return quillan::crash::Allocate(size); }
void* __wrap_calloc(std::size_t count, std::size_t size) {
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    void* p = quillan::crash::Allocate(count * size);
    if (p) std::memset(p, 0, count * size);
    return p;
}
void __wrap_free(void* pointer) { quillan::crash::Release(pointer); }
void* __wrap_realloc(void* pointer, std::size_t size) { return quillan::crash::Reallocate(pointer, size); }
}
