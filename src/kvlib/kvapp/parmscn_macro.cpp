// parmscn macros: MACRO/PARAMS/BEGIN/END definitions and the textual
// expansion of invocations, pass after pass, until none is left.
//
// Invariants: a macro is looked up (ignoring case) only once its END has
// been read, and a name defined twice always finds its first record; every
// pass either expands at least one invocation or ends the expansion, and at
// most kCiMaxExpansionPasses passes expand, so a macro that invokes itself
// stops with message 288; an expansion never grows beyond
// kCiMaxStatementText characters (message 290); every step of a pass moves
// forward, whatever the faults in the text.
#include <cstring>

#include "kvapp/parmscn_internal.h"

#include <algorithm>
#include "kvlog/kvraise.h"
#include "kvstd/strutl.h"

static const kvModuleId kModule{"kvapp.parmscn", "$Id: parmscn_macro.cpp 1.0 tabcopy $"};

namespace {

bool is_macro_name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool is_param_separator(char c) {
    return c == ' ' || c == ',' || c == ';' || c == '\t' || c == '\n' || c == '(' || c == ')';
}

int32_t as_int32(size_t value) { return static_cast<int32_t>(value); }

// The definition opened by a MACRO statement. A MACRO without a name gets
// an empty one: it can never be invoked, since every invocation's name
// begins with the macro character.
void open_definition(ci_state& st, const std::vector<std::string>& words) {
    st.in_macro_def = 1;
    st.consumed_by_def = 1;
    if (words.size() != 2) kvRaiseMessage(KV_SITE_FN(kModule, "ci_macro_def"), 282);
    st.defining = ci_macro{};
    st.defining.name = words.size() >= 2 ? words[1] : std::string();
    if (st.defining.name.empty() || st.defining.name[0] != st.macro_char[0])
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_macro_def"), 281);
    const auto defined = st.macro_name_count.find(kvUpshifted(st.defining.name));
    const int earlier = defined == st.macro_name_count.end() ? 0 : defined->second;
    for (int k = 0; k < earlier; ++k)
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_macro_def"), 280, {st.defining.name});
}

void close_definition(ci_state& st) {
    ci_macro_complete(st, st.defining);
    st.macros.push_back(std::move(st.defining));
    st.defining = ci_macro{};
    const std::string key = kvUpshifted(st.macros.back().name);
    st.macro_lookup.emplace(key, st.macros.size() - 1);
    ++st.macro_name_count[key];
    st.in_macro_def = 0;
}

// Appends one statement to the body; beyond the body's limit the
// statement is refused rather than stored.
void add_to_body(ci_state& st, ci_macro& m, bool has_words) {
    if (has_words && !m.begun) kvRaiseMessage(KV_SITE_FN(kModule, "ci_macro_def"), 279);
    if (m.body.size() + st.statement.size() + 1 >= kCiMaxBody) {
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_macro_def"), 278);
        return;
    }
    m.body += st.statement;
}

void store_params(ci_state& st, ci_macro& m, size_t from) {
    const std::string& t = m.param_text;
    m.params.clear();
    m.param_lookup.clear();
    const std::string macro_char(1, st.macro_char[0]);
    std::unordered_map<std::string, int> listed;
    for (size_t i = from; i < t.size();) {
        while (i < t.size() && is_param_separator(t[i])) ++i;
        if (i >= t.size()) break;
        const size_t start = i;
        while (i < t.size() && !is_param_separator(t[i])) ++i;
        const std::string word = t.substr(start, i - start);
        const size_t index = m.params.size();
        m.params.push_back(word);
        if (word[0] != st.macro_char[0])
            kvRaiseMessage(KV_SITE_FN(kModule, "ci_process_macro_params"), 285, {word, macro_char});
        if (index >= kCiParamWarnCount) kvRaiseMessage(KV_SITE_FN(kModule, "ci_process_macro_params"), 284);
        const std::string key = kvUpshifted(word);
        int& earlier = listed[key];
        for (int k = 0; k < earlier; ++k)
            kvRaiseMessage(KV_SITE_FN(kModule, "ci_process_macro_params"), 283, {word});
        ++earlier;
        m.param_lookup.emplace(key, index);
    }
    m.param_count = static_cast<int>(m.params.size());
}

}  // namespace

size_t ci_macro_name_end(const std::string& text, size_t at) {
    size_t end = at + 1;
    while (end < text.size() && is_macro_name_char(text[end])) ++end;
    return end;
}

const ci_macro* ci_find_macro(const ci_state& st, const std::string& name) {
    const auto it = st.macro_lookup.find(kvUpshifted(name));
    return it == st.macro_lookup.end() ? nullptr : &st.macros[it->second];
}

int ci_macro_def(ci_state& st) {
    st.consumed_by_def = 0;
    if (st.waits_for_semicolon) return 0;
    const std::vector<std::string> words = ci_words(st.statement, 3);
    if (!st.in_macro_def) {
        if (words.empty() || !ci_same_word(words[0], "MACRO")) return 0;
        open_definition(st, words);
        return 1;
    }
    st.consumed_by_def = 1;
    ci_macro& m = st.defining;
    const bool only = words.size() == 1;
    if (only && ci_same_word(words[0], "BEGIN")) {
        m.begun = 1;
    } else if (!m.begun && ((!words.empty() && ci_same_word(words[0], "PARAMS")) || m.collecting)) {
        ci_process_macro_params(st, st.statement, m);
    } else if (only && ci_same_word(words[0], "END")) {
        close_definition(st);
    } else {
        add_to_body(st, m, !words.empty());
    }
    return 1;
}

void ci_process_macro_params(ci_state& st, const std::string& statement, ci_macro& m) {
    if (m.param_text.size() + statement.size() >= kCiMaxParamText)
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_process_macro_params"), 287);
    else
        m.param_text += statement;
    m.collecting = 1;
    // The list starts right after the six letters of "PARAMS".
    const std::string& t = m.param_text;
    const size_t from = 6;
    size_t p = from;
    while (p < t.size() && ci_is_space(t[p])) ++p;
    if (p >= t.size()) return;
    if (t[p] != '(') kvRaiseMessage(KV_SITE_FN(kModule, "ci_process_macro_params"), 206, {"PARAMS"});
    const size_t close = t.find(')', p);
    if (close == std::string::npos) return;
    for (size_t q = close + 1; q < t.size(); ++q)
        if (!ci_is_space(t[q])) kvRaiseMessage(KV_SITE_FN(kModule, "ci_process_macro_params"), 286);
    store_params(st, m, from);
    m.collecting = 0;
}

void ci_macro_complete(ci_state&, ci_macro& m) {
    if (!m.begun) kvRaiseMessage(KV_SITE_FN(kModule, "ci_macro_complete"), 279);
    m.params.shrink_to_fit();
    m.param_text.shrink_to_fit();
    m.body.shrink_to_fit();
}

short ci_check_macro_invoke(ci_state& st, const std::string& text, size_t at, ci_invocation& inv,
                            const ci_paren_index* ends, bool report) {
    inv = ci_invocation{};
    if (at >= text.size() || text[at] != st.macro_char[0]) return 0;
    inv.name_end = ci_macro_name_end(text, at);
    inv.name = text.substr(at, inv.name_end - at);
    inv.macro = ci_find_macro(st, inv.name);
    if (!inv.macro) {
        if (!st.strict_checking) return 0;
        if (report) kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_macro_invoke"), 277, {inv.name});
    }
    size_t s = inv.name_end;
    while (s < text.size() && ci_is_space(text[s])) ++s;
    if (s < text.size()) {
        if (text[s] == '(')
            inv.open = s;
        else if (report)
            kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_macro_invoke"), 276);
    }
    if (ends) inv.end = ends->end_from(s);
    return 1;
}

void ci_get_macro_values(ci_state& st, const std::string& text, const ci_invocation& inv,
                         const ci_paren_index& ends, ci_values& values) {
    values = ci_values{};
    const std::string& name = inv.macro->name;
    const size_t stop = inv.end - 1;  // the closing ")"
    const char mc = st.macro_char[0];
    size_t p = inv.open + 1;
    while (p < stop) {
        while (p < stop && ci_is_space(text[p])) ++p;
        if (p >= stop) break;
        const size_t start = p;
        size_t end = ci_npos;
        const char c = text[p];
        if (c == mc) {
            // A nested invocation is kept whole, for the next pass.
            ci_invocation inner;
            if (ci_check_macro_invoke(st, text, p, inner, &ends, true) && inner.end != ci_npos &&
                inner.end <= stop)
                end = inner.end;
            else
                kvRaiseMessage(KV_SITE_FN(kModule, "ci_get_macro_values"), 272, {name});
        } else if (c == '\'' || c == '"') {
            size_t q = p + 1;
            while (q < stop) {
                if (text[q] == c) {
                    if (q + 1 < stop && text[q + 1] == c) {
                        q += 2;
                        continue;
                    }
                    end = q + 1;
                    break;
                }
                ++q;
            }
            // An unclosed quoted value takes the rest of the list.
            if (end == ci_npos) {
                kvRaiseMessage(KV_SITE_FN(kModule, "ci_get_macro_values"), 275);
                end = stop;
            }
        }
        // A plain value, and a malformed invocation read as one.
        if (end == ci_npos) {
            end = p;
            while (end < stop && !ci_is_space(text[end]) && text[end] != ',' && text[end] != ')') ++end;
        }
        values.start.push_back(start);
        values.length.push_back(end - start);
        p = end;
        while (p < stop && ci_is_space(text[p])) ++p;
        if (text[p] != ',' && text[p] != ')')
            kvRaiseMessage(KV_SITE_FN(kModule, "ci_get_macro_values"), 272, {name});
        ++p;  // over the separator, or over the stray character
    }
    if (values.count() != static_cast<size_t>(inv.macro->param_count))
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_get_macro_values"), 274,
                       {name, static_cast<int32_t>(inv.macro->param_count), as_int32(values.count())});
}

// Parameters without a value (fewer values than parameters) expand to
// nothing: no text was given for them. A word that is neither a parameter
// nor a macro is copied as written, and the copy goes on after it.
bool ci_expand_macro_params(ci_state& st, std::string& out, const ci_macro& macro,
                            const std::string& text, const ci_values& values) {
    const std::string& body = macro.body;
    const char mc = st.macro_char[0];
    for (size_t i = 0; i < body.size();) {
        const size_t mark = body.find(mc, i);
        if (mark == std::string::npos) {
            out.append(body, i, std::string::npos);
            break;
        }
        out.append(body, i, mark - i);
        i = mark;
        const size_t name_end = ci_macro_name_end(body, i);
        const std::string word = body.substr(i, name_end - i);
        const auto param = macro.param_lookup.find(kvUpshifted(word));
        if (param != macro.param_lookup.end()) {
            const size_t k = param->second;
            std::string value;
            if (k < values.count()) value = text.substr(values.start[k], values.length[k]);
            ci_trace(st, 2, 1, "* Expanding param %s to: ", macro.params[k].c_str());
            ci_trace(st, 2, 0, value.c_str());
            ci_trace(st, 2, 0, "\n*\n");
            out += value;
            i = name_end;
        } else {
            ci_invocation inv;
            if (ci_check_macro_invoke(st, body, i, inv, nullptr, true)) {
                out += body[i];  // a nested invocation waits for the next pass
                ++i;
            } else {
                kvRaiseMessage(KV_SITE_FN(kModule, "ci_expand_macro_params"), 273, {macro.name, word});
                out += word;
                i = name_end;
            }
        }
        if (out.size() > kCiMaxStatementText) return false;
    }
    return out.size() <= kCiMaxStatementText;
}

namespace {

// What one pass over the expansion did.
struct pass_result {
    bool expanded = false;            // at least one invocation was replaced
    bool too_long = false;            // a replacement went beyond kCiMaxStatementText
    const ci_macro* first = nullptr;  // the macro of the first replacement
};

// One pass: st.expansion into st.work with every invocation in it replaced
// by its macro's body. An invocation that cannot be expanded (its list is
// not closed, there is no "(" right after the name, or, under strict
// checking, the macro is not defined) stays in the text as written; the
// pass goes on at its next character, so invocations inside it are still
// expanded.
pass_result expand_pass(ci_state& st, short passes) {
    const std::string& text = st.expansion;
    const ci_paren_index ends(text);
    const char mc = st.macro_char[0];
    st.work.clear();
    pass_result result;
    for (size_t i = 0; i < text.size();) {
        const size_t mark = text.find(mc, i);
        if (mark == std::string::npos) {
            st.work.append(text, i, std::string::npos);
            break;
        }
        st.work.append(text, i, mark - i);
        i = mark;
        ci_invocation inv;
        // The first pass reads the statement as written, whose faults
        // the open-invocation check has reported; later passes read
        // text that expansion made.
        const bool report = passes > 0;
        if (!ci_check_macro_invoke(st, text, i, inv, &ends, report)) {
            st.work += text[i++];
            continue;
        }
        // The text is passed in place: a copy of the rest for every
        // unclosed invocation would make a pass quadratic.
        if (inv.end == ci_npos && (report || inv.open != ci_npos))
            kvRaiseMessage(KV_SITE_FN(kModule, "ci_expand_macros"), 272, {text.c_str() + i});
        if (inv.end == ci_npos || inv.open == ci_npos || !inv.macro) {
            st.work += text[i++];
            continue;
        }
        if (passes == 0)
            ci_trace(st, 1, 1, "\n* Command Trace: Expanding MACRO %s\n*\n", inv.macro->name.c_str());
        ci_values values;
        ci_get_macro_values(st, text, inv, ends, values);
        result.expanded = true;
        st.expanded = 1;
        if (!result.first) result.first = inv.macro;
        if (!ci_expand_macro_params(st, st.work, *inv.macro, text, values)) {
            result.too_long = true;
            break;
        }
        i = inv.end;
    }
    return result;
}

// A statement whose expansion failed delivers no text.
void abandon_expansion(ci_state& st) {
    st.expansion.clear();
    st.work.clear();
}

}  // namespace

void ci_expand_macros(ci_state& st) {
    st.need_more_input = 0;
    if (st.open_invocations.update(st, st.statement)) {
        st.need_more_input = 1;
        return;
    }
    st.expansion = st.statement;
    short passes = 0;
    for (;;) {
        const pass_result pass = expand_pass(st, passes);
        if (pass.too_long || st.work.size() > kCiMaxStatementText) {
            kvRaiseMessage(KV_SITE_FN(kModule, "ci_expand_macros"), 290,
                           {"characters in a statement", as_int32(kCiMaxStatementText)});
            abandon_expansion(st);
            return;
        }
        if (pass.expanded) {
            if (passes >= kCiMaxExpansionPasses) {
                kvRaiseMessage(KV_SITE_FN(kModule, "ci_expand_macros"), 288,
                               {pass.first->name, static_cast<int32_t>(kCiMaxExpansionPasses)});
                abandon_expansion(st);
                return;
            }
            ++passes;
        }
        ci_trace(st, 2, 1, "\n* Expansion %hd\n\n", passes);
        ci_trace(st, 2, 0, st.work.c_str());
        ci_trace(st, 2, 1, "*\n");
        st.expansion.swap(st.work);
        if (!pass.expanded) break;
    }
    if (passes != 0) {
        ci_trace(st, 2, 1, "\n*\n* Expansion Result *\n\n");
        ci_trace(st, 1, 0, st.expansion.c_str());
        ci_trace(st, 1, 1, "\n*\n* Command Trace: End Expansion *\n\n");
    }
}

// ---- statement indexes ----

void ci_open_tracker::reset() {
    upto_ = 0;
    named_ = reported_ = 0;
    decided_.clear();
    parity_ = 0;
    stack_[0].clear();
    stack_[1].clear();
    waiting_[0] = waiting_[1] = 0;
    owned_open_ = 0;
    log_.clear();
}

void ci_open_tracker::undo(const op& o) {
    switch (o.kind) {
        case op_kind::toggle:
            parity_ ^= 1;
            break;
        case op_kind::push:
            stack_[o.view].pop_back();
            waiting_[o.view] = o.popped.owners;
            if (o.popped.owners) --owned_open_;
            break;
        case op_kind::pop:
            stack_[o.view].push_back(o.popped);
            if (o.popped.owners) ++owned_open_;
            break;
        case op_kind::wait:
            --waiting_[o.view];
            break;
    }
}

void ci_open_tracker::truncate(const std::string& text, char macro_char) {
    size_t length = text.size();
    size_t run = length;
    while (run > 0 && is_macro_name_char(text[run - 1])) --run;
    if (run > 0 && text[run - 1] == macro_char) {
        length = run - 1;
    } else {
        const size_t first = text.find(macro_char, run);
        if (first != std::string::npos) length = first;
    }
    // An invocation decided by text that is now cut is undecided again:
    // its "(" may still come.
    while (!decided_.empty() && decided_.back().point >= length) {
        length = std::min(length, decided_.back().at);
        decided_.pop_back();
    }
    while (!log_.empty() && log_.back().pos >= length) {
        undo(log_.back());
        log_.pop_back();
    }
    if (upto_ > length) upto_ = length;
    if (named_ > length) named_ = length;
    if (reported_ > length) reported_ = length;
}

bool ci_open_tracker::starts_invocation(const ci_state& st, const std::string& text, size_t at, bool& undecided) {
    undecided = false;
    const size_t name_end = ci_macro_name_end(text, at);
    // The name may go on in text still to come.
    if (name_end >= text.size()) {
        undecided = true;
        return false;
    }
    const std::string name = text.substr(at, name_end - at);
    const bool defined = ci_find_macro(st, name) != nullptr;
    if (!defined && !st.strict_checking) return false;
    if (!defined && at >= named_) {
        named_ = at + 1;
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_macro_invoke"), 277, {name});
    }
    // The "(" may come in text still to come.
    size_t next = name_end;
    while (next < text.size() && ci_is_space(text[next])) ++next;
    if (next >= text.size()) {
        undecided = true;
        return false;
    }
    decided_.push_back({at, next});
    if (text[next] == '(') return true;
    if (at >= reported_) {
        reported_ = at + 1;
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_macro_invoke"), 276);
    }
    return false;
}

bool ci_open_tracker::update(const ci_state& st, const std::string& text) {
    const char mc = st.macro_char[0];
    const size_t n = text.size();
    bool undecided = false;
    while (upto_ < n) {
        const size_t y = upto_;
        const char c = text[y];
        bool invocation = false;
        if (c == mc) {
            invocation = starts_invocation(st, text, y, undecided);
            if (undecided) break;  // look again when more text has come
        }
        const unsigned char v = parity_;
        if (c == '"') {
            parity_ ^= 1;
            log_.push_back({y, op_kind::toggle, v, {}});
        } else if (c == '(') {
            const entry e{y, waiting_[v]};
            waiting_[v] = 0;
            if (e.owners) ++owned_open_;
            stack_[v].push_back(e);
            log_.push_back({y, op_kind::push, v, e});
        } else if (c == ')' && !stack_[v].empty()) {
            const entry e = stack_[v].back();
            stack_[v].pop_back();
            if (e.owners) --owned_open_;
            log_.push_back({y, op_kind::pop, v, e});
        }
        if (invocation) {
            ++waiting_[parity_];
            log_.push_back({y, op_kind::wait, parity_, {}});
        }
        ++upto_;
    }
    return undecided || waiting_[0] + waiting_[1] > 0 || owned_open_ > 0;
}

ci_paren_index::ci_paren_index(const std::string& text) {
    const size_t n = text.size();
    parity_.assign(n + 1, 0);
    match_.assign(n, ci_npos);
    next_open_[0].assign(n + 1, ci_npos);
    next_open_[1].assign(n + 1, ci_npos);
    std::vector<size_t> open[2];
    unsigned char p = 0;
    for (size_t i = 0; i < n; ++i) {
        parity_[i] = p;
        const char c = text[i];
        if (c == '"') {
            p ^= 1;
        } else if (c == '(') {
            open[p].push_back(i);
        } else if (c == ')' && !open[p].empty()) {
            match_[open[p].back()] = i + 1;
            open[p].pop_back();
        }
    }
    parity_[n] = p;
    for (size_t i = n; i-- > 0;) {
        next_open_[0][i] = next_open_[0][i + 1];
        next_open_[1][i] = next_open_[1][i + 1];
        if (text[i] == '(') next_open_[parity_[i]][i] = i;
    }
}

// A scan from `from` counts only the positions whose double-quote parity
// equals that of `from`, and within those the parentheses nest as they do
// for the whole text.
size_t ci_paren_index::end_from(size_t from) const {
    if (from >= match_.size()) return ci_npos;
    const size_t open = next_open_[parity_[from]][from];
    return open == ci_npos ? ci_npos : match_[open];
}
