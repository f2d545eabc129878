// keycols: key column lists of FILE commands. The marks go into the fields
// that an entry shares with its definition, so they accumulate over every
// FILE command made from that definition; nothing here clears a mark.
#include "kvapp/keycols.h"

#include <string>
#include <vector>

#include "kvlog/kvraise.h"
#include "kvstd/strutl.h"

static const kvModuleId kModule{"kvapp.cobdef", "$Id: keycols.cpp 1.0 tabcopy $"};

std::vector<int32_t> CD_parse_keycols(const char* list, def_entry* entry) {
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
    // name. The list is a few words and the record may be a million
    // columns long: each name is compared with the words still unmatched
    // (most differ in length), and the pass ends once every word has its
    // column, with no table of the record's names built for it.
    constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<size_t> first(words.size(), kNone);
    size_t unmatched = words.size();
    const std::vector<column_entry>* columns = entry ? entry->fields.get() : nullptr;
    for (size_t i = 0; columns && i < columns->size() && unmatched > 0; ++i) {
        const std::string& name = (*columns)[i].name;
        for (size_t w = 0; w < words.size(); ++w)
            if (first[w] == kNone && words[w] == name) {
                first[w] = i;
                --unmatched;
            }
    }

    std::vector<int32_t> marked;
    for (size_t w = 0; w < words.size(); ++w) {
        if (first[w] == kNone) {
            kvRaiseMessage(KV_SITE_FN(kModule, "CD_parse_keycols"), 1242, {words[w]});
            continue;
        }
        (*entry->fields)[first[w]].key_column = 1;
        marked.push_back(static_cast<int32_t>(first[w]));
    }
    if (marked.empty()) kvRaiseMessage(KV_SITE_FN(kModule, "CD_parse_keycols"), 1243);
    return marked;
}
