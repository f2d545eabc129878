// recutl: column predicates. Stateless; the COBOL reader gives national
// and DBCS character items the sub data type 1 and never produces a
// date-time code, which columns of other origins may have.
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
