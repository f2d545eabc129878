// colnaming_expand: the naming pass. Turns a closed definition's field list
// (arrays as single entries, COBOL names) into its column list: OCCURS
// unrolled into headers, elements and relocated subordinates, optional
// removal of redefinitions, optional duplicate resolution, hyphens for
// underscores.
//
// Invariants: the column list is a tree in record order at every step (a
// column at depth d > 0 is preceded by its parent at depth d - 1, and the
// columns in between are deeper than d - 1), so a parent index computed
// once stays valid while names change. Elementary columns never have
// subordinates and only they are renamed by the group-prefix step, so the
// prefixes it builds from enclosing columns do not change under it.
//
// Several steps are defined by comparing every column with every other one;
// each is done here with hash maps of names so that definitions of a
// hundred thousand columns are named in linear or N log N time, with the
// same results and the same printed lines.
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string_view>
#include <unordered_map>

#include "kvapp/cobdef.h"
#include "kvapp/colnaming.h"
#include "kvapp/colnaming_internal.h"
#include "kvapp/console_input.h"
#include "kvstd/fileutl.h"
#include "kvstd/memutl.h"
#include "kvstd/strutl.h"

namespace {

FILE* naming_in = nullptr;
FILE* naming_out = nullptr;

FILE* console_out() { return naming_out ? naming_out : kvConsoleStream(); }

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Lines are flushed before each question and at the end of the pass, not
// one by one: a large definition prints a line for each of its columns.
void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(console_out(), format, args);
    va_end(args);
}

// Type-ahead must not answer a question the operator has not seen yet. Only
// a terminal has type-ahead: redirected input is the answers themselves.
// The dialogue's answers come from the operator's console, shared with
// the interrupt question (console_input.h), unless a test gave a stream.
void discard_pending_input() {
    if (!naming_in) {
        kvConsoleDiscardInput();
        return;
    }
    const int fd = fileno(naming_in);
    if (fd >= 0 && isatty(fd)) tcflush(fd, TCIFLUSH);
    std::clearerr(naming_in);
}

bool read_answer(std::string& line) {
    if (naming_in) return kvReadLine(naming_in, line);
    return kvConsoleReadLine(line, SIZE_MAX);
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// A comparison of fixed length, which the compiler does inline: the
// unrolling asks it for every column it makes.
bool named_filler(const std::string& name) {
    return name.size() == 6 && std::memcmp(name.data(), "FILLER", 6) == 0;
}

bool eligible(const column_entry& c) { return c.elementary && !named_filler(c.name); }

// Parent index of every column (-1 for the record), from the depths.
std::vector<int32_t> parents_of(const std::vector<column_entry>& cols) {
    std::vector<int32_t> parent(cols.size(), -1);
    std::vector<int32_t> last_at_depth;
    for (size_t i = 0; i < cols.size(); ++i) {
        const int32_t depth = std::max<int32_t>(cols[i].depth, 0);
        if (depth > 0 && static_cast<size_t>(depth) <= last_at_depth.size())
            parent[i] = last_at_depth[depth - 1];
        last_at_depth.resize(static_cast<size_t>(depth) + 1, -1);
        last_at_depth[depth] = static_cast<int32_t>(i);
    }
    return parent;
}

std::string qualified_by_parents(const std::vector<column_entry>& cols,
                                 const std::vector<int32_t>& parent, int32_t index) {
    std::vector<int32_t> chain;
    for (int32_t p = parent[index]; p >= 0 && cols[p].depth >= 1; p = parent[p]) chain.push_back(p);
    std::string q;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) q += cols[*it].name + ".";
    return q + cols[index].name;
}

// Ancestor k levels up, -1 when k exceeds the depth.
int32_t ancestor(const std::vector<column_entry>& cols, const std::vector<int32_t>& parent,
                 int32_t index, int32_t k) {
    if (k > cols[index].depth) return -1;
    int32_t a = index;
    for (int32_t step = 0; step < k && a >= 0; ++step) a = parent[a];
    return a;
}

// ---- Unrolling ----

// A fill wider than this only pads zeros; an unbounded one (ZEROFILL has no
// upper limit) could exhaust memory on a large array. It is the longest
// name the field parser delivers.
constexpr int32_t kMaxSubscriptDigits = 199;

int32_t digit_count(int64_t n) {
    int32_t digits = 1;
    for (; n >= 10; n /= 10) ++digits;
    return digits;
}

// Digits a subscript of an array of `count` occurrences is written with.
int32_t subscript_width(int32_t count, const expand_options_t& opts) {
    const int32_t width = opts.zero_fill == -1 ? digit_count(count) : std::max(opts.zero_fill, 0);
    return std::min(width, kMaxSubscriptDigits);
}

// Appends the subscript of occurrence `number` (zero-filled to `width`
// digits) to a name: the pass writes one for every column of an array, so
// the digits go straight into the name.
void append_subscript(std::string& name, int32_t number, int32_t width, const expand_options_t& opts) {
    char text[16];
    char* const end = text + sizeof text;
    char* at = end;
    uint32_t rest = static_cast<uint32_t>(number);
    do {
        *--at = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    const size_t digits = static_cast<size_t>(end - at);
    switch (opts.style) {
        case 1: name += '['; break;
        case 2: name += '_'; break;
        case 4: name.append("__", 2); break;
        default: name += '-'; break;
    }
    if (digits < static_cast<size_t>(width)) name.append(static_cast<size_t>(width) - digits, '0');
    name.append(at, digits);
    if (opts.style == 1) name += ']';
}

int32_t occurs_of(const column_entry& f) { return f.occurs > 1 ? f.occurs : 1; }

struct unroller {
    const std::vector<column_entry>& old;
    const std::vector<int32_t>& subtree_end;  // first index after each field's subordinates
    const expand_options_t& opts;
    std::vector<column_entry>& out;
    struct array_state {
        int32_t count = 1;
        int32_t current = 1;
        int32_t width = 1;  // of its subscripts
    };
    std::vector<array_state> state;  // by depth

    // Appends the subscripts to a column copied from its field (and so
    // already named as the field); a FILLER stays FILLER.
    void name_entry(column_entry& e, bool filler, int32_t depth, bool element) {
        if (filler) return;
        const int32_t from = opts.expand_group_arrays ? 1 : depth;
        for (int32_t d = from; d <= depth; ++d) {
            const array_state& s = state[d];
            if (s.count <= 1) continue;
            if (d == depth && !element) break;
            append_subscript(e.name, s.current, s.width, opts);
        }
    }

    // The fields sharing a parent, from `first`, at `depth`; a and b are the
    // parent's old and new offsets.
    void level(size_t first, int32_t depth, int64_t a, int64_t b) {
        if (state.size() <= static_cast<size_t>(depth)) state.resize(static_cast<size_t>(depth) + 1);
        for (size_t i = first; i < old.size() && old[i].depth >= depth; i = subtree_end[i]) {
            if (old[i].depth != depth) continue;
            const column_entry& f = old[i];
            const int32_t n = occurs_of(f);
            const bool has_subordinates = i + 1 < old.size() && old[i + 1].depth == depth + 1;

            const bool filler = named_filler(f.name);
            // Each column is copied from its field in place, then adjusted.
            out.push_back(f);
            column_entry& plain = out.back();
            plain.fetch_offset = static_cast<int32_t>(f.fetch_offset - a + b);
            plain.occurs = 1;
            if (n > 1) {
                plain.elementary = 0;
                plain.data_type = 0;
                const int32_t span = static_cast<int32_t>(n * CD_stored_size(f));
                plain.int_len = plain.bin_len = plain.tbl_len = span;
            }
            state[depth] = {n, 1, subscript_width(n, opts)};
            name_entry(plain, filler, depth, false);
            const int64_t plain_offset = plain.fetch_offset;

            for (int32_t occ = 0; occ < n; ++occ) {
                int64_t produced_offset = plain_offset;
                if (n > 1) {
                    produced_offset = plain_offset + occ * CD_stored_size(f);
                    state[depth].current = occ + 1;
                    out.push_back(f);
                    column_entry& element = out.back();
                    element.occurs = 1;
                    element.fetch_offset = static_cast<int32_t>(produced_offset);
                    name_entry(element, filler, depth, true);
                }
                if (has_subordinates) level(i + 1, depth + 1, f.fetch_offset, produced_offset);
            }
        }
    }
};

std::vector<int32_t> subtree_ends(const std::vector<column_entry>& cols) {
    std::vector<int32_t> end(cols.size(), static_cast<int32_t>(cols.size()));
    std::vector<int32_t> open;  // fields whose subordinates may continue
    for (size_t i = 0; i < cols.size(); ++i) {
        while (!open.empty() && cols[open.back()].depth >= cols[i].depth) {
            end[open.back()] = static_cast<int32_t>(i);
            open.pop_back();
        }
        open.push_back(static_cast<int32_t>(i));
    }
    return end;
}

// ---- Duplicate suffixes ----

// A, B, ... Z, then the characters after Z up to "~". Further on the
// character set has no printable characters left (and a char would wrap to
// NUL, cutting the name), so the suffixes continue with two and more
// letters, AA, AB, ..., which cannot repeat a single-character one.
void letter_suffix(int32_t k, std::string& name) {
    name += '_';
    if (k <= '~' - 'A')
        name += static_cast<char>('A' + k);
    else
        name += kvLetterNumber(static_cast<int64_t>(k) - ('~' - 'A' + 1) + 27);
}

// The "Changing <qualified name> to <new name>" line of each column the
// numbered renaming changes, written before the change. The qualified name
// is the parent's prefix (the names of the enclosing columns from depth 1
// down, each followed by a period) and the column's own name. The renaming
// goes name by name, so consecutive lines are for columns far apart: each
// parent's prefix is built once and kept. Renaming a column that has
// subordinates changes the prefixes below it, and every prefix is then
// built again when next needed. Names hold no NUL (the reader's name
// characters and the suffixes), so their bytes are what "%s" wrote.
//
// The lines go to the console 64 KB at a time, and the rest when the
// renaming is over (flush): nothing else writes there meanwhile, and a
// million columns make a million lines.
class change_lines {
public:
    explicit change_lines(const std::vector<column_entry>& cols)
        : cols_(cols), parent_(parents_of(cols)), memo_(cols.size(), 0), out_(console_out()) {}
    ~change_lines() { flush(); }

    void write(int32_t index, const std::string& name) {
        const span above = prefix(parent_[index]);
        const std::string& old = cols_[index].name;
        const size_t length = kLead.size() + above.length + old.size() + 4 + name.size() + 1;
        // The buffer only grows: the pieces are copied in behind what is held.
        if (lines_.size() < held_ + length) lines_.resize(std::max(held_ + length, kChunk + length));
        char* at = lines_.data() + held_;
        at = put(at, kLead.data(), kLead.size());
        at = put(at, prefix_text_.data() + above.start, above.length);
        at = put(at, old.data(), old.size());
        at = put(at, " to ", 4);
        at = put(at, name.data(), name.size());
        *at = '\n';
        held_ += length;
        if (held_ >= kChunk) flush();
        const size_t next = static_cast<size_t>(index) + 1;
        if (next < cols_.size() && cols_[next].depth > cols_[index].depth) {
            spans_.clear();
            prefix_text_.clear();
        }
    }

    void flush() {
        if (held_ > 0) std::fwrite(lines_.data(), 1, held_, out_);
        held_ = 0;
    }

private:
    static constexpr std::string_view kLead = "Changing ";
    static constexpr size_t kChunk = 64 * 1024;

    static char* put(char* at, const char* text, size_t length) {
        std::memcpy(at, text, length);
        return at + length;
    }

    struct span {
        size_t start = 0;
        size_t length = 0;
        int32_t owner = -1;
    };

    // The prefix of the columns under p: empty for the record (or none).
    span prefix(int32_t p) {
        if (p < 0 || cols_[p].depth < 1) return {};
        const uint32_t m = memo_[p];
        if (m != 0 && m <= spans_.size() && spans_[m - 1].owner == p) return spans_[m - 1];
        return build(p);
    }

    // Kept out of line, so that the lookup above stays small enough to
    // go inline into every line written.
    __attribute__((noinline)) span build(int32_t p) {
        const span above = prefix(parent_[p]);
        const span mine{prefix_text_.size(), above.length + cols_[p].name.size() + 1, p};
        // Appending a part of the string to itself is safe (the old text
        // stays until the new one is copied).
        prefix_text_.append(prefix_text_, above.start, above.length);
        prefix_text_.append(cols_[p].name) += '.';
        spans_.push_back(mine);
        memo_[p] = static_cast<uint32_t>(spans_.size());
        return mine;
    }

    const std::vector<column_entry>& cols_;
    const std::vector<int32_t> parent_;
    // By column: 1 + its entry in spans_ when it was built; an entry that
    // a rebuild gave to another column does not count.
    std::vector<uint32_t> memo_;
    std::vector<span> spans_;
    std::string prefix_text_;  // the prefixes built since the last change
    std::string lines_;        // the lines not written yet: its first held_ bytes
    size_t held_ = 0;
    FILE* out_;
};

// ---- Group prefixes ----

class group_renamer {
public:
    group_renamer(cobol_def& def, const expand_options_t& opts)
        : cols_(*def.fields), opts_(opts), parent_(parents_of(cols_)) {
        sep_ = opts.style == 3 ? "-" : opts.style == 4 ? "__" : "_";
        by_name_.reserve(cols_.size());
        for (size_t i = 0; i < cols_.size(); ++i)
            if (eligible(cols_[i])) by_name_[cols_[i].name].insert(static_cast<int32_t>(i));
    }

    void run() {
        for (int32_t i = 0; i < static_cast<int32_t>(cols_.size()); ++i) {
            if (!eligible(cols_[i])) continue;
            if (by_name_[cols_[i].name].size() < 2) continue;
            const int32_t k = unique_level(i);
            if (k == 0) {
                say("Could not resolve duplicate field name %s\n", cols_[i].name.c_str());
                continue;
            }
            std::vector<int32_t> targets{i};
            for (int32_t j : by_name_[cols_[i].name])
                if (j != i) targets.push_back(j);
            for (int32_t c : targets) {
                const int32_t a = ancestor(cols_, parent_, c, k);
                // A shallower duplicate has no prefix at this level; it keeps
                // its name rather than take one from another level.
                if (a < 0) continue;
                std::string name = cols_[a].name + sep_ + cols_[c].name;
                name = fix_long(c, name);
                say("Changing %s to %s\n", qualified_by_parents(cols_, parent_, c).c_str(),
                    name.c_str());
                rename(c, name);
            }
        }
    }

private:
    std::string candidate(int32_t c, int32_t k) const {
        return cols_[ancestor(cols_, parent_, c, k)].name + sep_ + cols_[c].name;
    }

    // Candidate counts of every eligible column at level k, built when a
    // level is first needed and kept current by rename().
    std::unordered_map<std::string, int32_t>& candidates(int32_t k) {
        if (by_level_.size() <= static_cast<size_t>(k)) by_level_.resize(static_cast<size_t>(k) + 1);
        if (!by_level_[k]) {
            by_level_[k] = std::make_unique<std::unordered_map<std::string, int32_t>>();
            by_level_[k]->reserve(cols_.size() * 2);
            for (int32_t c = 0; c < static_cast<int32_t>(cols_.size()); ++c)
                if (eligible(cols_[c]) && cols_[c].depth >= k) ++(*by_level_[k])[candidate(c, k)];
        }
        return *by_level_[k];
    }

    // The first level whose prefix sets column i apart from every other
    // eligible column; 0 when none does.
    int32_t unique_level(int32_t i) {
        for (int32_t k = 1; k <= cols_[i].depth; ++k) {
            const auto& counts = candidates(k);
            auto it = counts.find(candidate(i, k));
            if (it == counts.end() || it->second <= 1) return k;
        }
        return 0;
    }

    void forget(int32_t c) {
        if (!eligible(cols_[c])) return;
        auto named = by_name_.find(cols_[c].name);
        named->second.erase(c);
        if (named->second.empty()) by_name_.erase(named);
        for (size_t k = 1; k < by_level_.size(); ++k) {
            if (!by_level_[k] || cols_[c].depth < static_cast<int32_t>(k)) continue;
            auto it = by_level_[k]->find(candidate(c, static_cast<int32_t>(k)));
            if (--it->second == 0) by_level_[k]->erase(it);
        }
    }

    void remember(int32_t c) {
        if (!eligible(cols_[c])) return;
        by_name_[cols_[c].name].insert(c);
        for (size_t k = 1; k < by_level_.size(); ++k)
            if (by_level_[k] && cols_[c].depth >= static_cast<int32_t>(k))
                ++(*by_level_[k])[candidate(c, static_cast<int32_t>(k))];
    }

    void rename(int32_t c, const std::string& name) {
        forget(c);
        cols_[c].name = name;
        remember(c);
    }

    std::string fix_long(int32_t c, const std::string& name);

    std::vector<column_entry>& cols_;
    const expand_options_t& opts_;
    std::vector<int32_t> parent_;
    std::string sep_;
    std::unordered_map<std::string, std::set<int32_t>> by_name_;
    std::vector<std::unique_ptr<std::unordered_map<std::string, int32_t>>> by_level_;
};

bool too_long(const std::string& name, const expand_options_t& opts) {
    return static_cast<int64_t>(name.size()) > opts.max_col_name_len;
}

// The dialogue for one too-long name; `qualified` names the column.
std::string ask_for_name(const std::string& qualified, std::string name,
                         const expand_options_t& opts) {
    for (;;) {
        say("\nColumn name exceeds maximum length (changing %s to %s)\n", qualified.c_str(),
            name.c_str());
        if (!opts.fix_long_names) return name;
        for (;;) {
            discard_pending_input();
            say("Enter new column name: ");
            std::fflush(console_out());
            std::string line;
            if (!read_answer(line)) {
                say("Keeping created name.\n");
                return name;
            }
            line = kvUpshifted(std::move(line));
            const bool has_end = !line.empty() && line.back() == '\n';
            if (has_end) line.pop_back();
            // Answers typed on a Windows console or saved with CR LF end
            // in CR LF; the CR is part of the line end, not of the name.
            if (has_end && !line.empty() && line.back() == '\r') line.pop_back();
            size_t start = 0;
            while (start < line.size() && is_blank(line[start])) ++start;
            if (!has_end && start == line.size()) continue;
            const std::string answer = line.substr(start);
            // EXIT keeps the name under discussion, the one just reported.
            if (answer == "EXIT" || answer == "E") return name;
            size_t end = 0;
            while (end < answer.size() && !is_blank(answer[end])) ++end;
            if (end > 0) name = answer.substr(0, end);
            if (too_long(name, opts)) break;
            return name;
        }
    }
}

std::string group_renamer::fix_long(int32_t c, const std::string& name) {
    if (!too_long(name, opts_)) return name;
    return ask_for_name(qualified_by_parents(cols_, parent_, c), name, opts_);
}

}  // namespace

std::string kvLetterNumber(int64_t n) {
    std::string letters;
    while (n > 0) {
        --n;
        letters.insert(letters.begin(), static_cast<char>('A' + n % 26));
        n /= 26;
    }
    return letters;
}

void set_naming_console(FILE* in, FILE* out) {
    naming_in = in;
    naming_out = out;
}

int64_t count_expanded_columns(const cobol_def& def) {
    if (!def.fields) return 0;
    const std::vector<column_entry>& cols = *def.fields;
    // enclosing[d]: product of the occurs of the fields enclosing depth d.
    std::vector<int64_t> enclosing{1};
    int64_t total = 0;
    for (const column_entry& f : cols) {
        const size_t depth = static_cast<size_t>(std::max<int32_t>(f.depth, 0));
        if (enclosing.size() < depth + 1) enclosing.resize(depth + 1, enclosing.back());
        const int64_t times = enclosing[depth];
        const int64_t n = occurs_of(f);
        total += (n > 1 ? n + 1 : 1) * times;
        enclosing.resize(depth + 2);
        enclosing[depth + 1] = times * n;
    }
    return total;
}

void expand_columns(cobol_def* def, const expand_options_t& opts) {
    if (!def || !def->fields || opts.style == 0) return;
    std::vector<column_entry>& old = *def->fields;
    if (old.empty()) return;
    const int64_t count = count_expanded_columns(*def);
    if (count > INT32_MAX) {
        say("Definition %s not expanded: %lld columns exceed the limit of %d\n",
            def->def_name.c_str(), static_cast<long long>(count), INT32_MAX);
        std::fflush(console_out());
        return;
    }
    // The record as closed stays for child tables, made from its arrays.
    if (!def->closed) def->closed = std::make_shared<const std::vector<column_entry>>(old);
    std::vector<column_entry> columns;
    columns.reserve(static_cast<size_t>(count));
    kvAdviseHugePages(columns.data(), columns.capacity() * sizeof(column_entry));
    const std::vector<int32_t> ends = subtree_ends(old);
    unroller u{old, ends, opts, columns, {}};
    u.level(0, old[0].depth, 0, 0);
    old = std::move(columns);
    def->field_count = static_cast<int32_t>(old.size());

    if (opts.omit_redefs == 1) omit_redefines(*def);
    if (opts.resolve_dups == 1 || opts.resolve_dups == 2)
        resolve_dups_by_index(*def, opts);
    else if (opts.resolve_dups == 3)
        resolve_dups_by_group(*def, opts);
    dash_names(*def);
    std::fflush(console_out());
}

void expand_columns(cobol_def* def) {
    if (!expand_options) return;
    expand_columns(def, *expand_options);
}

std::string qualified_name(const cobol_def& def, int32_t index) {
    if (!def.fields || index < 0 || index >= static_cast<int32_t>(def.fields->size())) return "";
    const std::vector<column_entry>& cols = *def.fields;
    std::string q = cols[index].name;
    int32_t depth = cols[index].depth;
    for (int32_t j = index - 1; j >= 0 && depth > 1; --j) {
        if (cols[j].depth != depth - 1) continue;
        q = cols[j].name + "." + q;
        depth = cols[j].depth;
    }
    return q;
}

void omit_redefines(cobol_def& def) {
    if (!def.fields) return;
    std::vector<column_entry>& cols = *def.fields;
    std::vector<column_entry> kept;
    kept.reserve(cols.size());
    // The rule applies to the columns kept: a dropped column redefines
    // nothing that follows it.
    cd_redefinition_finder redefinitions;
    std::vector<int32_t> path;  // kept index of the latest column per depth
    size_t i = 0;
    while (i < cols.size()) {
        column_entry& c = cols[i];
        const int32_t depth = std::max<int32_t>(c.depth, 0);
        const int32_t index = static_cast<int32_t>(kept.size());
        if (redefinitions.add(kept.empty() ? nullptr : &kept.back(), c, index) != 0) {
            std::string q;
            for (int32_t d = 1; d < depth && static_cast<size_t>(d) < path.size(); ++d)
                q += kept[path[d]].name + ".";
            say("Eliminating redefines field %s\n", (q + c.name).c_str());
            size_t next = i + 1;
            while (next < cols.size() && cols[next].depth > c.depth) ++next;
            i = next;
            continue;
        }
        path.resize(static_cast<size_t>(depth) + 1, -1);
        path[depth] = index;
        kept.push_back(std::move(c));
        ++i;
    }
    cols = std::move(kept);
    def.field_count = static_cast<int32_t>(cols.size());
}

void resolve_dups_by_index(cobol_def& def, const expand_options_t& opts) {
    if (!def.fields) return;
    std::vector<column_entry>& cols = *def.fields;
    change_lines lines(cols);
    suffix_renaming how;
    how.suffix = opts.resolve_dups == 2 ? letter_suffix : kvAppendIndexSuffix;
    how.renaming = [&](int32_t index, int32_t, const std::string&, const std::string& name) {
        lines.write(index, name);
    };
    rename_repeated_names(cols, how);
    lines.flush();
}

void resolve_dups_by_group(cobol_def& def, const expand_options_t& opts) {
    if (!def.fields) return;
    group_renamer(def, opts).run();
}

std::string fix_long_name(const cobol_def& def, int32_t index, const std::string& new_name,
                          const expand_options_t& opts) {
    if (!too_long(new_name, opts)) return new_name;
    return ask_for_name(qualified_name(def, index), new_name, opts);
}

void dash_names(cobol_def& def) {
    if (!def.fields) return;
    for (column_entry& c : *def.fields) std::replace(c.name.begin(), c.name.end(), '_', '-');
}
