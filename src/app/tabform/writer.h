// writer: template variables and the expansion of the table-creation text
// into the DDL stream.
#pragma once

#include <cstdint>

// Creates or updates a variable; `text` may be null (no text), `number` 0
// means no number.
void set_templ_var(const char* name, const char* text, int64_t number);
int finish_templ();
void write_templ();
