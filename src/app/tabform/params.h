// params: the run parameter file: DDL output, template path, definitions
// to write (def_table).
#pragma once

#include <cstdio>
#include <string>

#include "kvapp/tabutl.h"

struct ddl_output_t {
    FILE* stream;      // standard output until DDLFILE names a file
    std::string name;  // "stdout" until DDLFILE names a file
};

extern ddl_output_t ddl_file;
extern std::string templ_file_name;
extern int16_t trace_switch;
// Entries of type def_entry, one per FILE command, in command order.
extern TABUTL_array* def_table;

void get_infile_params();
