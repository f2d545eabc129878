// dupnames: repeated field names within one definition.
#pragma once

#include <cstdint>

#include "kvapp/cobdef.h"

// Writes every "-" of the entry's names as "_", then by `resolve_mode`
// (RESOLVEDUPCOLUMNS: 0 NONE, 1 INDEX, 2 ALPHAINDEX) warns about repeated
// names of columns or makes them unique. The names are those of the
// definition itself, shared with every entry made from it.
void check_dup_fields(def_entry* entry, int32_t resolve_mode);
// The same with the template's RESOLVEDUPCOLUMNS option.
void check_dup_fields(def_entry* entry);
