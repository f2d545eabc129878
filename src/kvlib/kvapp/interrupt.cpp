// interrupt: owns the interrupt thread and the operator's stop decision
// (global_settings.stop_code). A stop ends the process with the stop code
// as exit status: 100 + the event number, so a script can tell an
// operator's stop (100, 101) from a closed console (102) or a shutdown
// (106), and all differ from the run's own statuses 0, 1 and 12.
#include "kvapp/interrupt.h"

#include <string>

#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kvapp/console_input.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"

static const kvModuleId kModule{"kvapp.console", "$Id: interrupt.cpp 1.0 tabcopy $"};

namespace {

sigset_t console_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGQUIT);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGTERM);
    return set;
}

// Ends the process from the interrupt thread. The main thread may be in
// the middle of anything, so no static destructors run (they could pull
// records from under it); streams are flushed so every line written so
// far is kept.
[[noreturn]] void stop_run(int event) {
    global_settings.stop_code = static_cast<int16_t>(100 + event);
    global_settings.pause_at_end = 0;
    kvQuiesceMessages();
    // The run did not complete: a DDL file keeps what it held before.
    kvDiscardReplacements();
    std::fflush(nullptr);
    std::_Exit(global_settings.stop_code);
}

void wait_for_signals() {
    sigset_t set = console_signals();
    for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) continue;
        int event = kvConsoleEventOfSignal(sig);
        if (event >= 0) console_handler(event);
    }
}

}  // namespace

int kvConsoleEventOfSignal(int signal_number) {
    switch (signal_number) {
        case SIGINT: return kConsoleCtrlC;
        case SIGQUIT: return kConsoleBreak;
        case SIGHUP: return kConsoleClose;
        case SIGTERM: return kConsoleShutdown;
        default: return -1;
    }
}

void kvInstallConsoleHandler() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    sigset_t set = console_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    pthread_t thread;
    auto body = [](void*) -> void* {
        wait_for_signals();
        return nullptr;
    };
    if (pthread_create(&thread, nullptr, body, nullptr) == 0) {
        pthread_detach(thread);
        return;
    }
    // Without a thread to take them (no memory, a thread limit), the
    // signals keep their default effect: the run can still be stopped,
    // only without the question.
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int console_ask_exit() {
    // The question owns the console while it is asked: a read the main
    // thread is waiting in (the long-name dialogue) cannot take its answer.
    kvConsoleQuestion question;
    for (;;) {
        std::fputs("\nEnter X to exit or C to continue: ", kvConsoleStream());
        std::fflush(kvConsoleStream());
        kvConsoleDiscardInput();
        const int c = question.get_char();
        // Nobody can answer once input has ended: the interrupt was meant
        // to stop the run, so stop rather than ask forever.
        if (c < 0) return 0;
        int rest = c;
        while (rest != '\n' && rest >= 0) rest = question.get_char();
        if (c == 'X' || c == 'x') return 0;
        if (c == 'C' || c == 'c') return 1;
    }
}

bool console_handler(int event) {
    kv_ensure_global_settings();
    switch (event) {
        case kConsoleCtrlC:
        case kConsoleBreak:
            if (console_ask_exit() == 0) stop_run(event);
            break;
        case kConsoleClose:
            kvRaiseMessage(KV_SITE(kModule), 1085);
            stop_run(event);
        case kConsoleLogoff:
            kvRaiseMessage(KV_SITE(kModule), 1087);
            break;
        case kConsoleShutdown:
            kvRaiseMessage(KV_SITE(kModule), 1086);
            stop_run(event);
        default:
            break;
    }
    return true;
}

void kvPauseAtAbend() {
    // A terminal's title is its own; nothing is written to change it.
    std::fputs("\n\nPress enter to continue...", kvConsoleStream());
    std::fflush(kvConsoleStream());
    kvConsoleDiscardInput();
    std::string line;
    kvConsoleReadLine(line, 96);
}
