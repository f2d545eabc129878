// resolve: column selection, SQL types, sizes and comment lines, handed to
// the writer as one definition's ddl_values. The column and key lines are
// not made here but handed over as writers that produce them straight into
// the DDL output, so a definition's lines are never held whole.
//
// Invariants: every pass over a definition's items is linear (running
// maxima, flat tables of names and of depth/offset pairs, a stack of open
// items), and each distinct column shape (type code, precision, scale,
// nullability) is resolved once per definition, while its trace line and
// messages still come once per column; the items are only read. The
// open-item stack relies on the depth of an item exceeding that of the one
// before it by at most 1, which every closed and named definition
// guarantees.
#include "tabform/resolve.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "kvapp/console.h"
#include "kvapp/recutl.h"
#include "kvlog/kvraise.h"
#include "kvstd/nametab.h"
#include "kvstd/strutl.h"
#include "tabform/params.h"
#include "tabform/rowfit.h"
#include "tabform/tablecheck.h"
#include "tabform/templ.h"
#include "tabform/writer.h"

static const kvModuleId kModule{"tabform.main", "$Id: resolve.cpp 1.0 tabcopy $"};

namespace {

// Longest SQL type a column line takes with its "*" turned into blanks.
constexpr size_t kMaxSqlType = 29;

bool is_filler(const column_entry& item) { return item.name == "FILLER"; }

}  // namespace

namespace {

// The digits a number needs: those stored (a separate sign byte is none of
// them) and the P positions that scale them up; leading P positions add
// decimal places that hold zero, so the scale then exceeds the digits.
int32_t numeric_precision(const column_entry& column, int64_t stored) {
    const int64_t digits = column.p_scale < 0 ? std::max<int64_t>(stored, column.scale) : stored + column.p_scale;
    return static_cast<int32_t>(std::min<int64_t>(digits, INT32_MAX));
}

int32_t display_digits(const column_entry& column) {
    const bool separate = column.sign == CD_SIGN_LEADING_SEPARATE || column.sign == CD_SIGN_TRAILING_SEPARATE;
    return column.int_len - (separate ? 1 : 0);
}

}  // namespace

derived_type derive_type(const column_entry& column) {
    switch (column.data_type) {
        // National and DBCS characters are two bytes each.
        case CD_TYPE_CHAR: return kvIsNcharColumn(column) ? derived_type{"NCHAR", column.bin_len / 2}
                                                          : derived_type{"CHAR", column.bin_len};
        case CD_TYPE_VARCHAR: return {"VARCHAR", column.bin_len};
        case CD_TYPE_BIN16: return {"SMALLINT", numeric_precision(column, 4)};
        case CD_TYPE_BIN32: return {"INTEGER", numeric_precision(column, 9)};
        case CD_TYPE_BIN64: return {"LARGEINT", numeric_precision(column, 18)};
        case CD_TYPE_FLOAT32: return {"REAL", column.bin_len};
        case CD_TYPE_FLOAT64: return {"DOUBLE", column.bin_len};
        case CD_TYPE_UNUM: return {"UDECIMAL", numeric_precision(column, display_digits(column))};
        case CD_TYPE_SNUM: return {"DECIMAL", numeric_precision(column, display_digits(column))};
        case CD_TYPE_PACKED: return {"DECIMAL", numeric_precision(column, column.ext_len)};
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

// A key no row serves is looked up again under a wider one: unsigned
// decimals as decimals, national characters as characters of their bytes
// (as they were before they had a key of their own).
struct key_fallback {
    const char* from;
    const char* to;
    bool bytes;  // the precision becomes the column's bytes
};
constexpr key_fallback kFallbacks[] = {
    {"UDECIMAL", "DECIMAL", false},
    {"NCHAR", "CHAR", true},
    {"NTEXT", "TEXT", true},
};

// The key a character column kept off the row is looked up under.
const char* off_row_key(const std::string& type) {
    if (type == "CHAR" || type == "VARCHAR") return "TEXT";
    if (type == "NCHAR") return "NTEXT";
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


}  // namespace

type_choice choose_type_row(const column_entry& column, bool off_row) {
    const derived_type derived = derive_type(column);
    type_choice c{derived.name, derived.precision, nullptr};
    // A binary integer scaled by V or P is a decimal of its digits.
    if ((column.scale != 0 || column.p_scale > 0) && (c.type == "SMALLINT" || c.type == "INTEGER" || c.type == "LARGEINT"))
        c.type = "NUMERIC";
    if (off_row) {
        const char* key = off_row_key(c.type);
        if (!key) return c;
        c.type = key;
    }
    c.row = find_row(c.type, c.precision, column.scale);
    for (const key_fallback& f : kFallbacks) {
        if (c.row || c.type != f.from) continue;
        c.type = f.to;
        if (f.bytes) c.precision = column.bin_len;
        c.row = find_row(c.type, c.precision, column.scale);
    }
    return c;
}

int64_t row_bytes(const column_entry& column, const type_choice& choice) {
    const row_bytes_rule rule = choice.row ? choice.row->row_bytes : row_bytes_rule{};
    if (rule.fixed >= 0) return rule.fixed;
    if (rule.per_unit > 0) return static_cast<int64_t>(rule.per_unit) * std::max(choice.precision, 0);
    return CD_stored_size(column);
}

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

namespace {

// What resolving a column finds, before anything is reported: it depends
// only on the column's type code, precision, scale and nullability, so a
// definition resolves each such shape once.
struct resolved_shape {
    std::string type;    // the type key looked up
    int32_t precision = 0;
    bool found = false;  // a row serves it
    bool too_long = false;
    sql_column sql;
};

resolved_shape resolve_shape(const column_entry& column, bool off_row) {
    const type_choice choice = choose_type_row(column, off_row);
    const type_map_entry* row = choice.row;
    resolved_shape r;
    r.type = choice.type;
    r.precision = choice.precision;
    r.sql.null_text = null_text(column);
    // Without a row the column gets no type and no size.
    if (!row) return r;
    r.found = true;
    r.sql.sql_type = row->sql_type;
    r.sql.size_text = size_text(*row, r.precision, column.scale);
    r.too_long = r.sql.sql_type.size() > kMaxSqlType;
    if (!r.too_long) std::replace(r.sql.sql_type.begin(), r.sql.sql_type.end(), '*', ' ');
    return r;
}

// Where a column is, for the messages about it: its table and the COBOL
// field it comes from.
struct column_place {
    const std::string& table;
    const std::string& field;
};

// The trace line and the messages of one column, every time it is resolved.
void report_column(const column_entry& column, const resolved_shape& r, const column_place& place) {
    if (trace_switch)
        trace_printf("col %-30s\n    data_type=%3d, prec_val=%5d, dt_str=%5s, int_len=%d\n", column.name.c_str(),
                     column.data_type, r.precision, r.type.c_str(), column.int_len);
    if (!r.found)
        kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1255, {r.type, column.name, place.table, place.field});
    else if (r.too_long)
        kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1254, {r.sql.sql_type});
}

// The name the copybook gave the field a column is made from.
const std::string& field_name(const std::vector<cd_entry_text>* texts, const column_entry& column) {
    if (texts && column.text >= 0 && static_cast<size_t>(column.text) < texts->size())
        return (*texts)[static_cast<size_t>(column.text)].name;
    return column.name;
}

}  // namespace

sql_column resolve_column(const column_entry& column, const std::string& table) {
    const resolved_shape r = resolve_shape(column, false);
    report_column(column, r, {table, column.name});
    return r.sql;
}

namespace {

// One definition's items as its column and key lines read them. Shared by
// the writers of both, which run while the template is expanded.
struct column_source {
    std::shared_ptr<std::vector<column_entry>> fields;
    std::shared_ptr<std::vector<cd_entry_text>> texts;
    std::string table;
    std::vector<char> included;
    std::vector<char> off_row;  // by item: a character column kept off the row (empty: none)
    std::vector<sql_column>* layout = nullptr;  // each column's SQL texts, when asked for
};

bool has_column_lines(const column_source& s) {
    const bool comments = templ_options.include_comments != 0;
    for (size_t i = 0; i < s.included.size(); ++i)
        if (s.included[i] || (comments && !is_filler((*s.fields)[i]))) return true;
    return false;
}

bool has_key_columns(const column_source& s) {
    for (size_t i = 0; i < s.included.size(); ++i)
        if (s.included[i] && (*s.fields)[i].key_column) return true;
    return false;
}

// Lines separated by newlines. A NUL byte ends the text, as it ends a
// variable's text; the lines after it are still made (their messages, the
// layout) but go nowhere.
class line_writer {
public:
    explicit line_writer(ddl_out& out) : out_(&out) {}
    ddl_out& begin() {
        if (!first_) out_->append('\n');
        first_ = false;
        start_ = out_->held();
        return *out_;
    }
    void end() {
        if (out_ != &nowhere_ && out_->cut_at_nul(start_)) out_ = &nowhere_;
        out_->line_done();
    }

private:
    ddl_out* out_;
    ddl_out nowhere_{ddl_out::mode::discard};
    size_t start_ = 0;
    bool first_ = true;
};

void append_number(ddl_out& out, int64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(std::string_view(digits, static_cast<size_t>(end - digits)));
}

void append_sql_name(ddl_out& out, const std::string& name) {
    if (templ_name_is_plain(name))
        out.append(name);
    else
        out.append(templ_sql_name(name));
}

// Appends `text` padded with blanks to `width`, as "%-<width>s" would.
void append_padded(ddl_out& out, std::string_view text, size_t width) {
    out.append(text);
    if (text.size() < width) out.pad(width - text.size());
}

// A column's resolution, with what its line says after the name.
struct column_shape {
    resolved_shape resolved;
    std::string tail;
};

struct shape_key {
    int16_t data_type;
    bool not_null;
    bool p_scaled;  // a scaled binary integer is a NUMERIC
    bool national;  // NCHAR, which falls back to CHAR of its bytes
    bool off_row;   // TEXT or NTEXT
    int32_t precision;
    int32_t scale;
    bool operator==(const shape_key&) const = default;
};

struct shape_hash {
    size_t operator()(const shape_key& k) const {
        const uint64_t a = (static_cast<uint64_t>(static_cast<uint16_t>(k.data_type)) << 35) |
                           (static_cast<uint64_t>(k.national) << 34) | (static_cast<uint64_t>(k.off_row) << 33) |
                           (static_cast<uint64_t>(k.not_null) << 32) | (static_cast<uint64_t>(k.p_scaled) << 31) |
                           static_cast<uint32_t>(k.precision);
        return static_cast<size_t>(((a ^ (static_cast<uint64_t>(static_cast<uint32_t>(k.scale)) << 48)) *
                                    0x9E3779B97F4A7C15ull) >> 32);
    }
};

// The shapes of one definition's columns, each resolved once. A small
// direct-mapped memo in front of the map serves the usual handful of
// shapes without hashing a map key per column.
class shape_cache {
public:
    const column_shape& of(const column_entry& column, bool off_row) {
        const shape_key key{column.data_type, column_not_null(column), column.p_scale > 0, kvIsNcharColumn(column),
                            off_row, derive_type(column).precision, column.scale};
        memo& m = memos_[shape_hash()(key) % kMemos];
        if (m.shape && m.key == key) return *m.shape;
        auto [it, fresh] = shapes_.try_emplace(key);
        if (fresh) resolve(column, off_row, it->second);
        m = {key, &it->second};
        return it->second;
    }

private:
    static void resolve(const column_entry& column, bool off_row, column_shape& shape) {
        shape.resolved = resolve_shape(column, off_row);
        const sql_column& sql = shape.resolved.sql;
        ddl_out tail;
        tail.append(' ');
        append_padded(tail, sql.sql_type, 12);
        tail.append(' ');
        append_padded(tail, sql.size_text, 10);
        tail.append(' ');
        append_padded(tail, sql.null_text, 10);
        shape.tail = tail.text();
    }

    static constexpr size_t kMemos = 64;
    struct memo {
        shape_key key{};
        const column_shape* shape = nullptr;
    };
    std::unordered_map<shape_key, column_shape, shape_hash> shapes_;  // nodes: the memo's pointers stay valid
    memo memos_[kMemos];
};

// For each item, whether an earlier included item has its name; only the
// included items are marked.
std::vector<char> names_held_before(const std::vector<column_entry>& items, const std::vector<char>& included) {
    std::vector<int32_t> at;  // the included items, in order
    for (size_t i = 0; i < items.size(); ++i)
        if (included[i]) at.push_back(static_cast<int32_t>(i));
    const std::vector<int32_t> first =
        kvFirstHolders(at.size(), [&](size_t k) { return std::string_view(items[static_cast<size_t>(at[k])].name); });
    std::vector<char> held(items.size(), 0);
    for (size_t k = 0; k < at.size(); ++k) held[static_cast<size_t>(at[k])] = first[k] != static_cast<int32_t>(k);
    return held;
}

// Groups closed before item `i`, innermost first. `open[d]` is the latest
// item of depth d before i, so the items that close are open[depth(i-1)]
// down to open[depth(i)].
void end_group_comments(const std::vector<column_entry>& items, size_t i, const std::vector<size_t>& open,
                        line_writer& lines) {
    const int from = items[i - 1].depth;
    const int to = items[i].depth < 0 ? 0 : items[i].depth;
    for (int d = from; d >= to; --d) {
        if (static_cast<size_t>(d) >= open.size()) continue;
        const column_entry& item = items[open[d]];
        if (item.elementary) continue;
        ddl_out& out = lines.begin();
        out.append("-- End of group ");
        out.append(item.name);
        lines.end();
    }
}

// The comment lines before a column: a repeated name, what it redefines,
// how often it occurs.
void column_comments(line_writer& lines, const column_entry& item, bool repeated, const column_entry* redefined) {
    if (repeated) {
        ddl_out& out = lines.begin();
        out.append("-- FIX NEEDED: Column ");
        out.append(item.name);
        out.append(" was already specified");
        lines.end();
    }
    if (redefined) {
        ddl_out& out = lines.begin();
        out.append("-- Enscribe field redefines ");
        out.append(redefined->name);
        lines.end();
    }
    if (item.occurs > 1) {
        ddl_out& out = lines.begin();
        out.append("-- Enscribe field occurs ");
        append_number(out, item.occurs);
        out.append(" times");
        lines.end();
    }
}

// The comment line of an item that is no column (a group, or a field left
// out): its level, name, what it redefines, how often it occurs.
void item_comment(line_writer& lines, const column_entry& item, const column_entry* redefined) {
    ddl_out& out = lines.begin();
    out.append("-- ");
    const int32_t level = item.depth + 1;
    if (level >= 0 && level < 10) out.append('0');
    append_number(out, level);
    out.append(' ');
    out.append(item.name);
    if (redefined) {
        out.append(", redefine of ");
        out.append(redefined->name);
    }
    if (item.occurs > 1) {
        out.append(", occurs ");
        append_number(out, item.occurs);
        out.append(" times");
    }
    lines.end();
}

void column_line(line_writer& lines, char separator, const column_entry& column, const column_shape& shape) {
    ddl_out& out = lines.begin();
    out.append(separator);
    out.append("  ");
    const size_t name_at = out.held();
    append_sql_name(out, column.name);
    const size_t width = out.held() - name_at;
    if (width < 30) out.pad(30 - width);
    out.append(shape.tail);
    lines.end();
}

// The column lines of a definition, with the comment lines around them
// under INCLUDECOMMENTS, produced into `out` as the columns are resolved.
void write_column_lines(ddl_out& out, const column_source& source) {
    const std::vector<column_entry>& items = *source.fields;
    const std::vector<char>& included = source.included;
    const bool comments = templ_options.include_comments != 0;
    line_writer lines(out);
    shape_cache shapes;
    cd_redefinition_finder redefinitions;
    const std::vector<char> held_before = comments ? names_held_before(items, included) : std::vector<char>();
    char separator = ' ';
    std::vector<size_t> open;  // latest item of each depth, up to the current one
    for (size_t i = 0; i < items.size(); ++i) {
        const column_entry& item = items[i];
        const bool closes = comments && i > 0 && item.depth < items[i - 1].depth;
        const int32_t redefined =
            comments ? redefinitions.add(i ? &items[i - 1] : nullptr, item, static_cast<int32_t>(i)) : 0;
        const column_entry* target = redefined ? &items[static_cast<size_t>(redefined)] : nullptr;
        if (included[i]) {
            if (closes) end_group_comments(items, i, open, lines);
            if (comments) column_comments(lines, item, held_before[i], target);
            const column_shape& shape = shapes.of(item, !source.off_row.empty() && source.off_row[i]);
            report_column(item, shape.resolved, {source.table, field_name(source.texts.get(), item)});
            column_line(lines, separator, item, shape);
            if (source.layout) (*source.layout)[i] = shape.resolved.sql;
            separator = ',';
        } else if (comments && !is_filler(item)) {
            if (closes) end_group_comments(items, i, open, lines);
            item_comment(lines, item, target);
        }
        if (item.depth >= 0) {
            open.resize(static_cast<size_t>(item.depth) + 1, i);
            open[static_cast<size_t>(item.depth)] = i;
        }
    }
}

void write_key_column_lines(ddl_out& out, const column_source& source) {
    const std::vector<column_entry>& items = *source.fields;
    line_writer lines(out);
    char separator = ' ';
    for (size_t i = 0; i < items.size(); ++i) {
        if (!source.included[i] || !items[i].key_column) continue;
        ddl_out& line = lines.begin();
        line.append(separator);
        line.append("  ");
        append_sql_name(line, items[i].name);
        lines.end();
        separator = ',';
    }
}

}  // namespace

ddl_values resolve_params(def_entry* entry, std::vector<sql_column>* columns) {
    ddl_values values;
    values.table = values.define = templ_sql_name(entry->table_name);
    // A child table refers to its parent's key: both as the DDL names them.
    if (!entry->parent_table.empty()) {
        values.parent_table = templ_sql_name(entry->parent_table);
        size_t at = 0;
        while (at <= entry->parent_keys.size()) {
            size_t comma = entry->parent_keys.find(',', at);
            if (comma == std::string::npos) comma = entry->parent_keys.size();
            values.parent_keys += (values.parent_keys.empty() ? "" : ", ") +
                                  templ_sql_name(entry->parent_keys.substr(at, comma - at));
            at = comma + 1;
        }
    }
    values.catalog = "********";

    auto source = std::make_shared<column_source>();
    source->fields = entry->fields ? entry->fields : std::make_shared<std::vector<column_entry>>();
    source->texts = entry->texts;
    source->table = entry->table_name;
    source->included = columns_included(*source->fields);
    source->layout = columns;
    check_table(*entry, source->included);
    source->off_row = plan_off_row(*entry, source->included);
    if (columns) columns->assign(source->fields->size(), sql_column{});
    values.columns = {[source](ddl_out& out) { write_column_lines(out, *source); }, !has_column_lines(*source)};
    values.key_columns = {[source](ddl_out& out) { write_key_column_lines(out, *source); },
                          !has_key_columns(*source)};

    values.max_megs = values.cur_megs = 101;
    values.max_pages = values.cur_pages = 48829;
    return values;
}
