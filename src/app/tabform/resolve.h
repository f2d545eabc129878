// resolve: turns a definition's fields into SQL column lines held in the
// template variables.
#pragma once

#include "kvapp/cobdef.h"

void resolve_params(def_entry* entry);
