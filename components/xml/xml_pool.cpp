#include "components/xml/xml_pool.h"

#include <mutex>
#include <new>
#include <vector>

// Under AddressSanitizer the pool steps aside so that the sanitizer sees every object's life.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLAN_XML_NO_POOL 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLAN_XML_NO_POOL 1
#endif
#endif
#ifndef QUILLAN_XML_NO_POOL
#define QUILLAN_XML_NO_POOL 0
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
};

thread_local ThreadLists lists;

// Every chunk stays reachable from here: blocks may be freed on another thread than the one
// that carved them, so chunks live as long as the process.
std::vector<void*>& Chunks() {
    static std::vector<void*>* chunks = new std::vector<void*>;
    return *chunks;
}

char* NewChunk() {
    static std::mutex lock;
    char* chunk = static_cast<char*>(::operator new(kChunk));
    std::lock_guard<std::mutex> guard(lock);
    Chunks().push_back(chunk);
    return chunk;
}

}  // namespace

void* PoolAllocate(size_t size) {
    if (QUILLAN_XML_NO_POOL || size == 0 || size > kMaxBlock) return ::operator new(size);
    size_t cls = (size + kGrain - 1) / kGrain;
    ThreadLists& own = lists;
    if (FreeBlock* block = own.free[cls]) {
        own.free[cls] = block->next;
        // Freed blocks have long left the cache by the next load: fetch the following
        // one now, while the caller fills this one.
        if (block->next) __builtin_prefetch(block->next, 1);
        return block;
    }
    size_t bytes = cls * kGrain;
    if (own.left < bytes) {
        own.chunk = NewChunk();
        own.left = kChunk;
    }
    void* block = own.chunk;
    own.chunk += bytes;
    own.left -= bytes;
    return block;
}

void PoolFree(void* block, size_t size) noexcept {
    if (!block) return;
    if (QUILLAN_XML_NO_POOL || size == 0 || size > kMaxBlock) {
        ::operator delete(block);
        return;
    }
    size_t cls = (size + kGrain - 1) / kGrain;
    ThreadLists& own = lists;
    auto* freed = static_cast<FreeBlock*>(block);
    freed->next = own.free[cls];
    own.free[cls] = freed;
}

}  // namespace quillan::xml_detail
