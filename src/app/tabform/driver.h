// driver: the order of a whole run, from the command line to the summary.
#pragma once

#include "kvstd/timecnv.h"

// Longest path the command line accepts; longer ones are refused rather
// than cut, since a cut path would name a different file.
constexpr int kMaxPathLength = 263;

extern const char* program_name;
extern tm_ext start_time;

void usage(int exit_flag, const char* argument, const char* program);
void init_functions(int argc, char** argv);
// The whole run; returns the exit status of a completed run.
int tabcopy_main(int argc, char** argv);
