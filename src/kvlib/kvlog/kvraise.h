// kvraise: the logging library's side of a raised message: it creates the
// message through the factory and runs its severity's actions. The call
// itself (kvRaiseMessage) is the base library's, so that every library can
// raise; kvLogStartUp connects the two.
#pragma once

#include "kvstd/raise.h"

// Installs the dispatcher and the abend of this library behind
// kvRaiseMessage and kvAbend. Call once at start-up, before the first
// message.
void kvLogStartUp();

// Waits (up to a second) until no message is being dispatched and keeps
// any other thread from starting one; for a thread about to end the process,
// so that no message is cut off mid-output. True when it got hold.
bool kvQuiesceMessages();
