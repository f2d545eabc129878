// Tables without columns or with names too long, and the column count
// taken before unrolling, checked against the unrolled columns on random
// records and on arrays far too large to unroll in a test.
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <string>

#include "app/tabform/tabform_testing.h"
#include "kvapp/colnaming_internal.h"
#include "kvlib/kvapp/cobdef_testing.h"
#include "kvlib/kvapp/random_record.h"
#include "message_recorder.h"
#include "tabform/resolve.h"
#include "tabform/tablecheck.h"

using namespace tabform_testing;

namespace {

class TableCheckTest : public ::testing::Test {
protected:
    void SetUp() override { reset_state(); }
    void TearDown() override { reset_state(); }
    MessageRecorder recorder;
};

const expand_options_t kDefaults{3, 1, 0, 0, 1, 0, 1, 30};

cobol_def read_one(const std::string& text) {
    const cobdef_testing::read_result r = cobdef_testing::read_text(text);
    if (r.ok != 1 || r.defs.size() != 1) return {};
    cobol_def def = r.defs[0];
    def.fields = std::make_shared<std::vector<column_entry>>(*def.fields);
    return def;
}

int64_t columns_after_unrolling(const cobol_def& read, const expand_options_t& opts) {
    cobol_def def = read;
    def.fields = std::make_shared<std::vector<column_entry>>(*read.fields);
    FILE* quiet = std::tmpfile();
    set_naming_console(nullptr, quiet);
    expand_columns(&def, opts);
    set_naming_console(nullptr, nullptr);
    std::fclose(quiet);
    const std::vector<char> included = columns_included(*def.fields);
    return std::count(included.begin(), included.end(), 1);
}

TEST_F(TableCheckTest, CountBeforeUnrollingIsTheCountAfterIt) {
    std::mt19937 rng(20261210);
    int compared = 0;
    for (int round = 0; round < 1500; ++round) {
        // Long arrays too, so that whole occurrences lie within redefined storage.
        cobdef_testing::record_maker maker(static_cast<uint32_t>(rng()), round % 2 ? 3 : 12);
        const std::string text = maker.make();
        const cobol_def def = read_one(text);
        if (!def.fields) continue;
        SCOPED_TRACE(text);
        for (const bool include : {true, false}) {
            templ_options.include_redefs = include;
            ASSERT_EQ(count_unrolled_columns(def, include, false), columns_after_unrolling(def, kDefaults)) << include;
            expand_options_t omitting = kDefaults;
            omitting.omit_redefs = 1;
            const int64_t counted = count_unrolled_columns(def, include, true);
            if (counted >= 0) {
                ASSERT_EQ(counted, columns_after_unrolling(def, omitting)) << include;
            }
        }
        ASSERT_GE(count_unrolled_columns_at_most(def), count_unrolled_columns(def, false, false));
        ++compared;
    }
    EXPECT_GE(compared, 1000);
}

TEST_F(TableCheckTest, ArraysOfAnySizeAreCountedAtOnce) {
    struct count_case {
        const char* copybook;
        int64_t with_redefs, without_redefs;
    };
    const count_case cases[] = {
        {"01 R.\n 05 A PIC X OCCURS 99999999.\n", 99999999, 99999999},
        {"01 R.\n 05 G OCCURS 5000.\n  10 H OCCURS 20000.\n   15 A PIC X.\n   15 FILLER PIC X.\n", 100000000,
         100000000},
        // The array lies wholly in redefined storage, then partly.
        {"01 R.\n 05 A PIC X(90000000).\n 05 B REDEFINES A.\n  10 C PIC X OCCURS 90000000.\n", 90000001, 1},
        {"01 R.\n 05 A PIC X(50000000).\n 05 B REDEFINES A.\n  10 C PIC X(2) OCCURS 30000000.\n 05 D PIC X.\n",
         30000002, 5000002},
        {"01 R.\n 05 A PIC X(7).\n 05 B REDEFINES A.\n  10 G OCCURS 40000000.\n   15 C PIC X(2).\n   15 D PIC X.\n",
         80000001, 80000000 - 4},
    };
    for (const count_case& c : cases) {
        const cobol_def def = read_one(c.copybook);
        ASSERT_TRUE(def.fields) << c.copybook;
        EXPECT_EQ(count_unrolled_columns(def, true, false), c.with_redefs) << c.copybook;
        EXPECT_EQ(count_unrolled_columns(def, false, false), c.without_redefs) << c.copybook;
    }
    // Redefinitions the naming pass removes are only known once unrolled.
    EXPECT_EQ(count_unrolled_columns(read_one(cases[2].copybook), true, true), -1);
    EXPECT_EQ(count_unrolled_columns(read_one(cases[0].copybook), true, true), 99999999);
}

TEST_F(TableCheckTest, ATableWithoutColumnsIsRefusedWithTheReason) {
    struct empty_case {
        std::initializer_list<item_spec> items;
        int16_t include_redefs;
        std::vector<uint32_t> codes;
    };
    const empty_case cases[] = {
        {{{0, "REC", -1, 0, 4}, {1, "FILLER", 0, 0, 4}}, 1, {1260}},
        {{{0, "REC", -1, 0, 4}, {1, "FILLER", 0, 0, 4}, {1, "B", 0, 0, 4}}, 0, {1261}},
        {{{0, "REC", -1, 0, 4}, {1, "FILLER", 0, 0, 4}, {1, "B", 0, 0, 4}}, 1, {}},
        {{{0, "REC", 0, 0, 4}}, 1, {}},  // an elementary record is its own column
    };
    for (const empty_case& c : cases) {
        recorder.clear();
        templ_options.include_redefs = c.include_redefs;
        const def_entry entry = make_entry("T", c.items);
        check_table(entry, columns_included(*entry.fields));
        EXPECT_EQ(recorder.codes(), c.codes);
        if (!c.codes.empty()) {
            EXPECT_EQ(recorder.last().args, (std::vector<std::string>{"T", "REC"}));
        }
    }
}

TEST_F(TableCheckTest, NamesBeyondTheLimitAreRefused) {
    const std::string at(63, 'A'), beyond(64, 'B');
    templ_options.max_name_length = 63;
    for (const auto& [table, column, code] : {std::tuple{at, at, 0}, {beyond, at, 1262}, {at, beyond, 1263}}) {
        recorder.clear();
        const def_entry entry = make_entry(table, {{0, "REC", -1, 0, 4}, {1, column.c_str(), 0, 0, 4}});
        check_table(entry, columns_included(*entry.fields));
        EXPECT_EQ(recorder.codes(), code ? std::vector<uint32_t>{static_cast<uint32_t>(code)} : std::vector<uint32_t>{});
    }
}

}  // namespace
