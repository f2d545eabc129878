// childtables: the shape of each table of the run beyond its columns: the
// parent of a child table made from an array (FILE ... CHILDTABLES), the
// arrays it is an occurrence of, and the condition a record must meet to
// be a row of the table (FILE ... WHEN).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"

// One array a child table's rows are occurrences of.
struct array_level {
    int32_t start = 0;            // offset of its first occurrence in the record
    int32_t stride = 0;           // bytes of one occurrence
    int32_t max = 1;              // occurrences the record holds at most
    int32_t count_text = -1;      // OCCURS DEPENDING ON: the entry text of the count; -1: none
    std::string occurrence;       // the column of the occurrence number, as the DDL names it
};

struct table_shape {
    int32_t parent = -1;          // def_table index of the parent table; -1: none
    std::vector<array_level> levels;  // the arrays, outermost first; empty for a record's table
    std::string when;             // WHEN: the condition text; empty: every record
    // A child table's fields lie in its own row, one after the other, as
    // its DDL and layout show them; where each one's bytes are in the
    // record (for its first occurrence) is here, by field index: an
    // offset, or kOccurrenceColumn - L for the occurrence number of level L.
    std::vector<int32_t> record_offsets;
};

inline constexpr int32_t kOccurrenceColumn = -1;

// By def_table index; an index beyond the end is a plain table.
extern std::vector<table_shape> table_shapes;
const table_shape& shape_of(uint32_t entry_index);

// FILE table DEF record KEYCOLS (...) CHILDTABLES: appends to def_table the
// parent's table (the record without its arrays) and one child table for
// each array, nested arrays in tables of their own, parents before
// children. False after reporting why not (no key columns, a name beyond
// the template's limits is reported when the DDL is written).
bool add_child_tables(const cobol_def& def, const std::string& table, const std::string& keycols,
                      const std::string& when);

// FILE ... VARIANT name: gives `entry` a field list of its own without the
// other alternatives of the REDEFINES that `name` belongs to (the field it
// redefines, or the fields that redefine it, with their subordinates).
// False after reporting a name that is no such alternative.
bool keep_variant(def_entry& entry, const std::string& name);

// Sets the shape of def_table entry `entry_index`.
void set_table_shape(uint32_t entry_index, table_shape shape);

// Forgets every shape (for tests).
void reset_table_shapes();
