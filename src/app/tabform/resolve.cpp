// resolve: column selection, SQL types, sizes and comment lines.
#include "tabform/resolve.h"

void resolve_params(def_entry*) {}
