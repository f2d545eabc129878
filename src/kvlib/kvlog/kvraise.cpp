// kvraise: entry point of every numbered message. Hands the message to the
// observer (tests only), then to the dispatcher.
#include "kvlog/kvraise.h"

#include <cinttypes>
#include <cstdio>

namespace {

kvMessageObserver g_observer = nullptr;
void* g_observer_user = nullptr;

// Provisional dispatcher: shows the code and its values until the message
// catalogue takes over.
void dispatch_message(const kvSourceSite&, uint32_t code, std::span<const kvMsgArg> args) {
    std::printf("MESSAGE %" PRIu32, code);
    for (const kvMsgArg& a : args) {
        if (a.is_text())
            std::printf(" [%s]", a.text());
        else if (a.kind() == kvMsgArg::Kind::UInt64)
            std::printf(" [%" PRIu64 "]", a.unsigned_number());
        else
            std::printf(" [%" PRId64 "]", a.number());
    }
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

void kvSetMessageObserver(kvMessageObserver observer, void* user) {
    g_observer = observer;
    g_observer_user = user;
}

void kvRaiseMessage(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg> args) {
    if (g_observer && !g_observer(site, code, args, g_observer_user)) return;
    dispatch_message(site, code, args);
}
