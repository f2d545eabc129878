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

uint32_t upper(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }

// Whether a pass would rename anything: some eligible column's name recurs
// in a later column. One lookup per column in a table of column indexes
// (the names stay where they are); a name's slot holds its first eligible
// column once it has one, else its first column.
bool any_repeated(const std::vector<column_entry>& cols) {
    size_t capacity = 16;
    while (capacity < cols.size() * 2) capacity *= 2;
    const size_t mask = capacity - 1;
    kv_zeroed_slots slots(capacity);  // (upper hash << 32) | (index + 1)
    for (size_t i = 0; i < cols.size(); ++i) {
        const uint32_t key = upper(kvNameHash(cols[i].name));
        for (size_t at = key & mask;; at = (at + 1) & mask) {
            const uint64_t slot = slots[at];
            const uint64_t mine = (static_cast<uint64_t>(key) << 32) | (i + 1);
            if (slot == 0) {
                slots[at] = mine;
                break;
            }
            const size_t j = static_cast<uint32_t>(slot) - 1;
            if (upper(slot) != key || cols[j].name != cols[i].name) continue;
            if (eligible(cols[j])) return true;
            if (eligible(cols[i])) slots[at] = mine;
            break;
        }
    }
    return false;
}

class repeat_renamer {
public:
    repeat_renamer(std::vector<column_entry>& cols, const suffix_renaming& how)
        : cols_(cols), how_(how), names_(cols.size()), id_(cols.size()), next_(cols.size(), -1) {
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
            name_.assign(base_);
            rename(i, 0);
            int32_t k = 1;
            for (int32_t c = later; c >= 0; ++k) {
                const int32_t following = next_[c];
                rename(c, k);
                c = following;
            }
            renamed = true;
        }
        return renamed;
    }

private:
    int32_t intern(std::string_view name) {
        const int32_t id = names_.intern(name);
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

    void rename(int32_t c, int32_t k) {
        name_.resize(base_.size());  // the base stays, the suffix goes
        how_.suffix(k, name_);
        if (how_.renaming) how_.renaming(c, k, base_, name_);
        id_[c] = intern(name_);
        hold(c);
        cols_[c].name = name_;
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
    std::string name_;           // the new name being given
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
