// loadscript: how the template's database takes rows (the row format
// options and the Data Load Section of the template), and the load script
// of a run: the template's load statements once per table with data.
#pragma once

#include <string>
#include <vector>

#include "kvapp/decplan.h"

// What the template says of rows.
struct templ_rows_t {
    dp_row_format format = dp_row_format::csv;  // ROWFORMAT CSV|PGTEXT|MYSQL
    bool header = false;       // ROWHEADER: a first line of column names (CSV)
    bool refuse_nul = false;   // REFUSENUL: the database cannot store NUL in text
    std::string null_text;     // ROWNULL: how CSV writes NULL (\xHH escapes allowed)
    std::string rows_suffix;   // ROWSUFFIX: of rows files named after their table
    std::string load_suffix;   // LOADSUFFIX: of the load script named after the DDL file
    std::string load_text;     // the Data Load Section, lines with their newlines
    bool has_load_section = false;
};

extern templ_rows_t templ_rows;

// A Miscellaneous Parameters line whose first word is `word` (upper case),
// with `words` the words after it, when it is a row option: true when
// taken (a bad value is reported).
bool add_rows_param(const std::string& word, const std::vector<std::string>& words);
// One line of the Data Load Section.
void add_load_line(const std::string& line);
void reset_templ_rows();

// The suffix of a rows file named after its table: ROWSUFFIX, else one for
// the row format.
std::string rows_suffix();

// A table whose rows the run wrote, as its load statements name it.
struct load_entry {
    std::string table;                    // as the DDL writes it
    std::string rows_file;
    std::vector<std::string> columns;     // as the DDL writes them, in its order
    std::vector<std::string> nullable;    // those that may be NULL
    bool header = false;                  // the rows file starts with a line of column names
};

// Writes the load script to `path` (put in place with the DDL when the
// run succeeds): the Data Load Section once per entry. References:
// ?TABLE, ?ROWSFILE, ?COLUMNLIST (the column names, comma-separated),
// ?HEADERLINES (1 for a rows file with a header line, else 0: a part after
// the first has none) and ?FIRSTROW (the line of the first row); a
// line that begins with ?EACHCOLUMN or ?EACHNULLABLE is written once per
// column (or nullable column), with ?COLUMN its name.
void write_load_script(const std::string& path, const std::vector<load_entry>& entries);

// The load script's default name: the DDL file's name with its last
// extension replaced by `tag` (a part's, see part_tag) and LOADSUFFIX (or
// .load.sql).
std::string default_load_script_name(const std::string& ddl_name, const std::string& tag = "");
