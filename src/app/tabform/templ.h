// templ: the DDL template file. Owns the table-creation text, the type map,
// the name map and the template options; all are filled once by
// read_templ_file and then only read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Stored values of the Y and N words of a type-map row.
inline constexpr int16_t kTemplYes = -200;  // the column's own value
inline constexpr int16_t kTemplNo = -100;   // none; for a limit: no limit

struct type_map_entry {
    std::string type_key;  // derived type name (CHAR, DECIMAL, ...), upper case
    std::string sql_type;  // as written, each "_" replaced by a blank
    int16_t size_spec = kTemplNo;
    int16_t prec_limit = kTemplNo;
    int16_t scale_spec = kTemplNo;
    int16_t scale_limit = kTemplNo;
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
};

extern std::string templ_text;  // the Table Creation Section text
extern std::vector<type_map_entry> type_map;
extern std::vector<name_map_entry> name_map;  // kept, never consulted
extern templ_options_t templ_options;

// Reads the template named by templ_file_name (params).
void read_templ_file();

// Row handlers, each given one template line with its newline.
void add_type_map(const std::string& line);
void add_name_map(const std::string& line);
void add_param(const std::string& line);

// Back to the state before any template was read (for tests).
void reset_templ();
