// cobdef: COBOL record definitions. Reads copybook text into record
// definitions (cobol_def), each a flat list of fields (column_entry) in file
// order with data types, lengths, offsets and nesting depths. A DB2
// level-49 pair (a group of a 2-byte binary length and its text) is one
// VARCHAR field of the group's name.
//
// Every operation returns 1 on success and 0 on failure; on failure the
// caller's error text holds a report and no message has been raised: the
// caller raises one carrying that text. The steps of reading a record are
// in cobdef_internal.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Data type codes of column_entry::data_type.
enum : int16_t {
    CD_TYPE_CHAR = 0,        // fixed-length character
    CD_TYPE_VARCHAR = 64,    // DISPLAY-2 or a level-49 pair: stored with a 2-byte length prefix
    CD_TYPE_BIN16 = 130,
    CD_TYPE_BIN32 = 132,
    CD_TYPE_BIN64 = 134,
    CD_TYPE_FLOAT32 = 140,   // COMP-1
    CD_TYPE_FLOAT64 = 141,   // COMP-2
    CD_TYPE_UNUM = 150,      // unsigned display numeric
    CD_TYPE_SNUM = 152,      // signed display numeric
    CD_TYPE_PACKED = 155,    // COMP-3
};

// How an elementary item's bytes hold its value, once the dialect has
// given each usage word its meaning (column_entry::usage).
enum cd_usage : uint8_t {
    CD_USAGE_DISPLAY = 0,      // characters; numbers as zoned decimal digits
    CD_USAGE_BINARY,           // big-endian binary (COMP, COMP-4, BINARY)
    CD_USAGE_NATIVE_BINARY,    // binary in the machine's byte order (COMP-5, NATIVE-n)
    CD_USAGE_PACKED,           // packed decimal with a sign nibble (COMP-3)
    CD_USAGE_PACKED_UNSIGNED,  // packed decimal without a sign nibble (IBM COMP-6)
    CD_USAGE_FLOAT,            // COMP-1 (4 bytes), COMP-2 (8 bytes)
    CD_USAGE_POINTER,          // addresses: POINTER and its kinds
    CD_USAGE_INDEX,            // INDEX
    CD_USAGE_NATIONAL,         // PIC N, USAGE NATIONAL: UTF-16, 2 bytes a character
    CD_USAGE_DBCS,             // PIC G, DISPLAY-1: double-byte characters
    CD_USAGE_UTF8,             // PIC U
    CD_USAGE_DISPLAY2,         // DISPLAY-2: text behind a 2-byte length
    // A DB2 level-49 pair made one item when its record closes: text
    // behind the 2-byte length item, whose usage decides its byte order.
    CD_USAGE_VARCHAR49,        // the length is BINARY (COMP, COMP-4): big-endian
    CD_USAGE_NATIVE_VARCHAR49, // the length is COMP-5 or NATIVE-2
};

// Where the sign of a numeric item is (column_entry::sign).
enum cd_sign : uint8_t {
    CD_SIGN_NONE = 0,          // unsigned, or not a number
    CD_SIGN_TRAILING,          // in the zone of the last byte, or the last nibble of a packed item
    CD_SIGN_LEADING,           // in the zone of the first byte
    CD_SIGN_TRAILING_SEPARATE, // a '+' or '-' byte after the digits
    CD_SIGN_LEADING_SEPARATE,  // a '+' or '-' byte before the digits
    CD_SIGN_COMPLEMENT,        // two's complement binary, or a float's sign bit
};

// The COBOL dialect a copybook is read in: the meaning of the usages whose
// sizes differ between compilers.
enum class cd_dialect : uint8_t {
    tabcopy,   // COMP-4, COMP-5, COMP-6: 2, 4 and 8 bytes whatever the digits
    ibm,       // IBM Enterprise COBOL: COMP-4 and COMP-5 sized by digits, COMP-6 unsigned packed
};

// Largest length or offset a field or group may have: every length and
// offset of a record, and every offset of its unrolled occurrences, then
// fits the 32-bit fields below. Larger records are refused when read.
inline constexpr int64_t CD_MAX_BYTES = 2147483647;

// Limits of the language, as IBM Enterprise COBOL for z/OS sets them
// (Language Reference, "Compiler limits"): an elementary item, and so a
// picture repetition factor, of at most 134,217,727 bytes; an OCCURS of at
// most 99,999,999 occurrences. A data name has at most CD_MAX_NAME
// characters; a longer one keeps its first CD_MAX_NAME.
inline constexpr int64_t CD_MAX_ITEM_BYTES = 134217727;
inline constexpr int64_t CD_MAX_OCCURS = 99999999;
inline constexpr size_t CD_MAX_NAME = 199;
// Most P positions to the right of a picture's digits (each multiplies the
// value by ten): IBM allows 31 digit positions in all, P included.
inline constexpr int CD_MAX_P_SCALING = 31;

// One field of a record, and after the naming pass one column. A record of
// a million columns holds a million of these: the fields are grouped by
// width so that none pads another, the flags are bits, and the codes that
// are small or left 0 by the reader take a byte or half of one.
struct column_entry {
    std::string name;           // upper case
    int32_t int_len = 0;        // bytes of one occurrence (groups too)
    int32_t bin_len = 0;        // = int_len
    int32_t tbl_len = 0;        // = int_len
    int32_t ext_len = 0;        // digits for packed decimal, +2 for a VARCHAR
    int32_t fetch_offset = 0;   // from the start of the record
    int32_t scale = 0;          // digits after the implied decimal point
    int32_t occurs = 1;         // 1 to CD_MAX_OCCURS
    // Index of the field that the REDEFINES clause names, in the field list
    // of the definition as read and closed; 0: none. The naming pass moves
    // and copies fields and leaves it as it was: columns find what they
    // redefine by position instead.
    int32_t redefines_before_naming = 0;
    int32_t text = -1;          // its entry's text in cobol_def::texts; -1: none
    int16_t data_type = 0;      // CD_TYPE_*, 0 for groups
    int16_t level_number = 0;   // as written; 0 for the record RECORD makes
    int16_t depth = 0;          // set when the record closes: 0 for the first field, parent + 1
    uint8_t elementary : 1 = 0; // 1: has a data type clause; 0: group
    uint8_t key_column : 1 = 0;
    uint8_t nullable : 1 = 0;   // never set by the reader
    uint8_t sync : 1 = 0;       // SYNCHRONIZED: aligned on its natural boundary
    uint8_t usage : 4 = CD_USAGE_DISPLAY;  // cd_usage, for elementary items
    uint8_t sign : 4 = CD_SIGN_NONE;       // cd_sign
    // P positions: > 0 right of the digits, each multiplying the value by
    // ten; < 0 left of them, decimal places that hold zero (in `scale` too).
    int8_t p_scale = 0;
    int8_t data_subtype = 0;    // 1: national or DBCS characters (PIC N, G; NATIONAL, DISPLAY-1)
    int8_t most_sig_dt = 0;     // never set by the reader
    int8_t least_sig_dt = 0;    // never set by the reader
};

// Bytes one occurrence of a field takes in the record: a VARCHAR item
// (DISPLAY-2, a level-49 pair) carries its 2-byte length prefix there, so its occurrences lie ext_len
// apart; a group or any other item takes int_len.
inline int64_t CD_stored_size(const column_entry& field) {
    return field.elementary && field.data_type == CD_TYPE_VARCHAR ? field.ext_len : field.int_len;
}

// Which field redefines which, by position: the rule for a closed field list
// and for the column list the naming pass makes of it, which no longer
// indexes REDEFINES targets. A field redefines the first field after the
// record's own with its depth and offset, unless it directly follows a group
// of its own depth (an array header, whose first element shares both).
//
// Fed one field at a time in list order, so that a pass that drops fields
// can apply the rule to the ones it keeps.
class cd_redefinition_finder {
public:
    cd_redefinition_finder() = default;
    // The index of the field that `field`, at `index` right after
    // `previous` (null at index 0), redefines; 0 for none.
    int32_t add(const column_entry* previous, const column_entry& field, int32_t index);

private:
    // (depth, offset) -> first index there. Fields come in record order, so
    // at each depth a new place nearly always lies past the last one: each
    // depth keeps its places in ascending offset order, appended to and
    // searched without hashing, and a million fields touch memory in order.
    // A place before its depth's last one that is not there (the fields of
    // a redefinition laid out differently) is rare: it goes to a map.
    struct place {
        int32_t offset;
        int32_t first;
    };
    std::vector<std::vector<place>> by_depth_;
    std::unordered_map<uint64_t, int32_t> out_of_order_;
};

// The rule for every field at once, in one pass: 0 for a field that
// redefines nothing.
std::vector<int32_t> CD_redefinitions(const std::vector<column_entry>& fields);

// An entry as the copybook wrote it: what the record layout listings show
// (the fields themselves hold derived names once named), and the slack
// bytes the layout put around it.
struct cd_entry_text {
    int16_t level = 0;          // the level number; 0 for the record RECORD makes
    std::string name;           // the data name, upper case
    std::string picture;        // the PICTURE string, or empty
    std::string usage;          // the usage word (COMP-3, BINARY, POINTER...), or empty
    std::string depending_on;   // OCCURS ... DEPENDING ON: the object's name, or empty
    // SYNCHRONIZED items are aligned by slack bytes: `slack_before` lie
    // right before the entry's item (or before the group it begins), and
    // `slack_after` at the end of each occurrence of an OCCURS group, so
    // that every occurrence is aligned as the first.
    int32_t slack_before = 0;
    int32_t slack_after = 0;
};

// A value of a level-88 condition name, or a range of them (THRU): texts
// as written, quotes removed; a figurative constant (SPACE, ZERO,
// HIGH-VALUE, LOW-VALUE and their plurals) as its upper-case word.
struct cd_condition_value {
    std::string low;
    std::string high;  // empty: a single value
    bool quoted = false;  // a literal in quotes, compared as text
};

// A level-88 condition name and the field it belongs to.
struct cd_condition {
    std::string name;            // upper case
    int32_t text = -1;           // the entry text of its field (cd_entry_text index)
    std::vector<cd_condition_value> values;
};

// One record definition. Copies (def_entry) share `fields`, so a key flag
// or a new name set through one copy is seen through all of them.
struct cobol_def {
    std::string table_name;     // empty in the definitions area
    std::string def_name;       // name of the first field
    int32_t field_count = 0;    // == fields->size() for a closed definition
    int16_t first_level = 0;    // level number of the first entry as written (0: RECORD)
    cd_dialect dialect = cd_dialect::tabcopy;  // the meaning of its usages
    // Non-null for every definition the reader produced; null only in a
    // default-constructed record.
    std::shared_ptr<std::vector<column_entry>> fields;
    // The entries as written, one per entry read, in file order; the
    // fields (and the columns unrolled from them) refer to them by index.
    std::shared_ptr<std::vector<cd_entry_text>> texts;
    // The level-88 condition names of the record, in file order.
    std::shared_ptr<std::vector<cd_condition>> conditions;
    // The field list as closed, before the naming pass unrolled it: child
    // tables are made from it. Null until the naming pass runs (the fields
    // are still the closed list then).
    std::shared_ptr<const std::vector<column_entry>> closed;
    // A child table (an array of its parent's record): the parent's table
    // and key columns as the DDL names them; empty for any other table.
    std::string parent_table;
    std::string parent_keys;
};

// One definition to write: a copy of a cobol_def under its table name.
using def_entry = cobol_def;

// The definitions area: every definition read so far, in file and command
// order. It lives for the whole run and only grows; entries are never
// changed by this module once added. A later CD_read_defs may move them:
// hold indexes across reads, not references.
std::vector<cobol_def>& CD_definitions();

// How to read a definitions file, beside what its command says.
struct cd_read_options {
    std::vector<std::string> copylib;  // folders for COPY members, after the copying file's own
    cd_dialect dialect = cd_dialect::tabcopy;  // unless the command names one
};

// What a read found that deserves a warning; the caller raises it.
struct cd_read_notes {
    // The first item whose fixed tabcopy-dialect size (COMP-4 2 bytes,
    // COMP-5 4, COMP-6 8) holds fewer digits than its picture has, as
    // IBM COBOL would size it otherwise; empty `field` when none.
    std::string field;
    std::string where;   // its line, as errors name lines
    std::string usage;   // the usage word as written
    int64_t digits = 0;
    int32_t bytes = 0;
};

// Reads the file named by a COBOLDEFSFILE command ("COBOLDEFSFILE path
// [FIXED|FREE|AUTO] [IBM|TABCOPY] [RECORD name]", the words after the path
// in any order) and appends each record found to CD_definitions(); with
// RECORD, the whole file is one definition of that name, every entry below
// it. IBM or TABCOPY names the dialect, else `options.dialect` holds.
// COPY members are looked for beside the file that copies them, then in
// the `copylib` folders, then in those of the environment variable COBCPY.
// Records closed before an error stay in the area.
int CD_read_defs(std::string& error, const std::string& command, const cd_read_options& options,
                 cd_read_notes* notes = nullptr);
int CD_read_defs(std::string& error, const std::string& command, const std::vector<std::string>& copylib = {});

// The name of a dialect as the commands write it (IBM, TABCOPY).
const char* CD_dialect_name(cd_dialect dialect);
// The dialect a word names, ignoring case; false for another word.
bool CD_dialect_word(std::string_view word, cd_dialect& dialect);
