// raise: entry point of every numbered message. Hands the message to the
// observer (tests only), then to the logging library's dispatcher.
//
// Invariants: the raising site's errno is what the dispatcher sees and
// what the site finds again afterwards; without installed handlers a
// message is named on standard error and the run goes on.
#include "kvstd/raise.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

kvMessageObserver g_observer = nullptr;
void* g_observer_user = nullptr;

// A program built on the base library alone has no catalogue: the code and
// the raising module are all it can show.
void name_message(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg>, int) {
    std::fprintf(stderr, "%s: message %u\n", site.module ? site.module : "?", code);
}

[[noreturn]] void exit_abend() {
    std::fflush(nullptr);
    std::exit(1);
}

kvMessageHandlers g_handlers{name_message, exit_abend};

}  // namespace

void kvSetMessageObserver(kvMessageObserver observer, void* user) {
    g_observer = observer;
    g_observer_user = user;
}

void kvSetMessageHandlers(const kvMessageHandlers& handlers) { g_handlers = handlers; }

void kvRaiseMessage(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg> args) {
    // The raising site's errno, before anything here can change it.
    int os_error = errno;
    if (!g_observer || g_observer(site, code, args, g_observer_user))
        g_handlers.dispatch(site, code, args, os_error);
    errno = os_error;
}

void kvAbend() {
    g_handlers.abend();
    // An abend handler must not return; if one does, the process still ends.
    exit_abend();
}
