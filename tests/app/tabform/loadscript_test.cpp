// The template's row options and the load script: which values each option
// takes, how the Data Load Section expands for each table (references, the
// per-column lines, header lines of parts), and the script's default name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tabform/tabform_testing.h"
#include "kvstd/fileutl.h"
#include "message_recorder.h"
#include "tabform/loadscript.h"

using namespace tabform_testing;

namespace {

class LoadScriptTest : public ::testing::Test {
protected:
    void SetUp() override { reset_state(); }
    void TearDown() override { reset_state(); }
    MessageRecorder recorder;
};

// Each row option line, and whether it is taken (a refusal is TM-256).
TEST_F(LoadScriptTest, RowOptionsTakeOnlyWhatALoadCanUse) {
    struct option_case {
        const char* word;
        const char* values;
        bool taken;
    };
    const option_case cases[] = {
        {"ROWFORMAT", "pgtext", true},
        {"ROWFORMAT", "XML", false},
        {"ROWFORMAT", "CSV MYSQL", false},
        {"ROWNULL", "\\N", false},  // only \\ and \xHH are escapes
        {"ROWNULL", "\\xFF", true},
        {"ROWNULL", "\\x4", false},
        {"ROWNULL", "a,b", false},  // a comma would split the field
        {"ROWNULL", "\\x22", false},  // a quote, written as a byte
        {"ROWSUFFIX", ".dat", true},
        {"ROWSUFFIX", "out/.dat", false},
        {"LOADSUFFIX", ".ctl'", false},
        {"LOADSUFFIX", "", false},
    };
    for (const option_case& c : cases) {
        reset_templ_rows();
        recorder.clear();
        EXPECT_TRUE(add_rows_param(c.word, words_of(c.values))) << c.word << " " << c.values;
        EXPECT_EQ(recorder.codes(), c.taken ? std::vector<uint32_t>{} : std::vector<uint32_t>{1256})
            << c.word << " " << c.values;
    }
    reset_templ_rows();
    ASSERT_TRUE(add_rows_param("ROWNULL", {"\\xFF\\\\"}));
    EXPECT_EQ(templ_rows.null_text, "\xff\\");
    EXPECT_FALSE(add_rows_param("ROWS", {"x"}));  // no row option: the template reader goes on
}

TEST_F(LoadScriptTest, RowsFilesAreNamedForTheirFormat) {
    const std::pair<const char*, const char*> cases[] = {
        {"CSV", ".csv"}, {"PGTEXT", ".copy"}, {"MYSQL", ".tsv"}};
    for (const auto& [format, suffix] : cases) {
        reset_templ_rows();
        add_rows_param("ROWFORMAT", {format});
        EXPECT_EQ(rows_suffix(), suffix) << format;
        add_rows_param("ROWSUFFIX", {".txt"});
        EXPECT_EQ(rows_suffix(), ".txt") << format;
    }
}

// The script is named after the DDL file: its last extension replaced, a
// part's tag before the suffix; a dot that starts a name is no extension.
TEST_F(LoadScriptTest, DefaultNameFollowsTheDdlFile) {
    const std::pair<const char*, const char*> cases[] = {
        {"run.sql", "run.load.sql"},
        {"out/run.ddl.sql", "out/run.ddl.load.sql"},
        {"v1.2/run", "v1.2/run.load.sql"},
        {"run", "run.load.sql"},
        {".ddl", ".ddl.load.sql"},
        {"out/.ddl", "out/.ddl.load.sql"},
    };
    for (const auto& [ddl, script] : cases) EXPECT_EQ(default_load_script_name(ddl), script) << ddl;
    EXPECT_EQ(default_load_script_name("run.sql", ".1502"), "run.1502.load.sql");
    add_rows_param("LOADSUFFIX", {".sh"});
    EXPECT_EQ(default_load_script_name("run.sql"), "run.sh");
}

// The section once per table, in order; ?COLUMN is not taken for the
// start of ?COLUMNLIST, and a part without its header line says so.
TEST_F(LoadScriptTest, SectionExpandsOncePerTableWithItsColumns) {
    read_template(
        "# Table Creation Section\nX\n# Column Type Mapping Section\nCHAR CHAR Y N N N\n"
        "# Data Load Section\n"
        "LOAD ?TABLE (?COLUMNLIST) FROM '?ROWSFILE' SKIP ?HEADERLINES FIRST ?FIRSTROW;\n"
        "?EACHNULLABLE UPDATE ?TABLE SET ?COLUMN = NULL WHERE ?COLUMN = '';\n"
        "?EACHCOLUMN-- ?COLUMN\n");
    ASSERT_TRUE(recorder.empty());
    const std::vector<load_entry> entries = {
        {"ORDERS", "ORDERS.csv", {"O_ID", "O_NOTE"}, {"O_NOTE"}, true},
        {"ORDERS_LINE", "ORDERS_LINE.7.csv", {"O_ID", "L_ITEM"}, {}, false},
    };
    const std::string path = (scratch_dir() / "run.load.sql").string();
    write_load_script(path, entries);
    ASSERT_TRUE(kvCommitReplacements());
    EXPECT_EQ(test_files::read_file(path),
              "LOAD ORDERS (O_ID, O_NOTE) FROM 'ORDERS.csv' SKIP 1 FIRST 2;\n"
              "UPDATE ORDERS SET O_NOTE = NULL WHERE O_NOTE = '';\n"
              "-- O_ID\n-- O_NOTE\n"
              "LOAD ORDERS_LINE (O_ID, L_ITEM) FROM 'ORDERS_LINE.7.csv' SKIP 0 FIRST 1;\n"
              "-- O_ID\n-- L_ITEM\n");
    EXPECT_TRUE(recorder.empty());
}

}  // namespace
