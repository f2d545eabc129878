// colnaming: owns expand_options, which lives for the whole run and is
// changed only field by field: an EXPANDDDL changes the fields its words
// name and nothing else, and a refused word stops the command with the
// earlier words applied.
#include "kvapp/colnaming.h"

#include <cctype>
#include <climits>
#include <vector>

#include "kvstd/memutl.h"

expand_options_t* expand_options = nullptr;

void create_expand_options() {
    expand_options = static_cast<expand_options_t*>(kvMalloc(sizeof(expand_options_t)));
    if (!expand_options) return;
    *expand_options = expand_options_t{3, 1, 0, 0, 1, 0, 1, 30};
}

namespace {

struct option_word {
    const char* word;
    int32_t expand_options_t::*field;
    int32_t value;
};

const option_word kOptionWords[] = {
    {"USEBRACKETS", &expand_options_t::style, 1},
    {"NOEXPANSION", &expand_options_t::style, 0},
    {"USEUNDERSCORE", &expand_options_t::style, 2},
    {"USETWOUNDERSCORES", &expand_options_t::style, 4},
    {"USEDASH", &expand_options_t::style, 3},
    {"NORESOLVEDUPS", &expand_options_t::resolve_dups, 0},
    {"RESOLVEDUPINDEX", &expand_options_t::resolve_dups, 1},
    {"RESOLVEDUPALPHAINDEX", &expand_options_t::resolve_dups, 2},
    {"RESOLVEDUPGROUP", &expand_options_t::resolve_dups, 3},
    {"EXPANDGROUPARRAYS", &expand_options_t::expand_group_arrays, 1},
    {"NOEXPANDGROUPARRAYS", &expand_options_t::expand_group_arrays, 0},
    {"FIXLONGNAMES", &expand_options_t::fix_long_names, 1},
    {"NOFIXLONGNAMES", &expand_options_t::fix_long_names, 0},
    {"INCLUDEREDEFS", &expand_options_t::omit_redefs, 0},
    {"OMITREDEFS", &expand_options_t::omit_redefs, 1},
};

std::vector<std::string> upper_words(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    for (char c : command + " ") {
        if (c == ' ' || c == ',') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return words;
}

// The leading (signed) digits of a word, 0 without digits. Values beyond
// 32 bits stop at the nearest bound instead of wrapping into a different
// option value.
int32_t leading_number(const std::string& word) {
    size_t at = 0;
    const bool negative = !word.empty() && word[0] == '-';
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) at = 1;
    int64_t value = 0;
    for (; at < word.size() && std::isdigit(static_cast<unsigned char>(word[at])); ++at) {
        value = value * 10 + (word[at] - '0');
        if (value > INT32_MAX) break;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

const option_word* find_word(const std::string& word) {
    for (const option_word& o : kOptionWords)
        if (word == o.word) return &o;
    return nullptr;
}

bool refuse(std::string& error, const std::string& text) {
    error = text;
    return false;
}

// ZEROFILL's value: ARRAYWIDTH stands for -1; a number must not be negative.
bool read_zero_fill(const std::string* next, int32_t& zero_fill) {
    if (!next) return false;
    if (*next == "ARRAYWIDTH") {
        zero_fill = -1;
        return true;
    }
    const int32_t value = leading_number(*next);
    if (value < 0) return false;
    zero_fill = value;
    return true;
}

// Applies the words after the keyword; false with `error` set on the first
// word refused.
bool apply_words(const std::vector<std::string>& words, expand_options_t& opts,
                 std::string& error) {
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        const std::string* next = i + 1 < words.size() ? &words[i + 1] : nullptr;
        if (const option_word* o = find_word(word)) {
            opts.*(o->field) = o->value;
        } else if (word == "MAXCOLNAMELEN") {
            if (!next) return refuse(error, "missing argument for MAXCOLNAMELEN");
            opts.max_col_name_len = leading_number(*next);
            ++i;
        } else if (word == "ZEROFILL") {
            if (!read_zero_fill(next, opts.zero_fill))
                return refuse(error, "missing argument for ZEROFILL");
            ++i;
        } else {
            return refuse(error, "invalid option (" + word + ")");
        }
    }
    return true;
}

}  // namespace

int parse_expand_options(std::string& error, const std::string& command) {
    error.clear();
    expand_options_t scratch{};
    expand_options_t& opts = expand_options ? *expand_options : scratch;
    if (!apply_words(upper_words(command), opts, error)) return 0;
    if (opts.style == 0) opts.expand_group_arrays = 0;
    return 1;
}
