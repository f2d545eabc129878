// keycols: key column lists of FILE commands. The marks go into the fields
// that an entry shares with its definition, so they accumulate over every
// FILE command made from that definition; nothing here clears a mark.
#include "kvapp/keycols.h"

#include <cctype>
#include <string>
#include <string_view>
#include <unordered_map>

#include "kvlog/kvraise.h"

static const kvModuleId kModule{"kvapp.cobdef", "$Id: keycols.cpp 1.0 tabcopy $"};

void CD_parse_keycols(const char* list, def_entry* entry) {
    std::string text = list ? list : "";
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    // The first column of each name, so a long list costs one pass over
    // the columns and not one per word.
    std::unordered_map<std::string_view, size_t> first_of;
    std::vector<column_entry>* columns = entry ? entry->fields.get() : nullptr;
    if (columns)
        for (size_t i = 0; i < columns->size(); ++i) first_of.try_emplace((*columns)[i].name, i);

    int found = 0;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ' || text[at] == ',') {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != ',') ++end;
        const std::string word = text.substr(at, end - at);
        at = end;
        auto it = first_of.find(word);
        if (it == first_of.end()) {
            kvRaiseMessage(KV_SITE_FN(kModule, "CD_parse_keycols"), 1242, {word});
            continue;
        }
        (*columns)[it->second].key_column = 1;
        ++found;
    }
    if (found == 0) kvRaiseMessage(KV_SITE_FN(kModule, "CD_parse_keycols"), 1243);
}
