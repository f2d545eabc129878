// deferred: the naming of definitions too wide for any database, held
// until the template has said how many columns a table may have.
#pragma once

#include "kvapp/cobdef.h"
#include "kvapp/colnaming.h"

// Holds the naming pass of `def` (read last, not yet named) with `opts`
// when its arrays would unroll to more columns than MAXCOLUMNS can ever
// allow, so that a template that refuses it does so before the columns
// are made. True when held; false when the pass is to run now.
bool defer_naming(const cobol_def& def, const expand_options_t& opts);
// Whether the naming of the definition `entry` was made from is held.
bool naming_deferred(const def_entry& entry);
// After the template is read: every held definition that a FILE command
// names is counted and refused (1258) or named, with the options held for
// it, and then gets its FILE commands' key marks (filekeys.h). A held
// definition no FILE command names is never unrolled. False when a table
// was refused: its FILE entries keep the fields as read.
bool name_deferred_definitions();
// Forgets every held definition (for tests).
void reset_deferred();
