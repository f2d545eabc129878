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
    // A part of the file (tabcopy SPLIT lists them): START, LENGTH and
    // FIRSTRECORD, the number of the first record there.
    int64_t start = 0;
    int64_t length = -1;               // -1: to the end of the file
    int64_t first_record = 0;          // 0: not given (1 at START 0; FIXED works it out)
    std::string template_path;         // tabcopy DATA: TEMPLATE
    std::string definition;            // tabcopy DATA: DEF
};

// Reads data option words from `words`, starting at `at` and leaving `at`
// after the last one read. `allow` lists extra option words the caller
// takes itself (they stop the reading). False with `error` naming the
// option for a word that is no data option or a value that is not valid.
bool read_data_options(std::string& error, const std::vector<std::string>& words, size_t& at,
                       data_options& options);

// Whether `word` is a data option word (each takes one value).
bool is_data_option(const std::string& word);

// Whether the options select a part of the file: its default output
// names then carry the part's first record number, so that parts
// converted side by side in one folder never overwrite each other.
bool is_part(const data_options& options);

// The number of the first record the options select, in a file whose FIXED
// records are `lrecl` bytes long.
int64_t first_record_of(const data_options& options, int64_t lrecl);

// The tag a part's default output names carry: "." and its first record's
// number; empty for the whole file.
std::string part_tag(const data_options& options, int64_t lrecl);

// The options the decoder needs, with the defaults the code page implies.
dp_options decode_options(const data_options& options, const kv_codepage& codepage);
