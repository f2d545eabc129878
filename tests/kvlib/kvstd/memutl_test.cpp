#include "kvstd/memutl.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "kvstd/config.h"
#include "message_recorder.h"

namespace {

class MemutlTest : public ::testing::Test {
protected:
    void TearDown() override { kvMemFailAfter(-1); }
    MessageRecorder recorder;
};

TEST_F(MemutlTest, ZeroSizeAndNullAreNotErrors) {
    EXPECT_EQ(kvMalloc(0), nullptr);
    EXPECT_EQ(kvCalloc(0), nullptr);
    EXPECT_EQ(kvFree(nullptr), 0);
    // The leak checker catches a block that size 0 fails to release.
    EXPECT_EQ(kvRealloc(kvMalloc(16), 0), nullptr);
    EXPECT_TRUE(recorder.empty());
}

struct FailCase {
    std::string allocator;
    int size;
};

void PrintTo(const FailCase& c, std::ostream* os) { *os << c.allocator << " " << c.size; }

class MemutlFailure : public MemutlTest, public ::testing::WithParamInterface<FailCase> {};

// Refused allocations, whether by the system or for an impossible size,
// report the allocator's name and the size asked for, and a failed resize
// leaves the caller's block intact.
TEST_P(MemutlFailure, RaisesOneMessageAndYieldsNull) {
    const FailCase c = GetParam();
    char* old = static_cast<char*>(kvAllocMemcpy("keep", 5));
    if (c.size > 0) kvMemFailAfter(0);
    void* got = c.allocator == "malloc"   ? kvMalloc(c.size)
                : c.allocator == "calloc" ? kvCalloc(c.size)
                                          : kvRealloc(old, c.size);
    EXPECT_EQ(got, nullptr);
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1088});
    EXPECT_EQ(recorder.last().args, (std::vector<std::string>{c.allocator, std::to_string(c.size)}));
    EXPECT_EQ(recorder.last().kinds[1], kvMsgArg::Kind::Int32);
    EXPECT_STREQ(old, "keep");
    kvFree(old);
}

INSTANTIATE_TEST_SUITE_P(Allocators, MemutlFailure,
                         ::testing::Values(FailCase{"malloc", 1000}, FailCase{"calloc", 1000},
                                           FailCase{"realloc", 1000}, FailCase{"malloc", -1},
                                           FailCase{"calloc", -8}, FailCase{"realloc", -1}));

TEST_F(MemutlTest, FailureSeamCountsSuccessesAndSwitchesOff) {
    kvMemFailAfter(2);
    std::vector<void*> got{kvMalloc(8), kvCalloc(8), kvMalloc(8)};
    kvMemFailAfter(-1);
    got.push_back(kvMalloc(8));
    EXPECT_EQ((std::vector<bool>{got[0] != nullptr, got[1] != nullptr, got[2] != nullptr, got[3] != nullptr}),
              (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(recorder.count(1088), 1u);
    for (void* p : got) kvFree(p);
}

// The whole-run hook: which values switch the seam on, after how many
// successes, and in which way the next allocation fails.
struct HookCase {
    const char* value;  // null: variable unset
    int successes;      // -1: the seam stays off
    bool as_new;
};

int g_new_handler_calls = 0;
void count_new_handler_call() { ++g_new_handler_calls; }

TEST_F(MemutlTest, TestHookReadsItsVariableOnce) {
    const HookCase cases[] = {
        {"3", 3, false},     {"0", 0, false},    {"new:2", 2, true}, {"new:0", 0, true},
        {nullptr, -1, false}, {"", -1, false},    {"x", -1, false},   {"-1", -1, false},
        {"5x", -1, false},   {"new:", -1, false}, {"NEW:1", -1, false},
    };
    std::new_handler saved = std::set_new_handler(count_new_handler_call);
    for (const HookCase& c : cases) {
        const std::string label = c.value ? c.value : "(unset)";
        if (c.value)
            setenv("KVXTESTMEMFAIL", c.value, 1);
        else
            unsetenv("KVXTESTMEMFAIL");
        kvMemFailAfter(-1);
        kvMemTestHookStartUp();
        unsetenv("KVXTESTMEMFAIL");
        recorder.clear();
        g_new_handler_calls = 0;
        std::vector<void*> blocks;
        for (int i = 0; i < 6; ++i) blocks.push_back(kvMalloc(8));
        int first_null = -1;
        for (int i = 0; i < 6 && first_null < 0; ++i)
            if (!blocks[i]) first_null = i;
        if (c.successes < 0 || c.as_new) {
            EXPECT_EQ(first_null, -1) << label;
            EXPECT_TRUE(recorder.empty()) << label;
        } else {
            EXPECT_EQ(first_null, c.successes) << label;
            EXPECT_EQ(recorder.count(1088), static_cast<size_t>(6 - c.successes)) << label;
        }
        // Like operator new: the handler runs once, then the allocation is
        // tried again and succeeds, and the seam is off afterwards.
        EXPECT_EQ(g_new_handler_calls, c.as_new ? 1 : 0) << label;
        for (void* p : blocks) kvFree(p);
    }
    std::set_new_handler(saved);
}

}  // namespace
