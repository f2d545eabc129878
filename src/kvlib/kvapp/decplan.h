// decplan: the decode plan of a table and the decoding of its records.
//
// A plan is built once per table from the columns its DDL writes, in their
// order: where each column's bytes lie in the record and how they hold its
// value, with the tables (code page, digits, packed pairs) that make the
// decoding of a field a loop of table lookups. dp_decode_record then turns
// one record into one row of the chosen row format, appended to a buffer
// that only grows: no allocation per record or field once it is large
// enough.
//
// Invariants: a plan is only read while records are decoded, so one plan
// serves any number of threads; every value written is exact (numbers as
// digits with their scale, never an exponent; floats as the shortest text
// that reads back to the same value); a field that cannot be decoded is
// never written as something else: it is a field error, which the run's
// policy turns into a rejected record, a NULL or the end of the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"
#include "kvstd/codepage.h"

// How rows are written for the database that loads them.
enum class dp_row_format : uint8_t {
    csv,      // RFC 4180: comma, quotes only where needed, NULL an empty unquoted field (or the null text)
    pg_text,  // PostgreSQL's COPY text format: tab, \N for NULL, backslash escapes
    mysql,    // MySQL and MariaDB LOAD DATA: tab, \N for NULL, backslash escapes
};

enum class dp_empty_numeric : uint8_t { null, zero, error };
enum class dp_on_error : uint8_t { reject, null, stop };
// The sign conventions of zoned decimals in ASCII data.
enum class dp_overpunch : uint8_t {
    letters,  // {ABCDEFGHI positive, }JKLMNOPQR negative, as EBCDIC zones come over
    zone7,    // 0x70-0x79 (p to y) negative
};
enum class dp_float_format : uint8_t { hex, ieee_big, ieee_little };

// The data options that decide how bytes are read and rows written.
struct dp_options {
    dp_row_format format = dp_row_format::csv;
    bool keep_spaces = false;  // trailing spaces of text stay
    dp_empty_numeric empty = dp_empty_numeric::null;
    dp_on_error on_error = dp_on_error::reject;
    dp_overpunch overpunch = dp_overpunch::letters;
    bool native_little = false;  // COMP-5, NATIVE-n, DISPLAY-2 lengths little-endian
    dp_float_format floats = dp_float_format::hex;
    bool refuse_nul = false;     // the database cannot store a NUL character in text
    std::string null_text;       // CSV: what a NULL is written as (empty by default)
};

// What is wrong with a field.
enum class dp_fault : uint8_t {
    none,
    not_a_digit,        // a byte of a zoned field that is no digit (a space or NUL among them)
    bad_sign,           // a sign zone, nibble or byte that is none of the known ones
    unsigned_signed,    // a sign on an unsigned field
    packed_digit,       // a packed digit nibble above 9
    unmappable,         // a byte the code page does not map
    nul_character,      // a NUL the database cannot store
    bad_utf8,           // text that is not valid UTF-8
    bad_utf16,          // national text that is not valid UTF-16
    bad_length,         // a VARCHAR length beyond the field
    not_finite,         // an IEEE float that is infinite or not a number
    empty_numeric,      // spaces, low-values or high-values only (EMPTY ERROR)
    null_not_allowed,   // NULL for a column that may not hold it
    cut_short,          // the record ends inside the field
    too_many_digits,    // more digits than the picture has
    out_of_range,       // a value the column's SQL type cannot hold
    negative_length,    // a level-49 pair's signed length below 0
};
const char* dp_fault_text(dp_fault fault);

enum class dp_kind : uint8_t {
    text, utf8, national, varchar, zoned, packed, packed_unsigned, binary, float_hex, float_ieee,
    ordinal,  // no bytes: the number of the occurrence the row is (a child table's key)
};

// One column of the plan.
struct dp_field {
    int32_t offset = 0;
    int32_t length = 0;
    dp_kind kind = dp_kind::text;
    uint8_t sign = CD_SIGN_NONE;   // cd_sign; a VARCHAR's: that of its length
    bool little = false;           // binary, float, VARCHAR length: little-endian
    bool nullable = true;
    int32_t scale = 0;
    int32_t p_scale = 0;           // > 0: trailing zeros the P positions add
    int32_t text_max = 0;          // VARCHAR: the most characters
    // Numbers: the most digits the column's type holds (its precision);
    // 0 for a binary integer column, which holds its integer type's range.
    int32_t max_digits = 0;
    int32_t digits = 0;            // zoned and packed: the digits the picture stores
    int32_t level = -1;            // ordinal: the array level whose occurrence number it is
    int32_t out_max = 0;           // the most bytes its value takes in a row
    std::string column;            // the column name as the DDL writes it
    std::string field;             // the COBOL name
};

// A column to decode, as the DDL writes it.
struct dp_column {
    const column_entry* entry = nullptr;
    std::string name;              // as the DDL writes it
    std::string field;             // the COBOL name, for reports
    bool nullable = true;
    int32_t precision = 0;         // of its SQL type
    bool integer = false;          // its SQL type is a binary integer (SMALLINT, INTEGER, BIGINT)
    int32_t ordinal = -1;          // >= 0: the occurrence number of that array level, not bytes
};

// Bits of a text table entry above its UTF-8 bytes and length.
inline constexpr uint32_t kDpLengthShift = 24;
inline constexpr uint32_t kDpSlow = 1u << 31;  // the byte needs the careful path (quote, escape, unmappable, NUL)

struct dp_plan {
    std::vector<dp_field> fields;
    dp_options options;
    kv_codepage codepage;
    // Each byte's UTF-8 bytes (low 24 bits), their count (bits 24-26) and
    // kDpSlow, for the row format in force.
    uint32_t text[256];
    uint8_t digit[256];       // value of a digit byte, 0xFF for any other
    uint16_t packed_pair[256];  // the two ASCII digits of a packed byte; 0 when a nibble is above 9
    // Each byte of a zoned sign position: its digit, with kDpSigned for a
    // sign other than the unsigned form and kDpNegative; 0xFF for a byte
    // that is neither.
    uint8_t zone_sign[256];
    int32_t record_length = 0;  // bytes the layout describes
    size_t row_bound = 0;       // the most bytes a row takes, with room the decoders write ahead into
    size_t scratch = 0;         // digits a numeric field may gather beyond that
    char separator = ',';
    char line_end = '\n';
};

// Bytes past a row's bound and the digit scratch that decoders may write
// or read ahead with fixed-size moves.
inline constexpr size_t kDpSlack = 64;

inline constexpr uint8_t kDpSigned = 0x10;
inline constexpr uint8_t kDpNegative = 0x20;

// Builds the plan of `columns` (the columns the DDL writes, in its order).
// False with an error text for a column whose data cannot be decoded
// (double-byte DISPLAY-1 text).
bool dp_build_plan(std::string& error, const std::vector<dp_column>& columns, int32_t record_length,
                   const kv_codepage& codepage, const dp_options& options, dp_plan& plan);

// A buffer that only grows, written through a pointer: decoding reserves
// room for a field, writes it and commits what it wrote.
class dp_buffer {
public:
    dp_buffer() = default;
    dp_buffer(const dp_buffer&) = delete;
    dp_buffer& operator=(const dp_buffer&) = delete;
    ~dp_buffer();
    // Room for `more` bytes after the end; false when memory ran out.
    bool reserve(size_t more) { return cap_ - size_ >= more || grow(more); }
    char* end() { return data_ + size_; }
    void commit(size_t n) { size_ += n; }
    void put(char c) { data_[size_++] = c; }
    void put(const char* text, size_t n) {
        std::memcpy(data_ + size_, text, n);
        size_ += n;
    }
    size_t size() const { return size_; }
    void resize(size_t n) { size_ = n; }
    const char* data() const { return data_; }
    void clear() { size_ = 0; }

private:
    bool grow(size_t more);
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t cap_ = 0;
};

// A field error of a record: which field, what is wrong.
struct dp_error {
    uint32_t field = 0;
    dp_fault fault = dp_fault::none;
};

// Where a row's fields are when they are not at their plan offsets: the
// occurrences of a child table's array, fields moved by an OCCURS
// DEPENDING ON. `offsets` (one per field, kDpAbsent for a field that is
// not there: an occurrence beyond the count) and `numbers` (the
// occurrence numbers of ordinal fields, by level) may each be null.
inline constexpr int32_t kDpAbsent = -1;
struct dp_place {
    const int32_t* offsets = nullptr;
    const int64_t* numbers = nullptr;
};

// Appends the row of one record (its columns, separators and line end) to
// `row`. True when the row is written; false when the record is to be
// rejected (the row's text is then taken back) or memory ran out (no
// errors then). `errors` receives every field error met, also those the
// options turned into NULL. `place`, when given, moves the fields.
bool dp_decode_record(const dp_plan& plan, const uint8_t* record, size_t size, dp_buffer& row,
                      std::vector<dp_error>& errors, const dp_place* place = nullptr);

// The header line of a CSV rows file: the column names, comma-separated.
void dp_write_header(const dp_plan& plan, dp_buffer& out);
