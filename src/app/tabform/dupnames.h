// dupnames: repeated field names within one definition.
#pragma once

#include "kvapp/cobdef.h"

void check_dup_fields(def_entry* entry);
