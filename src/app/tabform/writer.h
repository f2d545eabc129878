// writer: the template variables, and the expansion of the table-creation
// text into the DDL stream once per definition.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

// DDL text on its way out. Bound to a stream, it writes what it holds out
// whenever a line ends past kChunk bytes, so a definition of any size
// passes through one small buffer; otherwise it keeps the whole text (for
// a variable the template names more than once, and for tests) or drops
// each line once done (when there is no stream, but the lines must still be
// produced for their messages and the layout).
class ddl_out {
public:
    enum class mode { stream, keep, discard };
    static constexpr size_t kChunk = 64 * 1024;

    explicit ddl_out(mode how = mode::keep, FILE* stream = nullptr) : how_(how), stream_(stream) {}
    void append(std::string_view text) { buf_.append(text); }
    void append(char c) { buf_ += c; }
    void pad(size_t n) { buf_.append(n, ' '); }
    // Where the text held now ends; a line that starts there can be checked.
    size_t held() const { return buf_.size(); }
    // A variable's text ends at its first NUL byte, as any C string does:
    // cuts what is held from `from` at a NUL there; true when it did.
    bool cut_at_nul(size_t from);
    // The end of a line: what is held may go out now.
    void line_done() {
        if (how_ == mode::discard) buf_.clear();
        else if (how_ == mode::stream && buf_.size() >= kChunk) write_held();
    }
    // Writes out what is left. False when any write failed (errno tells).
    bool finish();
    const std::string& text() const { return buf_; }

private:
    void write_held();

    mode how_;
    FILE* stream_;
    std::string buf_;
    bool failed_ = false;
    int error_ = 0;
};

// A text the writer asks for only where the template places it, and which
// is then produced straight into the output: a definition's column lines
// are never held whole. Lines are separated by newlines, with none after
// the last.
struct ddl_lines {
    std::function<void(ddl_out&)> write;
    bool empty = true;  // write produces nothing
};

// One definition's values, as resolution hands them to the writer; the
// template reaches them through the variables of kDdlVariables.
struct ddl_values {
    std::string table;
    std::string define;
    ddl_lines columns;      // the column lines
    ddl_lines key_columns;  // the key column lines
    std::string catalog;
    std::string parent_table;  // a child table's parent; empty otherwise
    std::string parent_keys;   // the parent's key columns, comma-separated
    int64_t max_megs = 0;
    int64_t cur_megs = 0;
    int64_t max_pages = 0;
    int64_t cur_pages = 0;
};

// The template variables of a definition, each bound to its member: a text
// (which has a number when it is wholly decimal), lines, or a number.
// `percent`: "%NAME" is a reference finish_templ accepts.
struct ddl_variable {
    const char* name;
    std::string ddl_values::*text;  // null unless a text
    ddl_lines ddl_values::*lines;   // null unless lines
    int64_t ddl_values::*number;    // null unless a number
    bool percent;
};
inline constexpr ddl_variable kDdlVariables[] = {
    {"TABLE", &ddl_values::table, nullptr, nullptr, true},
    {"DEFINE", &ddl_values::define, nullptr, nullptr, true},
    {"COLUMNS", nullptr, &ddl_values::columns, nullptr, true},
    {"KEYCOLUMNS", nullptr, &ddl_values::key_columns, nullptr, true},
    {"CATALOG", &ddl_values::catalog, nullptr, nullptr, false},
    {"PARENTTABLE", &ddl_values::parent_table, nullptr, nullptr, false},
    {"PARENTKEYS", &ddl_values::parent_keys, nullptr, nullptr, false},
    {"MAXMEGS", nullptr, nullptr, &ddl_values::max_megs, true},
    {"CURMEGS", nullptr, nullptr, &ddl_values::cur_megs, true},
    {"MAXPAGES", nullptr, nullptr, &ddl_values::max_pages, true},
    {"CURPAGES", nullptr, nullptr, &ddl_values::cur_pages, true},
};

// The whole text of `lines`, as a variable holds it.
std::string ddl_lines_text(const ddl_lines& lines);

// Sets every variable of kDdlVariables from `values`, lines as their
// whole text.
void set_ddl_values(const ddl_values& values);

// Creates or updates a variable (the name is upshifted). `text` may be
// null (no text); a `number` of 0 means no number. With a number the text
// becomes its decimal form.
void set_templ_var(const char* name, const char* text, int64_t number);

// Upshifts `name` in place and looks it up. Returns false when there is no
// such variable; otherwise sets `number` (0: none) and `text` to what a
// reference to it writes.
bool get_templ_var(std::string& name, int64_t& number, std::string& text);

// Checks the "%" references of the table-creation text; always 1.
int finish_templ();

// Writes one expansion of the table-creation text to the DDL stream, with
// the variables as they are, or first set from one definition's values.
// Lines that the text names once are produced into the stream where it
// names them, and produced (for their messages) even when it does not or
// there is no stream; afterwards their variables have no text.
void write_templ();
void write_templ(const ddl_values& values);

// Expands `text` with the current variables (write_templ's work, for any
// text and without the stream).
std::string expand_templ_text(const std::string& text);

// Removes every variable (for tests).
void reset_templ_vars();
