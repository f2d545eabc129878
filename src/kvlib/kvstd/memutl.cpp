// memutl: the allocation wrappers of the procedural code, the one place
// where running out of memory anywhere in the process ends up, and the
// advice on how large blocks are paged.
//
// Invariants: a size of 0 never reaches the allocator and never raises;
// every refused allocation raises 1088 (allocator name, requested size) and
// yields null; a failed resize leaves the caller's block allocated and
// unchanged. The memory reserve is released before the first message about
// exhausted memory, so that message has room to be built; it is never
// allocated again. The other state is the failure seam used by tests.
#include "kvstd/memutl.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include <sys/mman.h>

#include "kvstd/raise.h"
#include "kvstd/memhook.h"
#include "kvstd/trace.h"

static const kvModuleId kModule{"kvstd.util.mem", "$Id: memutl.cpp 1.0 tabcopy $"};

namespace {

// Successes left before the seam refuses allocations; negative means off.
std::atomic<long> g_successes_left{-1};
// The seam refuses the way operator new does (through the new handler).
std::atomic<bool> g_seam_as_new{false};

// Enough for the abend path of a first message (catalogue, formatting,
// context report); measured need is well below a tenth of it.
constexpr size_t kReserveBytes = 2u << 20;
std::atomic<void*> g_reserve{nullptr};
// Entries into the exhaustion handler; only the first raises a message.
std::atomic<int> g_exhaustion_entries{0};

void release_reserve() { std::free(g_reserve.exchange(nullptr)); }

// What operator new does when the system refuses: the new handler runs
// and the allocation is tried again when it returns; without a handler
// std::bad_alloc is thrown.
void fail_like_operator_new() {
    g_successes_left.store(-1);
    g_seam_as_new.store(false);
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
}

// Consults the failure seam; true when this allocation may go ahead.
bool seam_allows() {
    if (kvMemHookRefuses()) return false;
    long left = g_successes_left.load();
    while (left >= 0) {
        if (left == 0) {
            if (!g_seam_as_new.load()) return false;
            fail_like_operator_new();
            return true;
        }
        if (g_successes_left.compare_exchange_weak(left, left - 1)) return true;
    }
    return true;
}

void report_failure(const char* function, const char* allocator, int size) {
    // A second failure while the first is being reported (the message
    // itself needs memory) is left to the first report, which abends.
    thread_local bool reporting = false;
    if (reporting) return;
    reporting = true;
    release_reserve();
    kvRaiseMessage(KV_SITE_FN(kModule, function), 1088, {allocator, static_cast<int32_t>(size)});
    reporting = false;
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

// The new handler. The first call frees the reserve and raises 1094; if
// the catalogue lets the run go on, operator new tries again with the
// reserve's room. A later call (the reserve is gone, or the message could
// not be built) has nothing left to try: the process abends.
void memory_exhausted() {
    if (g_exhaustion_entries.fetch_add(1) == 0) {
        release_reserve();
        kvRaiseMessage(KV_SITE_FN(kModule, "operator new"), 1094);
        return;
    }
    kvAbend();
}

// An exception that nobody catches. The handler may not return, so after
// the message the process abends whatever its severity.
[[noreturn]] void uncaught_exception() {
    std::string what = "no exception";
    bool memory = false;
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc&) {
            memory = true;
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
            what = "an exception of unknown type";
        }
    }
    if (memory)
        memory_exhausted();
    else
        kvRaiseMessage(KV_SITE_FN(kModule, "std::terminate"), 1095, {what});
    kvAbend();
}

}  // namespace

void kvAdviseHugePages(void* block, size_t size) {
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kHuge - 1);
    if (!block || end <= start) return;
    madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

void kvInstallMemoryFailureHandlers() {
    if (!g_reserve.load()) g_reserve.store(std::malloc(kReserveBytes));
    std::set_new_handler(memory_exhausted);
    std::set_terminate(uncaught_exception);
}

void kvMemFailAfter(long successes) {
    kvMemHookStop();
    g_seam_as_new.store(false);
    g_successes_left.store(successes < 0 ? -1 : successes);
}

void kvMemTestHookStartUp() {
    const char* value = std::getenv("KVXTESTMEMFAIL");
    if (!value || kvMemHookStart(value)) return;
    const bool as_new = std::strncmp(value, "new:", 4) == 0;
    const char* digits = as_new ? value + 4 : value;
    char* end = nullptr;
    const long successes = std::strtol(digits, &end, 10);
    if (end == digits || *end != '\0' || successes < 0) return;
    kvMemFailAfter(successes);
    g_seam_as_new.store(as_new);
}

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
