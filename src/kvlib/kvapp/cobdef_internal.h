// cobdef internals: the steps of reading a record (parse an entry, append
// it, close the record) and the reader's error report, shared by the
// cobdef*.cpp modules and by their tests and fuzz targets. Nothing else
// includes this header.
//
// A record being filled holds level numbers only; CD_close_record gives it
// depths and offsets, after which it is a closed definition (cobdef.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kvapp/cobdef.h"

// Opens the definitions file of a COBOLDEFSFILE command for CD_read_defs.
int CD_open_defs(std::string& error, const std::string& command, const cd_read_options& options = {});

// Formats an error report into `error`, closes the definitions file if one
// is open, and returns 0. While a statement is being read, the report is
// "Error processing COBOL definition - <message> (line <n>):\n<statement>"
// ("line <n> of <member>, copied at line <m> of <file>" inside a member).
int CD_error(std::string& error, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

enum class cd_sign_word { none, separate, embedded };

// The usage words of an entry, as written: each dialect gives some of them
// their own meaning (CD_set_data_type).
enum class cd_usage_word : uint8_t {
    none, display, comp, binary, comp1, comp2, comp3, comp4, comp5, comp6,
    native, pointer, pointer8, index, national, display1, display2,
};

// What parsing an entry found beyond the entry itself.
struct cd_parse_facts {
    cd_usage_word usage = cd_usage_word::none;
    int64_t digits = 0;     // positions of its picture; 0 without one
};

// Parses one data description entry (level number, name, clauses; a final
// separator period is allowed) into `entry`. `current` is the record being
// filled, consulted for REDEFINES and for its dialect. `is_field` is 0 for
// entries that describe no storage (level numbers 51 to 88).
int CD_parse_field(std::string& error, std::string_view statement, const cobol_def& current,
                   column_entry& entry, int& is_field, cd_entry_text* text = nullptr,
                   cd_parse_facts* facts = nullptr);

// What the clauses of an elementary entry say about its storage.
struct cd_type_clauses {
    const std::string* picture = nullptr;  // null: no PICTURE clause
    cd_usage_word usage = cd_usage_word::none;
    int native_size = 0;                   // NATIVE-n: n
    cd_sign_word sign = cd_sign_word::none;
    bool sign_leading = false;             // SIGN LEADING
};

// Derives data type, usage, sign, lengths and scale of an elementary entry
// from its clauses, with the sizes of `dialect`. `digits` receives the
// number of digit positions of its picture (0 without one).
int CD_set_data_type(std::string& error, column_entry& entry, const cd_type_clauses& clauses,
                     cd_dialect dialect, int64_t* digits = nullptr);

// Whether a tabcopy-dialect binary item has more digits than its fixed
// size holds (COMP-4 in 2 bytes, COMP-5 in 4, COMP-6 in 8), which IBM
// COBOL would have given more bytes.
bool CD_binary_too_narrow(cd_usage_word usage, int64_t digits);

// Parses a level-88 entry: its name and its VALUE (or VALUES) literals and
// THRU ranges. Returns 1, or 0 with an error text (the reader's state is
// left alone: an 88 entry that cannot be read is only passed over).
int CD_parse_condition(std::string& error, std::string_view statement, cd_condition& condition);

// Appends a parsed entry to the record being filled, checking its level
// number against the group structure.
int CD_add_field(std::string& error, cobol_def& def, column_entry entry);

// Finishes a filled record: depths, group check, offsets and group
// lengths, def_name, field_count. The reader then adds it to the area.
int CD_close_record(std::string& error, cobol_def& def);

// Index of the first group that no deeper field follows directly (a group
// without elementary items), or -1. Reads level numbers only, so it serves
// a record being filled as well as a closed one.
int CD_find_empty_group(const cobol_def& def);

// Steps of CD_close_record.
void CD_set_depths(cobol_def& def);
int CD_set_offsets(std::string& error, cobol_def& def);
// Replaces each DB2 level-49 pair of a laid-out record (a group of exactly
// a 49-level 2-byte binary integer and a 49-level PIC X or A item) by one
// VARCHAR item of the group's name, offset, occurrences and entry text;
// every other field keeps its offset and what it redefines. Returns the
// pairs replaced. Needs the entry texts, whose pictures tell plain text
// from edited.
int32_t CD_merge_varchar_pairs(cobol_def& def);

// Position of the period that ends the entry in `text`: a period outside
// quoted literals followed by a space, a tab or the end of the text. `quote`
// carries the open literal's quote character (0 outside) in and out, so a
// text can be scanned piece by piece. Returns npos when there is none.
size_t CD_find_separator_period(std::string_view text, char& quote);
