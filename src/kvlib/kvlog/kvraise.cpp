// kvraise: the dispatcher behind every numbered message: creates it
// through the message factory and runs its severity's actions, one message
// at a time.
#include "kvlog/kvraise.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <new>

#include "kvlog/LegacyErrorHandling.h"
#include "kvlog/kvmsg.h"

namespace {

// One message at a time: the console-event thread may raise while the main
// thread does, and the factory, its cache and the error context are shared.
// Recursive, because creating a message may raise 1425. Never destroyed, so
// a message raised while the process exits still finds it. Built in place,
// not on the heap: when the first message is that memory ran out, a
// failing new here would raise it again from inside this initialisation,
// which then waits for itself.
std::recursive_timed_mutex& dispatch_lock() {
    alignas(std::recursive_timed_mutex) static unsigned char room[sizeof(std::recursive_timed_mutex)];
    static std::recursive_timed_mutex* lock = new (room) std::recursive_timed_mutex();
    return *lock;
}

// A message raised while the catalogue is being loaded (memory that ran
// out during the load) cannot be built yet. It is kept here, off the heap
// (texts cut to 255 bytes), and raised as soon as the catalogue is there,
// ahead of the message whose raising loaded it; dropping it would let a
// run that ran out of memory go on as if nothing had happened. Guarded by
// the dispatch lock.
constexpr size_t kHeldArgs = 4;
struct HeldMessage {
    kvSourceSite site;
    uint32_t code;
    int os_error;
    size_t count;
    kvMsgArg::Kind kinds[kHeldArgs];
    uint64_t numbers[kHeldArgs];
    char texts[kHeldArgs][256];
};
HeldMessage g_held[4];
size_t g_held_count = 0;

void hold_message(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg> args,
                  int os_error) {
    if (g_held_count == std::size(g_held)) return;
    HeldMessage& held = g_held[g_held_count++];
    held.site = site;
    held.code = code;
    held.os_error = os_error;
    held.count = std::min(args.size(), kHeldArgs);
    for (size_t i = 0; i < held.count; ++i) {
        held.kinds[i] = args[i].kind();
        held.numbers[i] = args[i].unsigned_number();
        std::snprintf(held.texts[i], sizeof held.texts[i], "%s", args[i].is_text() ? args[i].text() : "");
    }
}

kvMsgArg held_arg(const HeldMessage& held, size_t i) {
    if (i >= held.count) return kvMsgArg("");
    switch (held.kinds[i]) {
    case kvMsgArg::Kind::Int32: return kvMsgArg(static_cast<int32_t>(held.numbers[i]));
    case kvMsgArg::Kind::UInt32: return kvMsgArg(static_cast<uint32_t>(held.numbers[i]));
    case kvMsgArg::Kind::Int64: return kvMsgArg(static_cast<int64_t>(held.numbers[i]));
    case kvMsgArg::Kind::UInt64: return kvMsgArg(held.numbers[i]);
    default: return kvMsgArg(held.texts[i]);
    }
}

void build_and_run(CMessageFactory* factory, const kvSourceSite& site, uint32_t code,
                   std::span<const kvMsgArg> args, int os_error) {
    GetErrorContext()->RecordLastOSError(os_error);
    auto* source = new CSourceContext(site.module, site.source_id, site.function, site.line);
    CMessage* message = factory->CreateMessage(source, code, args);
    if (!message) return;
    RunSeverityActions(*message);
    delete message;
}

void dispatch_message(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg> args,
                      int os_error) {
    std::lock_guard<std::recursive_timed_mutex> hold(dispatch_lock());
    CMessageFactory* factory = GetMessageFactory();
    if (!factory) {
        hold_message(site, code, args, os_error);
        return;
    }
    while (g_held_count > 0) {
        const HeldMessage held = g_held[0];
        std::copy(g_held + 1, g_held + g_held_count, g_held);
        --g_held_count;
        const kvMsgArg held_args[kHeldArgs] = {held_arg(held, 0), held_arg(held, 1),
                                               held_arg(held, 2), held_arg(held, 3)};
        build_and_run(factory, held.site, held.code, std::span(held_args, held.count), held.os_error);
    }
    build_and_run(factory, site, code, args, os_error);
}

void abend() { processFatalError("", 0); }

}  // namespace

void kvLogStartUp() { kvSetMessageHandlers({dispatch_message, abend}); }

bool kvQuiesceMessages() {
    // Bounded: the thread holding the lock may itself wait for the console
    // (the pause at abend), and ending the run must not hang on it.
    return dispatch_lock().try_lock_for(std::chrono::seconds(1));
}
