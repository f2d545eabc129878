// filekeys: KEYCOLS per FILE command. A definition's FILE entries share its
// fields, and so its key marks: a FILE command without KEYCOLS, or with
// another list, gets the key columns the others marked too. That is kept,
// but said: each entry remembers the columns its own list marked, and an
// entry whose key holds others is warned about once per FILE command they
// came from.
//
// Invariants: an entry's own marks are recorded when its list is parsed,
// in FILE order; a list waiting for its definition's naming is parsed with
// the waiting lists of the same definition, still in FILE order, so the
// messages of each list come in the order of the FILE commands.
#include "tabform/filekeys.h"

#include <algorithm>

#include "kvapp/keycols.h"
#include "kvapp/tabutl.h"
#include "kvlog/kvraise.h"
#include "tabform/deferred.h"
#include "tabform/params.h"
#include "tabform/resolve.h"

static const kvModuleId kModule{"tabform.main", "$Id: filekeys.cpp 1.0 tabcopy $"};

namespace {

struct file_keys {
    std::vector<int32_t> own;  // the items this entry's KEYCOLS marked, ascending
    std::string waiting;       // a KEYCOLS list held until the definition is named
};

std::vector<file_keys>& keys() {
    static std::vector<file_keys> by_entry;
    return by_entry;
}

def_entry* entry_at(uint32_t index) { return static_cast<def_entry*>(TABUTL_arrayGetElement(index, def_table)); }

file_keys& keys_of(uint32_t index) {
    if (keys().size() <= index) keys().resize(index + 1);
    return keys()[index];
}

void mark_now(uint32_t index, const std::string& keycols) {
    std::vector<int32_t> own = CD_parse_keycols(keycols.c_str(), entry_at(index));
    std::sort(own.begin(), own.end());
    keys_of(index).own = std::move(own);
}

bool owns(const file_keys& k, int32_t item) { return std::binary_search(k.own.begin(), k.own.end(), item); }

// The first other entry of the same definition whose own list marked `item`.
uint32_t marked_by(uint32_t entry, int32_t item, const std::vector<uint32_t>& siblings) {
    for (uint32_t other : siblings)
        if (other != entry && other < keys().size() && owns(keys()[other], item)) return other;
    return entry;
}

// The key columns of `entry` its own list did not mark, by the entry that did.
void warn_for(uint32_t entry, const std::vector<uint32_t>& siblings) {
    const def_entry& e = *entry_at(entry);
    const std::vector<column_entry>& items = *e.fields;
    const std::vector<char> included = columns_included(items);
    const file_keys none;
    const file_keys& mine = entry < keys().size() ? keys()[entry] : none;
    std::vector<std::pair<uint32_t, std::string>> borrowed;  // (source entry, column list)
    for (size_t i = 0; i < items.size(); ++i) {
        if (!included[i] || !items[i].key_column || owns(mine, static_cast<int32_t>(i))) continue;
        const uint32_t source = marked_by(entry, static_cast<int32_t>(i), siblings);
        auto at = std::find_if(borrowed.begin(), borrowed.end(), [&](const auto& b) { return b.first == source; });
        if (at == borrowed.end()) at = borrowed.insert(borrowed.end(), {source, ""});
        at->second += (at->second.empty() ? "" : ", ") + items[i].name;
    }
    for (const auto& [source, columns] : borrowed)
        kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 1295,
                       {e.table_name, columns, entry_at(source)->table_name, e.def_name});
}

}  // namespace

void mark_file_keys(uint32_t entry_index, const std::string& keycols) {
    if (naming_deferred(*entry_at(entry_index))) {
        keys_of(entry_index).waiting = keycols;
        return;
    }
    mark_now(entry_index, keycols);
}

void mark_waiting_keys(const std::vector<column_entry>* fields) {
    for (uint32_t i = 0; i < keys().size(); ++i) {
        if (keys()[i].waiting.empty() || entry_at(i)->fields.get() != fields) continue;
        const std::string list = std::move(keys()[i].waiting);
        keys()[i].waiting.clear();
        mark_now(i, list);
    }
}

void warn_shared_key_marks() {
    const uint32_t count = TABUTL_arrayGetElements(def_table);
    for (uint32_t i = 0; i < count; ++i) {
        std::vector<uint32_t> siblings;
        for (uint32_t j = 0; j < count; ++j)
            if (entry_at(j)->fields == entry_at(i)->fields) siblings.push_back(j);
        if (siblings.size() > 1 && entry_at(i)->fields) warn_for(i, siblings);
    }
}

void warn_keys_not_columns() {
    for (uint32_t i = 0; i < keys().size(); ++i) {
        const def_entry& e = *entry_at(i);
        if (!e.fields || keys()[i].own.empty()) continue;
        const std::vector<char> included = columns_included(*e.fields);
        for (int32_t item : keys()[i].own)
            if (static_cast<size_t>(item) < included.size() && !included[static_cast<size_t>(item)])
                kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 1300,
                               {e.table_name, (*e.fields)[static_cast<size_t>(item)].name});
    }
}

void reset_file_keys() { keys().clear(); }
