// kvraise: the dispatcher behind every numbered message: creates it
// through the message factory and runs its severity's actions, one message
// at a time.
#include "kvlog/kvraise.h"

#include <chrono>
#include <mutex>

#include "kvlog/LegacyErrorHandling.h"
#include "kvlog/kvmsg.h"

namespace {

// One message at a time: the console-event thread may raise while the main
// thread does, and the factory, its cache and the error context are shared.
// Recursive, because creating a message may raise 1425. Never destroyed, so
// a message raised while the process exits still finds it.
std::recursive_timed_mutex& dispatch_lock() {
    static std::recursive_timed_mutex* lock = new std::recursive_timed_mutex();
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

void abend() { processFatalError("", 0); }

}  // namespace

void kvLogStartUp() { kvSetMessageHandlers({dispatch_message, abend}); }

bool kvQuiesceMessages() {
    // Bounded: the thread holding the lock may itself wait for the console
    // (the pause at abend), and ending the run must not hang on it.
    return dispatch_lock().try_lock_for(std::chrono::seconds(1));
}
