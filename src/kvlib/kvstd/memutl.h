// memutl: every heap block of the procedural code comes from these
// wrappers. A failed allocation raises message 1088 and yields null; a size
// of 0 yields null without a message. The module also owns what happens
// when memory runs out anywhere else in the process (the C++ runtime).
#pragma once

#include <cstddef>

void* kvMalloc(int size);
void* kvCalloc(int size);
void* kvRealloc(void* block, int size);
int kvFree(void* block);
void* kvAllocMemcpy(const void* source, int size);

// Asks the system to back the whole 2 MB pages inside a large block with
// huge pages. A table of a million columns looked up at random otherwise
// misses the processor's address cache on nearly every lookup. Only
// advice: the block is unchanged, and a system without huge pages ignores
// it.
void kvAdviseHugePages(void* block, size_t size);

// Routes every allocation failure outside the wrappers to the abend path:
// operator new that cannot get memory (std::string and std::vector growth,
// new) raises 1094, and an exception nobody catches raises 1094 for
// std::bad_alloc and 1095 for anything else; either ends the process
// through the Abend severity instead of a crash. Also keeps a memory
// reserve that is released at the first failure, so that the message can
// still be formatted and written. Call once at start-up.
void kvInstallMemoryFailureHandlers();

// Test seam: after `successes` further successful allocations through the
// wrappers, every allocation fails as if the system were out of memory.
// A negative value switches the seam off (the default), and with it the
// counting modes of the hook below.
void kvMemFailAfter(long successes);

// Test hook for whole runs, called once at start-up: the environment
// variable KVXTESTMEMFAIL switches the seam on before anything is
// allocated. "N" makes every allocation through the wrappers after the
// first N fail (1088); "new:N" makes the next one after the first N fail
// the way operator new fails, by calling the installed new handler (1094).
// "any:N", "any:N+" and "count" count allocations of every kind instead
// (kvstd/memhook.h). Anything else, or an absent variable, leaves the seam
// off. Not meant for operators; the tests of memory exhaustion use it.
void kvMemTestHookStartUp();
