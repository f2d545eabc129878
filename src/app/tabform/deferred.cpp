// deferred: naming held for wide definitions. The naming pass runs when a
// COBOLDEFSFILE command is read, long before the template; a record whose
// arrays unroll to hundreds of millions of columns would be built whole
// (gigabytes, minutes) before MAXCOLUMNS could refuse it. Past the largest
// MAXCOLUMNS a template may set, its naming waits for the template, and its
// columns are first counted on the fields as read.
//
// Invariants: a held definition's fields stay as read until it is named,
// once, with the options in force when it was read, so its names are those
// it would have had; its entries share those fields and see the names.
// Definitions whose redefinitions the naming pass itself removes are never
// held: only the unrolling can count them.
#include "tabform/deferred.h"

#include <vector>

#include "kvapp/tabutl.h"
#include "kvlog/kvraise.h"
#include "tabform/filekeys.h"
#include "tabform/params.h"
#include "tabform/tablecheck.h"
#include "tabform/templ.h"

static const kvModuleId kModule{"tabform.main", "$Id: deferred.cpp 1.0 tabcopy $"};

namespace {

struct held_definition {
    const std::vector<column_entry>* fields;  // identifies the definition and its entries
    expand_options_t opts;
};

std::vector<held_definition>& held() {
    static std::vector<held_definition> list;
    return list;
}

// The FILE entries made from the definition with these fields, in FILE order.
std::vector<def_entry*> entries_of(const std::vector<column_entry>* fields) {
    std::vector<def_entry*> entries;
    for (uint32_t i = 0; i < TABUTL_arrayGetElements(def_table); ++i) {
        auto* entry = static_cast<def_entry*>(TABUTL_arrayGetElement(i, def_table));
        if (entry->fields.get() == fields) entries.push_back(entry);
    }
    return entries;
}

cobol_def* definition_of(const std::vector<column_entry>* fields) {
    for (cobol_def& def : CD_definitions())
        if (def.fields.get() == fields) return &def;
    return nullptr;
}

// False after 1258: the table is refused, its columns are not made.
bool within_column_limit(const cobol_def& def, const held_definition& h, const def_entry& first) {
    if (templ_options.max_columns <= 0) return true;
    const int64_t count = count_unrolled_columns(def, templ_options.include_redefs != 0, h.opts.omit_redefs == 1);
    if (count <= templ_options.max_columns) return true;
    kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1258, {first.table_name, count, templ_options.max_columns});
    return false;
}

}  // namespace

bool defer_naming(const cobol_def& def, const expand_options_t& opts) {
    if (opts.style == 0 || !def.fields) return false;
    if (count_unrolled_columns_at_most(def) <= kTemplMaxColumnsCeiling) return false;
    if (count_unrolled_columns(def, true, opts.omit_redefs == 1) < 0) return false;
    held().push_back({def.fields.get(), opts});
    return true;
}

bool naming_deferred(const def_entry& entry) {
    for (const held_definition& h : held())
        if (h.fields == entry.fields.get()) return true;
    return false;
}

bool name_deferred_definitions() {
    std::vector<held_definition> due;
    due.swap(held());
    bool all_named = true;
    for (const held_definition& h : due) {
        const std::vector<def_entry*> entries = entries_of(h.fields);
        cobol_def* def = definition_of(h.fields);
        if (entries.empty() || !def) continue;
        if (!within_column_limit(*def, h, *entries.front())) {
            all_named = false;
            continue;
        }
        expand_columns(def, h.opts);
        for (def_entry* entry : entries) entry->field_count = def->field_count;
        mark_waiting_keys(h.fields);
    }
    return all_named;
}

void reset_deferred() { held().clear(); }
