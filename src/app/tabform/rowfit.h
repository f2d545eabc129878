// rowfit: a row within the bytes its database keeps in a row (MAXROWSIZE).
#pragma once

#include <vector>

#include "kvapp/cobdef.h"

// Under MAXROWSIZE: which of the columns of `entry` (the items marked in
// `included`) are to be kept off the row, by item, so that the bytes the
// others take in the row stay within the limit. The character columns
// that save most go first (the longest), key columns never, and only as
// many as needed; a
// table that fits needs none, and gets an empty result, as does every
// table without MAXROWSIZE. Raises 1264 when even every character column
// that can go off the row leaves the row too large.
std::vector<char> plan_off_row(const def_entry& entry, const std::vector<char>& included);
