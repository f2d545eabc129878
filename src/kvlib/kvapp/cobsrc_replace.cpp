// cobsrc_replace: the REPLACING phrase of COPY statements.
//
// Text is compared as compilers compare it: as a sequence of text words,
// whatever separators (spaces, line ends, a comma or semicolon followed by
// a space) stand between them. A text word is a literal, one of the
// separators "(", ")", ":" and a separator period, or a run of other
// characters. Colons are words of their own, so the common ":TAG:"
// convention replaces part of a word: in "01 :TAG:-REC" the words are 01,
// ":", "TAG", ":" and "-REC", and ==:TAG:== BY ==CUST== gives "01 CUST-REC".
// Words compare ignoring case; literals exactly.
//
// Invariants: replaced text is never searched again, so an operand that
// appears in its own replacement cannot loop; the output keeps every
// character that no operand matched, line ends included.
#include <algorithm>

#include "kvapp/cobsrc.h"
#include "kvstd/strutl.h"

namespace {

bool is_space(char c) { return c == ' ' || c == '\n'; }

bool ends_separator(std::string_view text, size_t at) { return at + 1 >= text.size() || is_space(text[at + 1]); }

struct text_word {
    size_t begin = 0;
    size_t end = 0;
    bool literal = false;
};

// The next text word at or after `pos`; false at the end of the text.
bool next_text_word(std::string_view text, size_t& pos, text_word& w) {
    while (pos < text.size() &&
           (is_space(text[pos]) || ((text[pos] == ',' || text[pos] == ';') && ends_separator(text, pos))))
        ++pos;
    if (pos >= text.size()) return false;
    w = text_word{pos, pos + 1, false};
    const char c = text[pos];
    if (c == '\'' || c == '"') {
        // A doubled quote inside a literal is part of it.
        size_t i = pos + 1;
        while (i < text.size()) {
            if (text[i] == c) {
                if (i + 1 < text.size() && text[i + 1] == c) {
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            ++i;
        }
        w.end = i;
        w.literal = true;
    } else if (c != '(' && c != ')' && c != ':' && !(c == '.' && ends_separator(text, pos))) {
        size_t i = pos;
        while (i < text.size()) {
            const char d = text[i];
            if (is_space(d) || d == '(' || d == ')' || d == ':' || d == '\'' || d == '"') break;
            if ((d == '.' || d == ',' || d == ';') && ends_separator(text, i)) break;
            ++i;
        }
        w.end = i;
    }
    pos = w.end;
    return true;
}

// Words compare ignoring case, literals exactly.
bool same_word(std::string_view a, std::string_view b, bool literal) { return literal ? a == b : kvEqualsNoCase(a, b); }

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// One operand: pseudo-text (its content), a literal or a word. `pseudo`
// says which it was.
int read_operand(std::string& error, std::string_view text, size_t& pos, std::string& out, bool& pseudo) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    pseudo = false;
    if (pos >= text.size()) {
        error = "REPLACING operand missing";
        return 0;
    }
    if (text.substr(pos, 2) == "==") {
        const size_t close = text.find("==", pos + 2);
        if (close == std::string_view::npos) {
            error = "Pseudo-text not closed with == in REPLACING";
            return 0;
        }
        out.assign(trimmed(text.substr(pos + 2, close - pos - 2)));
        pos = close + 2;
        pseudo = true;
        return 1;
    }
    text_word w;
    size_t at = pos;
    next_text_word(text, at, w);
    if (!w.literal) {
        // A word operand runs to the next space: an identifier such as
        // A-B(1) stays whole.
        w.end = std::min(text.find(' ', w.begin), text.size());
    }
    out.assign(text.substr(w.begin, w.end - w.begin));
    pos = w.end;
    return 1;
}

std::string_view next_plain_word(std::string_view text, size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    const size_t start = pos;
    while (pos < text.size() && text[pos] != ' ') ++pos;
    return text.substr(start, pos - start);
}

// Operand 1 as text words (words upper-cased, literals as written).
std::vector<std::string> words_of(std::string_view text) {
    std::vector<std::string> words;
    size_t pos = 0;
    text_word w;
    while (next_text_word(text, pos, w)) {
        std::string word(text.substr(w.begin, w.end - w.begin));
        if (!w.literal) std::transform(word.begin(), word.end(), word.begin(), kvAsciiUpper);
        words.push_back(std::move(word));
    }
    return words;
}

// Builds the output, keeping each line's position: the text between
// matches is copied with its line ends, and every line end copied starts
// an output line at the position of the input line that followed it.
class replaced_text {
public:
    replaced_text(const cd_text& in, cd_text& out) : in_(in), out_(out) {
        out_ = cd_text{};
        out_.text.reserve(in.text.size());
        if (!in.pos.empty()) start_line(0);
    }
    void copy(size_t from, size_t to) {
        while (from < to) {
            const size_t nl = in_.text.find('\n', from);
            const size_t stop = nl == std::string::npos || nl >= to ? to : nl + 1;
            out_.text.append(in_.text, from, stop - from);
            if (stop == nl + 1 && stop < in_.text.size()) start_line(line_starting_at(stop));
            from = stop;
        }
    }
    void insert(std::string_view text) { out_.text.append(text); }

private:
    size_t line_starting_at(size_t offset) const {
        return static_cast<size_t>(std::upper_bound(in_.begin.begin(), in_.begin.end(), offset) - in_.begin.begin()) - 1;
    }
    void start_line(size_t line) {
        out_.begin.push_back(static_cast<uint32_t>(out_.text.size()));
        out_.pos.push_back(in_.pos[line]);
    }
    const cd_text& in_;
    cd_text& out_;
};

}  // namespace

int CD_parse_replacing(std::string& error, std::string_view text, std::vector<cd_replacing>& out) {
    out.clear();
    size_t pos = 0;
    for (;;) {
        size_t at = pos;
        std::string_view word = next_plain_word(text, at);
        if (word.empty()) break;
        cd_replacing rule;
        if (same_word(word, "LEADING", false)) rule.kind = cd_replacing::leading;
        else if (same_word(word, "TRAILING", false)) rule.kind = cd_replacing::trailing;
        if (rule.kind != cd_replacing::whole) pos = at;
        bool pseudo = false;
        if (!read_operand(error, text, pos, rule.from, pseudo)) return 0;
        if (rule.kind != cd_replacing::whole && (!pseudo || words_of(rule.from).size() != 1)) {
            error = "LEADING and TRAILING take pseudo-text holding one word";
            return 0;
        }
        if (words_of(rule.from).empty()) {
            error = "Empty pseudo-text cannot be replaced";
            return 0;
        }
        if (!same_word(next_plain_word(text, pos), "BY", false)) {
            error = "BY missing after " + std::string(pseudo ? "==" + rule.from + "==" : rule.from) + " in REPLACING";
            return 0;
        }
        if (!read_operand(error, text, pos, rule.to, pseudo)) return 0;
        out.push_back(std::move(rule));
    }
    if (out.empty()) {
        error = "REPLACING without operands";
        return 0;
    }
    return 1;
}

void CD_apply_replacing(const std::vector<cd_replacing>& rules, const cd_text& in, cd_text& out) {
    std::vector<std::vector<std::string>> patterns;
    for (const cd_replacing& r : rules) patterns.push_back(words_of(r.from));

    const std::string_view text = in.text;
    std::vector<text_word> words;
    size_t pos = 0;
    text_word w;
    while (next_text_word(text, pos, w)) words.push_back(w);
    auto word_text = [&](size_t i) { return text.substr(words[i].begin, words[i].end - words[i].begin); };

    replaced_text result(in, out);
    size_t copied = 0;
    size_t i = 0;
    while (i < words.size()) {
        bool matched = false;
        for (size_t r = 0; r < rules.size() && !matched; ++r) {
            const std::vector<std::string>& p = patterns[r];
            const cd_replacing& rule = rules[r];
            if (rule.kind == cd_replacing::whole) {
                if (i + p.size() > words.size()) continue;
                bool all = true;
                for (size_t k = 0; k < p.size() && all; ++k)
                    all = words[i + k].literal == (p[k][0] == '\'' || p[k][0] == '"') &&
                          same_word(word_text(i + k), p[k], words[i + k].literal);
                if (!all) continue;
                result.copy(copied, words[i].begin);
                result.insert(rule.to);
                copied = words[i + p.size() - 1].end;
                i += p.size();
                matched = true;
            } else {
                const std::string_view word = word_text(i);
                const std::string& part = p[0];
                if (words[i].literal || word.size() < part.size()) continue;
                const bool leading = rule.kind == cd_replacing::leading;
                const size_t at = leading ? 0 : word.size() - part.size();
                if (!same_word(word.substr(at, part.size()), part, false)) continue;
                result.copy(copied, words[i].begin + at);
                result.insert(rule.to);
                copied = words[i].begin + at + part.size();
                i += 1;
                matched = true;
            }
        }
        if (!matched) ++i;
    }
    result.copy(copied, text.size());
}
