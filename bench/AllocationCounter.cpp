// Counting replacements of the global allocation functions. Linked into the
// executable, they serve libsimhost and every other library of the process.
#include "AllocationCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<uint64_t> allocations{0};
std::atomic<uint64_t> bytesRequested{0};
std::atomic<int64_t> liveBytes{0};

void* Counted(void* block, size_t size) {
    if (block == nullptr) return nullptr;
    allocations.fetch_add(1, std::memory_order_relaxed);
    bytesRequested.fetch_add(size, std::memory_order_relaxed);
    liveBytes.fetch_add(static_cast<int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
    return block;
}

void* Allocate(size_t size) { return Counted(std::malloc(size == 0 ? 1 : size), size); }

void* AllocateAligned(size_t size, std::align_val_t alignment) {
    void* block = nullptr;
    size_t align = static_cast<size_t>(alignment);
    if (align < sizeof(void*)) align = sizeof(void*);
    if (posix_memalign(&block, align, size == 0 ? 1 : size) != 0) return nullptr;
    return Counted(block, size);
}

void Release(void* block) {
    if (block == nullptr) return;
    liveBytes.fetch_sub(static_cast<int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
    std::free(block);
}

void* OrThrow(void* block) {
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

namespace bench {

HeapCounts HeapSnapshot() {
    HeapCounts counts;
    counts.allocations = allocations.load(std::memory_order_relaxed);
    counts.bytesRequested = bytesRequested.load(std::memory_order_relaxed);
    counts.liveBytes = liveBytes.load(std::memory_order_relaxed);
    return counts;
}

}  // namespace bench

void* operator new(size_t size) { return OrThrow(Allocate(size)); }
void* operator new[](size_t size) { return OrThrow(Allocate(size)); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(size_t size, std::align_val_t alignment) { return OrThrow(AllocateAligned(size, alignment)); }
void* operator new[](size_t size, std::align_val_t alignment) { return OrThrow(AllocateAligned(size, alignment)); }
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
