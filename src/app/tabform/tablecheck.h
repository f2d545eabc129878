// tablecheck: what a database refuses about a table as a whole, found
// before any line of the table is written, and the column count of a
// definition before its arrays are unrolled.
#pragma once

#include <cstdint>
#include <vector>

#include "kvapp/cobdef.h"

// Raises what the template's limits refuse in the table of `entry`, whose
// columns are the items marked in `included`: more columns than
// MAXCOLUMNS (1258), no column at all (1260, or 1261 when its named fields
// all overlay FILLER storage under OMITREDEFS), a table name or a column
// name longer than MAXNAMELENGTH (1262, 1263).
void check_table(const def_entry& entry, const std::vector<char>& included);

// The columns the naming pass and then the template will make of `def`,
// counted on its fields as read (arrays as single entries) in time that
// does not grow with the occurrence counts: the elementary items that are
// not FILLER, each as often as it occurs, and unless `include_redefs` only
// those outside the storage of an earlier item (OMITREDEFS). -1 when only
// the unrolling can tell: the naming pass itself removes redefinitions
// (`omit_redefs`) and the record has some.
int64_t count_unrolled_columns(const cobol_def& def, bool include_redefs, bool omit_redefs);

// The columns of `def` counted as if no item overlaid another: at least
// count_unrolled_columns, for any template. Linear in the fields.
int64_t count_unrolled_columns_at_most(const cobol_def& def);
