#include "kvstd/memutl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

}  // namespace
