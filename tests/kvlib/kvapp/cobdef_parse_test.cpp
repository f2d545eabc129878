// Entry parsing: clauses, data types and lengths, REDEFINES lookup.
#include <gtest/gtest.h>

#include "cobdef_testing.h"
#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"

namespace {

struct parsed {
    int ok = 0;
    int is_field = 0;
    std::string error;
    column_entry entry;
};

parsed parse(const std::string& text, const cobol_def& current = cobol_def{}) {
    parsed p;
    p.ok = CD_parse_field(p.error, text, current, p.entry, p.is_field);
    return p;
}

struct type_case {
    const char* entry;
    int16_t type;
    int32_t int_len;
    int32_t ext_len;
    int32_t scale;
};

void PrintTo(const type_case& c, std::ostream* os) { *os << c.entry; }

class ElementaryTypes : public testing::TestWithParam<type_case> {};

TEST_P(ElementaryTypes, TypeLengthsAndScale) {
    const type_case& c = GetParam();
    const parsed p = parse(c.entry);
    ASSERT_EQ(p.ok, 1) << p.error;
    EXPECT_EQ(p.is_field, 1);
    EXPECT_EQ(p.entry.elementary, 1);
    EXPECT_EQ(p.entry.data_type, c.type);
    EXPECT_EQ(p.entry.int_len, c.int_len);
    EXPECT_EQ(p.entry.bin_len, c.int_len);
    EXPECT_EQ(p.entry.tbl_len, c.int_len);
    EXPECT_EQ(p.entry.ext_len, c.ext_len);
    EXPECT_EQ(p.entry.scale, c.scale);
}

INSTANTIATE_TEST_SUITE_P(
    Clauses, ElementaryTypes,
    testing::Values(
        type_case{"05 AMOUNT PIC S9(7)V99 COMP-3", 155, 5, 9, 2},
        type_case{"05 AMOUNT PIC S9(5)V9(2)", 152, 7, 7, 2},
        type_case{"05 CODE PIC X(10)", 0, 10, 10, 0},
        type_case{"05 CODE PIC XX(3)", 0, 4, 4, 0},
        type_case{"05 QTY PIC 9(4) COMP", 130, 2, 2, 0},
        type_case{"05 QTY PIC 9(5) COMP", 132, 4, 4, 0},
        type_case{"05 BIG PIC S9(18) COMP", 134, 8, 8, 0},
        type_case{"05 SMALL PIC 9(9) COMP-4", 130, 2, 2, 0},
        type_case{"05 F1 COMP-1", 140, 4, 4, 0},
        type_case{"05 F2 COMP-2", 141, 8, 8, 0},
        type_case{"05 C5 PIC 9(18) COMP-5", 132, 4, 4, 0},
        type_case{"05 C6 PIC 9 COMP-6", 134, 8, 8, 0},
        type_case{"05 N2 NATIVE-2", 130, 2, 2, 0},
        type_case{"05 N4 PIC 9 NATIVE-4", 132, 4, 4, 0},
        type_case{"05 N8 NATIVE-8", 134, 8, 8, 0},
        type_case{"05 CU PIC S9(6) USAGE IS COMPUTATIONAL-3", 155, 4, 6, 0},
        type_case{"05 BS PIC S9(5)V99 COMP", 132, 4, 4, 2},
        type_case{"05 S1 PIC S9(5) SIGN LEADING SEPARATE", 152, 6, 6, 0},
        type_case{"05 S2 PIC S9(5) SIGN TRAILING EMBEDDED", 152, 5, 5, 0},
        type_case{"05 S3 PIC 9(5) SIGN SEPARATE", 150, 5, 5, 0},
        type_case{"05 S4 PIC S9(3) SEPARATE EMBEDDED", 152, 3, 3, 0},
        type_case{"05 VC1 PIC X(20) DISPLAY-2", 64, 20, 22, 0},
        type_case{"05 VN PIC S9(4) DISPLAY-2", 152, 4, 6, 0},
        type_case{"05 Z1 PIC ZZZ9", 0, 4, 4, 0},
        type_case{"05 lower pic x(7) value 'a'", 0, 7, 7, 0},
        type_case{"05 SP PIC X( 12 )", 0, 12, 12, 0},
        type_case{"05 PP PIC 9(3)PP", 150, 3, 3, 0}));

// Mended clause readings: PIC IS, editing symbols, BINARY and
// PACKED-DECIMAL, OCCURS ... TO, names after DEPENDING ON / INDEXED BY /
// KEY IS, and literals.
INSTANTIATE_TEST_SUITE_P(
    Mended, ElementaryTypes,
    testing::Values(
        type_case{"05 P1 PIC IS X(10)", 0, 10, 10, 0},
        type_case{"05 P2 PICTURE IS 9(3)V9", 150, 4, 4, 1},
        type_case{"05 E1 PIC ZZ,ZZ9.99", 0, 9, 9, 0},
        type_case{"05 E2 PIC 9.99.", 0, 4, 4, 0},
        type_case{"05 E3 PIC $$$,$$9.99CR", 0, 12, 12, 0},
        type_case{"05 E4 PIC 99/99/99", 0, 8, 8, 0},
        type_case{"05 E5 PIC B(3)9", 0, 4, 4, 0},
        type_case{"05 E6 PIC +9(5)", 0, 6, 6, 0},
        type_case{"05 E7 PIC -(4)9", 0, 5, 5, 0},
        type_case{"05 E8 PIC ***9.99", 0, 7, 7, 0},
        type_case{"05 E9 PIC 9(3)DB", 0, 5, 5, 0},
        type_case{"05 E10 PIC 9(4)0(2)", 0, 6, 6, 0},
        type_case{"05 E11 PIC ZZ9V99", 0, 5, 5, 2},
        type_case{"05 B1 PIC 9(4) USAGE BINARY", 130, 2, 2, 0},
        type_case{"05 B2 PIC S9(9) BINARY", 132, 4, 4, 0},
        type_case{"05 B3 PIC S9(7)V99 PACKED-DECIMAL", 155, 5, 9, 2},
        type_case{"05 B4 PIC 9(4) USAGE IS PACKED-DECIMAL", 155, 3, 4, 0},
        type_case{"05 D1 PIC X OCCURS 1 TO 9 DEPENDING ON COMP-COUNT", 0, 1, 1, 0},
        type_case{"05 D2 PIC X OCCURS 9 INDEXED BY COMP-IDX NATIVE-IDX", 0, 1, 1, 0},
        type_case{"05 D3 OCCURS 9 ASCENDING KEY IS COMP-K DISPLAY-K INDEXED BY I PIC X", 0, 1, 1, 0},
        type_case{"05 D4 OCCURS 2 DEPENDING ON N OF COMP-HDR PIC 9", 150, 1, 1, 0},
        type_case{"05 L1 PIC X(2) VALUE 'A PIC B OCCURS 0'", 0, 2, 2, 0},
        type_case{"05 L2 VALUE \"COMP-9 X. Y\" PIC X(3)", 0, 3, 3, 0},
        type_case{"05 N1 PIC N(3)", 0, 6, 6, 0},
        type_case{"05 G1 PIC G(2)", 0, 4, 4, 0}));

// The language beyond the small subset: large items, pointers, indexes,
// national, DBCS and UTF-8 characters.
INSTANTIATE_TEST_SUITE_P(
    Extended, ElementaryTypes,
    testing::Values(
        type_case{"05 BIG PIC X(32482)", 0, 32482, 32482, 0},
        type_case{"05 MAX PIC X(134217727)", 0, 134217727, 134217727, 0},
        type_case{"05 P1 POINTER", 132, 4, 4, 0},
        type_case{"05 P2 USAGE IS POINTER", 132, 4, 4, 0},
        type_case{"05 P3 USAGE POINTER-32", 132, 4, 4, 0},
        type_case{"05 P4 POINTER-64", 134, 8, 8, 0},
        type_case{"05 P5 USAGE PROCEDURE-POINTER", 134, 8, 8, 0},
        type_case{"05 P6 FUNCTION-POINTER", 132, 4, 4, 0},
        type_case{"05 I1 USAGE INDEX", 132, 4, 4, 0},
        type_case{"05 I2 INDEX", 132, 4, 4, 0},
        type_case{"05 N3 PIC N(10) USAGE NATIONAL", 0, 20, 20, 0},
        type_case{"05 G3 PIC G(4) USAGE DISPLAY-1", 0, 8, 8, 0},
        type_case{"05 U1 PIC U(5)", 0, 20, 20, 0}));

// What the dialect makes of each usage, and the P, sign and SYNC facts the
// data path reads the bytes by.
struct storage_case {
    cd_dialect dialect;
    const char* entry;
    int16_t type;
    int32_t int_len;
    int32_t scale;
    int p_scale;
    cd_usage usage;
    cd_sign sign;
};

void PrintTo(const storage_case& c, std::ostream* os) {
    *os << CD_dialect_name(c.dialect) << ": " << c.entry;
}

class Storage : public testing::TestWithParam<storage_case> {};

TEST_P(Storage, FollowsTheDialect) {
    const storage_case& c = GetParam();
    cobol_def current;
    current.dialect = c.dialect;
    const parsed p = parse(c.entry, current);
    ASSERT_EQ(p.ok, 1) << p.error;
    EXPECT_EQ(p.entry.data_type, c.type);
    EXPECT_EQ(p.entry.int_len, c.int_len);
    EXPECT_EQ(p.entry.scale, c.scale);
    EXPECT_EQ(p.entry.p_scale, c.p_scale);
    EXPECT_EQ(p.entry.usage, c.usage);
    EXPECT_EQ(p.entry.sign, c.sign);
}

constexpr cd_dialect kTabcopy = cd_dialect::tabcopy;
constexpr cd_dialect kIbm = cd_dialect::ibm;

INSTANTIATE_TEST_SUITE_P(
    Dialects, Storage,
    testing::Values(
        // The fixed sizes stay the default; IBM sizes COMP-4 and COMP-5 by
        // digits as COMP is (1-4: 2 bytes, 5-9: 4, 10-18: 8).
        storage_case{kTabcopy, "05 A PIC S9(9) COMP-4", 130, 2, 0, 0, CD_USAGE_BINARY, CD_SIGN_COMPLEMENT},
        storage_case{kIbm, "05 A PIC S9(9) COMP-4", 132, 4, 0, 0, CD_USAGE_BINARY, CD_SIGN_COMPLEMENT},
        storage_case{kIbm, "05 A PIC 9(3) COMP-4", 130, 2, 0, 0, CD_USAGE_BINARY, CD_SIGN_NONE},
        storage_case{kTabcopy, "05 A PIC S9(18) COMP-5", 132, 4, 0, 0, CD_USAGE_NATIVE_BINARY, CD_SIGN_COMPLEMENT},
        storage_case{kIbm, "05 A PIC S9(18) COMP-5", 134, 8, 0, 0, CD_USAGE_NATIVE_BINARY, CD_SIGN_COMPLEMENT},
        storage_case{kIbm, "05 A PIC 9(4) COMP-5", 130, 2, 0, 0, CD_USAGE_NATIVE_BINARY, CD_SIGN_NONE},
        storage_case{kTabcopy, "05 A PIC 9(5) COMP-6", 134, 8, 0, 0, CD_USAGE_BINARY, CD_SIGN_NONE},
        storage_case{kIbm, "05 A PIC 9(5) COMP-6", 155, 3, 0, 0, CD_USAGE_PACKED_UNSIGNED, CD_SIGN_NONE},
        storage_case{kIbm, "05 A PIC 9(6)V99 COMP-6", 155, 4, 2, 0, CD_USAGE_PACKED_UNSIGNED, CD_SIGN_NONE},
        storage_case{kIbm, "05 A NATIVE-2", 130, 2, 0, 0, CD_USAGE_NATIVE_BINARY, CD_SIGN_NONE},
        storage_case{kIbm, "05 A POINTER", 132, 4, 0, 0, CD_USAGE_POINTER, CD_SIGN_NONE},
        storage_case{kIbm, "05 A INDEX", 132, 4, 0, 0, CD_USAGE_INDEX, CD_SIGN_NONE},
        storage_case{kIbm, "05 A COMP-2", 141, 8, 0, 0, CD_USAGE_FLOAT, CD_SIGN_COMPLEMENT},
        storage_case{kIbm, "05 A PIC S9(5) COMP-3", 155, 3, 0, 0, CD_USAGE_PACKED, CD_SIGN_TRAILING},
        storage_case{kIbm, "05 A PIC 9(5) COMP-3", 155, 3, 0, 0, CD_USAGE_PACKED, CD_SIGN_NONE},
        // Sign positions of zoned decimals; SEPARATE adds the sign byte.
        storage_case{kTabcopy, "05 A PIC S9(5)", 152, 5, 0, 0, CD_USAGE_DISPLAY, CD_SIGN_TRAILING},
        storage_case{kTabcopy, "05 A PIC S9(5) SIGN IS LEADING", 152, 5, 0, 0, CD_USAGE_DISPLAY, CD_SIGN_LEADING},
        storage_case{kTabcopy, "05 A PIC S9(7)V99 SIGN SEPARATE", 152, 10, 2, 0, CD_USAGE_DISPLAY,
                     CD_SIGN_TRAILING_SEPARATE},
        storage_case{kTabcopy, "05 A PIC S9(3) SIGN LEADING SEPARATE CHARACTER", 152, 4, 0, 0, CD_USAGE_DISPLAY,
                     CD_SIGN_LEADING_SEPARATE},
        storage_case{kTabcopy, "05 A PIC 9(3) SIGN LEADING SEPARATE", 150, 3, 0, 0, CD_USAGE_DISPLAY, CD_SIGN_NONE},
        // P scaling: right of the digits each P multiplies by ten; left of
        // them each is a decimal place holding zero.
        storage_case{kTabcopy, "05 A PIC 9(3)PPP", 150, 3, 0, 3, CD_USAGE_DISPLAY, CD_SIGN_NONE},
        storage_case{kTabcopy, "05 A PIC 9(3)P(3)V", 150, 3, 0, 3, CD_USAGE_DISPLAY, CD_SIGN_NONE},
        storage_case{kTabcopy, "05 A PIC S9(5)PPP COMP-3", 155, 3, 0, 3, CD_USAGE_PACKED, CD_SIGN_TRAILING},
        storage_case{kTabcopy, "05 A PIC SVPP9(3) COMP-3", 155, 2, 5, -2, CD_USAGE_PACKED, CD_SIGN_TRAILING},
        storage_case{kTabcopy, "05 A PIC PP99", 150, 2, 4, -2, CD_USAGE_DISPLAY, CD_SIGN_NONE},
        storage_case{kIbm, "05 A PIC 9(3)PPP COMP", 130, 2, 0, 3, CD_USAGE_BINARY, CD_SIGN_NONE},
        // National, DBCS and UTF-8 text.
        storage_case{kTabcopy, "05 A PIC N(3)", 0, 6, 0, 0, CD_USAGE_NATIONAL, CD_SIGN_NONE},
        storage_case{kTabcopy, "05 A PIC X(3) USAGE NATIONAL", 0, 3, 0, 0, CD_USAGE_NATIONAL, CD_SIGN_NONE},
        storage_case{kTabcopy, "05 A PIC G(2) DISPLAY-1", 0, 4, 0, 0, CD_USAGE_DBCS, CD_SIGN_NONE},
        storage_case{kTabcopy, "05 A PIC U(2)", 0, 8, 0, 0, CD_USAGE_UTF8, CD_SIGN_NONE},
        storage_case{kTabcopy, "05 A PIC X(8) DISPLAY-2", 64, 8, 0, 0, CD_USAGE_DISPLAY2, CD_SIGN_NONE}));

TEST(ParseField, SyncIsKeptForTheLayout) {
    for (const char* text : {"05 A PIC S9(4) COMP SYNC", "05 A PIC S9(4) COMP SYNCHRONIZED RIGHT", "05 SYNC PIC X"}) {
        const parsed p = parse(text);
        ASSERT_EQ(p.ok, 1) << text << ": " << p.error;
        EXPECT_EQ(p.entry.sync, 1) << text;
    }
    EXPECT_EQ(parse("05 A PIC S9(4) COMP").entry.sync, 0);
}

TEST(ParseField, DependingOnNamesItsObject) {
    column_entry entry;
    int is_field = 0;
    std::string error;
    cd_entry_text text;
    ASSERT_EQ(CD_parse_field(error, "05 T OCCURS 1 TO 9 DEPENDING ON T-COUNT OF HDR PIC X", cobol_def{}, entry,
                             is_field, &text),
              1)
        << error;
    EXPECT_EQ(text.depending_on, "T-COUNT");
}

// The tabcopy dialect's fixed sizes that hold fewer digits than the
// picture has: what the reader warns of.
TEST(ParseField, NarrowFixedBinariesAreTold) {
    struct {
        const char* entry;
        bool narrow;
    } cases[] = {{"05 A PIC 9(5) COMP-4", true},  {"05 A PIC 9(4) COMP-4", false}, {"05 A PIC S9(10) COMP-5", true},
                 {"05 A PIC S9(9) COMP-5", false}, {"05 A PIC 9(19) COMP-6", true}, {"05 A PIC 9(18) COMP-6", false},
                 {"05 A PIC 9(12) COMP", false},  {"05 A PIC 9(9) NATIVE-2", false}};
    for (const auto& c : cases) {
        column_entry entry;
        int is_field = 0;
        std::string error;
        cd_parse_facts facts;
        ASSERT_EQ(CD_parse_field(error, c.entry, cobol_def{}, entry, is_field, nullptr, &facts), 1) << error;
        EXPECT_EQ(CD_binary_too_narrow(facts.usage, facts.digits), c.narrow) << c.entry;
    }
}

struct error_case {
    const char* entry;
    const char* error;
};

void PrintTo(const error_case& c, std::ostream* os) { *os << c.entry; }

class EntryErrors : public testing::TestWithParam<error_case> {};

TEST_P(EntryErrors, ReportTheirText) {
    const parsed p = parse(GetParam().entry);
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Clauses, EntryErrors,
    testing::Values(
        error_case{"05 N2 COMP", "Missing PICTURE clause for COMP field"},
        error_case{"05 N3 BINARY", "Missing PICTURE clause for COMP field"},
        error_case{"05 X1 COMP-7", "Invalid or unsupported COMP specifier"},
        error_case{"05 X2 COMP-X", "Invalid COMP specifier"},
        error_case{"05 X5 COMP-", "Invalid COMP specifier"},
        error_case{"05 X3 NATIVE", "Invalid NATIVE clause"},
        error_case{"05 X4 NATIVE-3", "Invalid NATIVE specifier"},
        error_case{"05 X6 NATIVE-A", "Invalid NATIVE specifier"},
        error_case{"05 T2 PIC X OCCURS 0", "Invalid OCCURS clause"},
        error_case{"05 T3 PIC X OCCURS 100000000", "Invalid OCCURS clause: 100000000 is more than 99999999"},
        error_case{"05 T4 PIC X OCCURS", "Invalid OCCURS clause"},
        error_case{"05 T5 PIC X OCCURS TIMES", "Invalid OCCURS clause"},
        error_case{"05 T6 PIC X OCCURS 5 TO 3", "Invalid OCCURS clause"},
        error_case{"05 T7 PIC X OCCURS 1 TO 100000000", "Invalid OCCURS clause: 100000000 is more than 99999999"},
        error_case{"05 T8 PIC X OCCURS 1 TO", "Invalid OCCURS clause"},
        error_case{"05 T9 PIC X OCCURS 0 TO 0", "Invalid OCCURS clause"},
        error_case{"00 A", "Invalid level specified"},
        error_case{"99 A", "Invalid level specified"},
        error_case{"A PIC X", "Invalid level specified"},
        error_case{"", "Invalid level specified"},
        error_case{"05 (A) PIC X", "Invalid or missing field name"},
        error_case{"05 A PIC", "Missing PICTURE specification"},
        error_case{"05 A PIC IS", "Missing PICTURE specification"},
        error_case{"05 A REDEFINES", "Missing REDEFINES field name"},
        error_case{"05 A REDEFINES B PIC X", "Invalid REDEFINES field"},
        // Two entries run together must not silently become one.
        error_case{"05 A PIC X(2 05 B PIC X(3)", "Duplicate PICTURE clause"},
        error_case{"05 A OCCURS 2 05 B OCCURS 3", "Duplicate OCCURS clause"}));

// Pictures that describe no storage, or whose symbols have no known
// storage, are refused instead of giving a field of a wrong length.
INSTANTIATE_TEST_SUITE_P(
    Pictures, EntryErrors,
    testing::Values(
        error_case{"05 A PIC X(0)", "Invalid PICTURE string"},
        error_case{"05 A PIC X(134217728)", "Invalid PICTURE string: a repetition factor is more than 134217727"},
        error_case{"05 A PIC X(134217727)X", "Field A is too large (more than 134217727 bytes)"},
        error_case{"05 A PIC N(67108864)", "Field A is too large (more than 134217727 bytes)"},
        error_case{"05 A PIC 9(5) USAGE NATIONAL", "USAGE NATIONAL or DISPLAY-1 with a numeric picture is not supported"},
        error_case{"05 A PIC X(", "Invalid PICTURE string"},
        error_case{"05 A PIC X(5", "Invalid PICTURE string"},
        error_case{"05 A PIC X()", "Invalid PICTURE string"},
        error_case{"05 A PIC X(1A)", "Invalid PICTURE string"},
        error_case{"05 A PIC X#", "Invalid PICTURE string"},
        error_case{"05 A PIC 9C", "Invalid PICTURE string"},
        error_case{"05 A PIC S(3)9", "Invalid PICTURE string"},
        error_case{"05 A PIC CR(2)", "Invalid PICTURE string"},
        error_case{"05 A PIC S", "Invalid PICTURE string"},
        error_case{"05 A PIC PPV", "Invalid PICTURE string"},
        error_case{"05 A PIC 99VPP", "Invalid PICTURE string: P stands at one end of the digits"},
        error_case{"05 A PIC 9P9", "Invalid PICTURE string: P stands at one end of the digits"},
        error_case{"05 A PIC PP9P", "Invalid PICTURE string: P stands at one end of the digits"},
        error_case{"05 A PIC PPV99", "Invalid PICTURE string: P stands at one end of the digits"},
        error_case{"05 A PIC 9P(32)", "Invalid PICTURE string: more than 31 P positions"}));

// An entry has one usage: a second is refused, naming both, as compilers
// refuse it.
INSTANTIATE_TEST_SUITE_P(
    Usages, EntryErrors,
    testing::Values(
        error_case{"05 A PIC 9(5) COMP-3 COMP", "Two usages on one entry: COMP-3 and COMP"},
        error_case{"05 A PIC 9 USAGE BINARY DISPLAY", "Two usages on one entry: BINARY and DISPLAY"},
        error_case{"05 A NATIVE-4 COMP-1", "Two usages on one entry: NATIVE-4 and COMP-1"},
        error_case{"05 A PIC X(4) NATIONAL DISPLAY-2", "Two usages on one entry: NATIONAL and DISPLAY-2"},
        error_case{"05 A POINTER INDEX", "Two usages on one entry: POINTER and INDEX"}));

TEST(ParseField, IbmSizedUsagesNeedTheirPicture) {
    cobol_def ibm;
    ibm.dialect = cd_dialect::ibm;
    EXPECT_EQ(parse("05 A COMP-4", ibm).error, "Missing PICTURE clause for COMP-4 field");
    EXPECT_EQ(parse("05 A COMP-5", ibm).error, "Missing PICTURE clause for COMP-5 field");
    EXPECT_EQ(parse("05 A PIC S9(5) COMP-6", ibm).error,
              "COMP-6 is unsigned packed decimal: its picture cannot have S");
    EXPECT_EQ(parse("05 A COMP-4").ok, 1);  // the fixed size needs no picture
}

TEST(ParseField, LevelsAboveFiftyAreNoFields) {
    for (const char* text : {"88 FLAG VALUE Y", "77 WS-X PIC X", "66 R RENAMES A THRU B", "51 Q"}) {
        const parsed p = parse(text);
        EXPECT_EQ(p.ok, 1) << text;
        EXPECT_EQ(p.is_field, 0) << text;
    }
}

TEST(ParseField, NameRulesAndGroups) {
    parsed p = parse("05 WS-A(1) PIC X");
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.entry.name, "WS-A");
    EXPECT_EQ(p.entry.level_number, 5);
    EXPECT_EQ(p.entry.occurs, 1);


    p = parse("01 rec-name_x");
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.entry.name, "REC-NAME_X");
    EXPECT_EQ(p.entry.elementary, 0);

    p = parse("05 T1 OCCURS 12 PIC X(2)");
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.entry.occurs, 12);

    // Leading digits give the level; a name keeps its first 199 characters.
    const std::string long_name(250, 'N');
    p = parse("0000000000000000000010 " + long_name + " PIC X");
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.entry.level_number, 10);
    EXPECT_EQ(p.entry.name, long_name.substr(0, 199));
}

TEST(ParseField, UnnamedEntriesAreFillers) {
    // A clause word where the name belongs, in any case, or no word at all.
    for (const char* text : {"05 PIC X(3)", "05 picture is X(3)", "05 VALUE 'A' PIC X(3)", "05 SYNC PIC X(3)",
                             "05 USAGE DISPLAY PIC X(3)", "05 JUST RIGHT PIC X(3)", "05 BLANK WHEN ZERO PIC 9(3)"}) {
        const parsed f = parse(text);
        ASSERT_EQ(f.ok, 1) << text << ": " << f.error;
        EXPECT_EQ(f.entry.name, "FILLER") << text;
        EXPECT_EQ(f.entry.int_len, 3) << text;
    }
    for (const char* text : {"01", "05 ", "05 EXTERNAL", "05 GLOBAL"}) {
        const parsed f = parse(text);
        ASSERT_EQ(f.ok, 1) << text << ": " << f.error;
        EXPECT_EQ(f.entry.name, "FILLER") << text;
        EXPECT_EQ(f.entry.elementary, 0) << text;
    }

    parsed p = parse("05 OCCURS 1 TO 5 DEPENDING ON CNT");
    ASSERT_EQ(p.ok, 1) << p.error;
    EXPECT_EQ(p.entry.name, "FILLER");
    EXPECT_EQ(p.entry.occurs, 5);
    EXPECT_EQ(p.entry.elementary, 0);

    p = parse("05 COMP-3 PIC S9(5)");
    ASSERT_EQ(p.ok, 1) << p.error;
    EXPECT_EQ(p.entry.name, "FILLER");
    EXPECT_EQ(p.entry.data_type, 155);
}

TEST(ParseField, OccursRangeTakesTheMaximum) {
    for (const char* text : {"05 A PIC X OCCURS 1 TO 9 DEPENDING ON N", "05 A PIC X OCCURS 0 TO 9 TIMES",
                             "05 A OCCURS 9 TIMES PIC X", "05 A PIC X OCCURS 9 TO 9"}) {
        const parsed p = parse(text);
        ASSERT_EQ(p.ok, 1) << text << ": " << p.error;
        EXPECT_EQ(p.entry.occurs, 9) << text;
    }
    EXPECT_EQ(parse("05 A PIC X OCCURS 3999").entry.occurs, 3999);
}

TEST(ParseField, PictureBeyondTheLengthLimitIsRefused) {
    std::string pic;
    const int64_t pieces = CD_MAX_ITEM_BYTES / 3999 + 1;
    for (int64_t i = 0; i < pieces; ++i) pic += "X(3999)";
    parsed p = parse("05 HUGE PIC " + pic);
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.error, "Field HUGE is too large (more than 134217727 bytes)");
    // Packed decimal stores half the digits.
    p = parse("05 HUGE PIC 9(200000000) COMP-3");
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.error, "Invalid PICTURE string: a repetition factor is more than 134217727");
}

// A record being filled, built directly from entries.
cobol_def record_of(std::initializer_list<const char*> entries) {
    cobol_def def;
    for (const char* text : entries) {
        column_entry e;
        int is_field = 0;
        std::string error;
        EXPECT_EQ(CD_parse_field(error, text, def, e, is_field), 1) << text << ": " << error;
        EXPECT_EQ(CD_add_field(error, def, e), 1) << text << ": " << error;
    }
    return def;
}

TEST(ParseField, RedefinesFindsTheNearestFieldAtTheSameLevel) {
    const cobol_def def = record_of({"01 R", "05 A", "10 A1 PIC X(4)", "05 B REDEFINES A PIC X(4)",
                                     "05 C REDEFINES A", "10 C1 PIC 9(4)"});
    // Deeper fields and other redefinitions are passed over.
    parsed p = parse("05 D REDEFINES A PIC X(2)", def);
    ASSERT_EQ(p.ok, 1) << p.error;
    EXPECT_EQ(p.entry.redefines_before_naming, 1);

    // A redefinition of a redefinition resolves to the field first redefined.
    p = parse("05 D REDEFINES C PIC X(2)", def);
    ASSERT_EQ(p.ok, 1) << p.error;
    EXPECT_EQ(p.entry.redefines_before_naming, 1);

    for (const char* bad : {"05 D REDEFINES C1 PIC X", "05 D REDEFINES A1 PIC X", "10 D REDEFINES A PIC X",
                            "05 D REDEFINES a-1 PIC X", "05 D REDEFINES R PIC X"}) {
        p = parse(bad, def);
        EXPECT_EQ(p.ok, 0) << bad;
        EXPECT_EQ(p.error, "Invalid REDEFINES field") << bad;
    }

    p = parse("05 D REDEFINES A 05 E REDEFINES A PIC X", def);
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.error, "Duplicate REDEFINES clause");

    // A new record redefining the previous one finds its first field: no
    // effect on the layout.
    p = parse("01 R2 REDEFINES R", def);
    ASSERT_EQ(p.ok, 1) << p.error;
    EXPECT_EQ(p.entry.redefines_before_naming, 0);

    // With no field in the record there is nothing to redefine.
    p = parse("01 R2 REDEFINES R");
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.error, "Invalid REDEFINES field");
}

TEST(SeparatorPeriod, EndsEntriesOnlyOutsideLiteralsAndPictures) {
    struct row {
        const char* text;
        size_t position;
    };
    const row rows[] = {
        {"05 A PIC X.", 10},
        {"05 A PIC 9.99.", 13},
        {"05 A PIC X. 05 B PIC X.", 10},
        {"05 A PIC X.\t05 B PIC X(2).", 10},
        {"05 A VALUE 'A. B'.", 17},
        {"05 A VALUE \"IT'S. \".", 19},
        {"05 A VALUE 'IT''S. '.", 20},
        {"05 A PIC 9.99", std::string_view::npos},
        {"05 A VALUE 'A. B", std::string_view::npos},
    };
    for (const row& r : rows) {
        char quote = 0;
        EXPECT_EQ(CD_find_separator_period(r.text, quote), r.position) << r.text;
    }
    // The open literal carries over from one piece of text to the next.
    char quote = 0;
    EXPECT_EQ(CD_find_separator_period("05 A VALUE 'X. ", quote), std::string_view::npos);
    EXPECT_EQ(quote, '\'');
    EXPECT_EQ(CD_find_separator_period("Y'.", quote), 2u);
}

}  // namespace
