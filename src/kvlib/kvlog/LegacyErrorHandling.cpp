// LegacyErrorHandling: the family's event writer.
//
// Owns the error log stream. The log is opened at the first event and the
// decision (open or failed) is never revisited, so an operator sees the
// could-not-open notice once. Events can arrive from the main thread and
// from the interrupt thread; one recursive lock keeps their lines whole
// (recursive, because writing an event may itself fail and raise one).
//
// The abend path formats into stack or reserve buffers, so that it still
// works when the heap is exhausted.
//
// A log that stops taking lines is reported with 1093 once, after the
// event in hand is complete (console, report, system log), and left alone
// from then on; an unopenable log gets the could-not-open notice once.
// Either way the run counts as having lost output.
#include "kvlog/LegacyErrorHandling.h"

#include <syslog.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "kvbuild.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "kvstd/memutl.h"
#include "kvstd/strutl.h"
#include "kvstd/trace.h"

namespace {

void write_console(const char* text) {
    if (!text) return;
    std::fputs(text, kvConsoleStream());
    std::fflush(kvConsoleStream());
}

void no_pause() {}

kvEventConsole g_console{write_console, no_pause};

void report_write(const char* text) { g_console.write(text); }

constexpr size_t kLocalText = 2048;
constexpr size_t kReserveText = 49152;
constexpr size_t kLogTextLimit = 2048;

enum class LogState { NotOpened, Open, Failed };

std::recursive_mutex g_event_lock;
LogState g_log_state = LogState::NotOpened;
FILE* g_log = nullptr;
std::string g_log_path;
bool g_abending = false;

// A formatted text: in the caller's stack buffer when it fits, else on
// the heap, else (heap exhausted) cut to the static reserve.
class FormattedText {
public:
    FormattedText(const char* format, va_list args) {
        va_list copy;
        va_copy(copy, args);
        int produced = std::vsnprintf(local_, sizeof local_, format, copy);
        va_end(copy);
        text_ = local_;
        if (produced < 0) {
            local_[0] = '\0';
            return;
        }
        if (static_cast<size_t>(produced) <= sizeof local_ - 2) return;
        size_t size = static_cast<size_t>(produced) + 1;
        heap_ = static_cast<char*>(std::malloc(size));
        char* target = heap_ ? heap_ : reserve_;
        size_t room = heap_ ? size : sizeof reserve_;
        va_copy(copy, args);
        std::vsnprintf(target, room, format, copy);
        va_end(copy);
        text_ = target;
    }
    ~FormattedText() { std::free(heap_); }
    FormattedText(const FormattedText&) = delete;
    FormattedText& operator=(const FormattedText&) = delete;
    char* text() { return text_; }

private:
    char local_[kLocalText];
    char* heap_ = nullptr;
    char* text_;
    static char reserve_[kReserveText];
};
char FormattedText::reserve_[kReserveText];

// Reports a text without touching the heap when it is short.
__attribute__((format(printf, 1, 2))) void report_text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText text(format, args);
    va_end(args);
    report_write(text.text());
}

const char* tag_for(int type) {
    switch (type) {
        case kEvtWarning: return "KVX WARNING";
        case kEvtError: return "KVX ERROR";
        default: return "KVX INFO";
    }
}

int syslog_priority(int type) {
    switch (type) {
        case kEvtWarning: return LOG_WARNING;
        case kEvtError: return LOG_ERR;
        default: return LOG_INFO;
    }
}

bool echo_suppressed(int event) {
    return event == 310 || event == 312 || event == 320 || event == 322 || event == 399;
}

std::string last_path_component(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void strip_final(std::string& text, char c) {
    if (!text.empty() && text.back() == c) text.pop_back();
}

void open_error_log() {
    const char* env = std::getenv("KVXERRLOG");
    g_log_path = env ? env : "kvxerr.log";
    g_log = std::fopen(g_log_path.c_str(), "a");
    if (g_log) {
        g_log_state = LogState::Open;
        return;
    }
    int err = errno;
    g_log_state = LogState::Failed;
    kvNoteOutputLost(g_log_path.c_str(), err);
    report_text("\n*** Could not open error log %s (error %d,%s) ***\n", g_log_path.c_str(),
                   err, std::strerror(err));
}

// A log that stops taking lines (a full disk) is left alone from then on,
// like one that never opened: the events still reach the console and the
// system log. The state changes before the failure is reported, because
// the report is itself an event.
void append_to_error_log(const std::string& line) {
    if (g_log_state == LogState::NotOpened) open_error_log();
    if (g_log_state != LogState::Open) return;
    if (kvWriteFlush(g_log, line.data(), line.size())) return;
    int err = errno;
    g_log_state = LogState::Failed;
    kvWriteFailed(g_log_path.c_str(), err);
}

void record_system_event(const std::string& line, int type) {
    openlog("KVX ER", LOG_NDELAY, LOG_USER);
    syslog(syslog_priority(type), "%s", line.c_str());
    closelog();
}

std::string build_log_line(const char* stamp, const char* tag, const char* id, std::string text) {
    char head[128];
    std::snprintf(head, sizeof head, "%-20s %-12s %6s  ", stamp, tag, id);
    std::string line = head;
    line += KV_PROGRAM_TITLE;
    if (!global_settings.param_file_name.empty()) {
        strip_final(text, '\n');
        strip_final(text, '.');
        line += ", " + last_path_component(global_settings.param_file_name);
    }
    line += ":  " + text + ".\n";
    for (size_t i = 0; i + 1 < line.size(); ++i)
        if (line[i] == '\n') line[i] = ' ';
    return line;
}

void write_event(const char* text, int event, const char* id, int type) {
    char number[16];
    if (!id) {
        std::snprintf(number, sizeof number, "%d", event);
        id = number;
    }
    kv_ensure_global_settings();
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    const char* tag = tag_for(type);
    if (!echo_suppressed(event)) report_text("\n%-20s %-12s %6s  %s.\n", stamp, tag, id, text);
    std::string logged(text, strnlen(text, kLogTextLimit));
    std::string line = build_log_line(stamp, tag, id, logged);
    append_to_error_log(line);
    record_system_event(line, type);
    KV_TRACE_BUFFER(kvTraceBitOutput, "[log]", line.data(), line.size());
}

void vevent(int event, int type, const char* format, va_list args) {
    FormattedText text(format, args);
    kvNormalizeMsg(text.text());
    output_evt(text.text(), event, nullptr, type);
}

}  // namespace

char* kvNormalizeMsg(char* text) {
    if (!text || !*text) return text;
    kvTrimTrailing(text);
    size_t len = std::strlen(text);
    if (len > 1 && text[len - 1] == '.') text[len - 1] = '\0';
    return text;
}

// A write failure found while the event is written is raised when the
// scope ends, after the lock is released.
void output_evt(const char* text, int event, const char* id, int type) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "output_evt");
    kvOutputScopeBegin();
    {
        std::lock_guard<std::recursive_mutex> hold(g_event_lock);
        if (!text) text = "";
        if (event == 0 && !id) {
            report_write(text);
            size_t len = std::strlen(text);
            if (len == 0 || text[len - 1] != '\n') report_write("\n");
        } else {
            write_event(text, event, id, type);
        }
    }
    kvOutputScopeEnd();
}

void kvInfoNoLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText text(format, args);
    va_end(args);
    report_write(text.text());
}

void kvInfo(int event, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vevent(event, kEvtInformation, format, args);
    va_end(args);
}

void kvWarn(int event, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vevent(event, kEvtWarning, format, args);
    va_end(args);
}

void kvFatalError(int event, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vevent(event, kEvtError, format, args);
    va_end(args);
}

void kvInfoMsgId(char* text, const char* id) {
    output_evt(kvNormalizeMsg(text), 0, id, kEvtInformation);
}

void kvWarnMsgId(char* text, const char* id) {
    output_evt(kvNormalizeMsg(text), 0, id, kEvtWarning);
}

void kvFatalErrorMsgId(char* text, const char* id) {
    output_evt(kvNormalizeMsg(text), 0, id, kEvtError);
}

void kvSetEventConsole(const kvEventConsole& console) { g_console = console; }

void kvErrorLogReset() {
    std::lock_guard<std::recursive_mutex> hold(g_event_lock);
    if (g_log) std::fclose(g_log);
    g_log = nullptr;
    g_log_state = LogState::NotOpened;
}

void processFatalError(const char*, int) {
    kv_ensure_global_settings();
    KV_TRACE_FUNCTION(kvTraceBitEntry, "processFatalError");
    {
        std::lock_guard<std::recursive_mutex> hold(g_event_lock);
        // A failure while abending (the heap is gone, say) must not start
        // a second abend: end at once.
        if (g_abending) {
            kvDiscardReplacements();
            std::fflush(nullptr);
            std::_Exit(1);
        }
        g_abending = true;
    }
    global_settings.stop_code = 1;
    // Never closed: a write failing now must not turn the abend into an
    // ordinary error end; the status is 1 either way.
    kvOutputScopeBegin();
    output_evt("PROCESS ABENDING", 190, nullptr, kEvtError);
    if (global_settings.report_file) std::fflush(global_settings.report_file);
    if (global_settings.pause_at_end) g_console.pause_at_abend();
    std::fflush(nullptr);
    std::exit(1);
}
