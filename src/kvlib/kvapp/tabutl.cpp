// tabutl: growable arrays of fixed-size elements that never move.
//
// Invariants: capacity == block_count * per_block; every block holds
// per_block zero-filled slots and is never freed or moved, so a pointer to
// an element stays valid for the life of the array; count <= capacity. A
// refused allocation leaves all of these true and the array unchanged.
#include "kvapp/tabutl.h"

#include <cstring>
#include <limits>

#include "kvapp/cobdef.h"
#include "kvstd/memutl.h"
#include "kvstd/trace.h"

namespace {

constexpr uint32_t kDefEntriesPerBlock = 500;
constexpr uint32_t kDefEntriesReserved = 1000;
// Below this many blocks, repeated subtraction beats a division.
constexpr uint32_t kDivisionFromBlocks = 20;
constexpr uint32_t kMaxAllocation = static_cast<uint32_t>(std::numeric_limits<int>::max());

// Bytes of one block, or 0 when the block would not fit one allocation.
int block_bytes(const TABUTL_array* array) {
    const uint64_t bytes = uint64_t{array->per_block} * array->element_size;
    return bytes > kMaxAllocation ? 0 : static_cast<int>(bytes);
}

// Adds one block; false when the limits or the allocator refuse.
bool add_block(TABUTL_array* array) {
    const int bytes = block_bytes(array);
    const uint64_t table_bytes = (uint64_t{array->block_count} + 1) * sizeof(void*);
    if (bytes == 0 || table_bytes > kMaxAllocation ||
        array->capacity > std::numeric_limits<uint32_t>::max() - array->per_block)
        return false;
    void* block = kvCalloc(bytes);
    if (!block) return false;
    void** table = static_cast<void**>(kvRealloc(array->blocks, static_cast<int>(table_bytes)));
    if (!table) {
        kvFree(block);
        return false;
    }
    table[array->block_count++] = block;
    array->blocks = table;
    array->capacity += array->per_block;
    return true;
}

}  // namespace

TABUTL_array* TABUTL_arrayCreate() {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "TABUTL_arrayCreate");
    return TABUTL_arrayCreateSized(static_cast<uint32_t>(sizeof(def_entry)), kDefEntriesPerBlock,
                                   kDefEntriesReserved);
}

TABUTL_array* TABUTL_arrayCreateSized(uint32_t element_size, uint32_t per_block,
                                      uint32_t reserve) {
    if (element_size == 0 || per_block == 0) return nullptr;
    auto* array = static_cast<TABUTL_array*>(kvCalloc(static_cast<int>(sizeof(TABUTL_array))));
    if (!array) return nullptr;
    array->element_size = element_size;
    array->per_block = per_block;
    TABUTL_arrayAllocSize(array, reserve);
    return array;
}

void TABUTL_arrayAllocSize(TABUTL_array* array, uint32_t wanted) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "TABUTL_arrayAllocSize");
    if (!array) return;
    while (array->capacity < wanted)
        if (!add_block(array)) return;
}

void* TABUTL_arrayNewElement(TABUTL_array* array) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "TABUTL_arrayNewElement");
    if (!array || array->count == std::numeric_limits<uint32_t>::max()) return nullptr;
    TABUTL_arrayAllocSize(array, array->count + 1);
    if (array->capacity <= array->count) return nullptr;
    ++array->count;
    return TABUTL_arrayGetElement(array->count - 1, array);
}

void* TABUTL_arrayGetElement(uint32_t index, const TABUTL_array* array) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "TABUTL_arrayGetElement");
    if (!array || index >= array->count) return nullptr;
    uint32_t block = 0;
    uint32_t slot = index;
    if (array->block_count < kDivisionFromBlocks) {
        while (slot >= array->per_block) {
            slot -= array->per_block;
            ++block;
        }
    } else {
        block = index / array->per_block;
        slot = index % array->per_block;
    }
    return static_cast<char*>(array->blocks[block]) + size_t{slot} * array->element_size;
}

uint32_t TABUTL_arrayGetElements(const TABUTL_array* array) { return array ? array->count : 0; }
