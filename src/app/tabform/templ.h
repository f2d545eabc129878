// templ: the DDL template file. Owns the table-creation text, the type map,
// the name map and the template options; all are filled once by
// read_templ_file and then only read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Stored values of the Y and N words of a type-map row.
inline constexpr int16_t kTemplYes = -200;  // the column's own value
inline constexpr int16_t kTemplNo = -100;   // none; for a limit: no limit

// The bytes a column takes in the row, as a type-map row's seventh word
// states it for MAXROWSIZE: "20" (that many), "Y" (one a unit of its
// size), "Y*3" (three a unit). Without the word the column takes as many
// bytes as its field takes in the record.
struct row_bytes_rule {
    int32_t fixed = -1;    // >= 0: that many bytes
    int32_t per_unit = 0;  // > 0: that many bytes a unit of the size
};

struct type_map_entry {
    std::string type_key;  // derived type name (CHAR, DECIMAL, ...), upper case
    std::string sql_type;  // as written, each "_" replaced by a blank
    int16_t size_spec = kTemplNo;
    int16_t prec_limit = kTemplNo;
    int16_t scale_spec = kTemplNo;
    int16_t scale_limit = kTemplNo;
    row_bytes_rule row_bytes;
    // The seventh word as written, and where: it is read only when the
    // template has MAXROWSIZE, so that other templates keep any words
    // after the sixth as the comments they always were.
    std::string row_bytes_word;
    std::string line;
    int32_t line_number = 0;
};

struct name_map_entry {
    std::string column_name;  // upper case, "-" written as "_"
    std::string replacement;  // as written
};

// Duplicate-name resolution of RESOLVEDUPCOLUMNS.
enum : int32_t { kResolveDupNone = 0, kResolveDupIndex = 1, kResolveDupAlphaIndex = 2 };

struct templ_options_t {
    int16_t null_clause = 1;       // "NULL" for nullable columns
    int16_t not_null_clause = 1;   // "NOT NULL" for non-nullable columns
    int16_t use_same_nulls = 0;    // nullability taken from the definition
    int16_t include_redefs = 1;    // redefining fields become columns
    int16_t include_comments = 1;  // comment lines in the column list
    int32_t resolve_dup_columns = kResolveDupNone;
    // QUOTENAMES: the quotes around a name the database would not take as
    // it is; 0 when names are written as they are.
    char quote_open = 0;
    char quote_close = 0;
    int32_t max_columns = 0;       // MAXCOLUMNS: columns a table may have; 0: any number
    int32_t max_name_length = 0;   // MAXNAMELENGTH: bytes of a table or column name; 0: any
    int32_t max_row_size = 0;      // MAXROWSIZE: bytes the columns may take in a row; 0: any
};

// The largest values the number options take: no database takes more
// columns than 32767 (SQLite's ceiling), names longer than 1000 bytes
// (most stop at 128) or rows of more than 65535 bytes (MySQL's row limit).
inline constexpr int32_t kTemplMaxColumnsCeiling = 32767;
inline constexpr int32_t kTemplMaxNameLengthCeiling = 1000;
inline constexpr int32_t kTemplMaxRowSizeCeiling = 65535;

extern std::string templ_text;  // the Table Creation Section text
extern std::vector<type_map_entry> type_map;
extern std::vector<name_map_entry> name_map;  // kept, never consulted
extern templ_options_t templ_options;
// The Reserved Words Section: words the database takes for its own, upper
// case. A name that is one of them is quoted under QUOTENAMES.
extern std::vector<std::string> reserved_words;  // sorted

// Reads the template named by templ_file_name (params).
void read_templ_file();

// Row handlers, each given one template line with its newline.
void add_type_map(const std::string& line);
void add_name_map(const std::string& line);
void add_param(const std::string& line);
void add_reserved_words(const std::string& line);

// A table or column name as the DDL writes it: quoted under QUOTENAMES when
// the database would not take it as it is (a reserved word, a leading
// digit, a character other than a letter, digit or underscore), a closing
// quote inside it doubled; otherwise as it is.
std::string templ_sql_name(const std::string& name);
// Whether templ_sql_name writes `name` as it is.
bool templ_name_is_plain(std::string_view name);

// Reports a template option whose value is refused (TM-256), naming the
// template and the line being read.
void refuse_templ_option(const std::string& keyword, const char* needs);

// Back to the state before any template was read (for tests).
void reset_templ();
