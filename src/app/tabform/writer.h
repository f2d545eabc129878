// writer: the template variables, and the expansion of the table-creation
// text into the DDL stream once per definition.
#pragma once

#include <cstdint>
#include <string>

// One definition's values, as resolution hands them to the writer; the
// template reaches them through the variables of kDdlVariables.
struct ddl_values {
    std::string table;
    std::string define;
    std::string columns;      // the column lines
    std::string key_columns;  // the key column lines
    std::string catalog;
    int64_t max_megs = 0;
    int64_t cur_megs = 0;
    int64_t max_pages = 0;
    int64_t cur_pages = 0;
};

// The template variables of a definition, each bound to its member: a text
// (which has a number when it is wholly decimal) or a number. `percent`:
// "%NAME" is a reference finish_templ accepts.
struct ddl_variable {
    const char* name;
    std::string ddl_values::*text;  // null for a number
    int64_t ddl_values::*number;    // null for a text
    bool percent;
};
inline constexpr ddl_variable kDdlVariables[] = {
    {"TABLE", &ddl_values::table, nullptr, true},
    {"DEFINE", &ddl_values::define, nullptr, true},
    {"COLUMNS", &ddl_values::columns, nullptr, true},
    {"KEYCOLUMNS", &ddl_values::key_columns, nullptr, true},
    {"CATALOG", &ddl_values::catalog, nullptr, false},
    {"MAXMEGS", nullptr, &ddl_values::max_megs, true},
    {"CURMEGS", nullptr, &ddl_values::cur_megs, true},
    {"MAXPAGES", nullptr, &ddl_values::max_pages, true},
    {"CURPAGES", nullptr, &ddl_values::cur_pages, true},
};

// Sets every variable of kDdlVariables from `values`.
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
void write_templ();
void write_templ(const ddl_values& values);

// Expands `text` with the current variables (write_templ's work, for any
// text and without the stream).
std::string expand_templ_text(const std::string& text);

// Removes every variable (for tests).
void reset_templ_vars();
