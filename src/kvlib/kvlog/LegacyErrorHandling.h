// LegacyErrorHandling: the family's event writer. An event is echoed on
// the console and report, appended as one line to the error log and sent
// to the system log; an abend also ends the process with status 1.
#pragma once

// Event types.
constexpr int kEvtInformation = 1;
constexpr int kEvtWarning = 2;
constexpr int kEvtError = 3;

void kvInfoNoLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void kvInfo(int event, const char* format, ...) __attribute__((format(printf, 2, 3)));
void kvWarn(int event, const char* format, ...) __attribute__((format(printf, 2, 3)));
void kvFatalError(int event, const char* format, ...) __attribute__((format(printf, 2, 3)));
// `text` is modified (normalised) in place.
void kvInfoMsgId(char* text, const char* id);
void kvWarnMsgId(char* text, const char* id);
void kvFatalErrorMsgId(char* text, const char* id);
char* kvNormalizeMsg(char* text);
// `id` may be null.
void output_evt(const char* text, int event, const char* id, int type);
[[noreturn]] void processFatalError(const char* text, int event);

// The console belongs to the application library: it installs the writer
// of operator texts (console and report file) and the pause after an abend
// at start-up (kvAppStartUp). Until then texts go to the console stream
// alone and an abend does not pause.
struct kvEventConsole {
    void (*write)(const char* text);
    void (*pause_at_abend)();
};
void kvSetEventConsole(const kvEventConsole& console);

// Test seam: closes the error log and forgets the open decision, so the
// next event opens it again.
void kvErrorLogReset();
