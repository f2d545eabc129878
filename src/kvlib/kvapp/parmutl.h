// parmutl: the run parameter command reader. Turns the run parameter file
// (and one level of OBEY files) into one command per call: every line read
// is echoed to the report, comment lines are dropped, MAP, FILE, QUERY and
// TABLE statements (every statement in semicolon mode) run to their ";",
// trailing comments are cut and ?NAME references are replaced by the
// environment variable's value.
#pragma once

#include <cstddef>
#include <string>

// Longest command the reader delivers is one character less than this.
constexpr size_t kMaxCommandLength = 50000;

// Places the next command in `command` and returns 1, or returns 0 with
// `command` empty when the input is exhausted. Reads the stream
// global_settings.param_file, which it never closes.
int kvGetNextCommand(std::string& command);

// The echo copy of a line: every value after "PASSWORD " (any case,
// anywhere) and after a whole-word "PW " is replaced by asterisks.
std::string kvMaskPasswords(const std::string& line);
