// memutl: every heap block of the procedural code comes from these
// wrappers. A failed allocation raises message 1088 and yields null; a size
// of 0 yields null without a message.
#pragma once

#include <cstddef>

void* kvMalloc(int size);
void* kvCalloc(int size);
void* kvRealloc(void* block, int size);
int kvFree(void* block);
void* kvAllocMemcpy(const void* source, int size);

// Test seam: after `successes` further successful allocations through the
// wrappers, every allocation fails as if the system were out of memory.
// A negative value switches the seam off (the default).
void kvMemFailAfter(long successes);
