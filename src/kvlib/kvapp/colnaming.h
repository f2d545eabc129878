// colnaming: the column-naming option record and the naming pass.
#pragma once

#include <cstdint>

struct expand_options_t {
    int32_t style;
    int32_t zero_fill;
    int32_t expand_group_arrays;
    int32_t resolve_dups;
    int32_t report;
    int32_t omit_redefs;
    int32_t fix_long_names;
    int32_t max_col_name_len;
};

// The run's option record; null when it could not be allocated, and the
// naming pass is then skipped.
extern expand_options_t* expand_options;

// Allocates expand_options with the defaults 3, 1, 0, 0, 1, 0, 1, 30.
void create_expand_options();
