// cobdef: COBOL record definitions (placeholder until the reader lands).
#pragma once

#include <string>

struct cobol_def {
    std::string table_name;
    std::string def_name;
};

// One definition to write: a copy of a cobol_def under its table name.
using def_entry = cobol_def;
