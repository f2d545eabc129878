// splitcmd: tabcopy SPLIT <data file> [FRAMING f] [LRECL n] [COUNT n | SIZE
// n[K|M|G]]: record-aligned byte ranges of a data file, one line each on
// standard output (file, start, length, first record number, tab-separated),
// for converting the file in parts side by side (DATA and DATAFILE take
// START, LENGTH and FIRSTRECORD).
#pragma once

#include <string>
#include <vector>

// `words` are the arguments after SPLIT. Returns the exit status: 0, or 12
// after an error (reported).
int split_command(const std::vector<std::string>& words);
