// datapass: one pass over one data file, for every table that reads it:
// the tables a FILE ... WHEN condition sends records to, the child tables
// of their arrays, the OCCURS DEPENDING ON tables that move their fields,
// and the decoding of batches of records into rows, rejects and log lines.
//
// Invariants: a prepared pass is only read while batches are decoded, so
// any number of workers decode batches at once, each with its own scratch
// and output; a batch's outputs are appended in file order, so the files
// are byte for byte those of one worker. A record becomes rows in every
// table it belongs to or in none: a field error anywhere rejects it whole.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "kvapp/decplan.h"
#include "kvapp/recframe.h"
#include "tabform/childtables.h"
#include "tabform/dataopts.h"
#include "tabform/recordtypes.h"

// An OCCURS DEPENDING ON table of a record: fields after it move back by
// (max - count) strides; occurrences beyond the count are not there.
struct odo_table {
    int32_t start = 0, stride = 0, max = 0, end = 0;
    int32_t count_offset = 0, count_length = 0;
    dp_plan count_plan;  // decodes the count field alone
    std::string name;    // the table's data name, for reports
};

// One table a pass writes rows for.
struct table_run {
    const def_entry* def = nullptr;
    table_shape shape;
    int32_t top = -1;                 // the record's table this one is a part of (itself for a record's table)
    int32_t parent = -1;              // the table it is a child table of; -1: none
    std::vector<int32_t> children;    // child tables, in def_table order
    dp_plan plan;
    std::vector<int32_t> base;        // per plan field: its record offset with every array at its first occurrence
    std::vector<int8_t> inner;        // per plan field: the innermost array level holding it; -1: none
    bool has_when = false;
    record_condition when;
    std::vector<odo_table> odos;      // a record's table: its OCCURS DEPENDING ON tables, in record order
    std::string rows_name;
    bool header = false;
};

// Storage of its own cache lines: what a worker writes for every record
// must share no line with what another worker writes (batches' small
// blocks would otherwise sit side by side in one thread's heap, and each
// record would pass the line from core to core).
inline constexpr size_t kCacheLine = 64;
template <typename T>
struct line_allocator {
    using value_type = T;
    line_allocator() = default;
    template <typename U>
    line_allocator(const line_allocator<U>&) {}
    T* allocate(size_t n) {
        const size_t bytes = (n * sizeof(T) + kCacheLine - 1) / kCacheLine * kCacheLine;
        return static_cast<T*>(::operator new(bytes, std::align_val_t{kCacheLine}));
    }
    void deallocate(T* p, size_t) { ::operator delete(p, std::align_val_t{kCacheLine}); }
    template <typename U>
    bool operator==(const line_allocator<U>&) const { return true; }
};
template <typename T>
using line_vector = std::vector<T, line_allocator<T>>;

// The counts of a pass, per table and for the file.
struct pass_counts {
    int64_t read = 0, unmatched = 0, rejected = 0;
    line_vector<int64_t> records;     // per table: records routed to it (a record's table)
    line_vector<int64_t> rejected_of; // per table: of those, rejected
    line_vector<int64_t> longer_of;   // per table: of those, longer than its layout
    line_vector<int64_t> rows;        // per table: rows written
};

struct data_pass {
    std::string data_path;
    data_options options;
    kv_codepage codepage;
    std::vector<table_run> tables;
    std::vector<int32_t> tops;        // the record's tables, in FILE order (the order conditions are tried)
    std::string rejects_name, log_name;
    int64_t longest = 0;              // the largest record length a table's layout has
};

// A batch of records: in the framer's buffers, which the batch holds, or
// copied into its own bytes (reserved up front, so they never move).
struct batch_record {
    const uint8_t* raw = nullptr;     // with its descriptor word or line end
    size_t raw_size = 0;
    const uint8_t* data = nullptr;
    size_t size = 0;
    int64_t number = 0, offset = 0;
};
struct batch_input {
    std::vector<std::shared_ptr<const uint8_t[]>> holds;
    std::vector<uint8_t> bytes;
    std::vector<batch_record> records;
    size_t total = 0;                 // raw bytes of the records
    void clear() {
        holds.clear();
        bytes.clear();
        records.clear();
        total = 0;
    }
};

// What a batch gave: rows per table, rejects, log lines, counts, and the
// first record ONERROR STOP ends the run at (number 0: none).
struct batch_output {
    line_vector<dp_buffer> rows;
    dp_buffer rejects;
    std::string log;
    pass_counts counts;
    int64_t stop_record = 0, stop_offset = 0;
    std::string stop_detail;
    std::vector<uint8_t> sample;      // bytes of the batch's first rejected records, for the hint
    void reset(size_t tables);
};

// A worker's scratch: reused from record to record.
struct pass_scratch {
    std::vector<dp_error> errors;
    std::vector<int32_t> offsets;
    std::vector<int64_t> numbers;
    std::vector<int64_t> counts;      // of the record's OCCURS DEPENDING ON tables
    std::vector<size_t> marks;
    line_vector<int64_t> row_counts;
    dp_buffer scratch;
};

// The bytes of a record as its layout has them (OCCURS DEPENDING ON
// tables at their maximum).
int64_t layout_length(const def_entry& def);

// Appends the tables def_table entry `entry` (a FILE command's) made: its
// table, then the child tables made from its arrays, parents first. Their
// rows files are the caller's to name.
void add_file_tables(data_pass& pass, uint32_t entry);

// Prepares the tables of a pass whose tables have their definition,
// shape, top, parent and rows name set (parents before their children),
// and whose code page is loaded: plans, conditions, OCCURS DEPENDING ON
// tables. False with an error text (which table, and why) when it cannot
// run.
bool prepare_pass(std::string& error, data_pass& pass, const dp_options& options);

// Decodes every record of `in` into `out` (reset first).
void decode_batch(const data_pass& pass, const batch_input& in, batch_output& out, pass_scratch& scratch);
// Decodes one record into `out`, after what it holds (reset it first).
void decode_record(const data_pass& pass, const batch_record& rec, batch_output& out, pass_scratch& scratch);

// The length of the record that starts at `bytes` (`size` of them at
// hand) as its OCCURS DEPENDING ON counts make it, for FIXED files that do
// not pad records to their maximum; 0 when the counts cannot be read.
int64_t compact_length(const data_pass& pass, const uint8_t* bytes, size_t size, pass_scratch& scratch);
