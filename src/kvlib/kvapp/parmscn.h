// parmscn: the family's macro-capable command file reader. Turns a command
// file into one command per call: "&" continues a line, "--" comments and
// COMMENT chunks are dropped, OBEY and INCLUDE read other files in place,
// CMDTRACE, LIST, NOLIST, MACROCHAR and (NO)MACROSTRICTCHECKING change the
// reader's own settings, MACRO ... END defines text macros that later
// statements invoke, MAP, FILE, QUERY, TABLE and MACRO statements (every
// statement after SEMICOLONTERMINATE) run until ";", "?NAME" is replaced by
// the environment variable's value, and one line may hold several
// commands separated by ";".
//
// The reader keeps one state per process, from the first call until the
// call that meets the end of the input.
#pragma once

#include <cstdio>
#include <string>

// Places the next command in `command` and returns 1, or returns 0 with
// `command` empty when the input is exhausted. `stream` is read only by the
// call that starts a new input; the caller keeps it and closes it after the
// last call. Files opened by OBEY and INCLUDE are closed by the reader.
int ci_get_next_cmd(std::string& command, FILE* stream);

// Drops the reader state before the input ends (closing only the files the
// reader opened itself), so that the next call starts a new input.
void ci_abandon_input();
