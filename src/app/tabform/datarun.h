// datarun: the data half of a run: each DATAFILE's records decoded into
// the rows of its table, bad records set aside in a reject file with a
// line each in a reject log, and the load script for the run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"
#include "tabform/dataopts.h"

// One data file to convert, for one FILE command's table.
struct data_job {
    uint32_t entry = 0;          // its FILE command's def_table index
    std::string data_path;
    data_options options;
    // What the conversion counted: read = written + rejected.
    int64_t read = 0;
    int64_t written = 0;
    int64_t rejected = 0;
    int64_t longer = 0;          // records longer than the layout (V, VB, LINE): extra bytes ignored
};

// Every DATAFILE of the run, in command order.
extern std::vector<data_job> data_jobs;
// LOADSCRIPT: the load script's name; empty: named after the DDL file.
extern std::string load_script_path;

// DATAFILE <path> [data options]: the data of the FILE command before it.
void datafile_command(std::string& command, const std::string& word);
// LOADSCRIPT <path>.
void loadscript_command(std::string& command, const std::string& word);

// Converts every job after the DDL is written, then writes the load
// script. Each table's counts are reported.
void run_data_jobs();

// Converts one table's data. `rows` (standard output for tabcopy DATA) is
// used instead of the rows file when given. False when the run must end:
// the reason has been reported.
bool convert_data(data_job& job, const def_entry& entry, FILE* rows, bool header);

// Whether any job rejected a record: the run then ends with status 4.
bool data_rejected_any();

// The words of a command text, blank-separated, the command word first.
std::vector<std::string> command_words(const std::string& command);
