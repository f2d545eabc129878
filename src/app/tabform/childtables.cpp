// childtables: tables made from a record's arrays, and the shapes of the
// run's tables.
//
// Invariants: a child table's field list is a tree like a record's: a
// root named after the table, then the parent's key columns, the
// occurrence numbers (one per nesting level), then the array's item with
// one occurrence, its own nested arrays left to tables of their own. Its
// offsets are those of the child's own row, one column after the other,
// so that the DDL and layout read it as any record; the shape keeps where
// each field's first occurrence lies in the record, from which the data
// path finds occurrence k of an array (k - 1) strides further on. Parents
// come before their children in def_table, so rows and load statements
// follow the foreign keys.
#include "tabform/childtables.h"

#include <new>

#include "kvapp/colnaming.h"
#include "kvapp/keycols.h"
#include "kvapp/tabutl.h"
#include "kvlog/kvraise.h"
#include "kvstd/strutl.h"
#include "tabform/params.h"

static const kvModuleId kModule{"tabform.main", "$Id: childtables.cpp 1.0 tabcopy $"};

std::vector<table_shape> table_shapes;

const table_shape& shape_of(uint32_t entry_index) {
    static const table_shape plain;
    return entry_index < table_shapes.size() ? table_shapes[entry_index] : plain;
}

void set_table_shape(uint32_t entry_index, table_shape shape) {
    if (table_shapes.size() <= entry_index) table_shapes.resize(entry_index + 1);
    table_shapes[entry_index] = std::move(shape);
}

void reset_table_shapes() { table_shapes.clear(); }

namespace {

using fields_t = std::vector<column_entry>;

// The index after the subtree of f[i].
size_t subtree_end(const fields_t& f, size_t i) {
    size_t j = i + 1;
    while (j < f.size() && f[j].depth > f[i].depth) ++j;
    return j;
}

// The outermost arrays of the subtree of f[root], the root itself aside.
std::vector<size_t> outermost_arrays(const fields_t& f, size_t root) {
    std::vector<size_t> arrays;
    const size_t end = subtree_end(f, root);
    for (size_t i = root + 1; i < end;) {
        if (f[i].occurs > 1) {
            arrays.push_back(i);
            i = subtree_end(f, i);
        } else {
            ++i;
        }
    }
    return arrays;
}

// The subtree of f[root] without the subtrees of `cut`, and without the
// groups that are then left with no field under them; depths shifted so
// that the root has depth `depth`.
fields_t pruned(const fields_t& f, size_t root, const std::vector<size_t>& cut, int16_t depth) {
    fields_t out;
    const size_t end = subtree_end(f, root);
    size_t next_cut = 0;
    for (size_t i = root; i < end;) {
        if (next_cut < cut.size() && cut[next_cut] == i) {
            i = subtree_end(f, i);
            ++next_cut;
            continue;
        }
        column_entry c = f[i];
        c.depth = static_cast<int16_t>(c.depth - f[root].depth + depth);
        out.push_back(std::move(c));
        ++i;
    }
    // A group whose fields were all arrays has nothing under it now.
    for (size_t i = out.size(); i-- > 0;) {
        const bool empty = !out[i].elementary && (i + 1 >= out.size() || out[i + 1].depth <= out[i].depth);
        if (empty && i > 0) out.erase(out.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return out;
}

std::string sql_word(const std::string& name) {
    std::string out = kvUpshifted(name);
    for (char& c : out)
        if (c == '-') c = '_';
    return out;
}

int32_t depending_text(const cobol_def& def, const column_entry& array) {
    if (!def.texts || array.text < 0) return -1;
    const std::string& object = (*def.texts)[static_cast<size_t>(array.text)].depending_on;
    if (object.empty()) return -1;
    for (size_t t = 0; t < def.texts->size(); ++t)
        if ((*def.texts)[t].name == object) return static_cast<int32_t>(t);
    return -1;
}

def_entry* append_entry(def_entry entry, table_shape shape) {
    void* slot = TABUTL_arrayNewElement(def_table);
    if (!slot) return nullptr;  // reported
    auto* placed = new (slot) def_entry(std::move(entry));
    set_table_shape(TABUTL_arrayGetElements(def_table) - 1, std::move(shape));
    return placed;
}

// A group named in KEYCOLS keys its table by its elementary items: a
// child row needs columns to carry its parent's key in, and a group is
// none.
void key_group_items(fields_t& f) {
    for (size_t i = 0; i < f.size(); ++i)
        if (f[i].key_column && !f[i].elementary)
            for (size_t j = i + 1; j < subtree_end(f, i); ++j)
                if (f[j].elementary) f[j].key_column = 1;
}

void name_columns(def_entry& entry) {
    entry.field_count = static_cast<int32_t>(entry.fields->size());
    if (expand_options) expand_columns(&entry, *expand_options);
}

// Gives the child's fields the offsets of its own row and keeps their
// record offsets: the key columns (as the parent has them in the record),
// the occurrence numbers, then the item, whose fields follow at their
// distance from the start of the array's first occurrence.
void lay_out_child(def_entry& child, size_t keys, const std::vector<array_level>& levels,
                   std::vector<int32_t>& record_offsets) {
    fields_t& f = *child.fields;
    record_offsets.assign(f.size(), 0);
    int64_t at = 0;
    // The parent's key holds the parent's own occurrence numbers; this
    // level's number follows it.
    const size_t lead = 1 + keys + 1;
    for (size_t i = 1; i < lead; ++i) {
        int32_t place = f[i].fetch_offset;
        for (size_t l = 0; l < levels.size(); ++l)
            if (f[i].name == levels[l].occurrence) place = kOccurrenceColumn - static_cast<int32_t>(l);
        record_offsets[i] = place;
        f[i].fetch_offset = static_cast<int32_t>(at);
        at += CD_stored_size(f[i]);
    }
    const int32_t start = levels.back().start;
    for (size_t i = lead; i < f.size(); ++i) {
        record_offsets[i] = f[i].fetch_offset;
        f[i].fetch_offset = static_cast<int32_t>(at + f[i].fetch_offset - start);
    }
    f[0].fetch_offset = 0;
    f[0].int_len = f[0].bin_len = f[0].tbl_len = f[0].ext_len = static_cast<int32_t>(at + levels.back().stride);
}

// The table of array f[a] (and its nested arrays' tables), a child of the
// def_table entry `parent` whose key columns are `keys`.
void add_child(const cobol_def& def, const fields_t& f, size_t a, uint32_t parent, const fields_t& keys,
               std::vector<array_level> levels) {
    const def_entry* parent_entry = static_cast<const def_entry*>(TABUTL_arrayGetElement(parent, def_table));
    const std::string item = sql_word(f[a].name);
    array_level level;
    level.start = f[a].fetch_offset;
    level.stride = static_cast<int32_t>(CD_stored_size(f[a]));
    level.max = f[a].occurs;
    level.count_text = depending_text(def, f[a]);
    level.occurrence = item + "_OCCURRENCE";
    levels.push_back(level);

    const std::vector<size_t> nested = outermost_arrays(f, a);
    def_entry child = def;
    child.closed = parent_entry->closed;
    child.table_name = parent_entry->table_name + "_" + item;
    child.parent_table = parent_entry->table_name;
    column_entry root;
    root.name = child.table_name;
    root.level_number = 1;
    root.int_len = root.bin_len = root.tbl_len = root.ext_len = level.stride;
    root.fetch_offset = level.start;
    fields_t list{root};
    fields_t item_fields = pruned(f, a, nested, 1);
    item_fields.front().occurs = 1;
    list.insert(list.end(), item_fields.begin(), item_fields.end());
    child.fields = std::make_shared<fields_t>(std::move(list));
    name_columns(child);

    // The parent's key, then the occurrence numbers, lead the columns.
    fields_t lead = keys;
    column_entry number;
    number.name = level.occurrence;
    number.elementary = 1;
    number.data_type = CD_TYPE_BIN32;
    number.int_len = number.bin_len = number.tbl_len = number.ext_len = 4;
    number.usage = CD_USAGE_BINARY;
    number.key_column = 1;
    number.depth = 1;
    number.level_number = f[a].level_number;
    lead.push_back(number);
    std::string parent_keys;
    // As the DDL will name them: every "-" written "_".
    for (const column_entry& k : keys) {
        if (!parent_keys.empty()) parent_keys += ',';
        parent_keys += sql_word(k.name);
    }
    child.parent_keys = parent_keys;
    child.fields->insert(child.fields->begin() + 1, lead.begin(), lead.end());
    child.field_count = static_cast<int32_t>(child.fields->size());
    table_shape shape;
    shape.parent = static_cast<int32_t>(parent);
    shape.levels = levels;
    lay_out_child(child, keys.size(), levels, shape.record_offsets);
    if (!append_entry(std::move(child), shape)) return;
    const uint32_t self = TABUTL_arrayGetElements(def_table) - 1;
    for (size_t n : nested) add_child(def, f, n, self, lead, levels);
}

}  // namespace

bool add_child_tables(const cobol_def& def, const std::string& table, const std::string& keycols,
                      const std::string& when) {
    if (keycols.empty()) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 1297, {kvUpshifted(table)});
        return false;
    }
    // Every table made from the record keeps the record as closed: its
    // conditions, OCCURS DEPENDING ON tables and length are the record's.
    const std::shared_ptr<const fields_t> record =
        def.closed ? def.closed : std::make_shared<const fields_t>(*def.fields);
    const fields_t& f = *record;
    // A record that is itself an array has no one parent row for the rows
    // of its occurrences: unrolled, it would also take the key columns
    // away from the child tables that reference them.
    if (!f.empty() && f[0].occurs > 1) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 1299,
                       {kvUpshifted(table), def.def_name, static_cast<int64_t>(f[0].occurs)});
        return false;
    }
    const std::vector<size_t> arrays = outermost_arrays(f, 0);
    def_entry parent = def;
    parent.closed = record;
    parent.table_name = kvUpshifted(table);
    parent.fields = std::make_shared<fields_t>(pruned(f, 0, arrays, 0));
    name_columns(parent);
    CD_parse_keycols(keycols.c_str(), &parent);
    key_group_items(*parent.fields);
    fields_t keys;
    for (const column_entry& c : *parent.fields)
        if (c.key_column && c.elementary) {
            keys.push_back(c);
            keys.back().depth = 1;
        }
    if (keys.empty()) return false;  // the KEYCOLS list's own message has been raised
    table_shape shape;
    shape.when = when;
    if (!append_entry(std::move(parent), shape)) return false;
    const uint32_t parent_index = TABUTL_arrayGetElements(def_table) - 1;
    for (size_t a : arrays) add_child(def, f, a, parent_index, keys, {});
    return true;
}

bool keep_variant(def_entry& entry, const std::string& name) {
    fields_t f = *entry.fields;
    const std::vector<int32_t> redefined = CD_redefinitions(f);
    const std::string wanted = kvUpshifted(name);
    const auto named = [&](size_t i) {
        const cd_entry_text* t = entry.texts && f[i].text >= 0 ? &(*entry.texts)[static_cast<size_t>(f[i].text)] : nullptr;
        return (t && t->name == wanted) || f[i].name == sql_word(wanted);
    };
    size_t v = 0;
    while (v < f.size() && !named(v)) ++v;
    const int32_t base = v < f.size() ? (redefined[v] ? redefined[v] : static_cast<int32_t>(v)) : -1;
    bool alternatives = false;
    for (size_t i = 0; base >= 0 && i < f.size(); ++i) alternatives = alternatives || redefined[i] == base;
    if (v == f.size() || !alternatives) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 1298, {wanted, entry.def_name});
        return false;
    }
    std::vector<size_t> cut;
    for (size_t i = 0; i < f.size(); ++i)
        if (i != v && (static_cast<int32_t>(i) == base || redefined[i] == base)) cut.push_back(i);
    entry.fields = std::make_shared<fields_t>(pruned(f, 0, cut, 0));
    entry.field_count = static_cast<int32_t>(entry.fields->size());
    return true;
}
