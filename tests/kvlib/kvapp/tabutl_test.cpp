#include "kvapp/tabutl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "kvapp/cobdef.h"
#include "kvstd/memutl.h"
#include "message_recorder.h"

namespace {

// Arrays live for the whole run in the program; tests release theirs so
// the leak checker stays meaningful.
struct ArrayHolder {
    explicit ArrayHolder(TABUTL_array* a) : array(a) {}
    ~ArrayHolder() {
        if (!array) return;
        for (uint32_t b = 0; b < array->block_count; ++b) kvFree(array->blocks[b]);
        kvFree(array->blocks);
        kvFree(array);
    }
    TABUTL_array* operator->() const { return array; }
    TABUTL_array* array;
};

char* expected_slot(const TABUTL_array* a, uint32_t index) {
    return static_cast<char*>(a->blocks[index / a->per_block]) +
           size_t{index % a->per_block} * a->element_size;
}

void append(TABUTL_array* a, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) ASSERT_NE(TABUTL_arrayNewElement(a), nullptr);
}

bool all_zero(const void* p, size_t n) {
    const auto* bytes = static_cast<const unsigned char*>(p);
    return std::all_of(bytes, bytes + n, [](unsigned char b) { return b == 0; });
}

TEST(TabutlTest, NewDefinitionTableIsEmptyWithTwoBlocksReserved) {
    ArrayHolder a(TABUTL_arrayCreate());
    ASSERT_NE(a.array, nullptr);
    EXPECT_EQ(a->count, 0u);
    EXPECT_EQ(a->capacity, 1000u);
    EXPECT_EQ(a->block_count, 2u);
    EXPECT_EQ(a->element_size, sizeof(def_entry));
    EXPECT_EQ(TABUTL_arrayGetElement(0, a.array), nullptr);
    EXPECT_EQ(TABUTL_arrayGetElements(a.array), 0u);
    EXPECT_EQ(TABUTL_arrayGetElement(0, nullptr), nullptr);
    EXPECT_EQ(TABUTL_arrayGetElements(nullptr), 0u);
}

TEST(TabutlTest, ElementsNeverMoveWhenABlockIsAdded) {
    ArrayHolder a(TABUTL_arrayCreate());
    std::vector<char*> handed_out;
    for (uint32_t i = 0; i < 1000; ++i) {
        auto* e = static_cast<char*>(TABUTL_arrayNewElement(a.array));
        ASSERT_NE(e, nullptr);
        ASSERT_TRUE(all_zero(e, a->element_size));
        std::memcpy(e, &i, sizeof i);
        handed_out.push_back(e);
    }
    EXPECT_EQ(a->block_count, 2u);
    auto* e1001 = TABUTL_arrayNewElement(a.array);
    ASSERT_NE(e1001, nullptr);
    EXPECT_TRUE(all_zero(e1001, a->element_size));
    EXPECT_EQ(a->block_count, 3u);
    EXPECT_EQ(a->capacity, 1500u);
    for (uint32_t i = 0; i < 1000; ++i) {
        uint32_t stored = 0;
        std::memcpy(&stored, handed_out[i], sizeof stored);
        ASSERT_EQ(stored, i);
        ASSERT_EQ(TABUTL_arrayGetElement(i, a.array), handed_out[i]);
    }
    // Block boundaries: 999 closes the second block, 1000 opens the third.
    EXPECT_EQ(TABUTL_arrayGetElement(999, a.array),
              static_cast<char*>(a->blocks[1]) + 499 * size_t{a->element_size});
    EXPECT_EQ(TABUTL_arrayGetElement(1000, a.array), a->blocks[2]);
    EXPECT_EQ(TABUTL_arrayGetElement(1001, a.array), nullptr);
}

// Lookup switches from subtraction to division at 20 blocks; both must
// land on the same slot for every index, including block edges.
TEST(TabutlTest, LookupAgreesBelowAndAbove20Blocks) {
    for (uint32_t per_block : {1u, 3u, 7u}) {
        ArrayHolder a(TABUTL_arrayCreateSized(8, per_block, 0));
        for (uint32_t blocks : {19u, 20u, 45u}) {
            append(a.array, blocks * per_block - a->count);
            ASSERT_EQ(a->block_count, blocks);
            for (uint32_t i = 0; i < a->count; ++i)
                ASSERT_EQ(TABUTL_arrayGetElement(i, a.array), expected_slot(a.array, i))
                    << per_block << " per block, " << blocks << " blocks, index " << i;
        }
    }
}

TEST(TabutlTest, RefusedAllocationLeavesTheArrayUsable) {
    MessageRecorder recorder;
    ArrayHolder a(TABUTL_arrayCreateSized(16, 2, 2));
    append(a.array, 2);
    const TABUTL_array before = *a.array;
    // 0: the block itself is refused; 1: the block table cannot grow.
    for (long successes : {0L, 1L}) {
        kvMemFailAfter(successes);
        EXPECT_EQ(TABUTL_arrayNewElement(a.array), nullptr);
        kvMemFailAfter(-1);
        EXPECT_EQ(a->count, before.count);
        EXPECT_EQ(a->capacity, before.capacity);
        EXPECT_EQ(a->block_count, before.block_count);
    }
    EXPECT_EQ(recorder.count(1088), 2u);
    EXPECT_NE(TABUTL_arrayNewElement(a.array), nullptr);
    EXPECT_EQ(a->block_count, 2u);
}

TEST(TabutlTest, OversizedBlocksAndFullCountsAreRefused) {
    ArrayHolder huge(TABUTL_arrayCreateSized(1u << 16, 1u << 16, 1));
    ASSERT_NE(huge.array, nullptr);
    EXPECT_EQ(huge->block_count, 0u);
    EXPECT_EQ(TABUTL_arrayNewElement(huge.array), nullptr);
    EXPECT_EQ(TABUTL_arrayCreateSized(8, 0, 10), nullptr);
    TABUTL_array full{};
    full.count = full.capacity = std::numeric_limits<uint32_t>::max();
    EXPECT_EQ(TABUTL_arrayNewElement(&full), nullptr);
}

}  // namespace
