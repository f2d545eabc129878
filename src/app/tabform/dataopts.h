// dataopts: the data options of DATAFILE and of tabcopy DATA: how a data
// file is framed and encoded, what bad data does, and where rows, rejects
// and their log go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvapp/decplan.h"
#include "kvapp/recframe.h"

struct data_options {
    rf_framing framing = rf_framing::fixed;
    int64_t lrecl = 0;                 // FIXED: 0 for the layout's record length
    std::string codepage = "037";
    std::string rows;                  // the rows file; empty: named after the table
    std::string rejects;               // empty: the rows file's name with .rej
    std::string reject_log;            // empty: the rows file's name with .rej.log
    dp_on_error on_error = dp_on_error::reject;
    int64_t max_rejects = 1000;
    dp_empty_numeric empty = dp_empty_numeric::null;
    bool keep_spaces = false;
    dp_overpunch overpunch = dp_overpunch::letters;
    int byte_order = -1;               // -1: by the code page (big for EBCDIC); 0 big; 1 little
    int floats = -1;                   // -1: by the code page (hex for EBCDIC, IEEE little-endian otherwise)
    bool unmatched_skip = false;       // UNMATCHED SKIP: a record no WHEN takes is counted, not rejected
    bool odo_compact = false;          // ODO COMPACT: FIXED records as long as their counts make them
    int threads = 0;                   // THREADS: decoding threads; 0: one per core
    std::string template_path;         // tabcopy DATA: TEMPLATE
    std::string definition;            // tabcopy DATA: DEF
};

// Reads data option words from `words`, starting at `at` and leaving `at`
// after the last one read. `allow` lists extra option words the caller
// takes itself (they stop the reading). False with `error` naming the
// option for a word that is no data option or a value that is not valid.
bool read_data_options(std::string& error, const std::vector<std::string>& words, size_t& at,
                       data_options& options);

// The options the decoder needs, with the defaults the code page implies.
dp_options decode_options(const data_options& options, const kv_codepage& codepage);
