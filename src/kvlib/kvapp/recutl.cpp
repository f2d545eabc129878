// recutl: column predicates. Stateless; the COBOL reader never produces a
// column for which either predicate holds (it sets no sub data type and no
// date-time code), but columns of other origins may.
#include "kvapp/recutl.h"

#include "kvstd/trace.h"

bool kvIsNcharColumn(const column_entry& column) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "kvIsNcharColumn");
    return column.data_subtype == 1;
}

bool kvIsNcharColumn(const column_entry* column) { return column && kvIsNcharColumn(*column); }

bool kvIsDateType(int16_t data_type) {
    KV_TRACE_FUNCTION(kvTraceBitDateType, "kvIsDateType");
    return data_type == 191 || data_type == 192;
}
