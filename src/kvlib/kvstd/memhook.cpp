// memhook: the counting modes of KVXTESTMEMFAIL, and the program's global
// operator new and delete, replaced so that those modes can refuse them
// like any other allocation. The replacement is built only with
// TABCOPY_ALLOC_FAILURE_HOOK; it lives in this file because the wrappers
// call the counter here, which brings it into every program that links
// the library, ahead of the runtime's and the sanitizer's own.
//
// Invariants of the replacement: a refused allocation takes the path of
// real exhaustion: the new handler runs and the allocation is tried again
// when it returns, and without a handler std::bad_alloc is thrown; the
// nothrow forms yield null where the others would throw. Every block
// comes from malloc or aligned_alloc, so each delete releases it with
// free, whatever its form.
//
// Under AddressSanitizer the replacement stands in for the sanitizer's own
// operator new: blocks still come from its malloc, so overflows, use after
// free, double frees and leaks are reported as before; only a block from
// new released with free (or the reverse) is no longer told apart.
#include "kvstd/memhook.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Allocations counted since the mode was switched on; the one numbered
// g_refuse_from (from 1; 0 refuses none) is refused, and with
// g_refuse_rest every later one too. Relaxed: the count only has to give
// each allocation its own number, whichever thread makes it.
std::atomic<bool> g_counting{false};
std::atomic<unsigned long> g_counted{0};
std::atomic<unsigned long> g_refuse_from{0};
std::atomic<bool> g_refuse_rest{false};

void start_counting(unsigned long refuse_from, bool refuse_rest) {
    g_counted.store(0, std::memory_order_relaxed);
    g_refuse_from.store(refuse_from, std::memory_order_relaxed);
    g_refuse_rest.store(refuse_rest, std::memory_order_relaxed);
    g_counting.store(true, std::memory_order_relaxed);
}

void report_count() {
    std::fprintf(stderr, "KVXTESTMEMFAIL count: %lu\n", g_counted.load(std::memory_order_relaxed));
}

// "any:N" or "any:N+"; false for anything else.
bool start_refusing(const char* value) {
    if (std::strncmp(value, "any:", 4) != 0 || !std::isdigit(static_cast<unsigned char>(value[4])))
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long successes = std::strtoul(value + 4, &end, 10);
    const bool rest = *end == '+';
    if (errno != 0 || end[rest ? 1 : 0] != '\0') return false;
    start_counting(successes + 1, rest);
    return true;
}

}  // namespace

bool kvMemHookStart(const char* value) {
    if (std::strcmp(value, "count") != 0) return start_refusing(value);
    start_counting(0, false);
    std::atexit(report_count);
    return true;
}

void kvMemHookStop() {
    g_counting.store(false, std::memory_order_relaxed);
    g_refuse_from.store(0, std::memory_order_relaxed);
}

bool kvMemHookRefuses() {
    if (!g_counting.load(std::memory_order_relaxed)) return false;
    const unsigned long number = g_counted.fetch_add(1, std::memory_order_relaxed) + 1;
    const unsigned long from = g_refuse_from.load(std::memory_order_relaxed);
    if (from == 0 || number < from) return false;
    return number == from || g_refuse_rest.load(std::memory_order_relaxed);
}

#if TABCOPY_ALLOC_FAILURE_HOOK

namespace {

// `alignment` 0: malloc's own alignment.
void* allocate_or_null(std::size_t size, std::size_t alignment) {
    if (kvMemHookRefuses()) return nullptr;
    if (size == 0) size = 1;
    if (alignment == 0) return std::malloc(size);
    // aligned_alloc wants a multiple of the alignment; an overflowing
    // round-up is a size no system can give.
    const std::size_t rounded = (size + alignment - 1) & ~(alignment - 1);
    return rounded < size ? nullptr : std::aligned_alloc(alignment, rounded);
}

void* allocate(std::size_t size, std::size_t alignment) {
    for (;;) {
        if (void* block = allocate_or_null(size, alignment)) return block;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void* allocate_nothrow(std::size_t size, std::size_t alignment) noexcept {
    try {
        return allocate(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

// Alignments below a pointer's size are raised to it: aligned_alloc may
// refuse them.
std::size_t aligned(std::align_val_t alignment) {
    const std::size_t value = static_cast<std::size_t>(alignment);
    return value < sizeof(void*) ? sizeof(void*) : value;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size, 0); }
void* operator new[](std::size_t size) { return allocate(size, 0); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate_nothrow(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate_nothrow(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate(size, aligned(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate(size, aligned(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate_nothrow(size, aligned(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate_nothrow(size, aligned(alignment));
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(block);
}

#endif  // TABCOPY_ALLOC_FAILURE_HOOK
