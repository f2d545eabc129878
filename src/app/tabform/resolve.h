// resolve: turns a definition's items into SQL column lines, comment lines
// and the key list, and leaves them in the template variables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"

// Resolves one entry and sets the nine template variables (writer.h).
void resolve_params(def_entry* entry);

// For every item: 1 when it becomes a column. One pass over the items.
std::vector<char> columns_included(const std::vector<column_entry>& items);

// For every item: the index of the item it redefines, 0 for none. One
// pass over the items.
std::vector<int32_t> redefined_items(const std::vector<column_entry>& items);

// What a column line says after its name.
struct sql_column {
    std::string sql_type;
    std::string size_text;
    std::string null_text;
};

// The SQL type, size and null texts of one column through the type map
// and the template options (templ.h); raises 1255 when no row serves it.
sql_column resolve_column(const column_entry& column);

// printf-style line on the report, only while the trace switch is on.
void trace_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
