// console_input: the one reader of the operator's standard input. The
// long-name dialogue and the pause at abend read through it on the main
// thread; the interrupt question reads through it on the interrupt thread.
//
// While the interrupt question is asked it owns the console: a read of the
// main thread that is waiting for input takes nothing until the question
// has its answer, so the answer can never go to the dialogue, nor the two
// answers mix. Input is read with read(2), a byte at a time: no stdio
// buffer holds bytes that one reader took and the other needed.
#pragma once

#include <string>

// The next byte of standard input (0-255), or -1 at its end. Waits while
// the interrupt question owns the console.
int kvConsoleGetChar();
// Reads a line, its '\n' included when one came, at most `max` bytes (the
// rest of a longer line is read and dropped). False at the end of input
// with nothing read.
bool kvConsoleReadLine(std::string& line, size_t max);
// Drops input typed ahead of a question (only a terminal has any).
void kvConsoleDiscardInput();

// The interrupt question: owns the console from construction to
// destruction; `get_char` reads its answer.
class kvConsoleQuestion {
public:
    kvConsoleQuestion();
    ~kvConsoleQuestion();
    kvConsoleQuestion(const kvConsoleQuestion&) = delete;
    kvConsoleQuestion& operator=(const kvConsoleQuestion&) = delete;
    int get_char();
};

// Test seam: the descriptor read instead of standard input (-1: standard
// input again).
void kvConsoleInputUseFd(int fd);
