// datapass: preparing a pass over a data file and decoding its batches.
#include "tabform/datapass.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "tabform/params.h"
#include "tabform/resolve.h"
#include "tabform/templ.h"

namespace {

const cd_entry_text* text_of(const def_entry& entry, const column_entry& c) {
    if (!entry.texts || c.text < 0 || static_cast<size_t>(c.text) >= entry.texts->size()) return nullptr;
    return &(*entry.texts)[static_cast<size_t>(c.text)];
}

const std::vector<column_entry>& record_fields(const def_entry& def) { return def.closed ? *def.closed : *def.fields; }

// The columns of the DDL, in its order, as the decoder needs them; `index`
// receives each one's field index.
std::vector<dp_column> ddl_columns(const def_entry& entry, const table_shape& shape, std::vector<size_t>& index) {
    const std::vector<column_entry>& f = *entry.fields;
    const std::vector<char> included = columns_included(f);
    std::vector<dp_column> columns;
    index.clear();
    for (size_t i = 0; i < f.size(); ++i) {
        if (!included[i]) continue;
        const column_entry& c = f[i];
        const derived_type type = derive_type(c);
        const std::string kind = type.name;
        const cd_entry_text* text = text_of(entry, c);
        dp_column col;
        col.entry = &c;
        col.name = templ_sql_name(c.name);
        col.field = text ? text->name : c.name;
        col.nullable = !column_not_null(c);
        col.precision = type.precision;
        col.integer = (kind == "SMALLINT" || kind == "INTEGER" || kind == "LARGEINT") && c.scale == 0 && c.p_scale <= 0;
        if (i < shape.record_offsets.size() && shape.record_offsets[i] <= kOccurrenceColumn)
            col.ordinal = kOccurrenceColumn - shape.record_offsets[i];
        columns.push_back(std::move(col));
        index.push_back(i);
    }
    return columns;
}

// A plan that decodes one numeric field, laid at offset 0.
bool number_plan(std::string& error, const column_entry& field, const kv_codepage& cp, const dp_options& options,
                 dp_plan& plan) {
    column_entry at_zero = field;
    at_zero.fetch_offset = 0;
    dp_column column;
    column.entry = &at_zero;
    column.name = field.name;
    column.field = field.name;
    column.precision = 38;
    dp_options o = options;
    o.format = dp_row_format::csv;
    o.on_error = dp_on_error::reject;
    o.empty = dp_empty_numeric::error;
    return dp_build_plan(error, {column}, static_cast<int32_t>(CD_stored_size(field)), cp, o, plan);
}

// The OCCURS DEPENDING ON tables of a record, from its field list as
// closed; refused when one lies inside another table or its count does
// not come before it.
bool find_odos(std::string& error, const def_entry& def, const kv_codepage& cp, const dp_options& options,
               std::vector<odo_table>& out) {
    const std::vector<column_entry>& f = record_fields(def);
    std::vector<std::pair<int16_t, int32_t>> arrays;  // (depth, end) of the open arrays
    for (size_t i = 0; i < f.size(); ++i) {
        while (!arrays.empty() && arrays.back().first >= f[i].depth) arrays.pop_back();
        const cd_entry_text* t = text_of(def, f[i]);
        if (t && !t->depending_on.empty() && f[i].occurs > 1) {
            if (!arrays.empty()) {
                error = "the OCCURS DEPENDING ON table " + t->name + " lies inside another table, which tabcopy does not lay out";
                return false;
            }
            odo_table o;
            o.name = t->name;
            o.start = f[i].fetch_offset;
            o.stride = static_cast<int32_t>(CD_stored_size(f[i]));
            o.max = f[i].occurs;
            o.end = o.start + o.stride * o.max;
            const column_entry* count = nullptr;
            for (const column_entry& c : f) {
                const cd_entry_text* ct = text_of(def, c);
                if (ct && ct->name == t->depending_on && c.elementary) count = &c;
            }
            if (!count || count->data_type == CD_TYPE_CHAR || count->data_type == CD_TYPE_VARCHAR ||
                count->fetch_offset + static_cast<int32_t>(CD_stored_size(*count)) > o.start) {
                error = "the count " + t->depending_on + " of the table " + t->name +
                        " is no number field of the record before the table";
                return false;
            }
            o.count_offset = count->fetch_offset;
            o.count_length = static_cast<int32_t>(CD_stored_size(*count));
            if (!number_plan(error, *count, cp, options, o.count_plan)) return false;
            out.push_back(std::move(o));
        }
        if (f[i].occurs > 1) arrays.emplace_back(f[i].depth, 0);
    }
    return true;
}

// The innermost array level of a child table's field at record offset o.
int8_t inner_level(const table_shape& shape, int32_t o) {
    int8_t level = -1;
    for (size_t l = 0; l < shape.levels.size(); ++l) {
        const array_level& a = shape.levels[l];
        if (o >= a.start && o < a.start + a.stride) level = static_cast<int8_t>(l);
    }
    return level;
}

bool prepare_table(std::string& error, data_pass& pass, table_run& t, const dp_options& options) {
    std::vector<size_t> index;
    const std::vector<dp_column> columns = ddl_columns(*t.def, t.shape, index);
    if (!dp_build_plan(error, columns, static_cast<int32_t>(layout_length(*t.def)), pass.codepage, options, t.plan))
        return false;
    t.base.resize(columns.size());
    t.inner.assign(columns.size(), -1);
    for (size_t k = 0; k < columns.size(); ++k) {
        const size_t i = index[k];
        const bool child = i < t.shape.record_offsets.size();
        t.base[k] = child ? t.shape.record_offsets[i] : (*t.def->fields)[i].fetch_offset;
        if (child && t.base[k] >= 0) t.inner[k] = inner_level(t.shape, t.base[k]);
    }
    if (!t.shape.when.empty() && !compile_condition(error, t.shape.when, *t.def, pass.codepage, t.when)) {
        error = "its WHEN condition " + t.shape.when + " cannot be used: " + error;
        return false;
    }
    t.has_when = !t.shape.when.empty();
    pass.longest = std::max(pass.longest, layout_length(*t.def));
    return t.top != static_cast<int32_t>(&t - pass.tables.data()) || find_odos(error, *t.def, pass.codepage, options, t.odos);
}

}  // namespace

void batch_output::reset(size_t tables) {
    if (rows.size() != tables) rows = line_vector<dp_buffer>(tables);
    for (dp_buffer& r : rows) r.clear();
    rejects.clear();
    log.clear();
    counts.read = counts.unmatched = counts.rejected = 0;
    counts.records.assign(tables, 0);
    counts.rejected_of.assign(tables, 0);
    counts.longer_of.assign(tables, 0);
    counts.rows.assign(tables, 0);
    stop_record = stop_offset = 0;
    stop_detail.clear();
    sample.clear();
}

bool prepare_pass(std::string& error, data_pass& pass, const dp_options& options) {
    for (size_t i = 0; i < pass.tables.size(); ++i) {
        table_run& t = pass.tables[i];
        if (t.parent >= 0) pass.tables[static_cast<size_t>(t.parent)].children.push_back(static_cast<int32_t>(i));
        if (t.top == static_cast<int32_t>(i)) pass.tops.push_back(static_cast<int32_t>(i));
        if (!prepare_table(error, pass, t, options)) {
            // The message names the pass's first table; another one is named here.
            if (i > 0) error = "table " + t.def->table_name + ": " + error;
            return false;
        }
    }
    return true;
}

namespace {

// The count of an OCCURS DEPENDING ON table in one record; -1 when it is
// no number from 0 to the table's maximum.
int64_t read_count(const odo_table& o, const uint8_t* record, size_t size, int64_t shift, pass_scratch& s) {
    const int64_t at = o.count_offset - shift;
    if (at < 0 || static_cast<size_t>(at + o.count_length) > size) return -1;
    s.scratch.clear();
    if (!dp_decode_record(o.count_plan, record + at, static_cast<size_t>(o.count_length), s.scratch, s.errors)) return -1;
    int64_t value = -1;
    const char* text = s.scratch.data();
    const auto r = std::from_chars(text, text + s.scratch.size(), value);
    if (r.ec != std::errc() || (r.ptr < text + s.scratch.size() && *r.ptr != '\n') || value < 0 || value > o.max)
        return -1;
    return value;
}

// A record's counts; false when one cannot be read (the record is then
// rejected, naming the table).
bool read_counts(const table_run& top, const uint8_t* record, size_t size, pass_scratch& s, std::string& fault) {
    s.counts.clear();
    int64_t shift = 0;
    for (const odo_table& o : top.odos) {
        const int64_t c = read_count(o, record, size, shift, s);
        if (c < 0) {
            fault = "a count of " + o.name + " that is no number from 0 to " + std::to_string(o.max);
            return false;
        }
        s.counts.push_back(c);
        shift += (o.max - c) * o.stride;
    }
    return true;
}

// Where the byte at layout offset o is in this record: moved back by the
// occurrences missing from the tables before it; kDpAbsent for an
// occurrence beyond its table's count.
int32_t moved(const table_run& top, const std::vector<int64_t>& counts, int32_t o) {
    int64_t shift = 0;
    for (size_t j = 0; j < top.odos.size(); ++j) {
        const odo_table& t = top.odos[j];
        if (o >= t.end) {
            shift += (t.max - counts[j]) * t.stride;
        } else if (o >= t.start) {
            if ((o - t.start) / t.stride >= counts[j]) return kDpAbsent;
            break;
        } else {
            break;
        }
    }
    return static_cast<int32_t>(o - shift);
}

std::string upper_hex(const uint8_t* p, size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 0xF];
    }
    return out;
}

struct record_work {
    const data_pass& pass;
    const batch_record& rec;
    const uint8_t* data;
    batch_output& out;
    pass_scratch& s;
    bool rejected = false;

    int64_t data_offset() const { return rec.offset + (rec.data - rec.raw); }

    void log_line(const std::string& field, const std::string& column, const char* what, const char* action,
                  const std::string& bytes, int64_t offset) {
        out.log += std::to_string(rec.number);
        out.log += '\t';
        out.log += std::to_string(offset);
        out.log += '\t';
        out.log += field;
        out.log += '\t';
        out.log += column;
        out.log += '\t';
        out.log += what;
        out.log += '\t';
        out.log += action;
        out.log += '\t';
        out.log += bytes;
        out.log += '\n';
    }

    // Logs the field errors of one row; `offsets` where its fields were.
    void log_errors(const table_run& t, const std::vector<dp_error>& errors, const int32_t* offsets, bool written) {
        for (const dp_error& e : errors) {
            const dp_field& f = t.plan.fields[e.field];
            const int32_t at = offsets ? offsets[e.field] : f.offset;
            const size_t from = at < 0 ? rec.size : std::min(static_cast<size_t>(at), rec.size);
            const size_t to = std::min(from + static_cast<size_t>(f.length), rec.size);
            const bool nulled = written || (t.plan.options.on_error == dp_on_error::null && f.nullable);
            log_line(f.field, f.column, dp_fault_text(e.fault), nulled ? "NULL" : "rejected",
                     upper_hex(data + from, to - from), data_offset() + (at < 0 ? 0 : at));
            if (!nulled && t.plan.options.on_error == dp_on_error::stop && out.stop_record == 0) {
                out.stop_record = rec.number;
                out.stop_offset = rec.offset;
                out.stop_detail = "field " + f.field + " (column " + f.column + ") has " + dp_fault_text(e.fault) +
                                  "; its bytes are " + (to > from ? upper_hex(data + from, to - from) : std::string("beyond the record"));
            }
        }
    }

    // One row of table t; `place` null for a row at the plan's offsets.
    bool row(size_t table, const dp_place* place) {
        const table_run& t = pass.tables[table];
        const bool written = dp_decode_record(t.plan, data, rec.size, out.rows[table], s.errors, place);
        if (!s.errors.empty()) log_errors(t, s.errors, place ? place->offsets : nullptr, written);
        if (written) ++out.counts.rows[table];
        return written;
    }

    // The rows of a child table and its own children: one for each
    // occurrence present, occurrences counted from 1.
    bool occurrences(size_t table, size_t level, const table_run& top) {
        const table_run& t = pass.tables[table];
        if (level == t.shape.levels.size()) {
            const size_t n = t.plan.fields.size();
            s.offsets.resize(n);
            for (size_t i = 0; i < n; ++i) {
                int64_t o = t.base[i];
                if (o < 0) {
                    s.offsets[i] = 0;
                    continue;
                }
                for (int l = 0; l <= t.inner[i]; ++l) o += (s.numbers[static_cast<size_t>(l)] - 1) * t.shape.levels[static_cast<size_t>(l)].stride;
                s.offsets[i] = top.odos.empty() ? static_cast<int32_t>(o) : moved(top, s.counts, static_cast<int32_t>(o));
            }
            const dp_place place{s.offsets.data(), s.numbers.data()};
            if (!row(table, &place)) return false;
            for (int32_t c : t.children)
                if (pass.tables[static_cast<size_t>(c)].shape.levels.size() == level + 1 &&
                    !occurrences(static_cast<size_t>(c), level, top))
                    return false;
            return true;
        }
        const array_level& a = t.shape.levels[level];
        int64_t count = a.max;
        for (size_t j = 0; j < top.odos.size(); ++j)
            if (top.odos[j].start == a.start) count = s.counts[j];
        if (s.numbers.size() <= level) s.numbers.resize(level + 1);
        for (int64_t k = 1; k <= count; ++k) {
            s.numbers[level] = k;
            if (!occurrences(table, level + 1, top)) return false;
        }
        return true;
    }

    // Every row of the record's table and of its child tables.
    bool rows_of(size_t table) {
        const table_run& t = pass.tables[table];
        if (t.odos.empty()) {
            if (!row(table, nullptr)) return false;
        } else {
            const size_t n = t.plan.fields.size();
            s.offsets.resize(n);
            for (size_t i = 0; i < n; ++i) s.offsets[i] = moved(t, s.counts, t.base[i]);
            const dp_place place{s.offsets.data(), nullptr};
            if (!row(table, &place)) return false;
        }
        for (int32_t c : t.children) {
            s.numbers.clear();
            if (!occurrences(static_cast<size_t>(c), 0, t)) return false;
        }
        return true;
    }

    // The table whose condition the record meets, first in FILE order.
    int32_t route() {
        for (int32_t top : pass.tops) {
            const table_run& t = pass.tables[static_cast<size_t>(top)];
            if (!t.has_when) return top;
            const size_t at = static_cast<size_t>(t.when.offset);
            if (at < rec.size && condition_met(t.when, data + at, rec.size - at, s.scratch)) return top;
        }
        return -1;
    }

    void reject(const std::string& why) {
        if (!why.empty()) log_line("-", "-", why.c_str(), "rejected", "", data_offset());
        if (out.rejects.reserve(rec.raw_size)) out.rejects.put(reinterpret_cast<const char*>(rec.raw), rec.raw_size);
        if (out.sample.size() < 4096) out.sample.insert(out.sample.end(), data, data + std::min<size_t>(rec.size, 512));
        ++out.counts.rejected;
    }

    void run() {
        ++out.counts.read;
        const int32_t top = route();
        if (top < 0) {
            ++out.counts.unmatched;
            if (pass.options.unmatched_skip) return;
            reject("a record that meets no WHEN condition of the FILE commands reading the file");
            return;
        }
        const table_run& t = pass.tables[static_cast<size_t>(top)];
        ++out.counts.records[static_cast<size_t>(top)];
        std::string fault;
        if (!t.odos.empty() && !read_counts(t, data, rec.size, s, fault)) {
            ++out.counts.rejected_of[static_cast<size_t>(top)];
            reject(fault);
            return;
        }
        if (static_cast<int64_t>(rec.size) > t.plan.record_length - total_shift(t))
            ++out.counts.longer_of[static_cast<size_t>(top)];
        // A record of one row: the decoder takes back a row it rejects.
        if (t.children.empty()) {
            if (rows_of(static_cast<size_t>(top))) return;
            ++out.counts.rejected_of[static_cast<size_t>(top)];
            reject("");
            return;
        }
        // Every row of the record goes, or none: the marks take them back.
        s.marks.resize(pass.tables.size());
        s.row_counts = out.counts.rows;
        for (size_t i = 0; i < pass.tables.size(); ++i) s.marks[i] = out.rows[i].size();
        if (rows_of(static_cast<size_t>(top))) return;
        for (size_t i = 0; i < pass.tables.size(); ++i) out.rows[i].resize(s.marks[i]);
        out.counts.rows = s.row_counts;
        ++out.counts.rejected_of[static_cast<size_t>(top)];
        reject("");
    }

    int64_t total_shift(const table_run& t) const {
        int64_t shift = 0;
        for (size_t j = 0; j < t.odos.size(); ++j) shift += (t.odos[j].max - s.counts[j]) * t.odos[j].stride;
        return shift;
    }
};

}  // namespace

void decode_record(const data_pass& pass, const batch_record& rec, batch_output& out, pass_scratch& scratch) {
    record_work w{pass, rec, rec.data, out, scratch};
    w.run();
}

void decode_batch(const data_pass& pass, const batch_input& in, batch_output& out, pass_scratch& scratch) {
    out.reset(pass.tables.size());
    for (const batch_record& rec : in.records) decode_record(pass, rec, out, scratch);
}

int64_t compact_length(const data_pass& pass, const uint8_t* bytes, size_t size, pass_scratch& scratch) {
    batch_record rec;
    rec.raw = rec.data = bytes;
    rec.size = rec.raw_size = size;
    batch_output unused;
    record_work w{pass, rec, bytes, unused, scratch};
    const int32_t top = w.route();
    if (top < 0) return static_cast<int64_t>(std::min<size_t>(size, static_cast<size_t>(pass.longest)));
    const table_run& t = pass.tables[static_cast<size_t>(top)];
    std::string fault;
    if (!t.odos.empty() && !read_counts(t, bytes, size, scratch, fault)) return 0;
    return t.plan.record_length - (t.odos.empty() ? 0 : w.total_shift(t));
}

int64_t layout_length(const def_entry& def) {
    const column_entry& first = record_fields(def).front();
    return static_cast<int64_t>(first.int_len) * first.occurs;
}

void add_file_tables(data_pass& pass, uint32_t entry) {
    const int32_t top = static_cast<int32_t>(pass.tables.size());
    const uint32_t count = TABUTL_arrayGetElements(def_table);
    std::map<int32_t, int32_t> run_of;  // def_table index -> pass table
    for (uint32_t i = entry; i < count; ++i) {
        const table_shape& shape = shape_of(i);
        if (i > entry && (shape.parent < 0 || !run_of.count(shape.parent))) break;
        table_run t;
        t.def = static_cast<const def_entry*>(TABUTL_arrayGetElement(i, def_table));
        t.shape = shape;
        t.top = top;
        t.parent = i == entry ? -1 : run_of[shape.parent];
        run_of[static_cast<int32_t>(i)] = static_cast<int32_t>(pass.tables.size());
        pass.tables.push_back(std::move(t));
    }
}
