// templ: reads the DDL template named by DDLTEMPLATEFILE.
//
// Invariants: the template is read once, whole lines at a time whatever
// their length, so a long line is never split into pieces that could be
// taken for comments or headers; every text is held in growable storage;
// a type-map row refused by a message is not stored, so every stored row
// has all six of its fields as written. Every message about a line names
// the template and the line's number; a number option takes only the
// values its database limits can have.
#include "tabform/templ.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

#include <sys/stat.h>

#include "kvapp/colnaming.h"
#include "kvlog/kvraise.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"
#include "tabform/loadscript.h"
#include "tabform/params.h"

static const kvModuleId kModule{"tabform.main", "$Id: templ.cpp 1.0 tabcopy $"};

std::string templ_text;
std::vector<type_map_entry> type_map;
std::vector<name_map_entry> name_map;
templ_options_t templ_options;
std::vector<std::string> reserved_words;

namespace {

// The reserved words again, for a lookup per column without a search.
struct text_hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};
std::unordered_set<std::string, text_hash, std::equal_to<>> reserved_set;

// A first look that rules most names out: for each length below 64, the
// last characters that reserved words of that length end in. Column names
// mostly end in a digit, which few reserved words do.
uint64_t reserved_last[64];

unsigned char_bit(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a');
    if (c >= '0' && c <= '9') return 26 + static_cast<unsigned>(c - '0');
    return c == '_' ? 36 : 37;
}

void remember_reserved(const std::string& word) {
    reserved_set.insert(word);
    if (word.size() < 64) reserved_last[word.size()] |= uint64_t{1} << char_bit(word.back());
}

}  // namespace

void reset_templ() {
    templ_text.clear();
    type_map.clear();
    name_map.clear();
    templ_options = templ_options_t{};
    reserved_words.clear();
    reserved_set.clear();
    std::fill(std::begin(reserved_last), std::end(reserved_last), 0);
    reset_templ_rows();
}

namespace {

enum class section { none, table_creation, name_mapping, type_mapping, parameters, reserved_words, data_load };

struct section_header {
    const char* line;
    section which;
};

// Headers are compared exactly, newline included: a header with a trailing
// blank, another case, or on a last line without newline is a comment.
const section_header kHeaders[] = {
    {"# Table Creation Section\n", section::table_creation},
    {"# Column Name Mapping Section\n", section::name_mapping},
    {"# Column Type Mapping Section\n", section::type_mapping},
    {"# Miscellaneous Parameters Section\n", section::parameters},
    {"# Reserved Words Section\n", section::reserved_words},
    {"# Data Load Section\n", section::data_load},
};

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The number of the line being read, from 1; 0 outside read_templ_file
// (a handler called on its own).
int32_t g_line_number = 0;

// Raises `code` with `args` and then the template's name and the line's
// number, which every message about a line ends with.
void raise_at_line(const char* function, uint32_t code, std::initializer_list<kvMsgArg> args) {
    std::vector<kvMsgArg> all(args);
    all.emplace_back(templ_file_name);
    all.emplace_back(g_line_number);
    kvRaiseMessage(KV_SITE_FN(kModule, function), code, std::span<const kvMsgArg>(all));
}

// The blank-separated words of a line.
class word_reader {
public:
    explicit word_reader(const std::string& text) : text_(text) {}
    bool next(std::string& word) {
        while (at_ < text_.size() && is_blank(text_[at_])) ++at_;
        if (at_ == text_.size()) return false;
        const size_t start = at_;
        while (at_ < text_.size() && !is_blank(text_[at_])) ++at_;
        word.assign(text_, start, at_ - start);
        return true;
    }

private:
    const std::string& text_;
    size_t at_ = 0;
};

// Lines are reported without their newline, so a message shows the line
// as one line of its own text.
std::string without_newline(const std::string& line) {
    if (!line.empty() && line.back() == '\n') return line.substr(0, line.size() - 1);
    return line;
}

// A Y/N/number word of a type-map row. A number is read like its leading
// decimal digits (0 without any); it must fit the 16-bit field and must not
// collide with the stored value of N. Returns false for a refused number.
bool parse_yn_value(const std::string& word, int16_t& value) {
    if (word[0] == 'Y') {
        value = kTemplYes;
        return true;
    }
    if (word[0] == 'N') {
        value = kTemplNo;
        return true;
    }
    size_t at = 0;
    bool negative = false;
    if (word[0] == '-' || word[0] == '+') {
        negative = word[0] == '-';
        at = 1;
    }
    long number = 0;
    for (; at < word.size() && std::isdigit(static_cast<unsigned char>(word[at])); ++at) {
        number = number * 10 + (word[at] - '0');
        // Beyond the field's range: the row would silently hold another value.
        if (number > -static_cast<long>(INT16_MIN)) return false;
    }
    if (negative) number = -number;
    if (number > INT16_MAX || number < INT16_MIN || number == kTemplNo) return false;
    value = static_cast<int16_t>(number);
    return true;
}

void refuse_type_row(const std::string& line) { raise_at_line("add_type_map", 1253, {without_newline(line)}); }

}  // namespace

void add_type_map(const std::string& line) {
    word_reader words(line);
    std::string word[6];
    for (std::string& w : word) {
        if (!words.next(w)) {
            // A short row is not stored: its missing fields would be guesses.
            refuse_type_row(line);
            return;
        }
    }
    type_map_entry row;
    words.next(row.row_bytes_word);
    row.line = without_newline(line);
    row.line_number = g_line_number;
    row.type_key = kvUpshifted(word[0]);
    row.sql_type = word[1];
    for (char& c : row.sql_type)
        if (c == '_') c = ' ';
    // Words come as size pattern, scale pattern, precision limit, scale limit.
    int16_t* const targets[] = {&row.size_spec, &row.scale_spec, &row.prec_limit, &row.scale_limit};
    for (int i = 0; i < 4; ++i) {
        if (!parse_yn_value(word[i + 2], *targets[i])) {
            refuse_type_row(line);
            return;
        }
    }
    type_map.push_back(std::move(row));
}

void add_name_map(const std::string& line) {
    word_reader words(line);
    std::string column, replacement;
    if (!words.next(column) || !words.next(replacement)) {
        raise_at_line("add_name_map", 1252, {without_newline(line)});
        return;
    }
    for (char& c : column)
        if (c == '-') c = '_';
    name_map.push_back({kvUpshifted(column), replacement});
}

namespace {

struct option_flag {
    const char* word;
    int16_t templ_options_t::*flag;
    int16_t value;
};

const option_flag kOptionFlags[] = {
    {"OMITNULL", &templ_options_t::null_clause, 0},
    {"INCLUDENULL", &templ_options_t::null_clause, 1},
    {"OMITNOTNULL", &templ_options_t::not_null_clause, 0},
    {"INCLUDENOTNULL", &templ_options_t::not_null_clause, 1},
    {"USESAMENULLS", &templ_options_t::use_same_nulls, 1},
    {"OMITREDEFS", &templ_options_t::include_redefs, 0},
    {"INCLUDEREDEFS", &templ_options_t::include_redefs, 1},
    {"OMITCOMMENTS", &templ_options_t::include_comments, 0},
    {"INCLUDECOMMENTS", &templ_options_t::include_comments, 1},
};

void refuse_option(const std::string& keyword, const char* needs) { refuse_templ_option(keyword, needs); }

// QUOTENAMES " (or ` or []): one quote character for both ends, or the
// opening and the closing one.
void quote_names_option(word_reader& words, const std::string& keyword) {
    std::string quotes;
    if (!words.next(quotes) || quotes.size() > 2) {
        refuse_option(keyword, "one quote character, or an opening and a closing one such as []");
        return;
    }
    templ_options.quote_open = quotes[0];
    templ_options.quote_close = quotes.back();
}

// A number option: a whole number from 1 to its ceiling.
struct number_option {
    int32_t templ_options_t::*value;
    int32_t ceiling;
    const char* needs;  // the refusal's wording of that range
};

void read_number_option(word_reader& words, const std::string& keyword, const number_option& o) {
    std::string value;
    long number = 0;
    const bool read = words.next(value) && value.find_first_not_of("0123456789") == std::string::npos &&
                      value.size() < 10 && (number = std::strtol(value.c_str(), nullptr, 10)) > 0 &&
                      number <= o.ceiling;
    if (!read) {
        refuse_option(keyword, o.needs);
        return;
    }
    templ_options.*(o.value) = static_cast<int32_t>(number);
}

const number_option kMaxColumns{&templ_options_t::max_columns, kTemplMaxColumnsCeiling,
                                "a whole number from 1 to 32767"};
const number_option kMaxNameLength{&templ_options_t::max_name_length, kTemplMaxNameLengthCeiling,
                                   "a whole number from 1 to 1000"};
const number_option kMaxRowSize{&templ_options_t::max_row_size, kTemplMaxRowSizeCeiling,
                                "a whole number from 1 to 65535"};

void max_columns_option(word_reader& words, const std::string& keyword) { read_number_option(words, keyword, kMaxColumns); }
void max_name_length_option(word_reader& words, const std::string& keyword) {
    read_number_option(words, keyword, kMaxNameLength);
}
void max_row_size_option(word_reader& words, const std::string& keyword) { read_number_option(words, keyword, kMaxRowSize); }

// The value is compared exactly, in capitals; the message names the
// option word as the line wrote it.
void resolve_dup_columns_option(word_reader& words, const std::string& keyword) {
    std::string value;
    words.next(value);
    if (value == "NONE")
        templ_options.resolve_dup_columns = kResolveDupNone;
    else if (value == "INDEX")
        templ_options.resolve_dup_columns = kResolveDupIndex;
    else if (value == "ALPHAINDEX")
        templ_options.resolve_dup_columns = kResolveDupAlphaIndex;
    else
        kvRaiseMessage(KV_SITE_FN(kModule, "add_param"), 213, {keyword});
    // Renaming works on every field, so redefinitions must stay columns.
    templ_options.include_redefs = 1;
}

struct option_handler {
    const char* word;
    void (*read)(word_reader& words, const std::string& keyword);
    bool as_written;  // the handler is given the keyword as the line wrote it, not upshifted
};

const option_handler kOptionHandlers[] = {
    {"RESOLVEDUPCOLUMNS", resolve_dup_columns_option, true},
    {"QUOTENAMES", quote_names_option, false},
    {"MAXCOLUMNS", max_columns_option, false},
    {"MAXNAMELENGTH", max_name_length_option, false},
    {"MAXROWSIZE", max_row_size_option, false},
};

}  // namespace

void add_param(const std::string& line) {
    const std::string text = without_newline(line);
    word_reader words(text);
    std::string keyword;
    words.next(keyword);
    const std::string word = kvUpshifted(keyword);
    for (const option_flag& o : kOptionFlags) {
        if (word == o.word) {
            templ_options.*(o.flag) = o.value;
            return;
        }
    }
    for (const option_handler& h : kOptionHandlers) {
        if (word == h.word) {
            h.read(words, h.as_written ? keyword : word);
            return;
        }
    }
    if (word == "EXPANDDDL") {
        std::string error;
        if (!parse_expand_options(error, text))
            kvRaiseMessage(KV_SITE_FN(kModule, "add_param"), 1244, {error});
    } else {
        std::vector<std::string> values;
        for (std::string value; words.next(value);) values.push_back(value);
        if (!add_rows_param(word, values)) raise_at_line("add_param", 1291, {word});
    }
}

void add_reserved_words(const std::string& line) {
    std::string text = line;
    for (char& c : text)
        if (c == ',') c = ' ';
    word_reader words(text);
    std::string word;
    while (words.next(word)) {
        word = kvUpshifted(word);
        const auto at = std::lower_bound(reserved_words.begin(), reserved_words.end(), word);
        if (at != reserved_words.end() && *at == word) continue;
        reserved_words.insert(at, word);
        remember_reserved(word);
    }
}

namespace {

// `lower`: the name has a lower-case letter, so it is upshifted to be
// looked up (column names are upper case already). Out of line, so that
// the first look below stays cheap for the names it rules out.
__attribute__((noinline)) bool in_reserved_set(std::string_view name, bool lower) {
    if (lower) return reserved_set.count(kvUpshifted(std::string(name))) != 0;
    return reserved_set.find(name) != reserved_set.end();
}

bool is_reserved(std::string_view name, bool lower) {
    if (name.size() < 64 && !(reserved_last[name.size()] >> char_bit(name.back()) & 1)) return false;
    return in_reserved_set(name, lower);
}

// A name is plain when every byte is an upper-case letter, a digit or '_',
// or a lower-case letter, which sends it to the reserved-word lookup
// upshifted. Every column line asks, so eight bytes are tested at once.
constexpr uint64_t kEachByte = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;

// The high bit of each byte of `w` (every byte below 0x80) that lies in
// [lo, hi]: neither sum carries into the next byte.
constexpr uint64_t bytes_in(uint64_t w, uint64_t lo, uint64_t hi) {
    return (w + kEachByte * (0x80 - lo)) & ~(w + kEachByte * (0x7F - hi)) & kHighBits;
}

// Eight bytes of a name: false when one may not stand in a plain name;
// `lower` gathers the lower-case letters.
bool plain_bytes(uint64_t w, uint64_t& lower) {
    if (w & kHighBits) return false;
    const uint64_t small = bytes_in(w, 'a', 'z');
    lower |= small;
    return (small | bytes_in(w, 'A', 'Z') | bytes_in(w, '0', '9') | bytes_in(w, '_', '_')) == kHighBits;
}

uint64_t load8(const char* at) {
    uint64_t w;
    std::memcpy(&w, at, 8);
    return w;
}

bool needs_quotes(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return true;
    const char* p = name.data();
    const size_t n = name.size();
    uint64_t lower = 0;
    if (n < 8) {
        char padded[8] = {'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A'};
        std::memcpy(padded, p, n);
        if (!plain_bytes(load8(padded), lower)) return true;
    } else {
        size_t at = 0;
        for (; at + 8 <= n; at += 8)
            if (!plain_bytes(load8(p + at), lower)) return true;
        // The last bytes, in one load that overlaps the ones before.
        if (at < n && !plain_bytes(load8(p + n - 8), lower)) return true;
    }
    return is_reserved(name, lower != 0);
}

}  // namespace

bool templ_name_is_plain(std::string_view name) { return !templ_options.quote_open || !needs_quotes(name); }

std::string templ_sql_name(const std::string& name) {
    if (templ_name_is_plain(name)) return name;
    std::string quoted(1, templ_options.quote_open);
    for (char c : name) {
        if (c == templ_options.quote_close) quoted += c;
        quoted += c;
    }
    quoted += templ_options.quote_close;
    return quoted;
}

namespace {

bool header_of(const std::string& line, section& which) {
    for (const section_header& h : kHeaders) {
        if (line == h.line) {
            which = h.which;
            return true;
        }
    }
    return false;
}

void handle_line(section current, const std::string& line) {
    switch (current) {
        case section::table_creation:
            templ_text += line;
            return;
        case section::name_mapping:
            add_name_map(line);
            return;
        case section::type_mapping:
            add_type_map(line);
            return;
        case section::parameters:
            add_param(line);
            return;
        case section::reserved_words:
            add_reserved_words(line);
            return;
        case section::data_load:
            add_load_line(line);
            return;
        case section::none:
            raise_at_line("read_templ_file", 1250, {without_newline(line)});
            return;
    }
}

// A seventh word: a number of bytes, Y, or Y*n.
bool parse_row_bytes(const std::string& word, row_bytes_rule& rule) {
    const auto number = [](const std::string& digits, int32_t& value) {
        if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        value = static_cast<int32_t>(std::strtol(digits.c_str(), nullptr, 10));
        return true;
    };
    rule = row_bytes_rule{};
    if (word == "Y" || word == "y") {
        rule.per_unit = 1;
        return true;
    }
    if (word.size() > 2 && (word[0] == 'Y' || word[0] == 'y') && word[1] == '*')
        return number(word.substr(2), rule.per_unit) && rule.per_unit > 0;
    return number(word, rule.fixed);
}

// Under MAXROWSIZE every row's seventh word counts; a row whose word says
// no size is refused like any other faulty row.
void read_row_bytes() {
    if (templ_options.max_row_size <= 0) return;
    for (auto row = type_map.begin(); row != type_map.end();) {
        if (row->row_bytes_word.empty() || parse_row_bytes(row->row_bytes_word, row->row_bytes)) {
            ++row;
            continue;
        }
        g_line_number = row->line_number;
        refuse_type_row(row->line);
        row = type_map.erase(row);
    }
}

bool is_directory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

// After 209, 1091 or 1292 nothing was read: 1249 would only repeat the
// problem.
void read_templ_file() {
    if (templ_file_name.empty()) {
        kvRaiseMessage(KV_SITE_FN(kModule, "read_templ_file"), 209, {"DDLTEMPLATEFILE"});
        return;
    }
    // A directory opens for reading but yields nothing: it would be taken
    // for a template without text.
    if (is_directory(templ_file_name)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "read_templ_file"), 1292, {templ_file_name});
        return;
    }
    FILE* stream = kvOpenFile(templ_file_name.c_str(), "r");  // raises 1091 itself
    if (!stream) return;
    section current = section::none;
    templ_text.clear();
    std::string line;
    for (g_line_number = 1; kvReadLine(stream, line); ++g_line_number) {
        if (header_of(line, current)) continue;
        if (line[0] == '#') continue;  // a comment, in every section
        // Empty lines are text in the Table Creation Section, noise elsewhere.
        if (current != section::table_creation && current != section::data_load && line == "\n") continue;
        handle_line(current, line);
    }
    kvFclose(stream);
    read_row_bytes();
    g_line_number = 0;
    if (templ_text.empty() || type_map.empty())
        kvRaiseMessage(KV_SITE_FN(kModule, "read_templ_file"), 1249);
}

void refuse_templ_option(const std::string& keyword, const char* needs) {
    raise_at_line("add_param", 1256, {keyword, needs});
}
