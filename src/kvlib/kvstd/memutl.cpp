// memutl: the allocation wrappers of the procedural code.
//
// Invariants: a size of 0 never reaches the allocator and never raises;
// every refused allocation raises 1088 (allocator name, requested size) and
// yields null; a failed resize leaves the caller's block allocated and
// unchanged. The only state is the failure seam used by tests.
#include "kvstd/memutl.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "kvlog/kvraise.h"
#include "kvstd/trace.h"

static const kvModuleId kModule{"kvstd.util.mem", "$Id: memutl.cpp 1.0 tabcopy $"};

namespace {

// Successes left before the seam refuses allocations; negative means off.
std::atomic<long> g_successes_left{-1};

// Consults the failure seam; true when this allocation may go ahead.
bool seam_allows() {
    long left = g_successes_left.load();
    while (left >= 0) {
        if (left == 0) return false;
        if (g_successes_left.compare_exchange_weak(left, left - 1)) return true;
    }
    return true;
}

void report_failure(const char* function, const char* allocator, int size) {
    kvRaiseMessage(KV_SITE_FN(kModule, function), 1088, {allocator, static_cast<int32_t>(size)});
}

// A negative size would be converted to a huge size_t; no allocator can
// honour that, so it is reported like any other allocation the system
// refuses rather than handed to the C library.
void* allocate(const char* function, const char* allocator, int size, bool zeroed) {
    if (size == 0) return nullptr;
    void* block = nullptr;
    if (size > 0 && seam_allows())
        block = zeroed ? std::calloc(1, static_cast<size_t>(size))
                       : std::malloc(static_cast<size_t>(size));
    if (!block) {
        report_failure(function, allocator, size);
        return nullptr;
    }
    KV_TRACE_VALUE("pointer allocated", block);
    KV_TRACE_VALUE("bytes allocated", size);
    return block;
}

}  // namespace

void kvMemFailAfter(long successes) { g_successes_left.store(successes < 0 ? -1 : successes); }

void* kvMalloc(int size) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "kvMalloc");
    return allocate("kvMalloc", "malloc", size, false);
}

void* kvCalloc(int size) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "kvCalloc");
    return allocate("kvCalloc", "calloc", size, true);
}

void* kvRealloc(void* block, int size) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "kvRealloc");
    KV_TRACE_VALUE("pointer before realloc", block);
    if (size == 0) {
        kvFree(block);
        return nullptr;
    }
    void* resized = nullptr;
    if (size > 0 && seam_allows()) resized = std::realloc(block, static_cast<size_t>(size));
    if (!resized) {
        report_failure("kvRealloc", "realloc", size);
        return nullptr;
    }
    KV_TRACE_VALUE("pointer after realloc", resized);
    KV_TRACE_VALUE("bytes reallocated", size);
    return resized;
}

int kvFree(void* block) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "kvFree");
    KV_TRACE_VALUE("pointer freed", block);
    std::free(block);
    return 0;
}

void* kvAllocMemcpy(const void* source, int size) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "kvAllocMemcpy");
    void* copy = kvMalloc(size);
    if (copy) std::memcpy(copy, source, static_cast<size_t>(size));
    return copy;
}
