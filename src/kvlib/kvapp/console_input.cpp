// console_input: standard input shared by the main thread and the
// interrupt thread.
//
// Invariants: a byte is read from the descriptor only while holding the
// lock, and by the main thread only when poll(2) said it is readable and
// no question owns the console, so that read never blocks with the lock
// held; the question's owner reads without the lock, since nobody else
// reads while it owns the console. A question's start wakes a waiting
// main thread through a pipe, so it notices the owner at once.
#include "kvapp/console_input.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>

namespace {

struct console_state {
    std::mutex lock;
    std::condition_variable released;
    bool question = false;
    int fd = -1;           // -1: standard input
    int wake[2] = {-1, -1};
};

console_state& state() {
    static console_state s;
    return s;
}

int input_fd() { return state().fd >= 0 ? state().fd : STDIN_FILENO; }

// The pipe that wakes a main thread waiting in poll; made once.
void ensure_wake_pipe(console_state& s) {
    if (s.wake[0] >= 0) return;
    if (pipe2(s.wake, O_CLOEXEC | O_NONBLOCK) != 0) s.wake[0] = s.wake[1] = -1;
}

void drain_wake_pipe(console_state& s) {
    char buffer[64];
    while (s.wake[0] >= 0 && read(s.wake[0], buffer, sizeof buffer) > 0) {
    }
}

// One byte, or -1 at the end of input (or on a read error).
int read_byte(int fd) {
    unsigned char c = 0;
    for (;;) {
        const ssize_t n = read(fd, &c, 1);
        if (n == 1) return c;
        if (n < 0 && errno == EINTR) continue;
        return -1;
    }
}

}  // namespace

int kvConsoleGetChar() {
    console_state& s = state();
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(s.lock);
            s.released.wait(guard, [&] { return !s.question; });
            ensure_wake_pipe(s);
        }
        pollfd fds[2] = {{input_fd(), POLLIN, 0}, {s.wake[0], POLLIN, 0}};
        const int ready = poll(fds, s.wake[0] >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno != EINTR) return -1;
        if (s.wake[0] >= 0 && (fds[1].revents & POLLIN)) drain_wake_pipe(s);
        if (ready <= 0 || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.question) continue;  // the question's answer, not ours
        return read_byte(input_fd());
    }
}

bool kvConsoleReadLine(std::string& line, size_t max) {
    line.clear();
    for (;;) {
        const int c = kvConsoleGetChar();
        if (c < 0) return !line.empty();
        if (line.size() < max) line += static_cast<char>(c);
        if (c == '\n') return true;
    }
}

void kvConsoleDiscardInput() {
    const int fd = input_fd();
    if (isatty(fd)) tcflush(fd, TCIFLUSH);
}

kvConsoleQuestion::kvConsoleQuestion() {
    console_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.question = true;
    ensure_wake_pipe(s);
    if (s.wake[1] >= 0) {
        const char ping = 1;
        [[maybe_unused]] const ssize_t ignored = write(s.wake[1], &ping, 1);
    }
}

kvConsoleQuestion::~kvConsoleQuestion() {
    console_state& s = state();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.question = false;
    }
    s.released.notify_all();
}

int kvConsoleQuestion::get_char() { return read_byte(input_fd()); }

void kvConsoleInputUseFd(int fd) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().fd = fd;
}
