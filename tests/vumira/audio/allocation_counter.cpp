// The program's own operator new (and, without sanitizers, malloc, calloc
// and realloc, handed on to the C library's allocator) so that a test can
// count the allocations made on one thread.
#include "allocation_counter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define COUNTS_MALLOC 0
#else
#define COUNTS_MALLOC 1
#endif

namespace allocations {
namespace {
thread_local int scopeDepth = 0;
std::atomic<int> total{0};
}  // namespace

void note() {
    if (scopeDepth > 0) total.fetch_add(1, std::memory_order_relaxed);
}

Scope::Scope() { ++scopeDepth; }
Scope::~Scope() { --scopeDepth; }
int counted() { return total.load(); }
void reset() { total.store(0); }
bool countsMalloc() { return COUNTS_MALLOC != 0; }

}  // namespace allocations

#if COUNTS_MALLOC
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);

void* malloc(std::size_t size) {
    allocations::note();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    allocations::note();
    return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) {
    allocations::note();
    return __libc_realloc(block, size);
}
}
#endif

namespace {
// One allocation counts once, whether or not malloc itself counts.
void* countedBlock(std::size_t size) noexcept {
#if !COUNTS_MALLOC
    allocations::note();
#endif
    return std::malloc(size ? size : 1);
}

void* countedNew(std::size_t size) {
    void* block = countedBlock(size);
    if (!block) throw std::bad_alloc();
    return block;
}
}  // namespace

void* operator new(std::size_t size) { return countedNew(size); }
void* operator new[](std::size_t size) { return countedNew(size); }
// The non-throwing forms too, so that every block reaches the delete below
// from the same allocator.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedBlock(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedBlock(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
