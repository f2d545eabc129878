// cobdef_parse: turns one data description entry into a column_entry.
//
// The accepted language is COBOL data description as copybooks use it:
// level number and name (a clause word, or nothing, where the name belongs
// makes a FILLER), PICTURE, REDEFINES, OCCURS (with TO and DEPENDING ON),
// the usages COMP, COMP-n, BINARY, PACKED-DECIMAL, NATIVE-n, DISPLAY-2,
// POINTER and its kinds, INDEX, NATIONAL and DISPLAY-1, and the sign words
// SEPARATE and EMBEDDED. Each clause word has its handler in kClauseWords;
// every other word is skipped.
//
// Invariants: a quoted literal is one word and never a keyword; names that
// follow DEPENDING ON, INDEXED BY and KEY IS are consumed as names; every
// count is accumulated in 64 bits and checked against the language's
// limits (CD_MAX_ITEM_BYTES, CD_MAX_OCCURS) before it is stored, so no
// picture, however long, can overflow a length.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"
#include "kvstd/strutl.h"

namespace {

bool is_quote(char c) { return c == '\'' || c == '"'; }

// Value of the leading digits of `word`; saturates instead of overflowing.
int64_t leading_number(std::string_view word) {
    int64_t value = 0;
    for (char c : word) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        value = value * 10 + (c - '0');
        if (value > 1000000000) value = 1000000000;
    }
    return value;
}

bool starts_with_digit(std::string_view word) {
    return !word.empty() && std::isdigit(static_cast<unsigned char>(word[0]));
}

bool starts_with(std::string_view word, std::string_view prefix) {
    return word.substr(0, prefix.size()) == prefix;
}

// Words at spaces; a quoted literal stays inside its word even when it
// holds spaces, so its content is never taken for a clause.
void split_words(std::string_view text, std::vector<std::string_view>& words) {
    words.clear();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        const size_t start = i;
        char quote = 0;
        while (i < text.size() && (quote || text[i] != ' ')) {
            if (quote) {
                if (text[i] == quote) quote = 0;
            } else if (is_quote(text[i])) {
                quote = text[i];
            }
            ++i;
        }
        words.push_back(text.substr(start, i - start));
    }
}

// Positions of the first opening and the first closing parenthesis
// outside literals (npos when there is none).
void find_parentheses(const std::string& text, size_t& open, size_t& close) {
    open = close = std::string::npos;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (is_quote(c)) {
            quote = c;
        } else if (c == '(') {
            if (open == std::string::npos) open = i;
        } else if (c == ')') {
            if (close == std::string::npos) close = i;
        }
        if (open != std::string::npos && close != std::string::npos) return;
    }
}

bool is_usage_comp_word(std::string_view w) {
    std::string_view rest;
    if (starts_with(w, "COMPUTATIONAL")) rest = w.substr(13);
    else if (starts_with(w, "COMP")) rest = w.substr(4);
    else return false;
    if (rest.empty()) return true;
    if (rest[0] != '-' || rest.size() < 2) return false;
    rest.remove_prefix(1);
    if (rest == "X" || rest == "N") return true;  // other dialects' byte-count usages
    for (char c : rest)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// Whether a picture holds only 9, S, V and P (repetition factors aside).
bool is_numeric_picture(std::string_view pic) {
    bool in_factor = false;
    for (char c : pic) {
        if (c == '(') in_factor = true;
        else if (c == ')') in_factor = false;
        else if (!in_factor && c != '9' && c != 'S' && c != 'V' && c != 'P') return false;
    }
    return true;
}

// What the clauses of one entry said.
struct clause_values {
    std::string picture_text;
    cd_type_clauses type;
    std::string_view usage_word;  // the usage word as written, for the listing and errors
    bool type_clause = false;     // PICTURE, or a usage that implies a size
    bool seen_redefines = false;
    bool seen_occurs = false;
    bool sync = false;
    std::string_view depending_on;
};

// One entry being read: its words, the next word to read, the entry, and
// the record it joins (for REDEFINES).
struct entry_reader {
    const std::vector<std::string_view>& words;
    size_t next;
    column_entry& entry;
    const cobol_def& current;
    std::string& error;
    clause_values v;

    bool more() const { return next < words.size(); }
    std::string_view peek() const { return more() ? words[next] : std::string_view{}; }
    // Takes the next word when it is `word` (an optional word such as IS).
    bool skip(std::string_view word) {
        if (peek() != word) return false;
        ++next;
        return true;
    }
    std::string_view take() { return more() ? words[next++] : std::string_view{}; }
};

using clause_handler = int (*)(entry_reader& r, std::string_view word);

// Whether an earlier record of the same level number is named `target`:
// a new record may redefine any of them (01 B REDEFINES A, 01 C
// REDEFINES A), which changes nothing in its own layout.
bool names_earlier_record(const column_entry& entry, std::string_view target) {
    const std::vector<cobol_def>& area = CD_definitions();
    for (auto it = area.rbegin(); it != area.rend(); ++it)
        if (it->first_level == entry.level_number && it->def_name == target) return true;
    return false;
}

// The field a REDEFINES names: the nearest earlier field at the entry's
// level that is not itself a redefinition (deeper fields are passed
// over), named either directly or through one of the fields that
// redefine it, as compilers resolve a REDEFINES of a redefinition.
// Returns -1 when there is no such field.
int find_redefined(const cobol_def& current, const column_entry& entry, std::string_view target) {
    if (!current.fields || current.fields->empty()) return -1;
    const std::vector<column_entry>& f = *current.fields;
    size_t k = f.size() - 1;
    bool named = false;
    for (; k > 0 && (f[k].level_number > entry.level_number || f[k].redefines_before_naming != 0); --k)
        named = named || (f[k].level_number == entry.level_number && f[k].name == target);
    if (f[k].level_number != entry.level_number) return -1;
    if (named || f[k].name == target) return static_cast<int>(k);
    return k == 0 && names_earlier_record(entry, target) ? 0 : -1;
}

int picture_clause(entry_reader& r, std::string_view) {
    // A second picture means two entries ran together (a lost period, text
    // beyond the text area): never keep just one.
    if (r.v.type.picture) return CD_error(r.error, "Duplicate PICTURE clause");
    r.skip("IS");
    if (!r.more()) return CD_error(r.error, "Missing PICTURE specification");
    r.v.picture_text.assign(r.take());
    r.v.type.picture = &r.v.picture_text;
    r.v.type_clause = true;
    return 1;
}

int redefines_clause(entry_reader& r, std::string_view) {
    if (r.v.seen_redefines) return CD_error(r.error, "Duplicate REDEFINES clause");
    r.v.seen_redefines = true;
    if (!r.more()) return CD_error(r.error, "Missing REDEFINES field name");
    const int index = find_redefined(r.current, r.entry, r.take());
    if (index < 0) return CD_error(r.error, "Invalid REDEFINES field");
    r.entry.redefines_before_naming = index;
    return 1;
}

int occurs_count(entry_reader& r, int64_t& n) {
    if (!r.more() || !starts_with_digit(r.peek())) return CD_error(r.error, "Invalid OCCURS clause");
    n = leading_number(r.take());
    if (n > CD_MAX_OCCURS)
        return CD_error(r.error, "Invalid OCCURS clause: %lld is more than %lld", static_cast<long long>(n),
                        static_cast<long long>(CD_MAX_OCCURS));
    return 1;
}

int occurs_clause(entry_reader& r, std::string_view) {
    if (r.v.seen_occurs) return CD_error(r.error, "Duplicate OCCURS clause");
    r.v.seen_occurs = true;
    // OCCURS n TO m: the record must hold m occurrences, and n may then be 0.
    int64_t n = 0;
    if (!occurs_count(r, n)) return 0;
    if (r.skip("TO")) {
        int64_t m = 0;
        if (!occurs_count(r, m)) return 0;
        if (m < n) return CD_error(r.error, "Invalid OCCURS clause");
        n = m;
    }
    if (n < 1) return CD_error(r.error, "Invalid OCCURS clause");
    r.entry.occurs = static_cast<int32_t>(n);
    return 1;
}

// Every usage word goes through here: an entry has one usage, and a
// second one (PIC 9(5) COMP-3 COMP) is refused as compilers refuse it,
// rather than one of them silently winning.
int set_usage(entry_reader& r, std::string_view w, cd_usage_word usage, bool sized) {
    if (r.v.type.usage != cd_usage_word::none) {
        const std::string first(r.v.usage_word), second(w);
        return CD_error(r.error, "Two usages on one entry: %s and %s", first.c_str(), second.c_str());
    }
    r.v.type.usage = usage;
    r.v.usage_word = w;
    if (sized) r.v.type_clause = true;
    return 1;
}

// COMP, COMP-n, COMPUTATIONAL-n: any word that begins with COMP.
int comp_usage(entry_reader& r, std::string_view w) {
    const size_t hyphen = w.find('-');
    if (hyphen == std::string_view::npos) return set_usage(r, w, cd_usage_word::comp, true);
    const std::string_view number = w.substr(hyphen + 1);
    if (!starts_with_digit(number)) return CD_error(r.error, "Invalid COMP specifier");
    const int64_t n = leading_number(number);
    if (n > 6) return CD_error(r.error, "Invalid or unsupported COMP specifier");
    static constexpr cd_usage_word kByNumber[] = {cd_usage_word::comp,  cd_usage_word::comp1, cd_usage_word::comp2,
                                                  cd_usage_word::comp3, cd_usage_word::comp4, cd_usage_word::comp5,
                                                  cd_usage_word::comp6};
    return set_usage(r, w, kByNumber[n], true);
}

// NATIVE-2, NATIVE-4, NATIVE-8: any word that begins with NATIVE.
int native_usage(entry_reader& r, std::string_view w) {
    const size_t hyphen = w.find('-');
    if (hyphen == std::string_view::npos) return CD_error(r.error, "Invalid NATIVE clause");
    const std::string_view number = w.substr(hyphen + 1);
    const int64_t n = starts_with_digit(number) ? leading_number(number) : 0;
    if (n != 2 && n != 4 && n != 8) return CD_error(r.error, "Invalid NATIVE specifier");
    r.v.type.native_size = static_cast<int>(n);
    return set_usage(r, w, cd_usage_word::native, true);
}

int binary_usage(entry_reader& r, std::string_view w) { return set_usage(r, w, cd_usage_word::binary, true); }

int packed_usage(entry_reader& r, std::string_view w) { return set_usage(r, w, cd_usage_word::comp3, true); }

// Pointers and indexes hold addresses and offsets: unsigned binary
// integers of their size.
int pointer_usage(entry_reader& r, std::string_view w) {
    const bool eight = w == "POINTER-64" || w == "PROCEDURE-POINTER";
    return set_usage(r, w, w == "INDEX" ? cd_usage_word::index : eight ? cd_usage_word::pointer8 : cd_usage_word::pointer,
                     true);
}

int national_usage(entry_reader& r, std::string_view w) {
    return set_usage(r, w, w == "NATIONAL" ? cd_usage_word::national : cd_usage_word::display1, false);
}

int display_usage(entry_reader& r, std::string_view w) { return set_usage(r, w, cd_usage_word::display, false); }

int display2_usage(entry_reader& r, std::string_view w) { return set_usage(r, w, cd_usage_word::display2, false); }

int leading_sign(entry_reader& r, std::string_view) {
    r.v.type.sign_leading = true;
    return 1;
}

int trailing_sign(entry_reader& r, std::string_view) {
    r.v.type.sign_leading = false;
    return 1;
}

int sync_clause(entry_reader& r, std::string_view) {
    r.v.sync = true;
    return 1;
}

int separate_sign(entry_reader& r, std::string_view) {
    r.v.type.sign = cd_sign_word::separate;
    return 1;
}

int embedded_sign(entry_reader& r, std::string_view) {
    r.v.type.sign = cd_sign_word::embedded;
    return 1;
}

bool is_clause_word(std::string_view w);

// DEPENDING ON name [OF|IN qualifier ...]: the names are not clauses.
int depending_phrase(entry_reader& r, std::string_view) {
    r.skip("ON");
    if (!r.more()) return 1;
    r.v.depending_on = r.take();
    while (r.peek() == "OF" || r.peek() == "IN") {
        r.take();
        r.take();
    }
    return 1;
}

// INDEXED BY names, ASCENDING/DESCENDING KEY IS names: every name up to
// the next clause word is read over.
int name_list_phrase(entry_reader& r, std::string_view) {
    r.skip("BY");
    r.skip("KEY");
    r.skip("IS");
    while (r.more() && !is_clause_word(r.peek())) r.take();
    return 1;
}

struct clause_word {
    std::string_view word;
    clause_handler handler;  // null: a clause word that changes nothing here
};

// Every clause word, sorted; a word not listed (a value, a phrase word
// such as TIMES) is read over.
constexpr clause_word kClauseWords[] = {
    {"ASCENDING", name_list_phrase},
    {"BINARY", binary_usage},
    {"BLANK", nullptr},
    {"BY", nullptr},
    {"CHARACTER", nullptr},
    {"DEPENDING", depending_phrase},
    {"DESCENDING", name_list_phrase},
    {"DISPLAY", display_usage},
    {"DISPLAY-1", national_usage},
    {"DISPLAY-2", display2_usage},
    {"EMBEDDED", embedded_sign},
    {"EXTERNAL", nullptr},
    {"FUNCTION-POINTER", pointer_usage},
    {"GLOBAL", nullptr},
    {"INDEX", pointer_usage},
    {"INDEXED", name_list_phrase},
    {"IS", nullptr},
    {"JUST", nullptr},
    {"JUSTIFIED", nullptr},
    {"KEY", nullptr},
    {"LEADING", leading_sign},
    {"LEFT", nullptr},
    {"NATIONAL", national_usage},
    {"NATIVE", native_usage},
    {"NATIVE-2", native_usage},
    {"NATIVE-4", native_usage},
    {"NATIVE-8", native_usage},
    {"OCCURS", occurs_clause},
    {"ON", nullptr},
    {"PACKED-DECIMAL", packed_usage},
    {"PIC", picture_clause},
    {"PICTURE", picture_clause},
    {"POINTER", pointer_usage},
    {"POINTER-32", pointer_usage},
    {"POINTER-64", pointer_usage},
    {"PROCEDURE-POINTER", pointer_usage},
    {"REDEFINES", redefines_clause},
    {"RIGHT", nullptr},
    {"SEPARATE", separate_sign},
    {"SIGN", nullptr},
    {"SYNC", sync_clause},
    {"SYNCHRONIZED", sync_clause},
    {"TIMES", nullptr},
    {"TO", nullptr},
    {"TRAILING", trailing_sign},
    {"USAGE", nullptr},
    {"UTF-8", nullptr},
    {"VALUE", nullptr},
    {"VALUES", nullptr},
    {"WHEN", nullptr},
    {"ZERO", nullptr},
    {"ZEROES", nullptr},
    {"ZEROS", nullptr},
};

const clause_word* find_clause_word(std::string_view w) {
    const auto* end = std::end(kClauseWords);
    const auto* it = std::lower_bound(std::begin(kClauseWords), end, w,
                                      [](const clause_word& c, std::string_view key) { return c.word < key; });
    return it != end && it->word == w ? it : nullptr;
}

// Words that begin a clause; they end a list of names after INDEXED BY or
// KEY IS, and one standing where the name belongs makes the entry a
// FILLER. Data names are never reserved words, so a name such as
// COMP-COUNT or NATIVE-ID is still taken as a name.
bool is_clause_word(std::string_view w) { return find_clause_word(w) || is_usage_comp_word(w); }

// The handler of a word: a listed word's, or for the usages named by
// their beginning (COMP..., NATIVE...) theirs; null to read it over.
clause_handler handler_of(std::string_view w) {
    if (starts_with(w, "COMP")) return comp_usage;
    if (starts_with(w, "NATIVE")) return native_usage;
    const clause_word* c = find_clause_word(w);
    return c ? c->handler : nullptr;
}

// The entry's name, from the word after the level number: its longest
// leading run of name characters, at most CD_MAX_NAME of them. No name
// (a clause word there, or nothing) makes the entry a FILLER.
int read_name(entry_reader& r) {
    if (!r.more() || is_clause_word(r.peek())) {
        r.entry.name = "FILLER";
        return 1;
    }
    const std::string_view w = r.take();
    size_t n = 0;
    while (n < w.size()) {
        const char c = w[n];
        const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!(alnum || c == '-' || c == '_' || c == '.' || c == '[' || c == ']')) break;
        ++n;
    }
    if (n == 0) return CD_error(r.error, "Invalid or missing field name");
    r.entry.name.assign(w.substr(0, std::min<size_t>(n, CD_MAX_NAME)));
    return 1;
}

}  // namespace

size_t CD_find_separator_period(std::string_view text, char& quote) {
    // memchr keeps this scan, which sees every byte of a file, fast.
    const char* const base = text.data();
    const size_t n = text.size();
    auto next = [&](size_t from, char c) {
        const void* p = from < n ? std::memchr(base + from, c, n - from) : nullptr;
        return p ? static_cast<size_t>(static_cast<const char*>(p) - base) : n;
    };
    size_t i = 0;
    // Next position of each character at or after i; recomputed only once
    // passed.
    size_t dot = 0, apostrophe = 0, double_quote = 0;
    bool stale = true;
    while (i < n) {
        if (quote) {
            const size_t close = next(i, quote);
            if (close == n) return std::string_view::npos;
            quote = 0;
            i = close + 1;
            stale = true;
            continue;
        }
        if (stale) {
            dot = next(i, '.');
            apostrophe = next(i, '\'');
            double_quote = next(i, '"');
            stale = false;
        } else {
            if (dot < i) dot = next(i, '.');
            if (apostrophe < i) apostrophe = next(i, '\'');
            if (double_quote < i) double_quote = next(i, '"');
        }
        const size_t q = std::min(apostrophe, double_quote);
        if (q < dot) {
            quote = base[q];
            i = q + 1;
            stale = true;
            continue;
        }
        if (dot == n) return std::string_view::npos;
        if (dot + 1 == n || base[dot + 1] == ' ' || base[dot + 1] == '\t') return dot;
        i = dot + 1;
    }
    return std::string_view::npos;
}

int CD_parse_field(std::string& error, std::string_view statement, const cobol_def& current,
                   column_entry& entry, int& is_field, cd_entry_text* written, cd_parse_facts* facts) {
    if (facts) *facts = {};
    entry = column_entry{};
    is_field = 1;

    // Reused across calls: entries are parsed one at a time, and this
    // saves two allocations per entry of a large file.
    static std::string text;
    text.assign(statement);
    for (char& c : text) c = kvAsciiUpper(c);
    char quote = 0;
    const size_t end = CD_find_separator_period(text, quote);
    if (end != std::string::npos) text.resize(end);

    // A spaced repetition factor such as X( 10 ) is closed up first.
    size_t open = std::string::npos, close = std::string::npos;
    if (text.find("( ") != std::string::npos || text.find(" )") != std::string::npos)
        find_parentheses(text, open, close);
    if (open != std::string::npos) {
        while (open + 1 < text.size() && text[open + 1] == ' ') text.erase(open + 1, 1);
        find_parentheses(text, open, close);
    }
    if (close != std::string::npos)
        while (close > 0 && text[close - 1] == ' ') text.erase(--close, 1);

    static std::vector<std::string_view> words;
    split_words(text, words);

    if (words.empty() || !starts_with_digit(words[0])) return CD_error(error, "Invalid level specified");
    const int64_t level = leading_number(words[0]);
    if (level < 1 || level > 88) return CD_error(error, "Invalid level specified");
    if (level > 50) {
        is_field = 0;
        return 1;
    }
    entry.level_number = static_cast<int16_t>(level);

    entry_reader r{words, 1, entry, current, error, {}};
    if (!read_name(r)) return 0;
    while (r.more()) {
        const std::string_view w = r.take();
        const clause_handler handler = handler_of(w);
        if (handler && !handler(r, w)) return 0;
    }
    if (written) {
        written->level = entry.level_number;
        written->name = entry.name;
        written->picture = r.v.picture_text;
        written->usage.assign(r.v.usage_word);
        written->depending_on.assign(r.v.depending_on);
    }
    entry.sync = r.v.sync;
    // A usage word alone (DISPLAY, NATIONAL) makes no item without a picture.
    if (!r.v.type_clause && !r.v.type.picture) return 1;
    entry.elementary = 1;
    const cd_usage_word usage = r.v.type.usage;
    if ((usage == cd_usage_word::national || usage == cd_usage_word::display1) && r.v.type.picture &&
        is_numeric_picture(*r.v.type.picture))
        return CD_error(error, "USAGE NATIONAL or DISPLAY-1 with a numeric picture is not supported");
    if (facts) facts->usage = usage;
    return CD_set_data_type(error, entry, r.v.type, current.dialect, facts ? &facts->digits : nullptr);
}

namespace {

// A literal of a VALUE clause, its quotes removed (a doubled quote inside
// stands for one).
cd_condition_value literal_of(std::string_view word) {
    cd_condition_value v;
    if (word.size() >= 2 && is_quote(word[0]) && word.back() == word[0]) {
        v.quoted = true;
        const char q = word[0];
        for (size_t i = 1; i + 1 < word.size(); ++i) {
            v.low += word[i];
            if (word[i] == q && i + 2 < word.size() && word[i + 1] == q) ++i;
        }
    } else {
        v.low.assign(word);
    }
    return v;
}

}  // namespace

int CD_parse_condition(std::string& error, std::string_view statement, cd_condition& condition) {
    std::string text(statement);
    char quote = 0;
    const size_t end = CD_find_separator_period(text, quote);
    if (end != std::string::npos) text.resize(end);
    // Upper case outside literals, which keep their case; commas and
    // semicolons there separate values as blanks do ('A', 'B').
    quote = 0;
    for (char& c : text) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (is_quote(c)) {
            quote = c;
        } else {
            c = c == ',' || c == ';' ? ' ' : kvAsciiUpper(c);
        }
    }
    std::vector<std::string_view> words;
    split_words(text, words);
    // No CD_error here: an 88 entry that cannot be read is passed over, and
    // the reader must go on.
    const auto fail = [&](std::string text) {
        error = std::move(text);
        return 0;
    };
    if (words.size() < 2) return fail("Invalid or missing condition name");
    condition.name.assign(words[1]);
    condition.values.clear();
    size_t i = 2;
    while (i < words.size() && words[i] != "VALUE" && words[i] != "VALUES") ++i;
    if (i == words.size()) return fail("The condition name " + condition.name + " has no VALUE clause");
    for (++i; i < words.size(); ++i) {
        const std::string_view w = words[i];
        if (w == "IS" || w == "ARE") continue;
        // WHEN SET TO FALSE names what SET ... TO FALSE moves: no value of the condition.
        if (w == "WHEN" || w == "FALSE") break;
        if (w == "THRU" || w == "THROUGH") {
            if (condition.values.empty() || i + 1 >= words.size()) return fail("THRU needs a value before and after it");
            condition.values.back().high = literal_of(words[++i]).low;
            continue;
        }
        condition.values.push_back(literal_of(w));
    }
    if (condition.values.empty()) return fail("The condition name " + condition.name + " has no VALUE clause");
    return 1;
}

namespace {

struct picture_summary {
    int64_t positions = 0;  // bytes of storage
    int64_t digits = 0;     // 9 positions
    int64_t scale = 0;
    int64_t p_left = 0;     // P positions before the digits: decimal places that hold zero
    int64_t p_right = 0;    // P positions after the digits: each multiplies by ten
    bool is_signed = false;
    bool numeric = true;
    bool p_misplaced = false;  // a 9 after right P positions, or V after left ones
    bool national = false, dbcs = false, utf8 = false;
};

enum class picture_fault { none, invalid, factor_too_large, too_large };

// The factor of a symbol at pic[i] when a parenthesis follows it (i is
// moved past it), else 1; -1 for a malformed one.
int64_t repetition(const std::string& pic, size_t& i, bool repeatable, picture_fault& fault) {
    if (i >= pic.size() || pic[i] != '(') return 1;
    fault = picture_fault::invalid;
    if (!repeatable) return -1;
    const size_t closing = pic.find(')', i + 1);
    if (closing == std::string::npos || closing == i + 1) return -1;
    for (size_t k = i + 1; k < closing; ++k)
        if (!std::isdigit(static_cast<unsigned char>(pic[k]))) return -1;
    const int64_t factor = leading_number(std::string_view(pic).substr(i + 1));
    if (factor < 1) return -1;
    if (factor > CD_MAX_ITEM_BYTES) {
        fault = picture_fault::factor_too_large;
        return -1;
    }
    fault = picture_fault::none;
    i = closing + 1;
    return factor;
}

// Reads a picture symbol by symbol. Refuses a string that is not a
// picture, so that no unknown symbol can silently take no storage.
picture_fault read_picture(const std::string& pic, picture_summary& out) {
    bool after_v = false;
    size_t i = 0;
    const size_t n = pic.size();
    while (i < n) {
        const char c = pic[i++];
        int64_t unit = 1;       // storage of one occurrence of the symbol
        bool repeatable = true;
        bool digit_position = false;  // counts a scale digit after the V
        switch (c) {
        case 'S':
            out.is_signed = true;
            unit = 0;
            repeatable = false;
            break;
        case 'V':
            if (out.p_left > 0) out.p_misplaced = true;
            after_v = true;
            unit = 0;
            repeatable = false;
            break;
        case '9':
            if (out.p_right > 0) out.p_misplaced = true;
            digit_position = true;
            break;
        case 'X': case 'A': case 'Z':
            digit_position = true;
            out.numeric = false;
            break;
        case 'P':
            // P after a V and digits (99VPP) has no point to stand beside.
            if (after_v && out.digits > 0) out.p_misplaced = true;
            unit = 0;
            break;
        case 'B': case '0': case '/': case ',': case '.': case '+': case '-': case '*':
        case '$': case 'E':
            out.numeric = false;
            break;
        case 'N': case 'G':
            unit = 2;  // national and DBCS characters take two bytes
            out.numeric = false;
            (c == 'N' ? out.national : out.dbcs) = true;
            break;
        case 'U':
            unit = 4;  // UTF-8: room for four bytes a character
            out.numeric = false;
            out.utf8 = true;
            break;
        case 'C': case 'D':
            if (i >= n || pic[i] != (c == 'C' ? 'R' : 'B')) return picture_fault::invalid;
            ++i;
            unit = 2;
            repeatable = false;
            out.numeric = false;
            break;
        default:
            return picture_fault::invalid;
        }
        picture_fault fault = picture_fault::none;
        const int64_t factor = repetition(pic, i, repeatable, fault);
        if (factor < 0) return fault;
        if (c == 'P') (out.digits > 0 ? out.p_right : out.p_left) += factor;
        if (c == '9') out.digits += factor;
        out.positions += unit * factor;
        if (after_v && digit_position) out.scale += factor;
        if (out.positions > CD_MAX_ITEM_BYTES || out.p_left + out.p_right > CD_MAX_ITEM_BYTES)
            return picture_fault::too_large;
    }
    return picture_fault::none;
}

int item_too_large(std::string& error, const column_entry& entry) {
    return CD_error(error, "Field %s is too large (more than %lld bytes)", entry.name.c_str(),
                    static_cast<long long>(CD_MAX_ITEM_BYTES));
}

// A numeric picture with P: the digits keep their places and the P
// positions scale them. P stands at one end of the digits only, and a V
// only where the P leave room for the point (VPP999, 999PPV).
int apply_p_scaling(std::string& error, const picture_summary& pic, column_entry& entry) {
    if (pic.p_left == 0 && pic.p_right == 0) return 1;
    if (pic.p_misplaced || (pic.p_left > 0 && pic.p_right > 0) || pic.digits == 0)
        return CD_error(error, "Invalid PICTURE string: P stands at one end of the digits");
    if (pic.p_right > CD_MAX_P_SCALING)
        return CD_error(error, "Invalid PICTURE string: more than %d P positions", CD_MAX_P_SCALING);
    if (pic.p_left > CD_MAX_P_SCALING)
        return CD_error(error, "Invalid PICTURE string: more than %d P positions", CD_MAX_P_SCALING);
    // Leading P: the point lies left of them, so every digit is a decimal place.
    entry.p_scale = static_cast<int8_t>(pic.p_right > 0 ? pic.p_right : -pic.p_left);
    if (pic.p_left > 0) entry.scale = static_cast<int32_t>(pic.p_left + pic.digits);
    return 1;
}

// The storage a usage gives an item, by dialect and digits.
struct storage {
    int16_t type = CD_TYPE_CHAR;
    int64_t length = 0;
    cd_usage usage = CD_USAGE_DISPLAY;
    bool needs_picture = false;
};

storage binary_by_digits(int64_t digits, cd_usage usage) {
    if (digits <= 4) return {CD_TYPE_BIN16, 2, usage, true};
    if (digits <= 9) return {CD_TYPE_BIN32, 4, usage, true};
    return {CD_TYPE_BIN64, 8, usage, true};
}

storage storage_of(const cd_type_clauses& c, cd_dialect dialect, int64_t digits) {
    const bool ibm = dialect == cd_dialect::ibm;
    switch (c.usage) {
    case cd_usage_word::comp:
    case cd_usage_word::binary: return binary_by_digits(digits, CD_USAGE_BINARY);
    case cd_usage_word::comp1: return {CD_TYPE_FLOAT32, 4, CD_USAGE_FLOAT};
    case cd_usage_word::comp2: return {CD_TYPE_FLOAT64, 8, CD_USAGE_FLOAT};
    case cd_usage_word::comp3: return {CD_TYPE_PACKED, digits / 2 + 1, CD_USAGE_PACKED};
    case cd_usage_word::comp4:
        return ibm ? binary_by_digits(digits, CD_USAGE_BINARY) : storage{CD_TYPE_BIN16, 2, CD_USAGE_BINARY};
    case cd_usage_word::comp5:
        return ibm ? binary_by_digits(digits, CD_USAGE_NATIVE_BINARY)
                   : storage{CD_TYPE_BIN32, 4, CD_USAGE_NATIVE_BINARY};
    case cd_usage_word::comp6:
        return ibm ? storage{CD_TYPE_PACKED, (digits + 1) / 2, CD_USAGE_PACKED_UNSIGNED, true}
                   : storage{CD_TYPE_BIN64, 8, CD_USAGE_BINARY};
    case cd_usage_word::native:
        return c.native_size == 2   ? storage{CD_TYPE_BIN16, 2, CD_USAGE_NATIVE_BINARY}
               : c.native_size == 4 ? storage{CD_TYPE_BIN32, 4, CD_USAGE_NATIVE_BINARY}
                                    : storage{CD_TYPE_BIN64, 8, CD_USAGE_NATIVE_BINARY};
    case cd_usage_word::pointer: return {CD_TYPE_BIN32, 4, CD_USAGE_POINTER};
    case cd_usage_word::pointer8: return {CD_TYPE_BIN64, 8, CD_USAGE_POINTER};
    case cd_usage_word::index: return {CD_TYPE_BIN32, 4, CD_USAGE_INDEX};
    default: return {CD_TYPE_CHAR, 0, CD_USAGE_DISPLAY, true};
    }
}

// The sign position of a numeric item.
cd_sign sign_of(const cd_type_clauses& c, cd_usage usage, bool is_signed) {
    if (usage == CD_USAGE_FLOAT) return CD_SIGN_COMPLEMENT;
    if (!is_signed || usage == CD_USAGE_POINTER || usage == CD_USAGE_INDEX) return CD_SIGN_NONE;
    if (usage == CD_USAGE_BINARY || usage == CD_USAGE_NATIVE_BINARY) return CD_SIGN_COMPLEMENT;
    if (usage == CD_USAGE_PACKED) return CD_SIGN_TRAILING;
    if (c.sign == cd_sign_word::separate) return c.sign_leading ? CD_SIGN_LEADING_SEPARATE : CD_SIGN_TRAILING_SEPARATE;
    return c.sign_leading ? CD_SIGN_LEADING : CD_SIGN_TRAILING;
}

// The usage of a display item, from its picture's characters.
cd_usage display_usage_of(const cd_type_clauses& c, const picture_summary& pic) {
    if (c.usage == cd_usage_word::display2) return CD_USAGE_DISPLAY2;
    if (c.usage == cd_usage_word::display1 || pic.dbcs) return CD_USAGE_DBCS;
    if (c.usage == cd_usage_word::national || pic.national) return CD_USAGE_NATIONAL;
    if (pic.utf8) return CD_USAGE_UTF8;
    return CD_USAGE_DISPLAY;
}

}  // namespace

bool CD_binary_too_narrow(cd_usage_word usage, int64_t digits) {
    switch (usage) {
    case cd_usage_word::comp4: return digits > 4;
    case cd_usage_word::comp5: return digits > 9;
    case cd_usage_word::comp6: return digits > 18;
    default: return false;
    }
}

int CD_set_data_type(std::string& error, column_entry& entry, const cd_type_clauses& c, cd_dialect dialect,
                     int64_t* digits_out) {
    picture_summary pic;
    if (c.picture) {
        switch (read_picture(*c.picture, pic)) {
        case picture_fault::none: break;
        case picture_fault::too_large: return item_too_large(error, entry);
        case picture_fault::factor_too_large:
            return CD_error(error, "Invalid PICTURE string: a repetition factor is more than %lld",
                            static_cast<long long>(CD_MAX_ITEM_BYTES));
        case picture_fault::invalid: return CD_error(error, "Invalid PICTURE string");
        }
        // A picture must describe at least one character position.
        if (pic.positions == 0) return CD_error(error, "Invalid PICTURE string");
    }
    // A binary or packed item is sized by its picture's positions; P
    // positions are not stored.
    const int64_t digits = pic.positions;
    if (digits_out) *digits_out = digits;

    storage st = storage_of(c, dialect, digits);
    const bool display = c.usage == cd_usage_word::none || c.usage == cd_usage_word::display ||
                         c.usage == cd_usage_word::national || c.usage == cd_usage_word::display1 ||
                         c.usage == cd_usage_word::display2;
    if (!display && st.needs_picture && !c.picture) {
        if (c.usage == cd_usage_word::comp || c.usage == cd_usage_word::binary)
            return CD_error(error, "Missing PICTURE clause for COMP field");
        return CD_error(error, "Missing PICTURE clause for %s field",
                        c.usage == cd_usage_word::comp4 ? "COMP-4" : c.usage == cd_usage_word::comp5 ? "COMP-5" : "COMP-6");
    }
    if (st.usage == CD_USAGE_PACKED_UNSIGNED && pic.is_signed)
        return CD_error(error, "COMP-6 is unsigned packed decimal: its picture cannot have S");
    const bool display2 = c.usage == cd_usage_word::display2;
    if (display) {
        if (!c.picture) return CD_error(error, "Invalid PICTURE string");
        if (!pic.numeric) {
            st = {display2 ? CD_TYPE_VARCHAR : CD_TYPE_CHAR, digits, display_usage_of(c, pic)};
        } else {
            st = {pic.is_signed ? CD_TYPE_SNUM : CD_TYPE_UNUM,
                  digits + (pic.is_signed && c.sign == cd_sign_word::separate ? 1 : 0), display_usage_of(c, pic)};
        }
    }
    const int64_t length = st.length;
    int64_t ext_len = st.type == CD_TYPE_PACKED ? digits : length;
    if (display2) ext_len += 2;
    if (length > CD_MAX_ITEM_BYTES || ext_len > CD_MAX_ITEM_BYTES + 2) return item_too_large(error, entry);

    entry.data_type = st.type;
    entry.usage = st.usage;
    // National and DBCS text has a type-map key of its own (kvIsNcharColumn).
    entry.data_subtype = st.type == CD_TYPE_CHAR && (st.usage == CD_USAGE_NATIONAL || st.usage == CD_USAGE_DBCS);
    entry.sign = pic.numeric && c.picture ? sign_of(c, st.usage, pic.is_signed) : sign_of(c, st.usage, false);
    entry.int_len = entry.bin_len = entry.tbl_len = static_cast<int32_t>(length);
    entry.ext_len = static_cast<int32_t>(ext_len);
    entry.scale = c.picture ? static_cast<int32_t>(pic.scale) : 0;
    return pic.numeric && c.picture ? apply_p_scaling(error, pic, entry) : 1;
}
