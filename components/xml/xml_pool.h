// Recycling of the small fixed-size objects of the element tree. A load creates and a reload
// frees them by the ten thousand; the general heap spends most of a load coalescing them.
#pragma once

#include <cstddef>

namespace quillan::xml_detail {

// Blocks of up to kMaxBlock bytes, kept per size class on free lists of the calling thread.
// Freed blocks are reused; PoolRelease hands them back to the system. Larger sizes go to
// the heap.
void* PoolAllocate(size_t size);
void PoolFree(void* block, size_t size) noexcept;
// Gives every chunk back to the system when no block of the pool is in use, on any
// thread; false (nothing freed) while one is.
bool PoolRelease();
// Bytes of chunks the pool holds now (what PoolRelease would give back).
size_t PoolHeldBytes();

inline constexpr size_t kMaxBlock = 512;

// Standard allocator over the pool, for the child and attribute lists' arrays.
template <typename T>
struct TPoolAllocator {
    using value_type = T;
    TPoolAllocator() = default;
    template <typename U>
    TPoolAllocator(const TPoolAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(PoolAllocate(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { PoolFree(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const TPoolAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace quillan::xml_detail

// Class-level operators that route a class's objects through the pool.
#define QUILLAN_XML_POOLED                                                                       \
    static void* operator new(size_t size) { return ::quillan::xml_detail::PoolAllocate(size); } \
    static void operator delete(void* block, size_t size) noexcept { ::quillan::xml_detail::PoolFree(block, size); }
