// The column and key lines are produced into the DDL stream where the
// template names them: the bytes are those of the lines held whole, the
// messages come once per column, and lines the template does not reach
// are made all the same.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/tabform/tabform_testing.h"
#include "message_recorder.h"
#include "tabform/resolve.h"

using namespace tabform_testing;

namespace {

class StreamingTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_state();
        add_type_map("CHAR CHAR Y N N N\n");
        add_type_map("DECIMAL DEC Y Y N N\n");
    }
    void TearDown() override {
        if (ddl_file.stream && ddl_file.stream != stdout) std::fclose(ddl_file.stream);
        reset_state();
    }
    // Writes `entry` with `templ` into a scratch stream; returns the bytes.
    std::string written(def_entry& entry, const std::string& templ, std::vector<sql_column>* layout = nullptr) {
        ddl_file.stream = std::tmpfile();
        templ_text = templ;
        write_templ(resolve_params(&entry, layout));
        std::string text = stream_text(ddl_file.stream);
        std::fclose(ddl_file.stream);
        ddl_file.stream = stdout;
        return text;
    }
    MessageRecorder recorder;
};

// Enough columns that the lines pass through the output buffer many times.
def_entry wide_entry(int columns) {
    def_entry e = make_entry("WIDE", {{0, "REC", -1, 0, columns * 4}});
    for (int i = 0; i < columns; ++i) {
        e.fields->push_back(make_item({1, "", i % 3 ? 0 : 150, i * 4, 4}));
        e.fields->back().name = std::string("C").append(std::to_string(i));
        e.fields->back().key_column = i % 1000 == 0;
    }
    return e;
}

TEST_F(StreamingTest, StreamedLinesAreTheLinesHeldWhole) {
    struct stream_case {
        const char* label;
        def_entry entry;
    };
    def_entry with_nul = make_entry("T", {{0, "R", -1, 0, 3}, {1, "A", 0, 0, 1}, {1, "B", 0, 1, 1}, {1, "C", 0, 2, 1}});
    (*with_nul.fields)[2].name = std::string("B\0X", 3);  // a variable's text ends at a NUL
    std::vector<stream_case> cases = {{"wide", wide_entry(20000)}, {"nul", with_nul}};
    for (stream_case& c : cases) {
        set_ddl_values(resolve_params(&c.entry));
        std::string expected = "(\n";
        expected.append(var_text("COLUMNS")).append("\n) KEY (\n").append(var_text("KEYCOLUMNS")).append("\n);\n");
        if (c.entry.table_name == "T") {
            EXPECT_EQ(var_text("COLUMNS").find("C   "), std::string::npos);
        }
        recorder.clear();
        EXPECT_EQ(written(c.entry, "(\n?COLUMNS\n) KEY (\n?KEYCOLUMNS\n);\n"), expected) << c.label;
        EXPECT_TRUE(recorder.empty()) << c.label;
    }
}

TEST_F(StreamingTest, ColumnsNamedTwiceOrNeverAreResolvedOnce) {
    def_entry e = make_entry("T", {{0, "R", -1, 0, 2}, {1, "A", 0, 0, 1}, {1, "B", 64, 1, 1}});
    const char* const templates[] = {"?COLUMNS\n--\n%COLUMNS\n", "no columns\n",
                                     "?{KEYCOLUMNS\n?COLUMNS\n?}\nend\n"};
    for (const char* templ : templates) {
        recorder.clear();
        std::vector<sql_column> layout;
        const std::string text = written(e, templ, &layout);
        // B is VARCHAR, which no row serves: one message, whatever the text.
        EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1255}) << templ;
        ASSERT_EQ(layout.size(), 3u);
        EXPECT_EQ(layout[1].sql_type, "CHAR") << templ;
        if (templ == templates[0]) {
            const size_t cut = text.find("\n--\n");
            ASSERT_NE(cut, std::string::npos);
            EXPECT_EQ(text.substr(0, cut + 1), text.substr(cut + 4)) << text;
        } else {
            EXPECT_EQ(text.find("A  "), std::string::npos) << text;
        }
    }
}

TEST_F(StreamingTest, FailedWriteOfALargeDefinitionIsReportedOnce) {
    FILE* full = std::fopen("/dev/full", "w");
    if (!full) GTEST_SKIP() << "/dev/full not available";
    def_entry e = wide_entry(20000);
    ddl_file.stream = full;
    ddl_file.name = "out.sql";
    templ_text = "?COLUMNS\n";
    write_templ(resolve_params(&e));
    EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1093});
}

}  // namespace
