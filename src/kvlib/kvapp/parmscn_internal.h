// parmscn internals: the reader state `ci_state` and the inner steps of the
// macro-capable command file reader, shared by its three modules (reader,
// macros, OBEY/trace) and by their tests. Nothing outside parmscn*.cpp and
// the tests includes this header.
//
// Invariants of the state: files[0] is the caller's stream and is never
// closed here; every other entry was opened by the reader and is closed
// exactly once, when it ends or when the state is abandoned. Texts are
// growable, but a statement or an expansion is refused beyond
// kCiMaxStatementText characters and a macro body or PARAMS text beyond its
// format limit, so memory stays bounded by the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

constexpr size_t ci_npos = static_cast<size_t>(-1);

// Limits of the command language.
constexpr size_t kCiLinePiece = 4999;            // longest read of one physical line
constexpr size_t kCiMaxStatementText = 204800;   // statement and expansion texts
constexpr int kCiMaxNestedFiles = 29;            // OBEY/INCLUDE levels above the caller's file
constexpr int kCiMaxExpansionPasses = 100;       // expanding passes of one statement
constexpr size_t kCiMaxBody = 99999;             // macro body (message 278)
constexpr size_t kCiMaxParamText = 9999;         // PARAMS text (message 287)
constexpr size_t kCiParamWarnCount = 99;         // parameters before message 284

// One macro definition. `name` and the parameter names keep the macro
// character they were written with.
struct ci_macro {
    std::string name;
    int param_count = 0;
    std::vector<std::string> params;
    std::string param_text;
    short collecting = 0;
    short begun = 0;
    std::string body;
    // Upper-cased parameter name -> index of its first listing.
    std::unordered_map<std::string, size_t> param_lookup;
};

// The values of one invocation, as spans of the invocation text.
struct ci_values {
    std::vector<size_t> start;
    std::vector<size_t> length;
    size_t count() const { return start.size(); }
};

// Where "--" comments may start in the statement text, kept up to date as
// lines arrive so that each line costs only its own length. A comment
// starts at the leftmost "--" with an even number of quote characters (of
// either kind) after it.
class ci_comment_index {
public:
    void reset();
    // Brings the index up to the end of `text`; returns where the comment
    // starts, or ci_npos.
    size_t update(const std::string& text);
    // The text was cut to `length` characters.
    void truncate(size_t length);
    bool has_newline() const { return first_newline_ != ci_npos; }

private:
    size_t upto_ = 0;
    std::vector<unsigned char> parity_;  // quote parity before each position
    size_t first_dash_[2] = {ci_npos, ci_npos};
    size_t first_newline_ = ci_npos;
};

// Answers, as lines are appended to a statement, whether some macro
// invocation in it still has an open argument list. Each view (0 or 1)
// is the set of positions with that double-quote parity: an invocation's
// scan for its "(" and ")" only counts positions in the view where it
// starts. Every change is logged so that a cut in the text can be undone
// without starting over.
//
// This is where a statement's invocations are checked: an undefined name
// under strict checking raises 277, and a name followed by text other than
// "(" raises 276 and opens nothing (the statement does not wait for a "("
// that will never come). Each position is reported once, however often
// the text grows.
class ci_open_tracker {
public:
    void reset();
    // `text` has just been cut; a macro name that now ends the text, or an
    // invocation decided by text now gone, is looked at again, since what
    // follows may make it a longer name or bring its "(".
    void truncate(const std::string& text, char macro_char);
    bool update(const struct ci_state& st, const std::string& text);

private:
    struct entry {
        size_t at;
        int owners;  // invocations whose argument list this "(" opens
    };
    enum class op_kind : unsigned char { toggle, push, pop, wait };
    struct op {
        size_t pos;
        op_kind kind;
        unsigned char view;
        entry popped;
    };
    void undo(const op& o);

    // Whether the invocation of the macro character at `at` waits for a
    // "(" (true), is plain text or faulty (false), or cannot be decided
    // until more text comes (`undecided`).
    bool starts_invocation(const struct ci_state& st, const std::string& text, size_t at, bool& undecided);

    size_t upto_ = 0;
    // Invocations before these positions have had their 277 (undefined
    // name) and 276 (no "(") reported.
    size_t named_ = 0;
    size_t reported_ = 0;
    // Invocations decided by the first non-blank after their name (a "("
    // or not), in text order: a cut at or before `point` undoes them.
    struct decision {
        size_t at;
        size_t point;
    };
    std::vector<decision> decided_;
    unsigned char parity_ = 0;
    std::vector<entry> stack_[2];
    int waiting_[2] = {0, 0};
    int owned_open_ = 0;
    std::vector<op> log_;
};

// Closing-parenthesis lookup over one fixed text, built in linear time so
// that a pass over a text with many invocations stays linear.
class ci_paren_index {
public:
    explicit ci_paren_index(const std::string& text);
    // The position after the ")" that closes the first "(" met when scanning
    // from `from` outside double quotes, or ci_npos.
    size_t end_from(size_t from) const;

private:
    std::vector<unsigned char> parity_;
    std::vector<size_t> match_;
    std::vector<size_t> next_open_[2];
};

struct ci_state {
    short semicolon_mode = 0;
    std::vector<FILE*> files;  // the file stack; size() is the file depth
    short in_macro_def = 0;
    short waits_for_semicolon = 0;
    short consumed_by_def = 0;

    std::string statement;
    std::vector<size_t> nonwhite;  // positions of the statement's non-white characters
    ci_comment_index comments;
    ci_open_tracker open_invocations;

    std::string chunk;
    std::string accumulated;
    std::string complete;
    size_t complete_pending = 0;
    size_t complete_cursor = 0;
    std::string expansion;
    size_t expansion_cursor = 0;
    size_t expansion_pending = 0;
    std::string work;
    std::string echo;

    std::vector<ci_macro> macros;  // completed definitions, in order
    ci_macro defining;             // the definition between MACRO and END
    // Upper-cased macro name -> index of its first definition.
    std::unordered_map<std::string, size_t> macro_lookup;
    // Upper-cased macro name -> number of definitions made with it.
    std::unordered_map<std::string, int> macro_name_count;

    short need_more_input = 0;
    short expanded = 0;
    short trace_level = 0;
    short list = 1;
    char macro_char[2] = {'#', '\0'};
    short strict_checking = 0;
};

// One recognised invocation. `open` is the "(" right after the name (and
// any white space), `end` the position after its closing ")"; either may be
// ci_npos. `macro` is null for an undefined name under strict checking.
struct ci_invocation {
    std::string name;
    size_t name_end = 0;
    size_t open = ci_npos;
    size_t end = ci_npos;
    const ci_macro* macro = nullptr;
};

// Reader (parmscn_reader.cpp).
ci_state* ci_current_state();
void ci_split_text(const std::string& text, size_t& cursor, size_t& remaining, std::string& out,
                   bool& terminated);
int ci_read_statement(ci_state& st);
int ci_get_chunk(ci_state& st, bool& terminated);
void ci_complete_statement(ci_state& st);
void ci_clear_statement(ci_state& st);

// Macros (parmscn_macro.cpp).
int ci_macro_def(ci_state& st);
void ci_process_macro_params(ci_state& st, const std::string& statement, ci_macro& macro);
void ci_macro_complete(ci_state& st, ci_macro& macro);
const ci_macro* ci_find_macro(const ci_state& st, const std::string& name);
size_t ci_macro_name_end(const std::string& text, size_t at);
// `ends` null: no end wanted. `report`: raise 276 and 277 (for text that
// expansion made; the statement's own text was checked, and reported, by
// the open-invocation tracker).
short ci_check_macro_invoke(ci_state& st, const std::string& text, size_t at, ci_invocation& inv,
                            const ci_paren_index* ends, bool report);
void ci_get_macro_values(ci_state& st, const std::string& text, const ci_invocation& inv,
                         const ci_paren_index& ends, ci_values& values);
bool ci_expand_macro_params(ci_state& st, std::string& out, const ci_macro& macro,
                            const std::string& text, const ci_values& values);
void ci_expand_macros(ci_state& st);

// OBEY/INCLUDE and command trace (parmscn_obey.cpp).
int ci_check_get_obey_file(ci_state& st);
int ci_check_cmd_trace(ci_state& st);
// formatted 0: `text` is written verbatim; 1: `text` is a printf format.
void ci_trace(const ci_state& st, short level, short formatted, const char* text, ...);

// Words of a statement, split at blanks, ";", tabs and newlines; at most
// `max` are collected (the count stops there too).
std::vector<std::string> ci_words(const std::string& text, size_t max);
bool ci_same_word(const std::string& word, const char* keyword);
bool ci_is_space(char c);
