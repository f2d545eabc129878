// recutl: predicates on columns shared by the column resolution.
#pragma once

#include <cstdint>

#include "kvapp/cobdef.h"

// True for a column of national characters (sub data type 1).
bool kvIsNcharColumn(const column_entry& column);
bool kvIsNcharColumn(const column_entry* column);

// True for the date-time data type codes 191 and 192.
bool kvIsDateType(int16_t data_type);
