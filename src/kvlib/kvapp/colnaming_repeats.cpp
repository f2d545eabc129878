// colnaming_repeats: suffix renaming of repeated names (colnaming.h), for
// the naming pass and for the redundant-name check before the DDL.
//
// The names go into one name table (kvstd/nametab.h); a column holds the
// id of its current name, and the columns of each name form an ascending
// list linked through the columns. A rename unlinks the column from one
// list and links it into another; a new name is copied once, into the
// table, and nothing is allocated per column. Definitions run to a million
// columns with a few dozen distinct names, renamed one pass after another.
#include <string_view>

#include "kvapp/cobdef.h"
#include "kvapp/colnaming.h"
#include "kvstd/nametab.h"

namespace {

bool is_filler(std::string_view name) { return name == "FILLER"; }

bool eligible(const column_entry& c) { return c.elementary && !is_filler(c.name); }

// Whether an eligible column's name recurs within the first columns: before
// renaming, the fields of an array's first element recur in its second,
// and the answer comes without a pass over the whole list.
bool repeated_near_start(const std::vector<column_entry>& cols) {
    constexpr size_t kNear = 1024;
    kv_name_table names(64);
    std::vector<char> eligible_seen;  // by name id
    for (size_t i = 0; i < cols.size() && i < kNear; ++i) {
        const size_t id = static_cast<size_t>(names.intern(cols[i].name));
        if (id == eligible_seen.size()) eligible_seen.push_back(0);
        if (eligible_seen[id]) return true;
        if (eligible(cols[i])) eligible_seen[id] = 1;
    }
    return false;
}

// Whether a pass would rename anything: some eligible column's name recurs
// in a later column. `eligible_seen[f]`: an eligible column of the name
// first held at f has come.
bool any_repeated(const std::vector<column_entry>& cols) {
    if (repeated_near_start(cols)) return true;
    const std::vector<int32_t> first =
        kvFirstHolders(cols.size(), [&](size_t i) { return std::string_view(cols[i].name); });
    std::vector<char> eligible_seen(cols.size(), 0);
    for (size_t i = 0; i < cols.size(); ++i) {
        const size_t f = static_cast<size_t>(first[i]);
        if (f != i && eligible_seen[f]) return true;
        if (eligible(cols[i])) eligible_seen[f] = 1;
    }
    return false;
}

class repeat_renamer {
public:
    repeat_renamer(std::vector<column_entry>& cols, const suffix_renaming& how)
        : cols_(cols), how_(how), names_(cols.size()), id_(cols.size()), next_(cols.size(), -1) {
        // Reserved, not written: a definition whose names are all renamed
        // once needs about twice as many names as columns, and a vector
        // that outgrew its room would hold the old and the new at once.
        head_.reserve(2 * cols.size() + 1);
        tail_.reserve(2 * cols.size() + 1);
        filler_ = intern("FILLER");
        for (size_t i = 0; i < cols.size(); ++i) {
            id_[i] = intern(cols[i].name);
            hold(static_cast<int32_t>(i));
        }
    }

    // One pass; true when it renamed a column.
    bool pass() {
        bool renamed = false;
        for (int32_t i = 0; i < static_cast<int32_t>(cols_.size()); ++i) {
            // Only an elementary column not named FILLER has its repeats renamed.
            if (!cols_[i].elementary || id_[i] == filler_) continue;
            const int32_t later = next_[i];
            if (later < 0) continue;  // the last of its name
            release(i);
            base_.assign(names_.name(id_[i]));
            chain_.clear();
            for (int32_t c = i; c >= 0; c = next_[c]) chain_.push_back(c);
            rename_chain();
            renamed = true;
        }
        return renamed;
    }

private:
    static constexpr size_t kAhead = 16;
    struct pending {
        std::string name;
        uint64_t hash = 0;
    };

    int32_t intern(std::string_view name) { return intern(name, kvNameHash(name)); }
    int32_t intern(std::string_view name, uint64_t hash) {
        const int32_t id = names_.intern(name, hash);
        if (static_cast<size_t>(id) == head_.size()) {
            head_.push_back(-1);
            tail_.push_back(-1);
        }
        return id;
    }

    // Links column c into the list of its name, in column order. A renamed
    // column almost always comes after every holder of its new name.
    void hold(int32_t c) {
        const int32_t id = id_[c];
        const int32_t tail = tail_[id];
        if (tail < c) {
            next_[c] = -1;
            if (tail < 0)
                head_[id] = c;
            else
                next_[tail] = c;
            tail_[id] = c;
            return;
        }
        int32_t* link = &head_[id];
        while (*link < c) link = &next_[*link];
        next_[c] = *link;
        *link = c;
    }

    // Unlinks column i and every later holder of its name (all about to be
    // renamed): the list ends at i's predecessor.
    void release(int32_t i) {
        const int32_t id = id_[i];
        if (head_[id] == i) {
            head_[id] = tail_[id] = -1;
            return;
        }
        int32_t p = head_[id];
        while (next_[p] != i) p = next_[p];
        next_[p] = -1;
        tail_[id] = p;
    }

    // Renames the columns of chain_, the k-th to base_ + suffix(k). A
    // million new names make a name table far larger than the caches: each
    // name is made kAhead columns before it is given, and its slot fetched
    // from memory meanwhile.
    void rename_chain() {
        const auto prepare = [&](size_t k) {
            if (k >= chain_.size()) return;
            pending& p = ahead_[k % kAhead];
            p.name.assign(base_);
            how_.suffix(static_cast<int32_t>(k), p.name);
            p.hash = kvNameHash(p.name);
            names_.prefetch(p.hash);
            __builtin_prefetch(&cols_[static_cast<size_t>(chain_[k])]);
        };
        for (size_t k = 0; k < kAhead; ++k) prepare(k);
        for (size_t k = 0; k < chain_.size(); ++k) {
            rename(chain_[k], static_cast<int32_t>(k), ahead_[k % kAhead]);
            prepare(k + kAhead);
        }
    }

    void rename(int32_t c, int32_t k, const pending& to) {
        if (how_.renaming) how_.renaming(c, k, base_, to.name);
        id_[c] = intern(to.name, to.hash);
        hold(c);
        cols_[c].name = to.name;
    }

    std::vector<column_entry>& cols_;
    const suffix_renaming& how_;
    kv_name_table names_;
    int32_t filler_ = -1;
    std::vector<int32_t> id_;    // by column: its name
    std::vector<int32_t> next_;  // by column: the next holder of its name, -1 at the end
    std::vector<int32_t> head_;  // by name: its first holder, -1 for none
    std::vector<int32_t> tail_;  // by name: its last holder, -1 for none
    std::string base_;           // the name being resolved
    std::vector<int32_t> chain_;  // the columns being renamed, in order
    pending ahead_[kAhead];       // the names of chain_[k] to chain_[k + kAhead - 1]
};

}  // namespace

void kvAppendIndexSuffix(int32_t k, std::string& name) {
    // Written backwards into a buffer and appended in one piece: this runs
    // once for every column renamed.
    char text[16];
    char* const end = text + sizeof text;
    char* at = end;
    uint32_t number = static_cast<uint32_t>(k) + 1;
    do {
        *--at = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    *--at = '_';
    name.append(at, static_cast<size_t>(end - at));
}

void rename_repeated_names(std::vector<column_entry>& cols, const suffix_renaming& how) {
    if (!any_repeated(cols)) return;
    repeat_renamer renamer(cols, how);
    while (renamer.pass()) {
    }
}
