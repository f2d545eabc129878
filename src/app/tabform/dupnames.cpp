// dupnames: reports and resolves repeated field names of a definition just
// before its columns are resolved. Only elementary items not named FILLER
// can become columns, so only they are compared and numbered; once renamed,
// their names are unique among them, and a later entry of the same
// definition finds nothing left to change.
#include "tabform/dupnames.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "kvapp/colnaming.h"
#include "kvapp/console.h"
#include "tabform/templ.h"

namespace {

bool eligible(const column_entry& c) { return c.elementary && c.name != "FILLER"; }

// Every later item of a repeated name is paired with the first eligible
// item of that name, in the order the first items come in the record.
void warn_repeated(const std::vector<column_entry>& items) {
    struct group {
        int32_t first = 0;
        std::vector<int32_t> later;
    };
    std::unordered_map<std::string, size_t> group_of;
    std::vector<group> groups;
    int32_t ordinal = 0;
    for (const column_entry& c : items) {
        if (!eligible(c)) continue;
        ++ordinal;
        auto [it, fresh] = group_of.try_emplace(c.name, groups.size());
        if (fresh)
            groups.push_back({ordinal, {}});
        else
            groups[it->second].later.push_back(ordinal);
    }
    std::vector<const std::string*> names(groups.size());
    for (const auto& [name, index] : group_of) names[index] = &name;
    for (size_t g = 0; g < groups.size(); ++g)
        for (int32_t later : groups[g].later)
            kvReportPrintf("Warning: redundant field name %s (%d, %d)\n", names[g]->c_str(),
                           groups[g].first, later);
}

// Letters for the k-th later duplicate under ALPHAINDEX: the first item of
// a name takes "_1", so the later ones count on from B, in bijective base
// 26 (B, C, ..., Z, AA, AB, ...). Every k gets a distinct suffix of letters
// only, which an SQL identifier may hold in any database and which cannot
// differ from another only in letter case.
void alpha_suffix(int32_t k, std::string& name) {
    if (k == 0) {
        name += "_1";
        return;
    }
    name += '_';
    name += kvLetterNumber(static_cast<int64_t>(k) + 1);
}

}  // namespace

void check_dup_fields(def_entry* entry, int32_t resolve_mode) {
    if (!entry || !entry->fields) return;
    std::vector<column_entry>& items = *entry->fields;
    for (column_entry& c : items) std::replace(c.name.begin(), c.name.end(), '-', '_');
    if (resolve_mode != kResolveDupIndex && resolve_mode != kResolveDupAlphaIndex) {
        warn_repeated(items);
        return;
    }
    suffix_renaming how;
    how.suffix = resolve_mode == kResolveDupIndex ? kvAppendIndexSuffix : alpha_suffix;
    how.renaming = [](int32_t, int32_t k, const std::string& base, const std::string&) {
        if (k == 0) kvReportPrintf("Changing redundant field names %s\n", base.c_str());
    };
    rename_repeated_names(items, how);
}

void check_dup_fields(def_entry* entry) {
    check_dup_fields(entry, templ_options.resolve_dup_columns);
}
