// cobdef_parse: turns one data description entry into a column_entry.
//
// The accepted language is a small subset of COBOL data description: level
// number and name, PICTURE, REDEFINES, OCCURS (with TO and DEPENDING ON),
// the usages COMP, COMP-n, BINARY, PACKED-DECIMAL, NATIVE-n and DISPLAY-2,
// and the sign words SEPARATE and EMBEDDED. Every other word is skipped.
//
// Invariants: a quoted literal is one word and never a keyword; names that
// follow DEPENDING ON, INDEXED BY and KEY IS are consumed as names; every
// count is accumulated in 64 bits and checked against CD_MAX_BYTES before it
// is stored, so no picture, however long, can overflow a length.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

#include "kvapp/cobdef.h"

namespace {

bool is_quote(char c) { return c == '\'' || c == '"'; }

// Copybook text is single-byte; only ASCII letters change case, whatever
// the locale.
char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

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

// Words that begin a clause; they end a list of names after INDEXED BY or
// KEY IS. Data names are never reserved words, so a name such as COMP-COUNT
// or NATIVE-ID is still taken as a name.
bool is_clause_word(std::string_view w) {
    static constexpr std::string_view kWords[] = {
        "PIC", "PICTURE", "USAGE", "VALUE", "VALUES", "REDEFINES", "OCCURS", "TO", "TIMES",
        "DEPENDING", "ON", "INDEXED", "BY", "ASCENDING", "DESCENDING", "KEY", "IS", "SIGN",
        "LEADING", "TRAILING", "SEPARATE", "EMBEDDED", "CHARACTER", "SYNC", "SYNCHRONIZED",
        "JUST", "JUSTIFIED", "RIGHT", "LEFT", "BLANK", "WHEN", "ZERO", "ZEROS", "ZEROES",
        "BINARY", "PACKED-DECIMAL", "DISPLAY", "DISPLAY-1", "DISPLAY-2", "NATIONAL", "INDEX",
        "POINTER", "GLOBAL", "EXTERNAL", "NATIVE", "NATIVE-2", "NATIVE-4", "NATIVE-8"};
    static const std::vector<std::string_view> sorted = [] {
        std::vector<std::string_view> v(std::begin(kWords), std::end(kWords));
        std::sort(v.begin(), v.end());
        return v;
    }();
    return std::binary_search(sorted.begin(), sorted.end(), w) || is_usage_comp_word(w);
}

struct clause_values {
    const std::string* picture = nullptr;
    std::string picture_text;
    bool comp_given = false;
    int comp_number = 0;
    int native_size = 0;
    cd_sign_word sign = cd_sign_word::none;
    bool display2 = false;
    bool type_clause = false;
};

// The field a REDEFINES names: the nearest earlier field that is neither
// deeper than the new entry nor itself a redefinition.
// Returns -1 when there is no such field.
int find_redefined(const cobol_def& current, const column_entry& entry, std::string_view target) {
    if (!current.fields || current.fields->empty()) return -1;
    const std::vector<column_entry>& f = *current.fields;
    size_t k = f.size() - 1;
    while (k > 0 && (f[k].level > entry.level || f[k].redefines != 0)) --k;
    if (f[k].level != entry.level || f[k].name != target) return -1;
    return static_cast<int>(k);
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
                   column_entry& entry, int& is_field) {
    entry = column_entry{};
    is_field = 1;

    // Reused across calls: entries are parsed one at a time, and this
    // saves two allocations per entry of a large file.
    static std::string text;
    text.assign(statement);
    for (char& c : text) c = ascii_upper(c);
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
    entry.level = static_cast<int16_t>(level);

    if (words.size() < 2) return CD_error(error, "Invalid or missing field name");
    size_t i = 2;
    if (words[1] != "PIC" && words[1] != "PICTURE" && is_clause_word(words[1])) {
        // An entry without a name is a FILLER; its first clause must not be
        // taken for a name, or an OCCURS or a usage would be lost.
        entry.name = "FILLER";
        i = 1;
    } else {
        const std::string_view w = words[1];
        size_t n = 0;
        while (n < w.size()) {
            const char c = w[n];
            const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            if (!(alnum || c == '-' || c == '_' || c == '.' || c == '[' || c == ']')) break;
            ++n;
        }
        if (n == 0) return CD_error(error, "Invalid or missing field name");
        entry.name.assign(w.substr(0, n));
    }

    clause_values v;
    bool seen_redefines = false;
    bool seen_occurs = false;
    const size_t count = words.size();
    // Consumes a data name and its qualifiers (X OF Y IN Z).
    auto skip_qualified_name = [&]() {
        if (i >= count) return;
        ++i;
        while (i + 1 < count && (words[i] == "OF" || words[i] == "IN")) i += 2;
    };
    while (i < count) {
        const std::string_view w = words[i++];
        if (w == "PIC" || w == "PICTURE") {
            // A second picture means two entries ran together (a lost
            // period, text beyond the text area): never keep just one.
            if (v.picture) return CD_error(error, "Duplicate PICTURE clause");
            if (i < count && words[i] == "IS") ++i;
            if (i >= count) return CD_error(error, "Missing PICTURE specification");
            v.picture_text.assign(words[i++]);
            v.picture = &v.picture_text;
            v.type_clause = true;
        } else if (w == "REDEFINES") {
            if (seen_redefines) return CD_error(error, "Duplicate REDEFINES clause");
            seen_redefines = true;
            if (i >= count) return CD_error(error, "Missing REDEFINES field name");
            const int index = find_redefined(current, entry, words[i++]);
            if (index < 0) return CD_error(error, "Invalid REDEFINES field");
            entry.redefines = index;
        } else if (starts_with(w, "COMP")) {
            v.comp_given = true;
            v.type_clause = true;
            const size_t hyphen = w.find('-');
            if (hyphen != std::string_view::npos) {
                const std::string_view number = w.substr(hyphen + 1);
                if (!starts_with_digit(number)) return CD_error(error, "Invalid COMP specifier");
                const int64_t n = leading_number(number);
                if (n > 6) return CD_error(error, "Invalid or unsupported COMP specifier");
                v.comp_number = static_cast<int>(n);
            }
        } else if (w == "BINARY") {
            v.comp_given = true;
            v.type_clause = true;
        } else if (w == "PACKED-DECIMAL") {
            v.comp_given = true;
            v.comp_number = 3;
            v.type_clause = true;
        } else if (starts_with(w, "NATIVE")) {
            v.type_clause = true;
            const size_t hyphen = w.find('-');
            if (hyphen == std::string_view::npos) return CD_error(error, "Invalid NATIVE clause");
            const std::string_view number = w.substr(hyphen + 1);
            const int64_t n = starts_with_digit(number) ? leading_number(number) : 0;
            if (n != 2 && n != 4 && n != 8) return CD_error(error, "Invalid NATIVE specifier");
            v.native_size = static_cast<int>(n);
        } else if (w == "SEPARATE") {
            v.sign = cd_sign_word::separate;
        } else if (w == "EMBEDDED") {
            v.sign = cd_sign_word::embedded;
        } else if (w == "DISPLAY-2") {
            v.display2 = true;
        } else if (w == "OCCURS") {
            if (seen_occurs) return CD_error(error, "Duplicate OCCURS clause");
            seen_occurs = true;
            // OCCURS n TO m: the record must hold m occurrences, and n may
            // then be 0.
            if (i >= count || !starts_with_digit(words[i])) return CD_error(error, "Invalid OCCURS clause");
            int64_t n = leading_number(words[i++]);
            if (i < count && words[i] == "TO") {
                ++i;
                if (i >= count || !starts_with_digit(words[i])) return CD_error(error, "Invalid OCCURS clause");
                const int64_t m = leading_number(words[i++]);
                if (m < n) return CD_error(error, "Invalid OCCURS clause");
                n = m;
            }
            if (n < 1 || n > 3999) return CD_error(error, "Invalid OCCURS clause");
            entry.occurs = static_cast<int32_t>(n);
        } else if (w == "DEPENDING") {
            if (i < count && words[i] == "ON") ++i;
            skip_qualified_name();
        } else if (w == "INDEXED") {
            if (i < count && words[i] == "BY") ++i;
            while (i < count && !is_clause_word(words[i])) ++i;
        } else if (w == "ASCENDING" || w == "DESCENDING") {
            if (i < count && words[i] == "KEY") ++i;
            if (i < count && words[i] == "IS") ++i;
            while (i < count && !is_clause_word(words[i])) ++i;
        }
        // LEADING, TRAILING and every other word: no effect.
    }

    if (!v.type_clause) return 1;
    entry.elementary = 1;
    return CD_set_data_type(error, entry, v.picture, v.comp_given, v.comp_number, v.native_size,
                            v.sign, v.display2);
}

namespace {

struct picture_summary {
    int64_t positions = 0;
    int64_t scale = 0;
    bool is_signed = false;
    bool numeric = true;
};

// Reads a picture symbol by symbol. Returns false for a string that is not
// a picture, so that no unknown symbol can silently take no storage.
bool read_picture(const std::string& pic, picture_summary& out, bool& too_large) {
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
            after_v = true;
            unit = 0;
            repeatable = false;
            break;
        case '9':
            digit_position = true;
            break;
        case 'X': case 'A': case 'Z':
            digit_position = true;
            out.numeric = false;
            break;
        case 'P':
            unit = 0;
            out.numeric = false;
            break;
        case 'B': case '0': case '/': case ',': case '.': case '+': case '-': case '*':
        case '$': case 'E':
            out.numeric = false;
            break;
        case 'N': case 'G':
            unit = 2;  // national and DBCS characters take two bytes
            out.numeric = false;
            break;
        case 'C': case 'D':
            if (i >= n || pic[i] != (c == 'C' ? 'R' : 'B')) return false;
            ++i;
            unit = 2;
            repeatable = false;
            out.numeric = false;
            break;
        default:
            return false;
        }
        int64_t factor = 1;
        if (i < n && pic[i] == '(') {
            if (!repeatable) return false;
            const size_t closing = pic.find(')', i + 1);
            if (closing == std::string::npos || closing == i + 1) return false;
            for (size_t k = i + 1; k < closing; ++k)
                if (!std::isdigit(static_cast<unsigned char>(pic[k]))) return false;
            factor = leading_number(std::string_view(pic).substr(i + 1));
            if (factor < 1 || factor > 3999) return false;
            i = closing + 1;
        }
        out.positions += unit * factor;
        if (after_v && digit_position) out.scale += factor;
        if (out.positions > CD_MAX_BYTES) {
            too_large = true;
            return false;
        }
    }
    return true;
}

}  // namespace

int CD_set_data_type(std::string& error, column_entry& entry, const std::string* picture,
                     bool comp_given, int comp_number, int native_size, cd_sign_word sign,
                     bool display2) {
    if (native_size == 2) comp_number = 4;
    else if (native_size == 4) comp_number = 5;
    else if (native_size == 8) comp_number = 6;

    picture_summary pic;
    if (picture) {
        bool too_large = false;
        if (!read_picture(*picture, pic, too_large)) {
            if (too_large)
                return CD_error(error, "Field %s is too large (more than %lld bytes)", entry.name.c_str(),
                                static_cast<long long>(CD_MAX_BYTES));
            return CD_error(error, "Invalid PICTURE string");
        }
        // A picture must describe at least one character position.
        if (pic.positions == 0) return CD_error(error, "Invalid PICTURE string");
    }
    const int64_t digits = pic.positions;

    int16_t type = CD_TYPE_CHAR;
    int64_t length = 0;
    int64_t ext_len = 0;
    switch (comp_number) {
    case 1: type = CD_TYPE_FLOAT32; length = 4; break;
    case 2: type = CD_TYPE_FLOAT64; length = 8; break;
    case 3: type = CD_TYPE_PACKED; length = digits / 2 + 1; break;
    case 4: type = CD_TYPE_BIN16; length = 2; break;
    case 5: type = CD_TYPE_BIN32; length = 4; break;
    case 6: type = CD_TYPE_BIN64; length = 8; break;
    default:
        if (comp_given) {
            if (!picture) return CD_error(error, "Missing PICTURE clause for COMP field");
            if (digits <= 4) { type = CD_TYPE_BIN16; length = 2; }
            else if (digits <= 9) { type = CD_TYPE_BIN32; length = 4; }
            else { type = CD_TYPE_BIN64; length = 8; }
        } else if (!picture) {
            // Only a NATIVE or COMP word makes an entry elementary without a
            // picture, and both are handled above.
            return CD_error(error, "Invalid PICTURE string");
        } else if (!pic.numeric) {
            type = display2 ? CD_TYPE_VARCHAR : CD_TYPE_CHAR;
            length = digits;
        } else {
            type = pic.is_signed ? CD_TYPE_SNUM : CD_TYPE_UNUM;
            length = digits + (pic.is_signed && sign == cd_sign_word::separate ? 1 : 0);
        }
    }
    ext_len = type == CD_TYPE_PACKED ? digits : length;
    if (display2) ext_len += 2;
    if (length > CD_MAX_BYTES || ext_len > CD_MAX_BYTES)
        return CD_error(error, "Field %s is too large (more than %lld bytes)", entry.name.c_str(),
                        static_cast<long long>(CD_MAX_BYTES));

    entry.data_type = type;
    entry.int_len = entry.bin_len = entry.tbl_len = static_cast<int32_t>(length);
    entry.ext_len = static_cast<int32_t>(ext_len);
    entry.scale = picture ? static_cast<int32_t>(pic.scale) : 0;
    return 1;
}
