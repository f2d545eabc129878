// Template variables and the expansion of the table-creation text.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/tabform/tabform_testing.h"
#include "message_recorder.h"
#include "tabform/writer.h"

using namespace tabform_testing;

namespace {

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_state();
        for (const char* name : {"TABLE", "DEFINE", "COLUMNS", "KEYCOLUMNS", "CATALOG", "MAXMEGS", "CURMEGS",
                                 "MAXPAGES", "CURPAGES"})
            set_templ_var(name, nullptr, 0);
        set_templ_var("TABLE", "ORDERS", 0);
        set_templ_var("COLUMNS", "   A CHAR", 0);
        set_templ_var("CATALOG", "********", 0);
        set_templ_var("MAXMEGS", nullptr, 101);
    }
    void TearDown() override { reset_state(); }
    MessageRecorder recorder;
};

TEST_F(WriterTest, TextGetsANumberOnlyWhenWhollyDecimal) {
    struct number_case {
        const char* text;
        int64_t number;
    };
    const number_case cases[] = {
        {"2024", 2024},
        {"-17", -17},
        {"2024-01", 0},  // a name, not a number
        {"12a", 0},
        {"-", 0},
        {"", 0},
        {"1-2", 0},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", 0},  // beyond 64 bits
        {"-9223372036854775809", 0},
        {"99999999999999999999999", 0},
    };
    for (const number_case& c : cases) {
        set_templ_var("x", c.text, 0);
        EXPECT_EQ(var_number("X"), c.number) << c.text;
        EXPECT_EQ(var_text("x"), c.text) << c.text;
    }
}

TEST_F(WriterTest, NumbersAndMissingValues) {
    set_templ_var("n", nullptr, -42);
    EXPECT_EQ(var_text("N"), "-42");
    EXPECT_EQ(var_number("N"), -42);
    // A later assignment replaces both parts.
    set_templ_var("n", "abc", 0);
    EXPECT_EQ(var_number("N"), 0);
    std::string name = "never", text = "stale";
    int64_t number = 7;
    EXPECT_FALSE(get_templ_var(name, number, text));
    EXPECT_EQ(name, "NEVER");
    name = "KEYCOLUMNS";
    EXPECT_TRUE(get_templ_var(name, number, text));
    EXPECT_EQ(number, 0);
    EXPECT_EQ(text, "");
}

TEST_F(WriterTest, Expansion) {
    struct expand_case {
        const char* text;
        const char* written;
    };
    const expand_case cases[] = {
        {"?MAXMEGS", "101"},
        {"?MAXMEGS*2", "202"},
        {"?MAXMEGS / 2", "50"},
        {"?MAXMEGS/1000", "1"},
        {"?MAXMEGS*x", "101*x"},
        {"?MAXMEGS * 0;", "1;"},
        {"?MAXMEGS/0 end", "101 end"},
        {"?MAXMEGS -", "101 -"},
        {"?MAXMEGS*99999999999999999999", "101*99999999999999999999"},
        {"?MAXMEGS/99999999999999999999", "1"},
        {"?maxmegs", "101"},
        {"%TABLE ?TABLE %table", "ORDERS ORDERS ORDERS"},
        {"?TABLE*2", "ORDERS*2"},
        {"?TABLE_X", "ORDERS_X"},
        {"?COLUMNS-1", "?COLUMNS-1"},
        {"(?COLUMNS / 2)", "(   A CHAR / 2)"},
        {"?CATALOG %CATALOG", "******** ********"},
        {"50%% ?? %%?? ", "50% ? %? "},
        {"100% done ? ", "100% done ? "},
        {"end?", "end?"},
        {"?KEYCOLUMNS|", "|"},
        {"?NOSUCH(x)", "?NOSUCH(x)"},
    };
    for (const expand_case& c : cases) EXPECT_EQ(expand_templ_text(c.text), c.written) << c.text;
}

TEST_F(WriterTest, NumberedTableNames) {
    set_templ_var("TABLE", "2024-01", 0);
    EXPECT_EQ(expand_templ_text("?TABLE ?TABLE*2"), "2024-01 2024-01*2");
    set_templ_var("TABLE", "12", 0);
    EXPECT_EQ(expand_templ_text("?TABLE ?TABLE*2"), "12 24");
    // The name is written as it is spelled, even where it has a number.
    set_templ_var("TABLE", "007", 0);
    EXPECT_EQ(expand_templ_text("?TABLE ?TABLE*2"), "007 14");
}

TEST_F(WriterTest, FinishReportsEveryPercentNameOutsideTheKeywords) {
    templ_text = "%TABLE %define %COLUMNS %KEYCOLUMNS %MAXMEGS %CURMEGS %MAXPAGES %CURPAGES "
                 "%%CATALOG ?CATALOG ?NOSUCH %CATALOG %nosuch 100% %TABLE_X";
    EXPECT_EQ(finish_templ(), 1);
    ASSERT_EQ(recorder.codes(), (std::vector<uint32_t>{1251, 1251, 1251}));
    const auto messages = recorder.messages();
    EXPECT_EQ(messages[0].args, std::vector<std::string>{"CATALOG"});
    EXPECT_EQ(messages[1].args, std::vector<std::string>{"NOSUCH"});
    EXPECT_EQ(messages[2].args, std::vector<std::string>{""});
    EXPECT_EQ(messages[0].function, "finish_templ");
}

TEST_F(WriterTest, WriteGoesToTheDdlStream) {
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    ddl_file.stream = stream;
    templ_text = "CREATE TABLE ?TABLE (\n?COLUMNS\n);\n";
    write_templ();
    write_templ();
    EXPECT_EQ(stream_text(stream), "CREATE TABLE ORDERS (\n   A CHAR\n);\nCREATE TABLE ORDERS (\n   A CHAR\n);\n");
    std::fclose(stream);
    // A DDLFILE that failed to open leaves no stream: nothing is written.
    ddl_file.stream = nullptr;
    write_templ();
}

// A DDL file that does not take the text (a full disk): 1093 names the
// DDL file and the system error, once per definition that was not written.
TEST_F(WriterTest, WriteThatFailsIsReportedWithTheFileName) {
    FILE* full = std::fopen("/dev/full", "w");
    if (!full) GTEST_SKIP() << "/dev/full not available";
    ddl_file.stream = full;
    ddl_file.name = "out.sql";
    templ_text = "CREATE TABLE ?TABLE;\n";
    write_templ();
    write_templ();
    ASSERT_EQ(recorder.codes(), (std::vector<uint32_t>{1093, 1093}));
    EXPECT_EQ(recorder.last().args, (std::vector<std::string>{"out.sql", std::strerror(ENOSPC)}));
    std::fclose(full);
    ddl_file.stream = stdout;
}

}  // namespace
