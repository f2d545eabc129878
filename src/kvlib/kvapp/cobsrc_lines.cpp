// cobsrc_lines: one copybook file's physical lines to logical lines.
//
// A logical line is the text one physical line contributes, with the
// continuation lines that follow it joined on (FIXED only), and carries the
// number of its first physical line. Comment lines, debugging lines,
// compiler directives and blank lines contribute nothing; floating comments
// ("*>" outside a literal) are cut off; tabs are spaces (FIXED: to the next
// multiple of 8 columns, the expansion the docs describe). Line numbers are
// physical, so they match what an editor shows.
//
// Invariants: the reader reads one line ahead (a continuation line changes
// the line before it); an error found while reading ahead is held back
// until the line before has been handed out, so a report names the entry
// the error interrupted. The file is read in binary and lines may have any
// length.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <sys/types.h>

#include "kvapp/cobsrc.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"

namespace {

constexpr size_t kTextStart = 7;   // column 8, from 0
constexpr size_t kTextEnd = 72;    // after column 72
constexpr size_t kTabStop = 8;

bool is_one_of(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// The next word of `text` at or after `pos` (words end at spaces and at
// the characters in `ends`); `pos` is left after it.
std::string_view next_word(std::string_view text, size_t& pos, const char* ends = "") {
    while (pos < text.size() && (text[pos] == ' ' || is_one_of(text[pos], ends))) ++pos;
    const size_t start = pos;
    while (pos < text.size() && text[pos] != ' ' && !is_one_of(text[pos], ends)) ++pos;
    return text.substr(start, pos - start);
}

// Length of `text` without a floating comment: "*>" outside a literal
// ends the line's text.
size_t without_floating_comment(std::string_view text) {
    const size_t at = CD_find_outside_literals(
        text, [](std::string_view t, size_t i) { return t[i] == '*' && i + 1 < t.size() && t[i + 1] == '>'; });
    return at == std::string_view::npos ? text.size() : at;
}

// The quote of a literal left open at the end of `text`, or 0.
char open_literal(std::string_view text) {
    char quote = 0;
    CD_find_outside_literals(text, [](std::string_view, size_t) { return false; }, &quote);
    return quote;
}

// What one physical line contributes.
struct line_text {
    enum kind_t { skip, words, continuation } kind = skip;
    std::string_view text;
};

int invalid_format(std::string& error, const cd_line_reader& r, std::string_view word) {
    error = "Unsupported source format " + std::string(word.empty() ? "(none)" : word) + " in line " +
            std::to_string(r.line) + r.label + ": FIXED and FREE are read";
    return 0;
}

int switch_format(std::string& error, cd_line_reader& r, std::string_view word) {
    if (kvEqualsNoCase(word, "FIXED")) r.format = cd_format::fixed;
    else if (kvEqualsNoCase(word, "FREE")) r.format = cd_format::free_form;
    else return invalid_format(error, r, word);
    return 1;
}

// ">>SOURCE [FORMAT] [IS] FIXED|FREE" switches the format for the lines
// that follow; every other ">>" directive is ignored.
int source_directive(std::string& error, cd_line_reader& r, std::string_view text) {
    size_t pos = 2;
    if (!kvEqualsNoCase(next_word(text, pos), "SOURCE")) return 1;
    std::string_view word = next_word(text, pos);
    if (kvEqualsNoCase(word, "FORMAT")) word = next_word(text, pos);
    if (kvEqualsNoCase(word, "IS")) word = next_word(text, pos);
    return switch_format(error, r, word);
}

// "$SET ... SOURCEFORMAT"FREE" ..." (or SOURCEFORMAT(FIXED)) switches the
// format too; every other option and "$" directive is ignored.
int dollar_directive(std::string& error, cd_line_reader& r, std::string_view text) {
    size_t pos = 1;
    if (!kvEqualsNoCase(next_word(text, pos), "SET")) return 1;
    for (;;) {
        const std::string_view option = next_word(text, pos, "\"'(");
        if (option.empty()) return 1;
        if (kvEqualsNoCase(option, "SOURCEFORMAT")) return switch_format(error, r, next_word(text, pos, "\"'()"));
        next_word(text, pos, "\"')");  // the option's value, if any
    }
}

// Directive words that may follow "$" in free format; a picture string
// such as $$,$$9.99 or $Z,ZZ9 that begins a line stays text.
bool is_dollar_directive(std::string_view text) {
    static constexpr std::string_view kWords[] = {"SET", "IF", "ELIF", "ELSE", "END", "DISPLAY"};
    if (text.size() < 2 || text[1] == ' ') return false;
    size_t pos = 1;
    const std::string_view word = next_word(text, pos);
    for (std::string_view w : kWords)
        if (kvEqualsNoCase(word, w)) return true;
    return false;
}

// Text of a free-format line: all of it, but for comments. A line whose
// first non-blank character is '*' is a comment: no entry begins with one.
int free_text(std::string& error, cd_line_reader& r, std::string_view line, line_text& out) {
    out = {};
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos || line[first] == '*') return 1;
    const std::string_view rest = line.substr(first);
    if (rest.substr(0, 2) == ">>") return source_directive(error, r, rest);
    if (rest[0] == '$' && is_dollar_directive(rest)) return dollar_directive(error, r, rest);
    line = line.substr(0, without_floating_comment(line));
    if (kvIsBlank(line)) return 1;
    out.kind = line_text::words;
    out.text = line;
    return 1;
}

// Text of a fixed-format line: columns 8-72 by the indicator in column 7.
int fixed_text(std::string& error, cd_line_reader& r, std::string_view line, line_text& out) {
    out = {};
    if (line.size() < kTextStart) return 1;  // sequence area only
    size_t start = kTextStart;
    line_text::kind_t kind = line_text::words;
    switch (line[kTextStart - 1]) {
    case '*': case '/':  // comment, page eject
    case 'D': case 'd':  // debugging line: a comment without a debugging mode
        return 1;
    case '$':
        return dollar_directive(error, r, line.substr(kTextStart - 1, kTextEnd - kTextStart + 1));
    case '-':
        kind = line_text::continuation;
        break;
    case ' ':
        break;
    default:
        // Text that begins one column early (a level number in column 7)
        // is common in hand-edited copybooks; it is read as text rather
        // than dropped or refused.
        start = kTextStart - 1;
        break;
    }
    std::string_view text = line.substr(start, kTextEnd - start);
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return 1;
    if (kind == line_text::words && text.substr(first, 2) == ">>") return source_directive(error, r, text.substr(first));
    text = text.substr(0, without_floating_comment(text));
    if (kvIsBlank(text)) return 1;
    out.kind = kind;
    out.text = text;
    return 1;
}

// Tabs become spaces: in FIXED up to the next tab stop, since columns
// count there; in FREE one space each.
std::string_view untabbed(std::string_view line, cd_format format, std::string& out) {
    if (line.find('\t') == std::string_view::npos) return line;
    out.clear();
    for (char c : line) {
        if (c != '\t') out.push_back(c);
        else if (format == cd_format::fixed) out.append(kTabStop - out.size() % kTabStop, ' ');
        else out.push_back(' ');
    }
    return out;
}

// Cuts the line end, a DOS end-of-file mark (the text ends there, as
// text-mode reading on the systems these files come from does) and a
// UTF-8 byte order mark at the start of the file.
std::string_view trimmed_line(cd_line_reader& r, std::string_view line) {
    const size_t eof_mark = line.find('\x1a');
    if (eof_mark != std::string_view::npos) {
        line = line.substr(0, eof_mark);
        r.at_end = true;
    }
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (r.line == 1 && line.substr(0, 3) == "\xef\xbb\xbf") line.remove_prefix(3);
    return line;
}

// The next physical line, reduced to what it contributes.
int read_line(std::string& error, cd_line_reader& r, line_text& out, bool& end) {
    end = false;
    if (r.at_end || !r.file) {
        end = true;
        return 1;
    }
    errno = 0;
    const ssize_t got = getline(&r.buffer, &r.capacity, r.file);
    if (got < 0) {
        r.at_end = true;
        end = true;
        if (!std::ferror(r.file)) return 1;
        const int number = errno ? errno : EIO;
        error = "Error " + std::to_string(number) + " reading " + r.path + " (" + std::strerror(number) + ")";
        return 0;
    }
    ++r.line;
    const std::string_view line = trimmed_line(r, std::string_view(r.buffer, static_cast<size_t>(got)));
    // Control characters mean the file is not copybook text (a binary
    // file, a NUL-padded record): refused before any of it is read.
    for (char c : line) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t') {
            error = "Invalid character (code " + std::to_string(u) + ") in line " + std::to_string(r.line) + r.label;
            return 0;
        }
    }
    const std::string_view text = untabbed(line, r.format, r.expanded);
    return r.format == cd_format::fixed ? fixed_text(error, r, text, out) : free_text(error, r, text, out);
}

// A continuation line goes on where the line before stops: inside its
// open literal after the quote that reopens it, else directly after its
// last word (a word split over two lines).
void join_continuation(std::string& logical, std::string_view text) {
    text.remove_prefix(text.find_first_not_of(' '));
    const char quote = open_literal(logical);
    if (quote) {
        if (text[0] == quote) text.remove_prefix(1);
    } else {
        const size_t last = logical.find_last_not_of(' ');
        logical.resize(last == std::string::npos ? 0 : last + 1);
    }
    logical.append(text);
}

// Reads ahead to the next text line. While `joining`, continuation lines
// go onto the logical line handed out last; before the first text line of
// the file there is none, and a continuation line is text of its own. An
// error waits in r.ahead_error for the next call.
void read_ahead(cd_line_reader& r, bool joining) {
    for (;;) {
        line_text lt;
        bool end = false;
        std::string error;
        if (!read_line(error, r, lt, end)) {
            r.ahead_error = std::move(error);
            return;
        }
        if (end) return;
        if (lt.kind == line_text::skip) continue;
        if (lt.kind == line_text::continuation && joining) {
            join_continuation(r.logical, lt.text);
            continue;
        }
        r.ahead.assign(lt.text);
        r.ahead_line = r.line;
        return;
    }
}

// Whether `line` could not be read in fixed format: text in columns 1-6
// (tabs expanded) that is not a sequence number and either runs into
// column 7 without an indicator there or is all the line holds.
bool shows_free_layout(std::string_view line) {
    const std::string_view sequence = line.substr(0, 6);
    if (kvIsBlank(sequence)) return false;
    bool digits = sequence.size() == 6;
    for (char c : sequence) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (digits) return false;
    if (line.size() <= 6 || kvIsBlank(line.substr(6))) return true;
    return line[5] != ' ' && !is_one_of(line[6], " */-Dd$");
}

bool shows_fixed_layout(std::string_view line) {
    if (line.size() >= 6) {
        bool digits = true;
        for (size_t i = 0; i < 6; ++i) digits = digits && std::isdigit(static_cast<unsigned char>(line[i]));
        if (digits) return true;  // a sequence number
    }
    return line.size() > 6 && (line[6] == '*' || line[6] == '/');
}

// What a line holds beyond column 72, where the fixed format keeps its
// identification area (columns 73-80).
enum class beyond_72 { nothing, identification, other };

// Identification text: after a blank column 72, within columns 73-80, and
// no period in it (a separator period would end an entry written there).
beyond_72 text_beyond_72(std::string_view line) {
    if (line.size() <= 72 || kvIsBlank(line.substr(72))) return beyond_72::nothing;
    if (line[71] != ' ' || (line.size() > 80 && !kvIsBlank(line.substr(80)))) return beyond_72::other;
    return line.substr(72, 8).find('.') == std::string_view::npos ? beyond_72::identification : beyond_72::other;
}

// Identification text alone shows the fixed format when it is on several
// lines and no line has other text beyond column 72: a free-format line may
// end with a short word in those columns by chance, and reading the file
// as fixed would then drop it.
constexpr int kIdentificationLines = 2;

}  // namespace

cd_format CD_detect_format(FILE* file) {
    bool free_layout = false, fixed_layout = false;
    int identification = 0;
    bool other_beyond_72 = false;
    char* buffer = nullptr;
    size_t capacity = 0;
    std::string expanded;
    for (bool first = true;; first = false) {
        const ssize_t got = getline(&buffer, &capacity, file);
        if (got < 0) break;
        std::string_view line(buffer, static_cast<size_t>(got));
        if (first && line.substr(0, 3) == "\xef\xbb\xbf") line.remove_prefix(3);  // UTF-8 mark
        const size_t eof_mark = line.find('\x1a');
        if (eof_mark != std::string_view::npos) line = line.substr(0, eof_mark);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        line = untabbed(line, cd_format::fixed, expanded);
        if (shows_free_layout(line)) {
            free_layout = true;
            break;
        }
        fixed_layout = fixed_layout || shows_fixed_layout(line);
        const beyond_72 beyond = text_beyond_72(line);
        identification += beyond == beyond_72::identification;
        other_beyond_72 = other_beyond_72 || beyond == beyond_72::other;
        if (eof_mark != std::string_view::npos) break;
    }
    std::free(buffer);
    std::clearerr(file);
    std::rewind(file);
    fixed_layout = fixed_layout || (identification >= kIdentificationLines && !other_beyond_72);
    return fixed_layout && !free_layout ? cd_format::fixed : cd_format::free_form;
}

cd_format CD_detect_format_of(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return cd_format::free_form;
    const cd_format format = CD_detect_format(file);
    std::fclose(file);
    return format;
}

int CD_lines_open(std::string& error, cd_line_reader& r, const std::string& path, cd_format format,
                  int32_t origin) {
    CD_lines_close(r);
    r.path = path;
    r.origin = origin;
    r.line = 0;
    r.at_end = false;
    r.ahead_line = 0;
    r.ahead_error.clear();
    r.file = std::fopen(path.c_str(), "rb");
    if (!r.file) {
        const int number = errno;
        error = "Error " + std::to_string(number) + " opening " + path + " (" + std::strerror(number) + ")";
        return 0;
    }
    if (format == cd_format::automatic) {
        // The file is read twice; one that cannot be (a pipe) needs its
        // format named.
        if (std::fseek(r.file, 0, SEEK_CUR) != 0) {
            error = "The format of " + path + " cannot be decided (it cannot be read twice): name FIXED or FREE";
            CD_lines_close(r);
            return 0;
        }
        format = CD_detect_format(r.file);
    }
    r.format = format;
    return 1;
}

int CD_lines_next(std::string& error, cd_line_reader& r, cd_line& out, bool& end) {
    end = false;
    if (r.ahead_line == 0 && r.ahead_error.empty()) read_ahead(r, false);
    if (r.ahead_line == 0) {
        if (r.ahead_error.empty()) {
            end = true;
            return 1;
        }
        error = std::move(r.ahead_error);
        r.ahead_error.clear();
        return 0;
    }
    r.logical.swap(r.ahead);
    const int64_t first = r.ahead_line;
    r.ahead_line = 0;
    read_ahead(r, true);
    out.text = r.logical;
    out.pos = cd_pos{r.origin, first};
    return 1;
}

void CD_lines_close(cd_line_reader& r) {
    if (r.file) kvFclose(r.file);
    r.file = nullptr;
    std::free(r.buffer);
    r.buffer = nullptr;
    r.capacity = 0;
}
