// datacmd: tabcopy DATA <copybook> <data file> [copybook words] [DEF name]
// [data options]: the rows of one record's table on standard output,
// named with the default naming options, every message on standard error.
#pragma once

#include <string>
#include <vector>

// `words` are the arguments after DATA. Returns the exit status: 0, 4 when
// records were rejected, 12 after an error (reported).
int data_command(const std::vector<std::string>& words);
