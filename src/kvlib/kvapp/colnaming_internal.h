// colnaming internals: the steps of the naming pass (colnaming_expand.cpp)
// and the console it talks on, for the pass itself and for the tests.
// Nothing else includes this header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "kvapp/colnaming.h"

// The names of the enclosing columns from depth 1 down, each followed by a
// period, then the column's own name.
std::string qualified_name(const cobol_def& def, int32_t index);

// Where the pass prints its lines and reads the long-name answers; null
// restores standard output or standard input.
void set_naming_console(FILE* in, FILE* out);

// Steps of the pass, in the order expand_columns runs them.
void omit_redefines(cobol_def& def);
void resolve_dups_by_index(cobol_def& def, const expand_options_t& opts);
void resolve_dups_by_group(cobol_def& def, const expand_options_t& opts);
// The name column `index` gets instead of the too-long `new_name`; asks on
// the naming console when fix_long_names is 1.
std::string fix_long_name(const cobol_def& def, int32_t index, const std::string& new_name,
                          const expand_options_t& opts);
void dash_names(cobol_def& def);
