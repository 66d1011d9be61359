#include "components/xml/xml_pool.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

// Under AddressSanitizer the pool marks what it holds as unaddressable and what it hands out as
// addressable (to the byte asked for), so that a use of a block after it was given back, or past
// its end, is reported as it would be for the heap.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLAN_XML_POISON 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLAN_XML_POISON 1
#endif
#endif

// The heap alone, for the benchmark that weighs the pool against it (never in the program).
#ifdef QUILLAN_XML_HEAP_ONLY
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif

#ifdef QUILLAN_XML_POISON
#include <sanitizer/asan_interface.h>
#define QUILLAN_XML_HIDE(block, size) ASAN_POISON_MEMORY_REGION(block, size)
#define QUILLAN_XML_SHOW(block, size) ASAN_UNPOISON_MEMORY_REGION(block, size)
#else
#define QUILLAN_XML_HIDE(block, size) ((void)(block), (void)(size))
#define QUILLAN_XML_SHOW(block, size) ((void)(block), (void)(size))
#endif

namespace quillan::xml_detail {

namespace {

constexpr size_t kGrain = 16;
constexpr size_t kClasses = kMaxBlock / kGrain + 1;
constexpr size_t kChunk = 64 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

struct ThreadLists {
    FreeBlock* free[kClasses] = {};
    char* chunk = nullptr;  // bump area of the current chunk
    size_t left = 0;
    uint32_t generation = 0;  // of the chunks these lists point into
};

thread_local ThreadLists lists;

// Blocks handed out and not freed yet, on all threads. A release swaps 0 for kReleasing,
// which keeps every allocation waiting until the chunks are gone.
std::atomic<int64_t> live{0};
constexpr int64_t kReleasing = INT64_MIN / 2;
// Counts the releases: free lists of an older generation point into chunks given back.
std::atomic<uint32_t> generation{0};

std::mutex& ChunksLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

// Every chunk stays reachable from here: blocks may be freed on another thread than the one
// that carved them, so chunks live until a release finds none of their blocks in use.
std::vector<void*>& Chunks() {
    static std::vector<void*>* chunks = new std::vector<void*>;
    return *chunks;
}

char* NewChunk() {
    char* chunk = static_cast<char*>(::operator new(kChunk));
    QUILLAN_XML_HIDE(chunk, kChunk);
    std::lock_guard<std::mutex> guard(ChunksLock());
    Chunks().push_back(chunk);
    return chunk;
}

// The calling thread's lists, emptied when a release has given their chunks back.
ThreadLists& OwnLists() {
    ThreadLists& own = lists;
    uint32_t now = generation.load(std::memory_order_acquire);
    if (own.generation != now) {
        own = ThreadLists{};
        own.generation = now;
    }
    return own;
}

}  // namespace

void* PoolAllocate(size_t size) {
    if (kHeapOnly || size == 0 || size > kMaxBlock) return ::operator new(size);
    size_t cls = (size + kGrain - 1) / kGrain;
    while (live.fetch_add(1, std::memory_order_acq_rel) < 0) {
        // A release is giving the chunks back: wait for it, then carve from new ones.
        live.fetch_sub(1, std::memory_order_acq_rel);
        while (live.load(std::memory_order_acquire) < 0) std::this_thread::yield();
    }
    ThreadLists& own = OwnLists();
    if (FreeBlock* block = own.free[cls]) {
        QUILLAN_XML_SHOW(block, sizeof(FreeBlock));
        FreeBlock* next = block->next;
        own.free[cls] = next;
        QUILLAN_XML_HIDE(block, sizeof(FreeBlock));
        QUILLAN_XML_SHOW(block, size);
        // Freed blocks have long left the cache by the next load: fetch the following
        // one now, while the caller fills this one.
        if (next) __builtin_prefetch(next, 1);
        return block;
    }
    size_t bytes = cls * kGrain;
    if (own.left < bytes) {
        try {
            own.chunk = NewChunk();
        } catch (...) {
            live.fetch_sub(1, std::memory_order_acq_rel);
            throw;
        }
        own.left = kChunk;
    }
    void* block = own.chunk;
    own.chunk += bytes;
    own.left -= bytes;
    QUILLAN_XML_SHOW(block, size);
    return block;
}

void PoolFree(void* block, size_t size) noexcept {
    if (!block) return;
    if (kHeapOnly || size == 0 || size > kMaxBlock) {
        ::operator delete(block);
        return;
    }
    size_t cls = (size + kGrain - 1) / kGrain;
    // The block is in use until here, so no release runs and the generation stands.
    ThreadLists& own = OwnLists();
    auto* freed = static_cast<FreeBlock*>(block);
    QUILLAN_XML_SHOW(freed, sizeof(FreeBlock));
    freed->next = own.free[cls];
    QUILLAN_XML_HIDE(freed, cls * kGrain);
    own.free[cls] = freed;
    live.fetch_sub(1, std::memory_order_acq_rel);
}

bool PoolRelease() {
    std::lock_guard<std::mutex> guard(ChunksLock());
    int64_t idle = 0;
    if (!live.compare_exchange_strong(idle, kReleasing, std::memory_order_acq_rel)) return false;
    generation.fetch_add(1, std::memory_order_acq_rel);
    for (void* chunk : Chunks()) {
        QUILLAN_XML_SHOW(chunk, kChunk);
        ::operator delete(chunk);
    }
    std::vector<void*>().swap(Chunks());
    // Back to the allocations that came meanwhile and are backing off.
    live.fetch_sub(kReleasing, std::memory_order_acq_rel);
    return true;
}

size_t PoolHeldBytes() {
    std::lock_guard<std::mutex> guard(ChunksLock());
    return Chunks().size() * kChunk;
}

}  // namespace quillan::xml_detail
