// Template reading: sections, comments, type-map rows, name-map rows and
// option words, with the messages each refusal raises.
#include <gtest/gtest.h>

#include <string>

#include "app/tabform/tabform_testing.h"
#include "kvapp/colnaming.h"
#include "message_recorder.h"
#include "tabform/templ.h"

using namespace tabform_testing;

namespace {

class TemplTest : public ::testing::Test {
protected:
    void SetUp() override { reset_state(); }
    void TearDown() override { reset_state(); }
    MessageRecorder recorder;
};

const char* const kMinimalTypes = "# Column Type Mapping Section\nCHAR CHAR Y N N N\n";

TEST_F(TemplTest, SectionsCommentsAndBlankLines) {
    read_template(
        "# leading comment before any header\n"
        "# Table Creation Section\n"
        "CREATE TABLE ?TABLE\n"
        "# dropped comment\n"
        "\n"
        "(?COLUMNS)\n"
        "# Column Type Mapping Section\n"
        "\n"
        "char CHAR Y N N N\n"
        "# Miscellaneous Parameters Section\n"
        "\n"
        "OMITCOMMENTS\n"
        "# Table Creation Section\n"
        "-- second part\n");
    EXPECT_TRUE(recorder.empty());
    EXPECT_EQ(templ_text, "CREATE TABLE ?TABLE\n\n(?COLUMNS)\n-- second part\n");
    ASSERT_EQ(type_map.size(), 1u);
    EXPECT_EQ(type_map[0].type_key, "CHAR");
    EXPECT_EQ(templ_options.include_comments, 0);
}

TEST_F(TemplTest, HeaderVariantsAreComments) {
    // Each variant is a comment, so the text after it stays in the Table
    // Creation Section.
    for (const char* header : {"# Column Type Mapping Section \n", "# column type mapping section\n",
                               "#Column Type Mapping Section\n"}) {
        reset_state();
        read_template(std::string("# Table Creation Section\n") + header + "CHAR CHAR Y N N N\n");
        EXPECT_EQ(templ_text, "CHAR CHAR Y N N N\n") << header;
        EXPECT_TRUE(type_map.empty()) << header;
    }
}

TEST_F(TemplTest, LineBeforeAnyHeaderAndFinalHeaderWithoutNewline) {
    read_template("stray line\n# Table Creation Section\nX\n# Column Type Mapping Section");
    ASSERT_EQ(recorder.codes(), (std::vector<uint32_t>{1250, 1249}));
    // The line, the template and the line's number.
    EXPECT_EQ(recorder.messages()[0].args, (std::vector<std::string>{"stray line", templ_file_name, "1"}));
    EXPECT_EQ(recorder.messages()[0].function, "read_templ_file");
    EXPECT_EQ(templ_text, "X\n");  // the unterminated header was a comment
}

TEST_F(TemplTest, LongLinesStayWhole) {
    // A piece of a long line starting with "#" must not be dropped as a
    // comment.
    const std::string line = std::string(999, 'a') + "# still text\n";
    read_template(std::string("# Table Creation Section\n") + line + kMinimalTypes);
    EXPECT_TRUE(recorder.empty());
    EXPECT_EQ(templ_text, line);
}

TEST_F(TemplTest, PathAndContentFailures) {
    read_templ_file();  // no path
    EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{209});
    EXPECT_EQ(recorder.last().args, std::vector<std::string>{"DDLTEMPLATEFILE"});

    recorder.clear();
    templ_file_name = (scratch_dir() / "missing.tpl").string();
    read_templ_file();
    EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1091});
    EXPECT_EQ(recorder.last().args, std::vector<std::string>{templ_file_name});

    for (const char* content : {kMinimalTypes, "# Table Creation Section\nX\n", ""}) {
        reset_state();
        recorder.clear();
        read_template(content);
        EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1249}) << content;
        EXPECT_TRUE(recorder.last().args.empty());
    }
}

struct type_row_case {
    const char* line;
    const char* key;
    const char* sql;
    int16_t size, scale, prec_limit, scale_limit;
};

TEST_F(TemplTest, TypeMapRows) {
    const type_row_case cases[] = {
        {"decimal NUMERIC Y Y 18 N\n", "DECIMAL", "NUMERIC", kTemplYes, kTemplYes, 18, kTemplNo},
        {"DOUBLE DOUBLE_PRECISION N N N N\n", "DOUBLE", "DOUBLE PRECISION", kTemplNo, kTemplNo, kTemplNo,
         kTemplNo},
        {"CHAR CHAR Yes No No No\n", "CHAR", "CHAR", kTemplYes, kTemplNo, kTemplNo, kTemplNo},
        {"CHAR CHAR y n 12abc -5\n", "CHAR", "CHAR", 0, 0, 12, -5},
        {"\tVARCHAR  VARCHAR\t8 2  32767 -32768   extra\n", "VARCHAR", "VARCHAR", 8, 2, 32767, -32768},
        {"CHAR CHAR Y N -200 N", "CHAR", "CHAR", kTemplYes, kTemplNo, kTemplYes, kTemplNo},
    };
    for (const type_row_case& c : cases) {
        reset_templ();
        add_type_map(c.line);
        ASSERT_EQ(type_map.size(), 1u) << c.line;
        const type_map_entry& row = type_map[0];
        EXPECT_EQ(row.type_key, c.key) << c.line;
        EXPECT_EQ(row.sql_type, c.sql) << c.line;
        EXPECT_EQ(row.size_spec, c.size) << c.line;
        EXPECT_EQ(row.scale_spec, c.scale) << c.line;
        EXPECT_EQ(row.prec_limit, c.prec_limit) << c.line;
        EXPECT_EQ(row.scale_limit, c.scale_limit) << c.line;
    }
    EXPECT_TRUE(recorder.empty());
}

TEST_F(TemplTest, RefusedTypeMapRowsAreNotStored) {
    // Short rows, the number that reads as N, and numbers beyond 16 bits.
    for (const char* line : {"CHAR CHAR Y N N\n", "CHAR\n", "CHAR CHAR -100 N N N\n",
                             "CHAR CHAR Y N 40000 N\n", "CHAR CHAR Y N N -32769\n",
                             "CHAR CHAR Y N N 99999999999999999999\n"}) {
        reset_templ();
        recorder.clear();
        add_type_map(line);
        EXPECT_TRUE(type_map.empty()) << line;
        ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1253}) << line;
        std::string expected = line;
        expected.pop_back();
        EXPECT_EQ(recorder.last().args.front(), expected);
        EXPECT_EQ(recorder.last().function, "add_type_map");
    }
}

TEST_F(TemplTest, NameMapRows) {
    add_name_map("cust-id  CustomerId\n");
    ASSERT_EQ(name_map.size(), 1u);
    EXPECT_EQ(name_map[0].column_name, "CUST_ID");
    EXPECT_EQ(name_map[0].replacement, "CustomerId");
    add_name_map("lonely\n");
    EXPECT_EQ(name_map.size(), 1u);
    EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1252});
    EXPECT_EQ(recorder.last().args.front(), "lonely");
}

TEST_F(TemplTest, OptionWords) {
    struct option_case {
        const char* line;
        int16_t templ_options_t::*flag;
        int16_t value;
    };
    const option_case cases[] = {
        {"OMITNULL\n", &templ_options_t::null_clause, 0},
        {"omitnotnull\n", &templ_options_t::not_null_clause, 0},
        {"UseSameNulls\n", &templ_options_t::use_same_nulls, 1},
        {"OMITREDEFS  trailing words\n", &templ_options_t::include_redefs, 0},
        {"OMITCOMMENTS", &templ_options_t::include_comments, 0},
    };
    for (const option_case& c : cases) {
        templ_options = templ_options_t{};
        add_param(c.line);
        EXPECT_EQ(templ_options.*(c.flag), c.value) << c.line;
    }
    const option_case back[] = {
        {"INCLUDENULL\n", &templ_options_t::null_clause, 1},
        {"INCLUDENOTNULL\n", &templ_options_t::not_null_clause, 1},
        {"INCLUDEREDEFS\n", &templ_options_t::include_redefs, 1},
        {"INCLUDECOMMENTS\n", &templ_options_t::include_comments, 1},
    };
    for (const option_case& c : back) {
        templ_options.*(c.flag) = 0;
        add_param(c.line);
        EXPECT_EQ(templ_options.*(c.flag), c.value) << c.line;
    }
    EXPECT_TRUE(recorder.empty());
    add_param("NOSUCHWORD x\n");
    EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1291});
    EXPECT_EQ(recorder.last().args.front(), "NOSUCHWORD");
    EXPECT_EQ(recorder.last().function, "add_param");
}

TEST_F(TemplTest, ResolveDupColumnsAndRedefines) {
    struct dup_case {
        const char* lines[2];
        int32_t resolution;
        int16_t include_redefs;
        size_t messages;
    };
    const dup_case cases[] = {
        {{"OMITREDEFS\n", "RESOLVEDUPCOLUMNS INDEX\n"}, kResolveDupIndex, 1, 0},
        {{"RESOLVEDUPCOLUMNS ALPHAINDEX\n", "OMITREDEFS\n"}, kResolveDupAlphaIndex, 0, 0},
        {{"OMITREDEFS\n", "RESOLVEDUPCOLUMNS NONE\n"}, kResolveDupNone, 1, 0},
        {{"OMITREDEFS\n", "ResolveDupColumns index\n"}, kResolveDupNone, 1, 1},
        {{"OMITREDEFS\n", "RESOLVEDUPCOLUMNS\n"}, kResolveDupNone, 1, 1},
    };
    for (const dup_case& c : cases) {
        templ_options = templ_options_t{};
        recorder.clear();
        for (const char* line : c.lines) add_param(line);
        EXPECT_EQ(templ_options.resolve_dup_columns, c.resolution) << c.lines[1];
        EXPECT_EQ(templ_options.include_redefs, c.include_redefs) << c.lines[1];
        ASSERT_EQ(recorder.size(), c.messages) << c.lines[1];
        if (c.messages) {
            EXPECT_EQ(recorder.last().code, 213u);
            // The keyword as the line spells it.
            const std::string keyword = std::string(c.lines[1]).substr(0, 17);
            EXPECT_EQ(recorder.last().args, std::vector<std::string>{keyword});
        }
    }
}

TEST_F(TemplTest, ExpandDdlOptions) {
    if (!expand_options) create_expand_options();
    ASSERT_NE(expand_options, nullptr);
    const expand_options_t saved = *expand_options;
    add_param("EXPANDDDL USEBRACKETS, MAXCOLNAMELEN 18\n");
    EXPECT_TRUE(recorder.empty());
    EXPECT_EQ(expand_options->style, 1);
    EXPECT_EQ(expand_options->max_col_name_len, 18);
    add_param("EXPANDDDL FOO\n");
    EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1244});
    EXPECT_EQ(recorder.last().args, std::vector<std::string>{"invalid option (FOO)"});
    *expand_options = saved;
}

}  // namespace

namespace {

// Which names a quoting template quotes: odd bytes at every place the
// eight-byte test reads them (inside a word, in the overlap of the last
// load, in a short name's padding), a leading digit, reserved words in
// either case, and a quote in the name doubled.
TEST_F(TemplTest, QuotedNames) {
    read_template(std::string("# Table Creation Section\nCREATE TABLE ?TABLE (?COLUMNS)\n") + kMinimalTypes +
                  "# Miscellaneous Parameters Section\nQUOTENAMES \"\n# Reserved Words Section\nSELECT, User\n");
    ASSERT_TRUE(recorder.empty());
    const struct {
        std::string name;
        std::string written;
    } cases[] = {
        {"A", "A"},
        {"A_1", "A_1"},
        {"ABCDEFGH", "ABCDEFGH"},
        {"ABCDEFGHIJKLMNOP_123", "ABCDEFGHIJKLMNOP_123"},
        {"lower_case", "lower_case"},
        {"", "\"\""},
        {"1A", "\"1A\""},
        {"A-B", "\"A-B\""},
        {"ABCDEFG-", "\"ABCDEFG-\""},
        {"ABCDEFGH-", "\"ABCDEFGH-\""},
        {"-BCDEFGHIJ", "\"-BCDEFGHIJ\""},
        {"ABCDEFGHIJKLMNO ", "\"ABCDEFGHIJKLMNO \""},
        {"A@", "\"A@\""},
        {"A[", "\"A[\""},
        {"A`", "\"A`\""},
        {"A{", "\"A{\""},
        {"A/", "\"A/\""},
        {"A:", "\"A:\""},
        {"\xC3\x84RGER", "\"\xC3\x84RGER\""},
        {"A\"B", "\"A\"\"B\""},
        {"SELECT", "\"SELECT\""},
        {"select", "\"select\""},
        {"USER", "\"USER\""},
        {"SELECTS", "SELECTS"},
    };
    for (const auto& c : cases) EXPECT_EQ(templ_sql_name(c.name), c.written) << c.name;
}

}  // namespace

namespace {

// The number options take a whole number from 1 to what a database can
// have; anything else is refused with TM-256, naming the option.
TEST_F(TemplTest, NumberOptionsTakeOnlySensibleValues) {
    struct number_case {
        const char* line;
        int32_t templ_options_t::*value;
        int32_t stored;  // 0: refused
    };
    const number_case cases[] = {
        {"MAXCOLUMNS 32767\n", &templ_options_t::max_columns, 32767},
        {"MAXCOLUMNS 32768\n", &templ_options_t::max_columns, 0},
        {"maxnamelength 63\n", &templ_options_t::max_name_length, 63},
        {"MAXNAMELENGTH 1001\n", &templ_options_t::max_name_length, 0},
        {"MAXNAMELENGTH 0\n", &templ_options_t::max_name_length, 0},
        {"MAXROWSIZE 65535\n", &templ_options_t::max_row_size, 65535},
        {"MAXROWSIZE 65536\n", &templ_options_t::max_row_size, 0},
        {"MAXROWSIZE -1\n", &templ_options_t::max_row_size, 0},
        {"MAXROWSIZE\n", &templ_options_t::max_row_size, 0},
    };
    for (const number_case& c : cases) {
        templ_options = templ_options_t{};
        recorder.clear();
        add_param(c.line);
        EXPECT_EQ(templ_options.*(c.value), c.stored) << c.line;
        EXPECT_EQ(recorder.codes(), c.stored ? std::vector<uint32_t>{} : std::vector<uint32_t>{1256}) << c.line;
    }
}

// A seventh word of a type-map row counts only under MAXROWSIZE: elsewhere
// it stays the comment it always was. Refusals name the line's number.
TEST_F(TemplTest, RowBytesAreReadUnderMaxRowSize) {
    const std::string rows =
        "# Table Creation Section\nX\n# Column Type Mapping Section\n"
        "CHAR CHAR Y N N N\nTEXT TEXT N N N N 20\nNCHAR NCHAR Y N N N Y*3\nVARCHAR V Y N N N Y\n";
    read_template(rows + "CHAR C Y N N N about\n");
    EXPECT_TRUE(recorder.empty());
    ASSERT_EQ(type_map.size(), 5u);
    EXPECT_EQ(type_map[1].row_bytes.fixed, -1);

    reset_state();
    read_template(rows + "CHAR C Y N N N about\n# Miscellaneous Parameters Section\nMAXROWSIZE 8000\n");
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1253});
    EXPECT_EQ(recorder.last().args, (std::vector<std::string>{"CHAR C Y N N N about", templ_file_name, "8"}));
    ASSERT_EQ(type_map.size(), 4u);  // the refused row is gone
    EXPECT_EQ(type_map[0].row_bytes.fixed, -1);
    EXPECT_EQ(type_map[0].row_bytes.per_unit, 0);
    EXPECT_EQ(type_map[1].row_bytes.fixed, 20);
    EXPECT_EQ(type_map[2].row_bytes.per_unit, 3);
    EXPECT_EQ(type_map[3].row_bytes.per_unit, 1);
}

TEST_F(TemplTest, ADirectoryIsNoTemplate) {
    templ_file_name = scratch_dir().string();
    read_templ_file();
    EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1292});
}

}  // namespace
