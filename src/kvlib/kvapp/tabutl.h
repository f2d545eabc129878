// tabutl: a growable array of fixed-size elements that never moves an
// element once handed out. Storage grows by whole zero-filled blocks; only
// the block table is reallocated.
#pragma once

#include <cstdint>

struct TABUTL_array {
    uint32_t count;          // elements in use
    uint32_t capacity;       // slots in all blocks
    uint32_t block_count;
    void** blocks;           // owned, block_count entries
    uint32_t element_size;
    uint32_t per_block;      // slots per block
};

// An array of def_entry elements, 500 per block, room for 1000.
TABUTL_array* TABUTL_arrayCreate();
// An array of `element_size` elements, `per_block` per block, room for
// `reserve` elements.
TABUTL_array* TABUTL_arrayCreateSized(uint32_t element_size, uint32_t per_block,
                                      uint32_t reserve);
void TABUTL_arrayAllocSize(TABUTL_array* array, uint32_t wanted);
void* TABUTL_arrayNewElement(TABUTL_array* array);
void* TABUTL_arrayGetElement(uint32_t index, const TABUTL_array* array);
uint32_t TABUTL_arrayGetElements(const TABUTL_array* array);
