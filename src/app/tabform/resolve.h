// resolve: turns a definition's items into SQL column lines, comment lines
// and the key list, the values of its template expansion.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"
#include "tabform/templ.h"
#include "tabform/writer.h"

// What a column line says after its name.
struct sql_column {
    std::string sql_type;
    std::string size_text;
    std::string null_text;
};

// Resolves one entry into the values its template expansion writes.
// `columns`, when given, receives what each item's column line says (empty
// texts for an item that is no column), for the layout file.
ddl_values resolve_params(def_entry* entry, std::vector<sql_column>* columns = nullptr);

// The type key a column looks up in the type map, and its precision.
struct derived_type {
    const char* name;
    int32_t precision;
};
derived_type derive_type(const column_entry& column);
// Whether a column is written NOT NULL: a key column, or every column under
// USESAMENULLS.
bool column_not_null(const column_entry& column);

// For every item: 1 when it becomes a column. One pass over the items.
std::vector<char> columns_included(const std::vector<column_entry>& items);

// The SQL type, size and null texts of one column through the type map
// and the template options (templ.h); raises 1255 when no row serves it.
sql_column resolve_column(const column_entry& column, const std::string& table = "");

// The type-map row that serves a column, with the key and precision it
// was found under (after the fallbacks: UDECIMAL to DECIMAL, NCHAR to
// CHAR); null row when none serves. `off_row`: a character column to be
// kept off the row, looked up under TEXT (NTEXT for national text); any
// other column then has no row.
struct type_choice {
    std::string type;
    int32_t precision = 0;
    const type_map_entry* row = nullptr;
};
type_choice choose_type_row(const column_entry& column, bool off_row);
// The bytes a column takes in the row with the row `choice` found for it.
int64_t row_bytes(const column_entry& column, const type_choice& choice);

// printf-style line on the report, only while the trace switch is on.
void trace_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
