// Column resolution: type rows, sizes, null texts, comment lines and keys,
// and a comparison of the one-pass resolution with the plain item-by-item
// rules on random definitions.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "app/tabform/tabform_testing.h"
#include "kvlib/kvapp/cobdef_testing.h"
#include "message_recorder.h"
#include "tabform/resolve.h"

using namespace tabform_testing;

namespace {

const char* const kTypeRows[] = {
    "CHAR CHAR Y N N N",          "VARCHAR VAR*CHAR Y N N N", "SMALLINT SMALLINT N N N N",
    "INTEGER INT N N N N",        "LARGEINT BIGINT N N N N",  "NUMERIC NUMERIC Y Y N N",
    "REAL REAL N N N N",          "DOUBLE DOUBLE_PRECISION N N N N",
    "DECIMAL DEC18 Y Y 18 N",     "DECIMAL DECBIG Y Y N N",
};

class ResolveTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_state();
        for (const char* row : kTypeRows) add_type_map(std::string(row) + "\n");
    }
    void TearDown() override { reset_state(); }
    MessageRecorder recorder;
};

column_entry column(int data_type, int32_t length, int32_t scale = 0, int32_t ext_len = -1) {
    column_entry c = make_item({1, "C", data_type, 0, length});
    c.scale = scale;
    if (ext_len >= 0) c.ext_len = ext_len;
    return c;
}

TEST_F(ResolveTest, TypesThroughTheTypeMap) {
    struct type_case {
        column_entry column;
        const char* sql;
        const char* size;
    };
    const type_case cases[] = {
        {column(0, 10), "CHAR", "(10)"},
        {column(64, 8), "VAR CHAR", "(8)"},
        {column(130, 2), "SMALLINT", ""},
        {column(130, 2, 2), "NUMERIC", "(4,2)"},  // scaled binaries are NUMERIC
        {column(132, 4, 1), "NUMERIC", "(9,1)"},
        {column(134, 8, 3), "NUMERIC", "(18,3)"},
        {column(132, 4), "INT", ""},
        {column(140, 4), "REAL", ""},
        {column(141, 8), "DOUBLE PRECISION", ""},
        {column(150, 5), "DEC18", "(5,0)"},  // no UDECIMAL row: DECIMAL
        {column(152, 18), "DEC18", "(18,0)"},
        {column(155, 10, 2, 19), "DECBIG", "(19,2)"},  // beyond the first row's limit
        {column(155, 5, 2, 9), "DEC18", "(9,2)"},
    };
    for (const type_case& c : cases) {
        const sql_column sql = resolve_column(c.column);
        EXPECT_EQ(sql.sql_type, c.sql) << c.column.data_type << " " << c.column.int_len;
        EXPECT_EQ(sql.size_text, c.size) << c.column.data_type << " " << c.column.int_len;
    }
    EXPECT_TRUE(recorder.empty());
}

TEST_F(ResolveTest, RowSpecsAndLimits) {
    struct row_case {
        const char* row;
        column_entry column;
        const char* sql;  // null: no row serves (1255)
        const char* size;
    };
    const row_case cases[] = {
        {"CHAR C N Y N N", column(0, 10, 0), "C", ""},
        {"CHAR C 5 3 N N", column(0, 10), "C", "(5,3)"},
        {"CHAR C Y 7 N N", column(0, 10), "C", "(10,7)"},
        {"CHAR C Y N -5 N", column(0, 30000), "C", "(30000)"},  // negative precision limit: all pass
        {"CHAR C Y N N -1", column(0, 10), nullptr, ""},        // negative scale limit: none pass
        {"CHAR C Y N 10 N", column(0, 10), "C", "(10)"},
        {"CHAR C Y N 9 N", column(0, 10), nullptr, ""},
        {"DECIMAL D Y Y N 2", column(152, 5, 2), "D", "(5,2)"},
        {"DECIMAL D Y Y N 2", column(152, 5, 3), nullptr, ""},
        {"UDECIMAL U Y Y N N", column(150, 5), "U", "(5,0)"},
        {"UDECIMAL U Y Y N N", column(152, 5), nullptr, ""},  // signed: no fallback the other way
        {"CHAR ABCDEFGHIJKLMNOPQRSTUVWXYZ*12 Y N N N", column(0, 1), "ABCDEFGHIJKLMNOPQRSTUVWXYZ 12", "(1)"},
    };
    for (const row_case& c : cases) {
        reset_templ();
        recorder.clear();
        add_type_map(std::string(c.row) + "\n");
        const sql_column sql = resolve_column(c.column);
        if (!c.sql) {
            ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1255}) << c.row;
            EXPECT_EQ(recorder.last().function, "resolve_params");
            EXPECT_EQ(sql.sql_type, "") << c.row;
        } else {
            EXPECT_TRUE(recorder.empty()) << c.row;
            EXPECT_EQ(sql.sql_type, c.sql) << c.row;
        }
        EXPECT_EQ(sql.size_text, c.size) << c.row;
    }
}

TEST_F(ResolveTest, MissingRowsNameTheTypeLookedFor) {
    reset_templ();
    add_type_map("CHAR CHAR Y N N N\n");
    for (int type : {150, 152, 155}) resolve_column(column(type, 4));
    resolve_column(column(132, 4, 2));
    resolve_column(column(141, 8));
    const auto messages = recorder.messages();
    ASSERT_EQ(messages.size(), 5u);
    const char* const types[] = {"DECIMAL", "DECIMAL", "DECIMAL", "NUMERIC", "DOUBLE"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(messages[i].args.front(), types[i]);
}

TEST_F(ResolveTest, LongSqlTypeIsReportedAndKeptAsWritten) {
    reset_templ();
    add_type_map("CHAR ABCDEFGHIJKLMNOPQRSTUVWXYZ*123 Y N N N\n");
    const sql_column sql = resolve_column(column(0, 3));
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1254});
    EXPECT_EQ(recorder.last().args, std::vector<std::string>{"ABCDEFGHIJKLMNOPQRSTUVWXYZ*123"});
    EXPECT_EQ(sql.sql_type, "ABCDEFGHIJKLMNOPQRSTUVWXYZ*123");
    EXPECT_EQ(sql.size_text, "(3)");
}

TEST_F(ResolveTest, NullTexts) {
    struct null_case {
        const char* option;  // null: defaults
        bool key;
        const char* text;
    };
    const null_case cases[] = {
        {nullptr, false, "NULL"},          {nullptr, true, "NOT NULL"},
        {"OMITNULL", false, ""},           {"OMITNULL", true, "NOT NULL"},
        {"OMITNOTNULL", true, ""},         {"OMITNOTNULL", false, "NULL"},
        {"USESAMENULLS", false, "NOT NULL"},  // the reader never marks a column nullable
    };
    for (const null_case& c : cases) {
        templ_options = templ_options_t{};
        if (c.option) add_param(c.option);
        column_entry col = column(0, 1);
        col.key_column = c.key;
        EXPECT_EQ(resolve_column(col).null_text, c.text) << (c.option ? c.option : "-") << c.key;
    }
    templ_options = templ_options_t{};
    add_param("USESAMENULLS");
    column_entry nullable = column(0, 1);
    nullable.nullable = 1;
    EXPECT_EQ(resolve_column(nullable).null_text, "NULL");
}

std::string line(char separator, const char* name, const char* type, const char* size, const char* null_text) {
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, "%c  %-30s %-12s %-10s %-10s\n", separator, name, type, size, null_text);
    return buffer;
}

def_entry sample_entry() {
    def_entry e = make_entry("SAMPLE", {
                                           {0, "REC", -1, 0, 50},
                                           {1, "ID", 150, 0, 4},
                                           {1, "NAME", -1, 4, 20},
                                           {2, "FIRST", 0, 4, 10},
                                           {2, "LAST", 0, 14, 10},
                                           {1, "CODE", 0, 24, 2},
                                           {1, "CODEN", 150, 24, 2},
                                           {1, "ID", 0, 26, 8},
                                           {1, "FILLER", 0, 34, 1},
                                           {1, "G1", -1, 35, 3},
                                           {2, "G2", -1, 35, 3},
                                           {3, "X", 0, 35, 3},
                                           {1, "ARR", 0, 38, 2},
                                           {1, "OPEN", -1, 44, 2},
                                           {2, "Z", 152, 44, 2},
                                       });
    std::vector<column_entry>& f = *e.fields;
    f[12].occurs = 3;
    f[14].scale = 1;
    f[4].key_column = 1;
    f[1].key_column = 1;
    f[8].key_column = 1;  // FILLER: never a column, never a key
    return e;
}

TEST_F(ResolveTest, ColumnsWithComments) {
    def_entry e = sample_entry();
    set_ddl_values(resolve_params(&e));
    EXPECT_TRUE(recorder.empty());
    const std::string expected =
        "-- 01 REC\n"
        "   ID                             DEC18        (4,0)      NOT NULL  \n"
        "-- 02 NAME\n" +
        line(',', "FIRST", "CHAR", "(10)", "NULL") + line(',', "LAST", "CHAR", "(10)", "NOT NULL") +
        "-- End of group NAME\n" + line(',', "CODE", "CHAR", "(2)", "NULL") +
        "-- Enscribe field redefines CODE\n" + line(',', "CODEN", "DEC18", "(2,0)", "NULL") +
        "-- FIX NEEDED: Column ID was already specified\n" + line(',', "ID", "CHAR", "(8)", "NULL") +
        "-- 02 G1\n-- 03 G2\n" + line(',', "X", "CHAR", "(3)", "NULL") +
        "-- End of group G2\n-- End of group G1\n-- Enscribe field occurs 3 times\n" +
        line(',', "ARR", "CHAR", "(2)", "NULL") + "-- 02 OPEN\n" + line(',', "Z", "DEC18", "(2,1)", "NULL");
    std::string columns = expected;
    columns.pop_back();  // only the final newline goes; the blanks stay
    EXPECT_EQ(var_text("COLUMNS"), columns);
    EXPECT_EQ(var_text("KEYCOLUMNS"), "   ID\n,  LAST");
    EXPECT_EQ(var_text("TABLE"), "SAMPLE");
    EXPECT_EQ(var_text("DEFINE"), "SAMPLE");
    EXPECT_EQ(var_text("CATALOG"), "********");
    EXPECT_EQ(var_number("MAXMEGS"), 101);
    EXPECT_EQ(var_number("CURMEGS"), 101);
    EXPECT_EQ(var_number("MAXPAGES"), 48829);
    EXPECT_EQ(var_number("CURPAGES"), 48829);
}

TEST_F(ResolveTest, OmitRedefsAndOmitComments) {
    def_entry e = sample_entry();
    add_param("OMITREDEFS");
    add_param("OMITCOMMENTS");
    set_ddl_values(resolve_params(&e));
    const std::string columns = var_text("COLUMNS");
    EXPECT_EQ(columns.find("CODEN"), std::string::npos);
    EXPECT_EQ(columns.find("--"), std::string::npos);
    EXPECT_EQ(columns.substr(0, columns.find('\n') + 1), line(' ', "ID", "DEC18", "(4,0)", "NOT NULL"));
    add_param("INCLUDECOMMENTS");
    set_ddl_values(resolve_params(&e));
    EXPECT_NE(var_text("COLUMNS").find("-- 02 CODEN, redefine of CODE\n"), std::string::npos);
}

TEST_F(ResolveTest, CopybookRead) {
    const cobdef_testing::read_result r = cobdef_testing::read_text(
        "01 ORDER-REC.\n"
        "   05 ORDER-NO PIC 9(6).\n"
        "   05 LINES OCCURS 2.\n"
        "      10 ITEM PIC X(4).\n"
        "   05 WHEN-ORDERED PIC 9(8).\n"
        "   05 WHEN-PARTS REDEFINES WHEN-ORDERED.\n"
        "      10 YYYY PIC 9(4).\n"
        "      10 MMDD PIC 9(4).\n");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.defs.size(), 1u);
    def_entry e = r.defs[0];
    e.table_name = "ORDERS";
    add_param("OMITREDEFS");
    set_ddl_values(resolve_params(&e));
    const std::string expected = "-- 01 ORDER-REC\n" + line(' ', "ORDER-NO", "DEC18", "(6,0)", "NULL") +
                                 "-- 02 LINES, occurs 2 times\n" + line(',', "ITEM", "CHAR", "(4)", "NULL") +
                                 "-- End of group LINES\n" + line(',', "WHEN-ORDERED", "DEC18", "(8,0)", "NULL") +
                                 "-- 02 WHEN-PARTS, redefine of WHEN-ORDERED\n-- 03 YYYY\n-- 03 MMDD\n";
    EXPECT_EQ(var_text("COLUMNS") + "\n", expected);
    EXPECT_EQ(var_text("KEYCOLUMNS"), "");
}

TEST_F(ResolveTest, NothingToListGivesEmptyTexts) {
    def_entry e = make_entry("T", {{0, "R", -1, 0, 1}, {1, "FILLER", 0, 0, 1}});
    add_param("OMITCOMMENTS");
    set_ddl_values(resolve_params(&e));
    EXPECT_EQ(var_text("COLUMNS"), "");
    EXPECT_EQ(var_text("KEYCOLUMNS"), "");
    def_entry none = make_entry("T", {});
    set_ddl_values(resolve_params(&none));
    EXPECT_EQ(var_text("COLUMNS"), "");
}

TEST_F(ResolveTest, TraceLinesOnlyWithTheTraceSwitch) {
    column_entry c = column(150, 4);
    c.name = "QTY";
    testing::internal::CaptureStdout();
    resolve_column(c);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    trace_switch = 1;
    testing::internal::CaptureStdout();
    resolve_column(c);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "col QTY                           \n"
              "    data_type=150, prec_val=    4, dt_str=DECIMAL, int_len=4\n");
}

// ---- The plain rules, item by item, against the one-pass resolution.

bool ref_included(const std::vector<column_entry>& f, size_t i) {
    if (!f[i].elementary || f[i].name == "FILLER") return false;
    if (templ_options.include_redefs) return true;
    for (size_t j = 0; j < i; ++j)
        if (f[j].elementary && f[i].fetch_offset < f[j].fetch_offset + f[j].int_len) return false;
    return true;
}

size_t ref_redefined(const std::vector<column_entry>& f, size_t i) {
    if (i > 0 && f[i - 1].depth == f[i].depth && !f[i - 1].elementary) return 0;
    for (size_t j = 1; j < i; ++j)
        if (f[j].depth == f[i].depth && f[j].fetch_offset == f[i].fetch_offset) return j;
    return 0;
}

void ref_end_groups(const std::vector<column_entry>& f, size_t i, std::string& out) {
    int d = f[i - 1].depth;
    for (size_t j = i; j-- > 0 && d >= f[i].depth;) {
        if (f[j].depth != d) continue;
        if (!f[j].elementary) out += "-- End of group " + f[j].name + "\n";
        --d;
    }
}

std::string ref_columns(const std::vector<column_entry>& f) {
    const bool comments = templ_options.include_comments;
    std::string out;
    char sep = ' ';
    for (size_t i = 0; i < f.size(); ++i) {
        const column_entry& c = f[i];
        const bool closes = comments && i > 0 && c.depth < f[i - 1].depth;
        const size_t r = ref_redefined(f, i);
        if (ref_included(f, i)) {
            if (closes) ref_end_groups(f, i, out);
            if (comments) {
                for (size_t j = i; j-- > 0;) {
                    if (f[j].name == c.name && ref_included(f, j)) {
                        out += "-- FIX NEEDED: Column " + c.name + " was already specified\n";
                        break;
                    }
                }
                if (r) out += "-- Enscribe field redefines " + f[r].name + "\n";
                if (c.occurs > 1) out += "-- Enscribe field occurs " + std::to_string(c.occurs) + " times\n";
            }
            const sql_column sql = resolve_column(c);
            out += line(sep, c.name.c_str(), sql.sql_type.c_str(), sql.size_text.c_str(), sql.null_text.c_str());
            sep = ',';
        } else if (comments && c.name != "FILLER") {
            if (closes) ref_end_groups(f, i, out);
            char head[64];
            std::snprintf(head, sizeof head, "-- %02d ", c.depth + 1);
            out += head + c.name;
            if (r) out += ", redefine of " + f[r].name;
            if (c.occurs > 1) out += ", occurs " + std::to_string(c.occurs) + " times";
            out += "\n";
        }
    }
    if (!out.empty()) out.pop_back();
    return out;
}

// Random closed definitions: groups are followed by a deeper item (or, as
// an array header, by one of the same depth), depths grow by at most 1,
// offsets often repeat earlier ones so that redefinitions occur.
def_entry random_entry(std::mt19937& rng) {
    static const char* const kNames[] = {"A", "B", "C", "FILLER", "D-1", "E"};
    static const int kTypes[] = {0, 64, 130, 132, 134, 140, 141, 150, 152, 155};
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    def_entry e = make_entry("R", {{0, "REC", -1, 0, 0}});
    std::vector<column_entry>& f = *e.fields;
    const int count = 1 + pick(60);
    int32_t offset = 0;
    for (int k = 0; k < count || !f.back().elementary; ++k) {
        const column_entry& prev = f.back();
        int depth;
        if (!prev.elementary)
            depth = prev.depth + (prev.depth > 0 && pick(4) == 0 ? 0 : 1);
        else
            depth = 1 + pick(prev.depth);
        const bool group = k + 1 < count && pick(3) == 0 && depth < 6;
        column_entry c = make_item({static_cast<int16_t>(depth), kNames[pick(6)], group ? -1 : kTypes[pick(10)],
                                    0, 1 + pick(6)});
        if (pick(4) == 0 && f.size() > 1)
            c.fetch_offset = f[1 + static_cast<size_t>(pick(static_cast<int>(f.size()) - 1))].fetch_offset;
        else
            c.fetch_offset = offset;
        if (c.elementary) offset = std::max(offset, c.fetch_offset + c.int_len);
        if (pick(5) == 0) c.occurs = 2 + pick(3);
        if (pick(3) == 0) c.scale = pick(4);
        c.key_column = pick(5) == 0;
        f.push_back(c);
    }
    e.field_count = static_cast<int32_t>(f.size());
    return e;
}

TEST_F(ResolveTest, MatchesThePlainRulesOnRandomDefinitions) {
    std::mt19937 rng(20240611);
    for (int n = 0; n < 1500; ++n) {
        def_entry e = random_entry(rng);
        templ_options = templ_options_t{};
        templ_options.include_redefs = static_cast<int16_t>(rng() % 2);
        templ_options.include_comments = static_cast<int16_t>(rng() % 4 != 0);
        set_ddl_values(resolve_params(&e));
        const std::vector<column_entry>& f = *e.fields;
        ASSERT_EQ(var_text("COLUMNS"), ref_columns(f)) << "definition " << n;
        std::string keys;
        char sep = ' ';
        for (size_t i = 0; i < f.size(); ++i) {
            if (!ref_included(f, i) || !f[i].key_column) continue;
            keys += std::string(1, sep) + "  " + f[i].name + "\n";
            sep = ',';
        }
        if (!keys.empty()) keys.pop_back();
        ASSERT_EQ(var_text("KEYCOLUMNS"), keys) << "definition " << n;
    }
}

// National and DBCS text looks up NCHAR in characters; a template without
// an NCHAR row serves it as CHAR of its bytes, as before it had a key.
TEST_F(ResolveTest, NationalTextHasAKeyOfItsOwn) {
    const cobdef_testing::read_result r = cobdef_testing::read_text(
        "01 R.\n 05 N PIC N(5).\n 05 U PIC N(4) USAGE NATIONAL.\n 05 G PIC G(3) DISPLAY-1.\n 05 X PIC X(2).\n");
    ASSERT_EQ(r.ok, 1) << r.error;
    const std::vector<column_entry>& f = *r.defs.at(0).fields;
    const char* const without[] = {"(10)", "(8)", "(6)", "(2)"};
    const char* const with[] = {"(5)", "(4)", "(3)", "(2)"};
    for (size_t i = 1; i < f.size(); ++i) EXPECT_EQ(resolve_column(f[i]).size_text, without[i - 1]) << f[i].name;
    add_type_map("NCHAR NCHAR Y N N N\n");
    for (size_t i = 1; i < f.size(); ++i) {
        const sql_column sql = resolve_column(f[i]);
        EXPECT_EQ(sql.sql_type, i < 4 ? "NCHAR" : "CHAR") << f[i].name;
        EXPECT_EQ(sql.size_text, with[i - 1]) << f[i].name;
    }
    EXPECT_TRUE(recorder.empty());
}

// Off the row a character column looks up TEXT (national text NTEXT, then
// TEXT of its bytes); any other column has no row there.
TEST_F(ResolveTest, OffTheRowTextLooksUpTextRows) {
    add_type_map("TEXT CLOB N N N N 20\n");
    type_map.back().row_bytes.fixed = 20;  // as the template reads it under MAXROWSIZE
    column_entry national = column(0, 8);
    national.data_subtype = 1;
    struct off_case {
        column_entry column;
        const char* type;
        int32_t precision;
        bool found;
    };
    const off_case cases[] = {
        {column(0, 300), "TEXT", 300, true},
        {column(64, 40, 0, 42), "TEXT", 40, true},
        {national, "TEXT", 8, true},
        {column(132, 4), "INTEGER", 9, false},
    };
    for (const off_case& c : cases) {
        const type_choice choice = choose_type_row(c.column, true);
        EXPECT_EQ(choice.type, c.type) << c.column.data_type;
        EXPECT_EQ(choice.precision, c.precision) << c.column.data_type;
        EXPECT_EQ(choice.row != nullptr, c.found) << c.column.data_type;
        EXPECT_EQ(row_bytes(c.column, choice), c.found ? 20 : CD_stored_size(c.column));
    }
}

}  // namespace
