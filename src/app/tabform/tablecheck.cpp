// tablecheck: the template's limits on a table as a whole (MAXCOLUMNS,
// MAXNAMELENGTH, at least one column), and the column count of a record
// before the naming pass unrolls it.
//
// Invariants: the items are only read; each check is one pass over them
// and raises at most one message. The count follows the rule of
// columns_included (resolve.h) over the items the unrolling would make, in
// their order, without making them: a record's bytes fit 32 bits (the
// reader refuses larger ones), so neither its offsets nor its column count
// can overflow the 64-bit sums here.
#include "tabform/tablecheck.h"

#include <algorithm>
#include <climits>
#include <string>

#include "kvlog/kvraise.h"
#include "tabform/templ.h"

static const kvModuleId kModule{"tabform.main", "$Id: tablecheck.cpp 1.0 tabcopy $"};

namespace {

bool is_filler(const column_entry& item) { return item.name == "FILLER"; }

int32_t occurs_of(const column_entry& f) { return f.occurs > 1 ? f.occurs : 1; }

void check_column_count(const def_entry& entry, const std::vector<char>& included) {
    if (templ_options.max_columns <= 0) return;
    const int64_t count = std::count(included.begin(), included.end(), 1);
    if (count <= templ_options.max_columns) return;
    kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1258, {entry.table_name, count, templ_options.max_columns});
}

// A table without columns is refused by most databases (SQLite, MariaDB)
// and useless in the others.
void check_has_columns(const def_entry& entry, const std::vector<char>& included) {
    if (std::find(included.begin(), included.end(), 1) != included.end()) return;
    bool named = false;
    if (entry.fields)
        for (const column_entry& item : *entry.fields) named = named || (item.elementary && !is_filler(item));
    kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), named ? 1261 : 1260, {entry.table_name, entry.def_name});
}

// Names are measured as the database stores them, without the quotes
// QUOTENAMES may put around them.
void check_name_lengths(const def_entry& entry, const std::vector<char>& included) {
    const int64_t limit = templ_options.max_name_length;
    if (limit <= 0) return;
    const auto length = [](const std::string& name) { return static_cast<int64_t>(name.size()); };
    if (length(entry.table_name) > limit) {
        kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1262, {entry.table_name, length(entry.table_name), limit});
        return;
    }
    for (size_t i = 0; entry.fields && i < included.size(); ++i) {
        const std::string& name = (*entry.fields)[i].name;
        if (!included[i] || length(name) <= limit) continue;
        kvRaiseMessage(KV_SITE_FN(kModule, "resolve_params"), 1263, {name, entry.table_name, length(name), limit});
        return;
    }
}

// Counts the columns of the unrolled record on its fields as read. The
// items of an occurrence lie at the offsets of the first one plus a shift;
// an array's occurrences after those that lie (partly) within storage
// already covered all count alike, so one of them is walked and the rest
// multiplied.
class unrolled_counter {
public:
    unrolled_counter(const std::vector<column_entry>& fields, bool include_redefs)
        : f_(fields), end_(fields.size(), static_cast<int32_t>(fields.size())), reach_(fields.size(), kNone),
          include_redefs_(include_redefs) {
        find_subtrees();
        find_reaches();
    }

    int64_t count() { return f_.empty() ? 0 : level(0, f_[0].depth, 0); }

private:
    static constexpr int64_t kNone = INT64_MIN;

    void find_subtrees() {
        std::vector<int32_t> open;
        for (size_t i = 0; i < f_.size(); ++i) {
            while (!open.empty() && f_[static_cast<size_t>(open.back())].depth >= f_[i].depth) {
                end_[static_cast<size_t>(open.back())] = static_cast<int32_t>(i);
                open.pop_back();
            }
            open.push_back(static_cast<int32_t>(i));
        }
    }

    // reach_[i]: the end, relative to field i's offset, of the last byte an
    // elementary item of its first occurrence covers; kNone without one.
    void find_reaches() {
        std::vector<int64_t> extent(f_.size(), kNone);  // end over all occurrences, absolute
        for (size_t i = f_.size(); i-- > 0;) {
            const column_entry& f = f_[i];
            const int64_t repeat = static_cast<int64_t>(occurs_of(f) - 1) * CD_stored_size(f);
            int64_t last = kNone;
            if (f.elementary) {
                last = f.fetch_offset + static_cast<int64_t>(f.int_len);
            } else {
                for (size_t j = i + 1; j < static_cast<size_t>(end_[i]); j = static_cast<size_t>(end_[j]))
                    last = std::max(last, extent[j]);
            }
            if (last == kNone) continue;
            reach_[i] = last - f.fetch_offset;
            extent[i] = last + repeat;
        }
    }

    // The fields of depth `depth` under one parent occurrence, from `first`.
    int64_t level(size_t first, int32_t depth, int64_t shift) {
        int64_t total = 0;
        for (size_t i = first; i < f_.size() && f_[i].depth >= depth; i = static_cast<size_t>(end_[i]))
            if (f_[i].depth == depth) total += field(i, shift);
        return total;
    }

    bool has_subordinates(size_t i) const { return i + 1 < f_.size() && f_[i + 1].depth == f_[i].depth + 1; }

    // One elementary item at `offset`: whether it is a column; the storage
    // it covers counts whether or not it is.
    int64_t item(const column_entry& f, int64_t offset) {
        const bool column = !is_filler(f) && (include_redefs_ || offset >= covered_);
        covered_ = std::max(covered_, offset + f.int_len);
        return column ? 1 : 0;
    }

    // An elementary array: element k lies at base + k * stride, and is left
    // out exactly when it starts before the storage covered before the
    // array (the elements before it end before it starts).
    int64_t elements(const column_entry& f, int64_t base, int64_t n, int64_t stride) {
        int64_t first = 0;
        if (!include_redefs_ && covered_ > base) first = std::min(n, (covered_ - base + stride - 1) / stride);
        covered_ = std::max(covered_, base + (n - 1) * stride + f.int_len);
        return is_filler(f) ? 0 : n - first;
    }

    // A group array: occurrences wholly within covered storage give no
    // column and cover nothing new; those that start within it are walked;
    // from the first that starts beyond it on, each gives what it gives.
    int64_t occurrences(size_t i, int64_t shift, int64_t n, int64_t stride) {
        const column_entry& f = f_[i];
        const int64_t base = f.fetch_offset + shift;
        const int64_t reach = reach_[i];
        if (reach == kNone || !has_subordinates(i)) return 0;
        if (include_redefs_) return level(i + 1, f.depth + 1, shift) * n;
        int64_t k = 0;
        if (covered_ >= base + reach) k = std::min(n, (covered_ - base - reach) / stride + 1);
        int64_t total = 0;
        // An occurrence reaching beyond its stride (a larger redefinition
        // inside it) can reach into the next one: each is then walked.
        const bool alike = reach <= stride;
        for (; k < n && (!alike || base + k * stride < covered_); ++k)
            total += level(i + 1, f.depth + 1, shift + k * stride);
        if (k == n) return total;
        total += level(i + 1, f.depth + 1, shift + k * stride) * (n - k);
        covered_ = std::max(covered_, base + (n - 1) * stride + reach);
        return total;
    }

    int64_t field(size_t i, int64_t shift) {
        const column_entry& f = f_[i];
        const int64_t n = occurs_of(f);
        const int64_t base = f.fetch_offset + shift;
        const int64_t stride = CD_stored_size(f);
        if (f.elementary) return n == 1 ? item(f, base) : elements(f, base, n, std::max<int64_t>(stride, 1));
        if (n == 1) return has_subordinates(i) ? level(i + 1, f.depth + 1, shift) : 0;
        return occurrences(i, shift, n, std::max<int64_t>(stride, 1));
    }

    const std::vector<column_entry>& f_;
    std::vector<int32_t> end_;    // first index after each field's subordinates
    std::vector<int64_t> reach_;
    bool include_redefs_;
    int64_t covered_ = INT64_MIN;  // end of the furthest-reaching elementary item so far
};

// Whether some field overlays another by the rule the naming pass removes
// them by.
bool has_redefinitions(const std::vector<column_entry>& fields) {
    const std::vector<int32_t> redefined = CD_redefinitions(fields);
    return std::any_of(redefined.begin(), redefined.end(), [](int32_t r) { return r != 0; });
}

}  // namespace

void check_table(const def_entry& entry, const std::vector<char>& included) {
    check_column_count(entry, included);
    check_has_columns(entry, included);
    check_name_lengths(entry, included);
}

int64_t count_unrolled_columns(const cobol_def& def, bool include_redefs, bool omit_redefs) {
    if (!def.fields) return 0;
    if (omit_redefs && has_redefinitions(*def.fields)) return -1;
    return unrolled_counter(*def.fields, include_redefs).count();
}

int64_t count_unrolled_columns_at_most(const cobol_def& def) { return count_unrolled_columns(def, true, false); }
