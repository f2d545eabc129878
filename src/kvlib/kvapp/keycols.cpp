// keycols: key column lists of FILE commands. The marks go into the fields
// that an entry shares with its definition, so they accumulate over every
// FILE command made from that definition; nothing here clears a mark.
#include "kvapp/keycols.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kvlog/kvraise.h"
#include "kvstd/strutl.h"

static const kvModuleId kModule{"kvapp.cobdef", "$Id: keycols.cpp 1.0 tabcopy $"};

void CD_parse_keycols(const char* list, def_entry* entry) {
    const std::string text = kvUpshifted(list ? list : "");

    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ' || text[at] == ',') {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != ',') ++end;
        words.push_back(text.substr(at, end - at));
        at = end;
    }

    // One pass over the columns finds the first column of every listed
    // name; the table holds the few listed names, not the record's
    // (which may be a million columns long).
    constexpr size_t kNone = static_cast<size_t>(-1);
    std::unordered_map<std::string_view, size_t> first_of;
    for (const std::string& w : words) first_of.emplace(w, kNone);
    std::vector<column_entry>* columns = entry ? entry->fields.get() : nullptr;
    if (columns && !first_of.empty())
        for (size_t i = 0; i < columns->size(); ++i) {
            auto it = first_of.find((*columns)[i].name);
            if (it != first_of.end() && it->second == kNone) it->second = i;
        }

    int found = 0;
    for (const std::string& w : words) {
        size_t index = first_of[w];
        if (index == kNone) {
            kvRaiseMessage(KV_SITE_FN(kModule, "CD_parse_keycols"), 1242, {w});
            continue;
        }
        (*columns)[index].key_column = 1;
        ++found;
    }
    if (found == 0) kvRaiseMessage(KV_SITE_FN(kModule, "CD_parse_keycols"), 1243);
}
