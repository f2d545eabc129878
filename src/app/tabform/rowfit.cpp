// rowfit: MAXROWSIZE. A database such as MariaDB keeps a row's columns in
// one page, except the long text types (TEXT, BLOB) of which it keeps a
// pointer there; a table whose columns could need more bytes in the row
// than the page holds is refused when created. The bytes a column takes in
// the row come from its type-map row (resolve.h: row_bytes).
//
// Invariants: the items are only read; key columns are never moved; a
// column is moved only when its TEXT (NTEXT) row takes fewer bytes in the
// row than its own, so each move shrinks the row; moves are chosen by bytes saved, largest first, ties in
// record order, which makes the choice the same on every run.
#include "tabform/rowfit.h"

#include <algorithm>
#include <cstdint>

#include "kvlog/kvraise.h"
#include "tabform/resolve.h"
#include "tabform/templ.h"

static const kvModuleId kModule{"tabform.main", "$Id: rowfit.cpp 1.0 tabcopy $"};

namespace {

struct move {
    size_t item;
    int64_t saves;  // bytes the row needs less with the column off it
};

}  // namespace

std::vector<char> plan_off_row(const def_entry& entry, const std::vector<char>& included) {
    const int64_t limit = templ_options.max_row_size;
    if (limit <= 0 || !entry.fields) return {};
    const std::vector<column_entry>& items = *entry.fields;
    int64_t bytes = 0;
    std::vector<move> moves;
    for (size_t i = 0; i < included.size(); ++i) {
        if (!included[i]) continue;
        const type_choice in_row = choose_type_row(items[i], false);
        const int64_t own = row_bytes(items[i], in_row);
        bytes += own;
        // A key column stays: databases take no TEXT column in a primary key.
        if (items[i].key_column) continue;
        const type_choice off = choose_type_row(items[i], true);  // no row for a column that is no text
        if (off.row && row_bytes(items[i], off) < own) moves.push_back({i, own - row_bytes(items[i], off)});
    }
    if (bytes <= limit) return {};
    std::stable_sort(moves.begin(), moves.end(), [](const move& a, const move& b) { return a.saves > b.saves; });
    std::vector<char> off_row(items.size(), 0);
    size_t moved = 0;
    for (; moved < moves.size() && bytes > limit; ++moved) {
        off_row[moves[moved].item] = 1;
        bytes -= moves[moved].saves;
    }
    if (bytes > limit)
        kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1264,
                       {entry.table_name, bytes, limit, static_cast<int64_t>(moved)});
    return off_row;
}
