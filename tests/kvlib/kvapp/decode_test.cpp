// Decoding fields into row text: every usage and sign convention, rows
// written by hand from the bytes, and every kind of bad data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cobdef_testing.h"
#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"
#include "kvapp/decplan.h"

namespace {

std::vector<uint8_t> hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        while (i < text.size() && text[i] == ' ') ++i;
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

column_entry entry_of(const std::string& text, cd_dialect dialect = cd_dialect::tabcopy) {
    cobol_def current;
    current.dialect = dialect;
    column_entry e;
    int is_field = 0;
    std::string error;
    EXPECT_EQ(CD_parse_field(error, text, current, e, is_field), 1) << text << ": " << error;
    return e;
}

struct decoded {
    bool ok = false;
    std::string row;
    std::vector<dp_error> errors;
};

decoded decode_entry(const column_entry& e, const std::string& bytes, dp_options options = {},
                     const std::string& codepage = "037", bool nullable = true) {
    kv_codepage cp;
    std::string error;
    EXPECT_TRUE(kvCodepageLoad(error, codepage, cp)) << error;
    dp_column column{&e, "C", "C", nullable, 0, false};
    dp_plan plan;
    EXPECT_TRUE(dp_build_plan(error, {column}, e.int_len, cp, options, plan)) << error;
    plan.fields[0].max_digits = 38;
    dp_buffer row;
    const std::vector<uint8_t> data = hex(bytes);
    decoded d;
    d.ok = dp_decode_record(plan, data.data(), data.size(), row, d.errors);
    d.row.assign(row.data(), row.size());
    return d;
}

decoded decode(const std::string& entry, const std::string& bytes, dp_options options = {},
               const std::string& codepage = "037", bool nullable = true) {
    return decode_entry(entry_of(entry), bytes, options, codepage, nullable);
}

struct value_case {
    const char* entry;
    const char* bytes;
    const char* row;  // without its line end
};

void PrintTo(const value_case& c, std::ostream* os) { *os << c.entry << " " << c.bytes; }

class Values : public testing::TestWithParam<value_case> {};

TEST_P(Values, DecodeExactly) {
    const decoded d = decode(GetParam().entry, GetParam().bytes);
    ASSERT_TRUE(d.ok) << (d.errors.empty() ? "" : dp_fault_text(d.errors[0].fault));
    EXPECT_EQ(d.row, std::string(GetParam().row) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Ebcdic037, Values,
    testing::Values(
        // Text: trailing spaces go, a field of spaces is an empty string
        // (quoted, so that it is not NULL), quotes and commas quoted.
        value_case{"05 A PIC X(6)", "C1 C2 C3 40 40 40", "ABC"},
        value_case{"05 A PIC X(3)", "40 40 40", "\"\""},
        value_case{"05 A PIC X(5)", "C1 6B 7F C2 40", "\"A,\"\"B\""},
        value_case{"05 A PIC X(4)", "51 B1 5F 4A", "é£¬¢"},
        value_case{"05 A PIC X(4)", "C1 40 C2 40", "A B"},
        // Zoned decimal, the sign in the zone of the last byte, or the first.
        value_case{"05 A PIC 9(5)", "F0 F0 F1 F2 F3", "123"},
        value_case{"05 A PIC S9(5)", "F0 F0 F1 F2 C3", "123"},
        value_case{"05 A PIC S9(5)", "F0 F0 F1 F2 D3", "-123"},
        value_case{"05 A PIC S9(3)V99", "F0 F1 F2 F3 B4", "-12.34"},
        value_case{"05 A PIC S9(3)V99", "F0 F0 F0 F0 A0", "0.00"},
        value_case{"05 A PIC S9(3)V99", "F0 F0 F0 F0 D0", "0.00"},
        value_case{"05 A PIC S9(3) SIGN LEADING", "D1 F2 F3", "-123"},
        value_case{"05 A PIC S9(3) SIGN TRAILING SEPARATE", "F1 F2 F3 60", "-123"},
        value_case{"05 A PIC S9(3) SIGN LEADING SEPARATE", "4E F1 F2 F3", "123"},
        value_case{"05 A PIC V999", "F0 F0 F5", "0.005"},
        value_case{"05 A PIC 9(3)PPP", "F1 F2 F3", "123000"},
        value_case{"05 A PIC 9(3)PPP", "F0 F0 F0", "0"},
        value_case{"05 A PIC PP99", "F1 F2", "0.0012"},
        // Packed decimal: C, A, E, F positive, D, B negative.
        value_case{"05 A PIC S9(5)V99 COMP-3", "12 34 56 7C", "12345.67"},
        value_case{"05 A PIC S9(5)V99 COMP-3", "00 00 12 3D", "-1.23"},
        value_case{"05 A PIC S9(3) COMP-3", "12 3B", "-123"},
        value_case{"05 A PIC S9(3) COMP-3", "00 0D", "0"},
        value_case{"05 A PIC 9(3) COMP-3", "99 9F", "999"},
        value_case{"05 A PIC S9(4) COMP-3", "01 23 4C", "1234"},
        value_case{"05 A PIC SVPP9(3) COMP-3", "12 3C", "0.00123"},
        value_case{"05 A PIC S9(5)PPP COMP-3", "99 99 9C", "99999000"},
        // Binary: big-endian two's complement, unsigned without S.
        value_case{"05 A PIC S9(4) COMP", "FF FE", "-2"},
        value_case{"05 A PIC 9(4) COMP", "00 FE", "254"},
        value_case{"05 A PIC S9(7)V99 COMP", "FF FF FF 85", "-1.23"},
        value_case{"05 A PIC S9(18) COMP", "80 00 00 00 00 00 00 00", "-9223372036854775808"},
        value_case{"05 A PIC S9(9) BINARY", "00 00 30 39", "12345"},
        value_case{"05 A POINTER", "00 01 00 00", "65536"},
        // IBM hexadecimal floating point: 0x41100000 is 1.0, 0xC2640000 -100.
        value_case{"05 A COMP-1", "41 10 00 00", "1"},
        value_case{"05 A COMP-1", "C2 64 00 00", "-100"},
        value_case{"05 A COMP-1", "40 80 00 00", "0.5"},
        value_case{"05 A COMP-1", "00 00 00 00", "0"},
        value_case{"05 A COMP-2", "41 11 99 99 99 99 99 9A", "1.1"},
        value_case{"05 A COMP-2", "C2 76 A0 00 00 00 00 00", "-118.625"},
        // National text: UTF-16 big-endian, trailing spaces removed.
        value_case{"05 A PIC N(3) USAGE NATIONAL", "00 E9 00 41 00 20", "éA"},
        value_case{"05 A PIC N(2)", "D8 3D DE 00", "😀"},
        // DISPLAY-2: a 2-byte length, then the text.
        value_case{"05 A PIC X(4) DISPLAY-2", "00 02 C1 C2 40 40", "AB"}));

struct fault_case {
    const char* entry;
    const char* bytes;
    dp_fault fault;
};

void PrintTo(const fault_case& c, std::ostream* os) { *os << c.entry << " " << c.bytes; }

class Faults : public testing::TestWithParam<fault_case> {};

// Bad data is never written as something else: the record is refused.
TEST_P(Faults, RejectTheRecord) {
    const decoded d = decode(GetParam().entry, GetParam().bytes);
    EXPECT_FALSE(d.ok) << d.row;
    EXPECT_EQ(d.row, "");
    ASSERT_EQ(d.errors.size(), 1u);
    EXPECT_EQ(d.errors[0].fault, GetParam().fault) << dp_fault_text(d.errors[0].fault);
}

INSTANTIATE_TEST_SUITE_P(
    BadData, Faults,
    testing::Values(
        fault_case{"05 A PIC 9(3)", "F1 40 F3", dp_fault::not_a_digit},
        fault_case{"05 A PIC 9(3)", "F1 00 F3", dp_fault::not_a_digit},
        fault_case{"05 A PIC 9(3)", "F1 F2 C3", dp_fault::unsigned_signed},
        fault_case{"05 A PIC S9(3)", "F1 F2 73", dp_fault::not_a_digit},
        fault_case{"05 A PIC S9(3)", "F1 F2 CA", dp_fault::not_a_digit},
        fault_case{"05 A PIC S9(3) SIGN TRAILING SEPARATE", "F1 F2 F3 40", dp_fault::bad_sign},
        fault_case{"05 A PIC S9(3) COMP-3", "1A 3C", dp_fault::packed_digit},
        fault_case{"05 A PIC S9(3) COMP-3", "12 39", dp_fault::bad_sign},
        fault_case{"05 A PIC 9(3) COMP-3", "12 3D", dp_fault::unsigned_signed},
        fault_case{"05 A PIC S9(4) COMP-3", "11 23 4C", dp_fault::too_many_digits},
        fault_case{"05 A PIC N(1)", "DC 00", dp_fault::bad_utf16},
        fault_case{"05 A PIC X(4) DISPLAY-2", "00 05 C1 C2 C3 C4", dp_fault::bad_length}));

// A level-49 pair, read as a copybook is: its group is the record.
column_entry pair_entry(const std::string& length, int32_t n) {
    const std::string path = cobdef_testing::write_scratch(
        "pair.cpy", "01 V.\n 49 V-LEN PIC " + length + ".\n 49 V-TEXT PIC X(" + std::to_string(n) + ").\n");
    const cobdef_testing::read_result r = cobdef_testing::read_command("COBOLDEFSFILE " + path + " IBM");
    EXPECT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.defs.size(), 1u);
    return r.defs.empty() ? column_entry{} : cobdef_testing::field(r.defs[0], 0);
}

struct pair_value {
    const char* length;
    const char* bytes;
    bool little;        // BYTEORDER LITTLE
    bool keep;          // SPACES KEEP
    const char* row;    // null: a field error
    dp_fault fault;
};

void PrintTo(const pair_value& c, std::ostream* os) { *os << c.length << " " << c.bytes; }

class PairValues : public testing::TestWithParam<pair_value> {};

// The text's first `length` bytes; a binary length is big-endian whatever
// the byte order of native items, a COMP-5 one follows it.
TEST_P(PairValues, TakeTheirLength) {
    const pair_value& c = GetParam();
    dp_options options;
    options.native_little = c.little;
    options.keep_spaces = c.keep;
    const decoded d = decode_entry(pair_entry(c.length, 8), c.bytes, options);
    if (c.row) {
        ASSERT_TRUE(d.ok) << (d.errors.empty() ? "" : dp_fault_text(d.errors[0].fault));
        EXPECT_EQ(d.row, std::string(c.row) + "\n");
    } else {
        EXPECT_FALSE(d.ok) << d.row;
        ASSERT_EQ(d.errors.size(), 1u);
        EXPECT_EQ(d.errors[0].fault, c.fault) << dp_fault_text(d.errors[0].fault);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Level49, PairValues,
    testing::Values(
        pair_value{"S9(4) COMP", "00 05 C8 85 93 93 96 40 40 40", false, false, "Hello", dp_fault::none},
        pair_value{"S9(4) COMP", "00 07 C8 85 93 93 96 40 40 C1", false, false, "Hello", dp_fault::none},
        pair_value{"S9(4) COMP", "00 07 C8 85 93 93 96 40 40 C1", false, true, "Hello  ", dp_fault::none},
        pair_value{"S9(4) COMP", "00 08 C8 85 93 93 96 40 40 C1", false, false, "Hello  A", dp_fault::none},
        pair_value{"S9(4) COMP", "00 00 C8 85 93 93 96 40 40 40", false, false, "\"\"", dp_fault::none},
        pair_value{"S9(4) COMP", "00 05 C8 85 93 93 96 40 40 40", true, false, "Hello", dp_fault::none},
        pair_value{"S9(4) COMP-5", "05 00 C8 85 93 93 96 40 40 40", true, false, "Hello", dp_fault::none},
        pair_value{"S9(4) COMP-5", "00 05 C8 85 93 93 96 40 40 40", false, false, "Hello", dp_fault::none},
        pair_value{"S9(4) COMP", "00 09 C8 85 93 93 96 40 40 40", false, false, nullptr, dp_fault::bad_length},
        pair_value{"S9(4) COMP", "FF FF C8 85 93 93 96 40 40 40", false, false, nullptr,
                   dp_fault::negative_length},
        pair_value{"9(4) COMP", "FF FF C8 85 93 93 96 40 40 40", false, false, nullptr, dp_fault::bad_length},
        // Bytes past the length are not the value's: this comma is not quoted.
        pair_value{"S9(4) COMP", "00 04 C8 85 93 93 6B 40 40 40", false, false, "Hell", dp_fault::none}));

TEST(Decode, EmptyNumbersFollowTheOption) {
    for (const char* bytes : {"40 40 40 40", "00 00 00 00", "FF FF FF FF"}) {
        dp_options options;
        EXPECT_EQ(decode("05 A PIC S9(3)V9", bytes, options).row, "\n") << bytes;
        options.empty = dp_empty_numeric::zero;
        EXPECT_EQ(decode("05 A PIC S9(3)V9", bytes, options).row, "0.0\n") << bytes;
        options.empty = dp_empty_numeric::error;
        EXPECT_EQ(decode("05 A PIC S9(3)V9", bytes, options).errors.at(0).fault, dp_fault::empty_numeric);
    }
    // A key column cannot be NULL: the record is refused.
    EXPECT_EQ(decode("05 A PIC 9(3)", "40 40 40", {}, "037", false).errors.at(0).fault,
              dp_fault::null_not_allowed);
}

TEST(Decode, OnErrorNullWritesNullInNullableColumns) {
    dp_options options;
    options.on_error = dp_on_error::null;
    const decoded d = decode("05 A PIC S9(3) COMP-3", "1A 3C", options);
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.row, "\n");
    EXPECT_EQ(d.errors.size(), 1u);
    EXPECT_FALSE(decode("05 A PIC S9(3) COMP-3", "1A 3C", options, "037", false).ok);
}

// The text formats of PostgreSQL and MySQL: tab separated, \N for NULL,
// backslash escapes; PostgreSQL cannot store NUL.
TEST(Decode, TextFormatsEscape) {
    dp_options pg;
    pg.format = dp_row_format::pg_text;
    // 037: 05 is a tab, E0 a backslash.
    EXPECT_EQ(decode("05 A PIC X(4)", "C1 05 E0 C2", pg).row, "A\\t\\\\B\n");
    EXPECT_EQ(decode("05 A PIC X(2)", "C1 00", pg).errors.at(0).fault, dp_fault::nul_character);
    dp_options mysql;
    mysql.format = dp_row_format::mysql;
    EXPECT_EQ(decode("05 A PIC X(2)", "C1 00", mysql).row, "A\\0\n");
    EXPECT_EQ(decode("05 A PIC 9(3)", "40 40 40", mysql).row, "\\N\n");
}

TEST(Decode, AsciiOverpunchAndZone7) {
    EXPECT_EQ(decode("05 A PIC S9(3)", "31 32 7D", {}, "ASCII").row, "-120\n");
    EXPECT_EQ(decode("05 A PIC S9(3)", "31 32 43", {}, "ASCII").row, "123\n");
    dp_options zone7;
    zone7.overpunch = dp_overpunch::zone7;
    EXPECT_EQ(decode("05 A PIC S9(3)", "31 32 73", zone7, "ASCII").row, "-123\n");
    EXPECT_EQ(decode("05 A PIC 9(3)", "31 32 4A", {}, "ASCII").errors.at(0).fault, dp_fault::unsigned_signed);
}

TEST(Decode, IeeeFloatsByByteOrder) {
    dp_options options;
    options.floats = dp_float_format::ieee_big;
    EXPECT_EQ(decode("05 A COMP-2", "3F F8 00 00 00 00 00 00", options).row, "1.5\n");
    EXPECT_EQ(decode("05 A COMP-1", "BE 20 00 00", options).row, "-0.15625\n");
    EXPECT_EQ(decode("05 A COMP-2", "7F F8 00 00 00 00 00 00", options).errors.at(0).fault, dp_fault::not_finite);
    options.floats = dp_float_format::ieee_little;
    EXPECT_EQ(decode("05 A COMP-2", "00 00 00 00 00 00 F8 3F", options).row, "1.5\n");
}

// A record shorter than its layout: beyond its end a column is NULL, text
// the end cuts keeps what is there, a number the end cuts is refused.
TEST(Decode, ShortRecords) {
    column_entry a = entry_of("05 A PIC X(3)");
    column_entry b = entry_of("05 B PIC 9(2)");
    column_entry c = entry_of("05 C PIC X(2)");
    b.fetch_offset = 3;
    c.fetch_offset = 5;
    kv_codepage cp;
    std::string error;
    ASSERT_TRUE(kvCodepageLoad(error, "037", cp));
    dp_plan plan;
    ASSERT_TRUE(dp_build_plan(error, {{&a, "A", "A", true, 3, false}, {&b, "B", "B", true, 2, false},
                                      {&c, "C", "C", true, 2, false}},
                              7, cp, {}, plan));
    dp_buffer row;
    std::vector<dp_error> errors;
    const std::vector<uint8_t> shorter = hex("C1 C2 C3 F1 F2 C4");
    EXPECT_TRUE(dp_decode_record(plan, shorter.data(), shorter.size(), row, errors));
    EXPECT_EQ(std::string(row.data(), row.size()), "ABC,12,D\n");
    row.clear();
    EXPECT_TRUE(dp_decode_record(plan, shorter.data(), 2, row, errors));
    EXPECT_EQ(std::string(row.data(), row.size()), "AB,,\n");
    row.clear();
    EXPECT_FALSE(dp_decode_record(plan, shorter.data(), 4, row, errors));
    EXPECT_EQ(errors.at(0).fault, dp_fault::cut_short);
}

}  // namespace
