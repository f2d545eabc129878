// layout: the record layout of definitions, for people (a text table) and
// for programs (JSON): what tabcopy made of a copybook, field by field, with
// offsets and lengths in bytes counted from 0, the start of the record.
//
// LAYOUT lists the records of a copybook as read; LAYOUTFILE writes, for
// every FILE entry, the layout after naming and resolution, with the
// column each field became and the SQL type the DDL gives it.
#pragma once

#include <string>
#include <vector>

#include "kvapp/cobdef.h"
#include "tabform/resolve.h"

// tabcopy LAYOUT <copybook> [FREE|FIXED|AUTO] [RECORD name]: `words` are
// the arguments after LAYOUT. Prints every record of the copybook on
// standard output; a copybook that cannot be read ends the run (PF-244).
// Returns the exit status.
int layout_command(const std::vector<std::string>& words);

// The text table of one definition. With `columns` (what each item's column
// line says, from resolve_params) the table also shows the column, its SQL
// type and size, nullability and the key flag.
std::string layout_text(const cobol_def& def, const std::vector<sql_column>* columns);

// LAYOUTFILE: opens the layout file of the run (the command is read by
// params); false after reporting a file that cannot be opened (1091).
bool open_layout_file(const std::string& name, bool json, bool append);
bool layout_file_open();
// The layout of one FILE entry after resolve_params.
void write_layout_entry(const def_entry& entry, const std::vector<sql_column>& columns);
// Writes what is held for the end (the JSON document).
void finish_layout_file();
