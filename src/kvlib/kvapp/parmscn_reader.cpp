// parmscn reader: the pipeline of the macro-capable command file reader.
// Physical lines are collected into a statement, the statement's macro
// invocations are expanded, the expansion is cut into chunks at ";" and line
// ends, chunks are gathered until the statement is complete, and the
// complete statement gets "?" substitution and white-space normalisation
// before commands are cut from it at ";".
//
// Invariants: one state exists from the first call until the call that meets
// the end of the input; the caller's stream is never closed here; the
// incremental indexes of the statement text always describe exactly the
// text as it stands (every cut goes through truncate_statement), so each
// line costs time in proportion to its own length.
#include <cstdlib>
#include <cstring>

#include "kvapp/console.h"
#include "kvapp/parmscn.h"
#include "kvapp/parmscn_internal.h"
#include "kvlog/LegacyErrorHandling.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"

static const kvModuleId kModule{"kvapp.parmscn", "$Id: parmscn_reader.cpp 1.0 tabcopy $"};

namespace {

ci_state* g_state = nullptr;

bool is_word_separator(char c) { return c == ' ' || c == ';' || c == '\t' || c == '\n'; }

bool is_env_name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '^' ||
           c == '-' || c == '_';
}

bool is_hidden_variable(const std::string& name) {
    return kvStrCmpNoCase(name.c_str(), "PASSWORD") == 0 || kvStrCmpNoCase(name.c_str(), "PW") == 0;
}

// One read of at most kCiLinePiece characters, up to and including a
// newline. The platform's text mode gives "\r\n" as "\n", so a line ending
// reads the same from files written on either kind of system. NUL bytes
// would end the text in the middle of a line and are dropped.
bool read_piece(FILE* stream, std::string& line) {
    line.clear();
    if (!stream) return false;
    int c = 0;
    while (line.size() < kCiLinePiece && (c = std::getc(stream)) != EOF) {
        if (c == '\0') continue;
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    const size_t n = line.size();
    if (n >= 2 && line[n - 1] == '\n' && line[n - 2] == '\r') line.erase(n - 2, 1);
    return !line.empty();
}

// Nested files are read to their end, then popped and closed; the bottom
// file's end is the end of the input.
bool next_line(ci_state& st, std::string& line) {
    for (;;) {
        if (read_piece(st.files.back(), line)) return true;
        if (st.files.size() == 1) return false;
        kvFclose(st.files.back());
        st.files.pop_back();
    }
}

void truncate_statement(ci_state& st, size_t length) {
    st.statement.resize(length);
    st.comments.truncate(length);
    st.open_invocations.truncate(st.statement, st.macro_char[0]);
    while (!st.nonwhite.empty() && st.nonwhite.back() >= length) st.nonwhite.pop_back();
}

// True when the statement's last non-white character is "&": the "&" and
// what follows it go, and the next line continues the statement. Only the
// newly added text [from, end) is scanned; the rest is known.
bool continued_with_ampersand(ci_state& st, size_t from) {
    for (size_t p = from; p < st.statement.size(); ++p)
        if (!ci_is_space(st.statement[p])) st.nonwhite.push_back(p);
    if (st.nonwhite.empty() || st.statement[st.nonwhite.back()] != '&') return false;
    truncate_statement(st, st.nonwhite.back());
    return true;
}

void strip_statement_comment(ci_state& st) {
    const size_t at = st.comments.update(st.statement);
    if (at == ci_npos) return;
    const bool had_newline = st.comments.has_newline();
    truncate_statement(st, at);
    if (had_newline) st.statement += '\n';
}

void destroy_state() {
    if (!g_state) return;
    for (size_t i = 1; i < g_state->files.size(); ++i) kvFclose(g_state->files[i]);
    delete g_state;
    g_state = nullptr;
}

// "?NAME" becomes the variable's value when it is defined; otherwise the
// text stays as written. Values are not scanned again.
void substitute_variables(ci_state& st) {
    const std::string& in = st.work;
    std::string& out = st.complete;
    const size_t n = in.size();
    for (size_t i = 0; i < n;) {
        const size_t mark = in.find('?', i);
        if (mark == std::string::npos) {
            out.append(in, i, std::string::npos);
            break;
        }
        out.append(in, i, mark - i);
        st.expanded = 1;
        size_t end = mark + 1;
        while (end < n && is_env_name_char(in[end])) ++end;
        const std::string name = in.substr(mark + 1, end - mark - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (!value) {
            out += '?';
            i = mark + 1;
            continue;
        }
        out += value;
        if (!is_hidden_variable(name)) st.echo += "?" + name + " = " + value + "\n";
        i = end;
    }
}

// A quote, white space holding a newline or a tab, and a quote vanish
// together (a quoted text broken over lines rejoins); every other white
// space character becomes one blank.
void normalise_white_space(ci_state& st) {
    const std::string& in = st.complete;
    std::string& out = st.work;
    out.clear();
    const size_t n = in.size();
    for (size_t i = 0; i < n;) {
        const char c = in[i];
        if (c == '"') {
            size_t j = i + 1;
            bool breaks = false;
            while (j < n && ci_is_space(in[j])) {
                breaks = breaks || in[j] == '\n' || in[j] == '\t';
                ++j;
            }
            if (breaks && j < n && in[j] == '"') {
                i = j + 1;
                continue;
            }
            out += c;
            ++i;
            continue;
        }
        out += ci_is_space(c) ? ' ' : c;
        ++i;
    }
    st.complete.swap(st.work);
    st.work.clear();
}

bool waits_for_semicolon(const std::string& word, const ci_state& st) {
    return ci_same_word(word, "MAP") || ci_same_word(word, "FILE") || ci_same_word(word, "QUERY") ||
           ci_same_word(word, "TABLE") || ci_same_word(word, "MACRO") || st.semicolon_mode;
}

// Classifies one chunk and adds it to the statement being gathered.
void take_chunk(ci_state& st) {
    const std::vector<std::string> words = ci_words(st.chunk, 1);
    if (words.empty()) return;
    std::string first = words[0];
    while (!first.empty() && ci_is_space(first.back())) first.pop_back();
    if (!st.waits_for_semicolon) {
        // SEMICOLONTERMINATE itself is an ordinary one-chunk statement.
        if (ci_same_word(first, "SEMICOLONTERMINATE"))
            st.semicolon_mode = 1;
        else if (waits_for_semicolon(first, st))
            st.waits_for_semicolon = 1;
    }
    st.accumulated += st.chunk;
}

bool is_dropped_chunk(const ci_state& st) {
    const std::vector<std::string> words = ci_words(st.chunk, 1);
    if (words.empty()) return false;
    if (words[0].compare(0, 2, "--") == 0) return true;
    return !st.in_macro_def && !st.waits_for_semicolon && ci_same_word(words[0], "COMMENT");
}

}  // namespace

bool ci_is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string> ci_words(const std::string& text, size_t max) {
    std::vector<std::string> words;
    const size_t n = text.size();
    size_t i = 0;
    while (words.size() < max) {
        while (i < n && is_word_separator(text[i])) ++i;
        if (i >= n) break;
        const size_t start = i;
        while (i < n && !is_word_separator(text[i])) ++i;
        words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool ci_same_word(const std::string& word, const char* keyword) {
    return kvStrCmpNoCase(word.c_str(), keyword) == 0;
}

void ci_comment_index::reset() {
    upto_ = 0;
    parity_.assign(1, 0);
    first_dash_[0] = first_dash_[1] = ci_npos;
    first_newline_ = ci_npos;
}

size_t ci_comment_index::update(const std::string& text) {
    if (parity_.empty()) reset();
    const size_t n = text.size();
    while (upto_ < n) {
        const char c = text[upto_];
        const unsigned char parity = parity_.back();
        if (c == '-') {
            if (upto_ + 1 >= n) break;  // a "--" may still be completed by the next line
            if (text[upto_ + 1] == '-' && first_dash_[parity] == ci_npos) first_dash_[parity] = upto_;
        }
        if (c == '\n' && first_newline_ == ci_npos) first_newline_ = upto_;
        parity_.push_back((c == '\'' || c == '"') ? parity ^ 1 : parity);
        ++upto_;
    }
    // Quotes after a "--" are those of the whole text less those before it.
    return first_dash_[parity_.back()];
}

void ci_comment_index::truncate(size_t length) {
    if (parity_.empty()) reset();
    // The last character looked at the one after it, which is gone.
    const size_t keep = length > 0 ? length - 1 : 0;
    for (size_t& dash : first_dash_)
        if (dash != ci_npos && dash >= keep) dash = ci_npos;
    if (first_newline_ != ci_npos && first_newline_ >= keep) first_newline_ = ci_npos;
    if (keep < upto_) {
        upto_ = keep;
        parity_.resize(keep + 1);
    }
}

ci_state* ci_current_state() { return g_state; }

void ci_clear_statement(ci_state& st) {
    st.statement.clear();
    st.nonwhite.clear();
    st.comments.reset();
    st.open_invocations.reset();
    // The invocation that was waiting for its ")" went with the text.
    st.need_more_input = 0;
}

void ci_split_text(const std::string& text, size_t& cursor, size_t& remaining, std::string& out,
                   bool& terminated) {
    terminated = false;
    const size_t n = text.size();
    if (cursor > n) cursor = n;
    std::string quotes;  // open quote characters, innermost last
    size_t i = cursor;
    while (i < n) {
        const char c = text[i];
        if (c == '\n') {
            ++i;
            break;
        }
        if (c == ';' && quotes.empty()) break;
        if (c == '\'' || c == '"') {
            if (!quotes.empty() && quotes.back() == c)
                quotes.pop_back();
            else
                quotes.push_back(c);
        }
        ++i;
    }
    out.assign(text, cursor, i - cursor);
    cursor = i;
    if (cursor >= n) {
        remaining = 0;
    } else if (text[cursor] == ')') {
        if (cursor + 1 >= n || text[cursor + 1] != ';') ++cursor;
    } else if (text[cursor] == ';') {
        ++cursor;
        terminated = true;
    }
}

int ci_read_statement(ci_state& st) {
    st.consumed_by_def = 0;
    ci_clear_statement(st);
    std::string line;
    for (;;) {
        if (!next_line(st, line)) return 0;
        const size_t from = st.statement.size();
        st.statement += line;
        if (st.statement.size() > kCiMaxStatementText) {
            kvRaiseMessage(KV_SITE_FN(kModule, "ci_read_statement"), 290,
                           {"characters in a statement", static_cast<int32_t>(kCiMaxStatementText)});
            ci_clear_statement(st);
            continue;
        }
        if (continued_with_ampersand(st, from)) continue;
        strip_statement_comment(st);
        if (ci_check_get_obey_file(st) || ci_check_cmd_trace(st)) continue;
        if (!st.need_more_input && ci_macro_def(st)) return 1;
        ci_expand_macros(st);
        if (st.need_more_input) continue;
        st.expansion_cursor = 0;
        st.expansion_pending = st.expansion.size();
        return 1;
    }
}

int ci_get_chunk(ci_state& st, bool& terminated) {
    terminated = false;
    if (!st.expansion_pending && !ci_read_statement(st)) return 0;
    if (st.consumed_by_def) {
        st.chunk.clear();
        return 1;
    }
    ci_split_text(st.expansion, st.expansion_cursor, st.expansion_pending, st.chunk, terminated);
    ci_trace(st, 2, 1, "\n* Command Chunk\n");
    ci_trace(st, 2, 0, st.chunk.c_str());
    ci_trace(st, 2, 1, "\n* End Chunk\n");
    return 1;
}

void ci_complete_statement(ci_state& st) {
    st.complete.clear();
    st.echo.clear();
    st.work.swap(st.accumulated);
    st.accumulated.clear();
    substitute_variables(st);
    if (st.expanded) {
        ci_trace(st, 1, 1, "\n\n* Complete Expansion\n*\n");
        ci_trace(st, 1, 0, st.complete.c_str());
        ci_trace(st, 1, 1, "\n*\n* End Complete Expansion\n\n");
    }
    normalise_white_space(st);
    st.complete_pending = st.complete.size();
    st.complete_cursor = 0;
    if (!st.complete_pending) st.expanded = 0;
    if (!st.echo.empty()) kvInfoNoLog("%s", st.echo.c_str());
}

int ci_get_next_cmd(std::string& command, FILE* stream) {
    // Loading the settings may read GLOBALS through this reader; the state
    // for `stream` is made only afterwards.
    kv_ensure_global_settings();
    command.clear();
    if (!g_state) {
        g_state = new ci_state;
        g_state->files.push_back(stream);
        ci_clear_statement(*g_state);
    }
    ci_state& st = *g_state;
    while (!st.complete_pending) {
        bool terminated = false;
        if (!ci_get_chunk(st, terminated)) {
            if (st.in_macro_def || st.waits_for_semicolon)
                kvRaiseMessage(KV_SITE_FN(kModule, "ci_get_next_cmd"), 268);
            destroy_state();
            return 0;
        }
        if (st.consumed_by_def) continue;
        if (is_dropped_chunk(st)) continue;
        take_chunk(st);
        if (terminated) st.waits_for_semicolon = 0;
        if (!st.waits_for_semicolon) ci_complete_statement(st);
    }
    bool terminated = false;
    ci_split_text(st.complete, st.complete_cursor, st.complete_pending, command, terminated);
    return 1;
}

void ci_abandon_input() { destroy_state(); }
