// colnaming: the column-naming option record and the naming pass. The
// pass's steps and its console seam are in colnaming_internal.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct cobol_def;
struct column_entry;

struct expand_options_t {
    int32_t style;                // 0 none, 1 brackets, 2 underscore, 3 dash, 4 two underscores
    int32_t zero_fill;            // subscript digits; -1: as many as the occurrence count has
    int32_t expand_group_arrays;  // 1: columns carry the subscripts of enclosing arrays
    int32_t resolve_dups;         // 0 none, 1 number, 2 letter, 3 group-name prefix
    int32_t report;               // always 1
    int32_t omit_redefs;          // 1: redefining columns are removed
    int32_t fix_long_names;       // 1: ask for a shorter group-prefixed name
    int32_t max_col_name_len;     // longest group-prefixed name
};

// The run's option record; null when it could not be allocated, and the
// naming pass is then skipped.
extern expand_options_t* expand_options;

// Allocates expand_options with the defaults 3, 1, 0, 0, 1, 0, 1, 30.
void create_expand_options();

// Applies the option words of an EXPANDDDL command (its first word is the
// keyword) to expand_options. Returns 1, or 0 with `error` set; options
// before the failing word stay applied. Without an option record the words
// are still checked.
int parse_expand_options(std::string& error, const std::string& command);

// The naming pass over one definition's fields, with the run's options.
// After it (any style but 0) every entry has occurs 1 and owns its name;
// `redefines_before_naming` is left as the field had it and no longer
// indexes the list: use CD_redefinitions.
void expand_columns(cobol_def* def);
// The pass with explicit options (those in force when the definition was
// read, for a pass run later); does nothing when style is 0.
void expand_columns(cobol_def* def, const expand_options_t& opts);
// The entries the pass makes of `def`: one per occurrence of every field,
// groups and FILLER items too, each array's own entry besides. Linear in
// the fields as read; what the pass's storage grows with.
int64_t count_expanded_columns(const cobol_def& def);

// Suffix renaming of repeated names, shared with the redundant-name check
// of the DDL side. Repeats passes until one renames nothing: in a pass, an
// elementary column not named FILLER whose name recurs in later columns (of
// any kind) becomes base + suffix(0) and the k-th later one base +
// suffix(k). `suffix` appends the k-th suffix to the name it is given.
// `renaming` (may be empty) is told of each change before it is made, while
// the column still has its old name. Columns whose names are already
// unique in this sense cost one hash lookup each and nothing more.
struct suffix_renaming {
    std::function<void(int32_t k, std::string& name)> suffix;
    std::function<void(int32_t index, int32_t k, const std::string& base,
                       const std::string& new_name)> renaming;
};
void rename_repeated_names(std::vector<column_entry>& columns, const suffix_renaming& how);
// The suffix of numbered renaming: "_" and k + 1 in decimal.
void kvAppendIndexSuffix(int32_t k, std::string& name);

// The n-th (n >= 1) name of the letter sequence A, B, ..., Z, AA, AB, ...
// (bijective base 26); suffixes built from it use letters only.
std::string kvLetterNumber(int64_t n);
