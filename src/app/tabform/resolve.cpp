// resolve: column selection, SQL types, sizes and comment lines, handed to
// the writer as one definition's ddl_values.
//
// Invariants: every pass over a definition's items is linear (running
// maxima, hash maps of names and of depth/offset pairs, a stack of open
// items), so definitions of hundreds of thousands of unrolled columns
// resolve in one sweep; the texts grow as needed; the items are only read.
// The open-item stack relies on the depth of an item exceeding that of the
// one before it by at most 1, which every closed and named definition
// guarantees.
#include "tabform/resolve.h"

#include <algorithm>
#include <cstdarg>
#include <string_view>
#include <unordered_set>

#include "kvapp/console.h"
#include "kvlog/kvraise.h"
#include "kvstd/strutl.h"
#include "tabform/params.h"
#include "tabform/templ.h"
#include "tabform/writer.h"

static const kvModuleId kModule{"tabform.main", "$Id: resolve.cpp 1.0 tabcopy $"};

namespace {

// Longest SQL type a column line takes with its "*" turned into blanks.
constexpr size_t kMaxSqlType = 29;

bool is_filler(const column_entry& item) { return item.name == "FILLER"; }

}  // namespace

derived_type derive_type(const column_entry& column) {
    switch (column.data_type) {
        case CD_TYPE_CHAR: return {"CHAR", column.bin_len};
        case CD_TYPE_VARCHAR: return {"VARCHAR", column.bin_len};
        case CD_TYPE_BIN16: return {"SMALLINT", 4};
        case CD_TYPE_BIN32: return {"INTEGER", 9};
        case CD_TYPE_BIN64: return {"LARGEINT", 18};
        case CD_TYPE_FLOAT32: return {"REAL", column.bin_len};
        case CD_TYPE_FLOAT64: return {"DOUBLE", column.bin_len};
        case CD_TYPE_UNUM: return {"UDECIMAL", column.int_len};
        case CD_TYPE_SNUM: return {"DECIMAL", column.int_len};
        case CD_TYPE_PACKED: return {"DECIMAL", column.ext_len};
        // The reader builds no other code; such a column finds no row.
        default: return {"", column.bin_len};
    }
}

bool column_not_null(const column_entry& column) {
    return column.key_column || (templ_options.use_same_nulls && column.nullable == 0);
}

namespace {

bool is_limit_free(int16_t limit) { return limit == kTemplYes || limit == kTemplNo; }

// The precision is compared unsigned (a negative limit admits every
// precision), the scale signed (a negative limit admits none).
bool row_serves(const type_map_entry& row, const std::string& type, int32_t precision, int32_t scale) {
    if (row.type_key != type) return false;
    if (!is_limit_free(row.prec_limit) &&
        static_cast<uint32_t>(precision) > static_cast<uint32_t>(static_cast<int32_t>(row.prec_limit)))
        return false;
    if (!is_limit_free(row.scale_limit) && scale > row.scale_limit) return false;
    return true;
}

const type_map_entry* find_row(const std::string& type, int32_t precision, int32_t scale) {
    for (const type_map_entry& row : type_map)
        if (row_serves(row, type, precision, scale)) return &row;
    return nullptr;
}

std::string size_text(const type_map_entry& row, int32_t precision, int32_t scale) {
    std::string out;
    if (row.size_spec == kTemplNo) return out;
    kvAppendf(out, "(%d", row.size_spec == kTemplYes ? precision : row.size_spec);
    if (row.scale_spec != kTemplNo) kvAppendf(out, ",%d", row.scale_spec == kTemplYes ? scale : row.scale_spec);
    out += ')';
    return out;
}

std::string null_text(const column_entry& column) {
    if (column_not_null(column)) return templ_options.not_null_clause ? "NOT NULL" : "";
    return templ_options.null_clause ? "NULL" : "";
}

// Groups closed before item `i`, innermost first. `open[d]` is the latest
// item of depth d before i, so the items that close are open[depth(i-1)]
// down to open[depth(i)].
void end_group_comments(const std::vector<column_entry>& items, size_t i,
                        const std::vector<size_t>& open, std::string& out) {
    const int from = items[i - 1].depth;
    const int to = items[i].depth < 0 ? 0 : items[i].depth;
    for (int d = from; d >= to; --d) {
        if (static_cast<size_t>(d) >= open.size()) continue;
        const column_entry& item = items[open[d]];
        if (!item.elementary) kvAppendf(out, "-- End of group %s\n", item.name.c_str());
    }
}

void append_column_line(std::string& out, char separator, const column_entry& column, const sql_column& sql) {
    kvAppendf(out, "%c  %-30s %-12s %-10s %-10s\n", separator, templ_sql_name(column.name).c_str(),
            sql.sql_type.c_str(), sql.size_text.c_str(), sql.null_text.c_str());
}

// A table the database would refuse is refused here, with what to do,
// rather than written and found out when the DDL is loaded.
void check_column_count(const std::string& table, const std::vector<char>& included) {
    if (templ_options.max_columns <= 0) return;
    const int64_t count = std::count(included.begin(), included.end(), 1);
    if (count <= templ_options.max_columns) return;
    kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1258,
                   {table, static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX)), templ_options.max_columns});
}

void drop_final_newline(std::string& text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
}

}  // namespace

void trace_printf(const char* format, ...) {
    if (!trace_switch) return;
    std::string line;
    va_list args;
    va_start(args, format);
    kvVAppendf(line, format, args);
    va_end(args);
    kvReportWrite(line.c_str());
}

std::vector<char> columns_included(const std::vector<column_entry>& items) {
    std::vector<char> included(items.size(), 0);
    // End of the furthest-reaching earlier elementary item: an item starting
    // before it lies inside an earlier item's storage, a redefinition.
    int64_t covered = INT64_MIN;
    for (size_t i = 0; i < items.size(); ++i) {
        const column_entry& item = items[i];
        included[i] = item.elementary && !is_filler(item) &&
                      (templ_options.include_redefs || item.fetch_offset >= covered);
        if (item.elementary)
            covered = std::max(covered, static_cast<int64_t>(item.fetch_offset) + item.int_len);
    }
    return included;
}

sql_column resolve_column(const column_entry& column) {
    const derived_type derived = derive_type(column);
    std::string type = derived.name;
    const int32_t precision = derived.precision;
    if (column.scale != 0 && (type == "SMALLINT" || type == "INTEGER" || type == "LARGEINT")) type = "NUMERIC";
    const type_map_entry* row = find_row(type, precision, column.scale);
    if (!row && column.data_type == CD_TYPE_UNUM) {
        type = "DECIMAL";
        row = find_row(type, precision, column.scale);
    }
    trace_printf("col %-30s\n    data_type=%3d, prec_val=%5d, dt_str=%5s, int_len=%d\n", column.name.c_str(),
                 column.data_type, precision, type.c_str(), column.int_len);
    sql_column sql;
    sql.null_text = null_text(column);
    if (!row) {
        // Without a row the column gets no type and no size.
        kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1255, {type});
        return sql;
    }
    sql.sql_type = row->sql_type;
    sql.size_text = size_text(*row, precision, column.scale);
    if (sql.sql_type.size() > kMaxSqlType) {
        kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1254, {sql.sql_type});
    } else {
        for (char& c : sql.sql_type)
            if (c == '*') c = ' ';
    }
    return sql;
}

namespace {

// The column lines of a definition, with the comment lines around them
// under INCLUDECOMMENTS; `columns`, when given, receives each column's
// SQL texts.
std::string column_lines(const std::vector<column_entry>& items, const std::vector<char>& included,
                         std::vector<sql_column>* columns) {
    const bool comments = templ_options.include_comments != 0;
    std::vector<int32_t> redefined;
    if (comments) redefined = CD_redefinitions(items);

    std::string work;
    char separator = ' ';
    std::vector<size_t> open;  // latest item of each depth, up to the current one
    std::unordered_set<std::string_view> column_names;
    for (size_t i = 0; i < items.size(); ++i) {
        const column_entry& item = items[i];
        const bool closes = comments && i > 0 && item.depth < items[i - 1].depth;
        if (included[i]) {
            if (closes) end_group_comments(items, i, open, work);
            if (comments) {
                if (column_names.count(item.name))
                    kvAppendf(work, "-- FIX NEEDED: Column %s was already specified\n", item.name.c_str());
                if (redefined[i])
                    kvAppendf(work, "-- Enscribe field redefines %s\n", items[redefined[i]].name.c_str());
                if (item.occurs > 1) kvAppendf(work, "-- Enscribe field occurs %d times\n", item.occurs);
            }
            const sql_column sql = resolve_column(item);
            append_column_line(work, separator, item, sql);
            if (columns) (*columns)[i] = sql;
            separator = ',';
            column_names.insert(item.name);
        } else if (comments && !is_filler(item)) {
            if (closes) end_group_comments(items, i, open, work);
            kvAppendf(work, "-- %02d %s", item.depth + 1, item.name.c_str());
            if (redefined[i]) kvAppendf(work, ", redefine of %s", items[redefined[i]].name.c_str());
            if (item.occurs > 1) kvAppendf(work, ", occurs %d times", item.occurs);
            work += '\n';
        }
        if (item.depth >= 0) {
            open.resize(static_cast<size_t>(item.depth) + 1, i);
            open[static_cast<size_t>(item.depth)] = i;
        }
    }
    drop_final_newline(work);
    return work;
}

std::string key_column_lines(const std::vector<column_entry>& items, const std::vector<char>& included) {
    std::string work;
    char separator = ' ';
    for (size_t i = 0; i < items.size(); ++i) {
        if (!included[i] || !items[i].key_column) continue;
        kvAppendf(work, "%c  %s\n", separator, templ_sql_name(items[i].name).c_str());
        separator = ',';
    }
    drop_final_newline(work);
    return work;
}

}  // namespace

ddl_values resolve_params(def_entry* entry, std::vector<sql_column>* columns) {
    ddl_values values;
    values.table = values.define = templ_sql_name(entry->table_name);
    values.catalog = "********";

    static const std::vector<column_entry> kNoItems;
    const std::vector<column_entry>& items = entry->fields ? *entry->fields : kNoItems;
    const std::vector<char> included = columns_included(items);
    check_column_count(entry->table_name, included);
    if (columns) columns->assign(items.size(), sql_column{});
    values.columns = column_lines(items, included, columns);
    values.key_columns = key_column_lines(items, included);

    values.max_megs = values.cur_megs = 101;
    values.max_pages = values.cur_pages = 48829;
    return values;
}
