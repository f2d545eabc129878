#include "kvstd/memhook.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "kvstd/memutl.h"

namespace {

// Between start and stop only the calls under test may allocate: every
// allocation of the process counts. ("count" is left to tests/alloc.)
TEST(MemHook, ValuesAndTheAllocationsTheyRefuse) {
    const std::pair<const char*, const char*> cases[] = {  // x refused; null: not taken
        {"any:0", "x....."}, {"any:2", "..x..."}, {"any:2+", "..xxxx"}, {"any:0+", "xxxxxx"},
        {"any:", nullptr},   {"any:x", nullptr},  {"any:-1", nullptr},  {"any: 2", nullptr},
        {"any:+2", nullptr}, {"any:2++", nullptr}, {"any:2x", nullptr}, {"ANY:2", nullptr},
        {"3", nullptr},      {"new:3", nullptr},
    };
    for (const auto& [value, refused] : cases) {
        char got[7] = "------";
        const bool taken = kvMemHookStart(value);
        for (int i = 0; taken && i < 6; ++i) got[i] = kvMemHookRefuses() ? 'x' : '.';
        kvMemHookStop();
        EXPECT_EQ(taken, refused != nullptr) << value;
        EXPECT_STREQ(got, refused ? refused : "------") << value;
    }
}

#if TABCOPY_ALLOC_FAILURE_HOOK
int g_handler_calls = 0;
void count_handler_call() {
    if (++g_handler_calls == 3) kvMemHookStop();
}

// Every form of operator new, refused after a wrapper allocation took the
// first number: with a new handler it runs until the allocation succeeds
// (3 calls when every retry is refused too); without one the throwing
// forms throw and the nothrow forms yield null.
TEST(MemHook, RefusedOperatorNewFailsLikeExhaustion) {
    constexpr std::align_val_t k64{64};
    void* (*const forms[])() = {
        [] { return operator new(24); }, [] { return operator new[](24); },
        [] { return operator new(24, k64); }, [] { return operator new[](24, k64); },
        [] { return operator new(24, std::nothrow); }, [] { return operator new[](24, std::nothrow); },
        [] { return operator new(24, k64, std::nothrow); },
        [] { return operator new[](24, k64, std::nothrow); }};
    const std::new_handler saved = std::get_new_handler();
    for (int form = 0; form < 8; ++form)
        for (const bool rest : {false, true})
            for (const bool handler : {false, true}) {
                std::set_new_handler(handler ? count_handler_call : nullptr);
                g_handler_calls = 0;
                void* block = nullptr;
                bool threw = false;
                kvMemHookStart(rest ? "any:1+" : "any:1");
                void* wrapped = kvMalloc(8);
                try {
                    block = forms[form]();
                } catch (const std::bad_alloc&) {
                    threw = true;
                }
                kvMemHookStop();
                std::set_new_handler(saved);
                const std::string label = std::to_string(form * 4 + rest * 2 + handler);
                EXPECT_NE(wrapped, nullptr) << label;
                EXPECT_EQ(g_handler_calls, !handler ? 0 : rest ? 3 : 1) << label;
                EXPECT_EQ(threw, !handler && form < 4) << label;
                EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (form % 4 >= 2 ? 64 : 16), 0u) << label;
                EXPECT_EQ(block != nullptr, handler) << label;
                std::free(block);  // every form's block comes from malloc
                kvFree(wrapped);
            }
}
#endif

#if defined(__SANITIZE_ADDRESS__)
// The replacement must not hide blocks from new from AddressSanitizer.
TEST(MemHookDeathTest, SanitizerStillChecksBlocksFromNew) {
    EXPECT_DEATH(static_cast<volatile char*>(new char[8])[8] = 0, "heap-buffer-overflow");
    EXPECT_DEATH(
        {
            int* block = new int(1);
            delete block;
            *static_cast<volatile int*>(block) = 2;
        },
        "heap-use-after-free");
}
#endif

}  // namespace
