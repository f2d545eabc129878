// Fitting a row within MAXROWSIZE: which character columns go off the row
// (the ones that save most, ties in record order, never a key), that a row
// which fits keeps them all, and the refusal when nothing more can go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tabform/tabform_testing.h"
#include "kvlib/kvapp/cobdef_testing.h"
#include "message_recorder.h"
#include "tabform/resolve.h"
#include "tabform/rowfit.h"

using namespace tabform_testing;

namespace {

// Text of 1 byte a character kept in the row, or a 10-byte pointer off it;
// national text 2 bytes a character; an INTEGER 4, whatever its storage.
const char* const kTemplate =
    "# Table Creation Section\nX\n# Column Type Mapping Section\n"
    "CHAR CHAR Y N N N Y\nNCHAR NCHAR Y N N N Y*2\nINTEGER INT N N N N 4\n"
    "UDECIMAL DEC Y Y N N 5\nTEXT TEXT N N N N 10\nNTEXT NTEXT N N N N 10\n"
    "# Miscellaneous Parameters Section\nMAXROWSIZE ";

struct fit_case {
    const char* what;
    int limit;
    const char* fields;    // the 05 entries of record R
    const char* keys;      // names of key columns, blank-separated
    const char* off;       // names of the columns expected off the row
    bool refused;          // DD-264
};

void PrintTo(const fit_case& c, std::ostream* os) { *os << c.what; }

class RowFitTest : public testing::TestWithParam<fit_case> {
protected:
    void SetUp() override { reset_state(); }
    void TearDown() override { reset_state(); }
    MessageRecorder recorder;
};

TEST_P(RowFitTest, MovesTheFewestLongestColumns) {
    const fit_case& c = GetParam();
    read_template(kTemplate + std::to_string(c.limit) + "\n");
    ASSERT_TRUE(recorder.empty());
    cobdef_testing::read_result r = cobdef_testing::read_text(std::string("01 R.\n") + c.fields);
    ASSERT_EQ(r.ok, 1) << r.error;
    def_entry& entry = r.defs.at(0);
    std::vector<column_entry>& items = *entry.fields;
    const std::string keys = std::string(" ") + c.keys + " ";
    for (column_entry& item : items) item.key_column = keys.find(" " + item.name + " ") != std::string::npos;
    const std::vector<char> off = plan_off_row(entry, columns_included(items));
    std::string moved;
    for (size_t i = 0; i < off.size(); ++i)
        if (off[i]) moved += (moved.empty() ? "" : " ") + items[i].name;
    EXPECT_EQ(moved, c.off);
    EXPECT_EQ(recorder.codes(), c.refused ? std::vector<uint32_t>{1264} : std::vector<uint32_t>{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RowFitTest,
    testing::Values(
        fit_case{"a row at the limit keeps every column", 84,
                 " 05 A PIC X(40).\n 05 B PIC X(40).\n 05 N PIC S9(9) COMP.\n", "", "", false},
        fit_case{"one byte more moves the first of the longest", 83,
                 " 05 A PIC X(40).\n 05 B PIC X(40).\n 05 N PIC S9(9) COMP.\n", "", "A", false},
        fit_case{"the largest saving goes first, not the first column", 60,
                 " 05 A PIC X(20).\n 05 B PIC X(50).\n 05 C PIC X(20).\n", "", "B", false},
        fit_case{"national text saves two bytes a character", 70,
                 " 05 A PIC X(30).\n 05 W PIC N(20).\n 05 C PIC X(30).\n", "", "W", false},
        fit_case{"a key column stays in the row", 75,
                 " 05 A PIC X(50).\n 05 B PIC X(30).\n 05 C PIC X(15).\n", "A", "B", false},
        fit_case{"a column shorter than its pointer never moves", 25,
                 " 05 A PIC X(8).\n 05 B PIC X(8).\n 05 C PIC X(8).\n 05 D PIC X(8).\n", "", "", true},
        fit_case{"numbers cannot move: refused once all text is off", 20,
                 " 05 A PIC X(30).\n 05 N1 PIC 9(5).\n 05 N2 PIC 9(5).\n 05 N3 PIC 9(5).\n", "", "A", true},
        fit_case{"a FILLER takes no place", 50,
                 " 05 A PIC X(40).\n 05 FILLER PIC X(90).\n", "", "", false}));

}  // namespace
