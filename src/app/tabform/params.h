// params: the run parameter file: DDL output, template path, definitions
// to write (def_table).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"
#include "kvapp/tabutl.h"

struct ddl_output_t {
    FILE* stream;      // standard output until DDLFILE names a file; null after a failed open
    std::string name;  // "stdout" until DDLFILE names a file
};

extern ddl_output_t ddl_file;
extern std::string templ_file_name;
// Folders that COPYLIB commands named, in command order: where COPY
// members are looked for after the folder of the copybook that copies them.
extern std::vector<std::string> copylib_folders;
extern int16_t trace_switch;
// The dialect COBOLDEFSFILE commands that name none read in: TABCOPY until
// a DIALECT command names another.
extern cd_dialect default_dialect;
// The def_table index of the table the last FILE command made (with
// CHILDTABLES, the record's own table); -1 before any.
extern int32_t last_file_entry;
// Entries of type def_entry, one per FILE command, in command order. Each
// shares its fields with the loaded definition it was copied from.
extern TABUTL_array* def_table;

// Reads the copybook a COBOLDEFSFILE command (or the words of LAYOUT)
// names into the definitions area, raising what the read found: 1244 for
// a copybook that cannot be used, 1248 and 1259 for what may be meant
// otherwise. False after 1244. For `layout`, where no echoed command says
// which file is read, 1293 names the file instead of 1244, and a copybook
// without any entry is refused (1294).
bool load_copybook(const std::string& command, bool layout = false);

// Reads every command of the run parameter file.
void get_infile_params();
// Whether the run parameter file at `path`, or an OBEY file it names, holds
// a DDLFILE command; true also when that cannot be told before the run
// (a file that is not a regular one, a command word or an OBEY path made
// with references).
bool names_ddl_file(const std::string& path, int depth = 0);
// DDLFILE: opens the DDL file (PURGE, APPEND) and writes its header.
void create_tabform_file(const std::string& command);
// FILE: appends a copy of a loaded definition to def_table under a table
// name, with its KEYCOLS marked.
void get_cobol_table(const std::string& command);
// TABLE: not supported by this program.
void get_sql_tables();
