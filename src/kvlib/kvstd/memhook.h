// memhook: the counting modes of the KVXTESTMEMFAIL test hook, which see
// every allocation of the process, the allocation wrappers' (memutl.h) and,
// in a build with TABCOPY_ALLOC_FAILURE_HOOK, operator new's (std::string
// and std::vector growth, new expressions): each counts as the next one.
// A refused allocation fails the way the system's refusal would there: a
// wrapper raises 1088 and yields null, operator new calls the new handler.
#pragma once

// Switches a counting mode on when `value` names one, and then returns
// true; allocations are counted from here on:
//   "any:N"   the first N allocations succeed, the next one is refused,
//             every later one succeeds again;
//   "any:N+"  the first N succeed, every later one is refused;
//   "count"   none is refused; the number made is written to standard
//             error when the process exits ("KVXTESTMEMFAIL count: 498").
// N is decimal digits only. Anything else returns false and changes
// nothing.
bool kvMemHookStart(const char* value);

// Stops counting and refusing.
void kvMemHookStop();

// Counts one allocation; true when the mode refuses it. Cheap when no
// mode is on (one relaxed atomic load) and safe from any thread.
bool kvMemHookRefuses();
