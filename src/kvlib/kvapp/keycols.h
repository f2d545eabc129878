// keycols: marks the columns named by a FILE command's KEYCOLS list.
#pragma once

#include <cstdint>
#include <vector>

#include "kvapp/cobdef.h"

// Sets key_column for each column of `entry` named in `list` (names
// separated by blanks or commas, compared in upper case with the names the
// naming pass left). A word that names no column raises 1242 with the word;
// a list that marks nothing raises 1243. Marks are shared by every entry
// made from the same definition. Returns the indexes of the columns the
// list marked, in list order.
std::vector<int32_t> CD_parse_keycols(const char* list, def_entry* entry);
