// interrupt: console interrupts and the pause at abend.
//
// On Linux the console events are signals: SIGINT is Ctrl-C (event 0),
// SIGQUIT Ctrl-Break (1), SIGHUP the console closing (2), SIGTERM a
// shutdown (6). They are blocked in every thread and taken by one thread
// that waits for them, so the handler runs as ordinary code: it may prompt,
// read the answer and raise messages.
#pragma once

// Console event numbers.
constexpr int kConsoleCtrlC = 0;
constexpr int kConsoleBreak = 1;
constexpr int kConsoleClose = 2;
constexpr int kConsoleLogoff = 5;
constexpr int kConsoleShutdown = 6;

// Blocks the interrupt signals and starts the thread that handles them.
// Call before any other thread exists; later threads inherit the mask.
void kvInstallConsoleHandler();
// Handles console event `event`; always reports it handled.
bool console_handler(int event);
// Asks whether to stop: 0 for X, 1 for C.
int console_ask_exit();
// The pause of PAUSEATEND after an abend: one line read from the console.
void kvPauseAtAbend();
// Maps a signal number to its console event, or -1.
int kvConsoleEventOfSignal(int signal_number);
