// kvraise: entry point of every numbered message. Hands the message to the
// observer (tests only), then creates it through the message factory and
// runs its severity's actions.
#include "kvlog/kvraise.h"

#include <cerrno>
#include <chrono>
#include <mutex>
#include <new>

#include "kvlog/kvmsg.h"

namespace {

kvMessageObserver g_observer = nullptr;
void* g_observer_user = nullptr;

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

void dispatch_message(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg> args,
                      int os_error) {
    std::lock_guard<std::recursive_timed_mutex> hold(dispatch_lock());
    GetErrorContext()->RecordLastOSError(os_error);
    CMessageFactory* factory = GetMessageFactory();
    auto* source = new CSourceContext(site.module, site.source_id, site.function, site.line);
    CMessage* message = factory->CreateMessage(source, code, args);
    if (!message) return;
    RunSeverityActions(*message);
    delete message;
}

}  // namespace

void kvSetMessageObserver(kvMessageObserver observer, void* user) {
    g_observer = observer;
    g_observer_user = user;
}

void kvRaiseMessage(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg> args) {
    // The raising site's errno, before anything here can change it.
    int os_error = errno;
    if (!g_observer || g_observer(site, code, args, g_observer_user))
        dispatch_message(site, code, args, os_error);
    errno = os_error;
}

bool kvQuiesceMessages() {
    // Bounded: the thread holding the lock may itself wait for the console
    // (the pause at abend), and ending the run must not hang on it.
    return dispatch_lock().try_lock_for(std::chrono::seconds(1));
}
