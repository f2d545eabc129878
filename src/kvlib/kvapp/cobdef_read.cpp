// cobdef_read: the definitions area and the definitions file reader.
//
// Owns the definitions area (only ever appended to) and the reader state,
// which is idle between calls: no file open, no statement, start line 0.
// A statement is the text of one data description entry, joined from its
// lines with single spaces; it ends at a separator period, which may be
// followed on the same line by further entries. Physical lines are read
// whole, and line numbers are physical line numbers in every format.
//
// Two source formats: FREE (the default) takes every line as text, a '*'
// in the first column making it a comment; FIXED uses the reference format
// (sequence area, indicator column, text in columns 8-72).
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <sys/types.h>

#include "kvapp/cobdef.h"
#include "kvstd/fileutl.h"

namespace {

enum class source_format { free_form, fixed };

struct reader_state {
    FILE* file = nullptr;
    std::string path;
    source_format format = source_format::free_form;
    int64_t line = 0;
    int64_t statement_line = 0;  // 0: no statement being read
    std::string statement;
    char quote = 0;              // literal left open at the end of the last line
    size_t scanned = 0;          // statement text already searched for a period
};

reader_state& state() {
    static reader_state s;
    return s;
}

void close_file() {
    reader_state& s = state();
    if (s.file) kvFclose(s.file);
    s.file = nullptr;
}

void reset_reader() {
    reader_state& s = state();
    close_file();
    s.statement.clear();
    s.statement_line = 0;
    s.quote = 0;
    s.scanned = 0;
}

bool is_blank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

bool equals_no_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Words of `text` separated by any of `separators`, starting at `pos`;
// `pos` is left after the word returned.
std::string_view next_word(std::string_view text, size_t& pos, const char* separators) {
    const size_t start = text.find_first_not_of(separators, pos);
    if (start == std::string_view::npos) {
        pos = text.size();
        return {};
    }
    size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    pos = end;
    return text.substr(start, end - start);
}

// One physical line reduced to the text it contributes.
struct line_text {
    bool skip = false;          // comment, debugging or blank line
    bool continuation = false;  // FIXED '-' indicator
    std::string_view text;
};

line_text free_line(std::string_view line) {
    line_text out;
    if ((!line.empty() && line[0] == '*') || is_blank(line)) out.skip = true;
    else out.text = line;
    return out;
}

// Tabs expand to the next multiple of 8 columns before columns are counted.
line_text fixed_line(std::string_view raw, std::string& expanded) {
    expanded.clear();
    for (char c : raw) {
        if (c == '\t') expanded.append(8 - expanded.size() % 8, ' ');
        else expanded.push_back(c);
    }
    line_text out;
    std::string_view line = expanded;
    if (line.size() < 7) {
        out.skip = true;  // sequence area only
        return out;
    }
    const char indicator = line[6];
    size_t text_start = 7;
    switch (indicator) {
    case '*': case '/': case 'D': case 'd':
        out.skip = true;
        return out;
    case '-':
        out.continuation = true;
        break;
    case ' ':
        break;
    default:
        // Text that begins one column early (a level number in column 7)
        // is common in hand-edited copybooks; it is read as text rather
        // than dropped or refused.
        text_start = 6;
        break;
    }
    std::string_view text = line.substr(text_start, 72 - text_start);
    if (is_blank(text)) {
        out.skip = true;
        return out;
    }
    out.text = text;
    return out;
}

// Parses the entry now held as the statement and places it in a record.
int take_entry(std::string& error, cobol_def& current) {
    reader_state& s = state();
    for (char& c : s.statement)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    column_entry entry;
    int is_field = 0;
    if (!CD_parse_field(error, s.statement, current, entry, is_field)) return 0;
    if (!is_field) return 1;
    const bool empty = !current.fields || current.fields->empty();
    if (!empty && entry.level <= current.fields->front().level) {
        // Errors found while closing belong to the record, not to the entry
        // that happens to follow it.
        const int64_t entry_line = s.statement_line;
        s.statement_line = 0;
        if (!CD_close_record(error, current)) return 0;
        s.statement_line = entry_line;
        CD_definitions().push_back(std::move(current));
        current = cobol_def{};
    }
    if (!current.fields) current.fields = std::make_shared<std::vector<column_entry>>();
    return CD_add_field(error, current, std::move(entry));
}

// Adds one line's text to the statement and handles every entry it ends.
int add_text(std::string& error, const line_text& lt, cobol_def& current) {
    reader_state& s = state();
    std::string_view text = lt.text;
    if (s.statement.empty()) {
        s.statement_line = s.line;
        s.quote = 0;
        s.scanned = 0;
    } else if (lt.continuation) {
        const size_t first = text.find_first_not_of(' ');
        text.remove_prefix(first);
        if (s.quote) {
            // The continued literal resumes after the quote that opens the
            // continuation line.
            if (text[0] == s.quote) text.remove_prefix(1);
        } else {
            // A continued word resumes at its first character.
            const size_t last = s.statement.find_last_not_of(' ');
            s.statement.resize(last == std::string::npos ? 0 : last + 1);
            if (s.scanned > s.statement.size()) s.scanned = s.statement.size();
        }
    } else {
        // A literal left open runs on into the next line, so that an
        // unterminated one cannot end the entry at a period of its own text.
        s.statement.push_back(' ');
    }
    s.statement.append(text);

    for (;;) {
        const size_t found = CD_find_separator_period(std::string_view(s.statement).substr(s.scanned), s.quote);
        if (found == std::string_view::npos) {
            s.scanned = s.statement.size();
            return 1;
        }
        const size_t period = s.scanned + found;
        const size_t first = s.statement.find_first_not_of(' ', period + 1);
        if (first == std::string::npos) {
            s.statement.resize(period + 1);
            if (!take_entry(error, current)) return 0;
            s.statement.clear();
            s.statement_line = 0;
            s.quote = 0;
            s.scanned = 0;
            return 1;
        }
        // Further entries follow on this line.
        std::string rest = s.statement.substr(first);
        s.statement.resize(period + 1);
        if (!take_entry(error, current)) return 0;
        s.statement = std::move(rest);
        s.statement_line = s.line;
        s.quote = 0;
        s.scanned = 0;
    }
}

}  // namespace

std::vector<cobol_def>& CD_definitions() {
    static std::vector<cobol_def> area;
    return area;
}

int CD_error(std::string& error, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string message(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    if (needed > 0) std::vsnprintf(message.data(), message.size() + 1, format, again);
    va_end(again);

    reader_state& s = state();
    if (s.statement_line != 0) {
        error = "Error processing COBOL definition - ";
        error += message;
        error += " (line ";
        error += std::to_string(s.statement_line);
        error += "):\n";
        error += s.statement;
    } else {
        error = std::move(message);
    }
    close_file();
    return 0;
}

int CD_open_defs(std::string& error, const std::string& command) {
    reader_state& s = state();
    reset_reader();
    s.line = 0;
    s.format = source_format::free_form;

    size_t pos = 0;
    next_word(command, pos, " ");  // the command word
    const std::string_view name = next_word(command, pos, " ");
    if (name.empty()) return CD_error(error, "Missing definitions file name");
    s.path.assign(name);

    s.file = std::fopen(s.path.c_str(), "rb");
    if (!s.file) {
        const int number = errno;
        return CD_error(error, "Error %d opening %s (%s)", number, s.path.c_str(), std::strerror(number));
    }

    bool format_given = false;
    for (;;) {
        const std::string_view word = next_word(command, pos, " ,");
        if (word.empty()) break;
        if (!format_given && equals_no_case(word, "FIXED")) {
            s.format = source_format::fixed;
        } else if (!format_given && equals_no_case(word, "FREE")) {
            s.format = source_format::free_form;
        } else {
            const std::string text(word);
            return CD_error(error, "Did not recognize pararameter %s", text.c_str());
        }
        format_given = true;
    }
    return 1;
}

int CD_read_defs(std::string& error, const std::string& command) {
    error.clear();
    if (!CD_open_defs(error, command)) {
        reset_reader();
        return 0;
    }
    reader_state& s = state();
    cobol_def current;
    current.fields = std::make_shared<std::vector<column_entry>>();
    std::string expanded;
    char* buffer = nullptr;
    size_t capacity = 0;
    int ok = 1;

    for (;;) {
        errno = 0;
        const ssize_t got = getline(&buffer, &capacity, s.file);
        if (got < 0) break;
        ++s.line;
        std::string_view line(buffer, static_cast<size_t>(got));
        // A DOS end-of-file mark ends the text, as text-mode reading on the
        // system these files come from does.
        const size_t eof_mark = line.find('\x1a');
        const bool last_line = eof_mark != std::string_view::npos;
        if (last_line) line = line.substr(0, eof_mark);
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (s.line == 1 && line.substr(0, 3) == "\xef\xbb\xbf") line.remove_prefix(3);  // UTF-8 mark
        // Control characters mean the file is not copybook text (a binary
        // file, a NUL-padded record): refused before any of it is read.
        for (char c : line) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (u < 0x20 && u != '\t') {
                ok = CD_error(error, "Invalid character (code %d) in line %lld", u,
                              static_cast<long long>(s.line));
                break;
            }
        }
        if (!ok) break;
        const line_text lt = s.format == source_format::fixed ? fixed_line(line, expanded) : free_line(line);
        if (!lt.skip && !add_text(error, lt, current)) {
            ok = 0;
            break;
        }
        if (last_line) break;
    }
    std::free(buffer);

    if (ok && s.file && std::ferror(s.file)) {
        const int number = errno ? errno : EIO;
        s.statement_line = 0;
        ok = CD_error(error, "Error %d reading %s (%s)", number, s.path.c_str(), std::strerror(number));
    }
    if (ok && !s.statement.empty()) ok = CD_error(error, "Last statement was not terminated");
    if (ok && current.fields && !current.fields->empty()) {
        s.statement_line = 0;
        ok = CD_close_record(error, current);
        if (ok) CD_definitions().push_back(std::move(current));
    }
    reset_reader();
    return ok;
}
