// filekeys: the key columns the KEYCOLS list of each FILE command marks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"

// KEYCOLS of the FILE command that made def_table entry `entry_index`:
// marks its columns now, or, while the naming of its definition is held
// (deferred.h), once the definition is named.
void mark_file_keys(uint32_t entry_index, const std::string& keycols);
// Marks the waiting KEYCOLS lists of the entries made from the definition
// with these fields, in FILE order.
void mark_waiting_keys(const std::vector<column_entry>* fields);
// The FILE commands of one definition share its key marks: warns (1295)
// for each entry whose key columns came from the KEYCOLS of another FILE
// command, naming that command's table. Run once every FILE command has
// marked its keys and the template is read (only columns count).
void warn_shared_key_marks();
// Warns (1300) for each item a KEYCOLS list names that is no column of
// its table (a group or array, FILLER, an item left out as a
// redefinition): the key leaves it out. Run when warn_shared_key_marks is.
void warn_keys_not_columns();
// Forgets every entry's marks (for tests).
void reset_file_keys();
