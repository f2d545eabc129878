// writer: the template variables, and the expansion of the table-creation
// text into the DDL stream once per definition.
#pragma once

#include <cstdint>
#include <string>

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

// Writes one expansion of the table-creation text to the DDL stream.
void write_templ();

// Expands `text` with the current variables (write_templ's work, for any
// text and without the stream).
std::string expand_templ_text(const std::string& text);

// Removes every variable (for tests).
void reset_templ_vars();
