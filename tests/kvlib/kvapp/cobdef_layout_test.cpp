// Record layout: level checks, depths, group lengths and offsets.
#include <gtest/gtest.h>

#include <tuple>

#include "cobdef_testing.h"
#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"

namespace {

// A field costs memory a million times over in large records: the level
// number and the depth share what was padding, and nothing may grow it.
static_assert(sizeof(column_entry) <= 48 + sizeof(std::string));

struct built {
    int ok = 0;
    std::string error;
    cobol_def def;
};

// Parses and appends each entry, then closes the record.
built build(const std::vector<const char*>& entries) {
    built b;
    for (const char* text : entries) {
        column_entry e;
        int is_field = 0;
        if (!CD_parse_field(b.error, text, b.def, e, is_field)) {
            ADD_FAILURE() << text << ": " << b.error;
            return b;
        }
        if (!is_field) continue;
        if (!CD_add_field(b.error, b.def, e)) return b;
    }
    b.ok = CD_close_record(b.error, b.def);
    return b;
}

struct expected_field {
    const char* name;
    int depth;
    int32_t offset;
    int32_t length;
};

void expect_layout(const built& b, std::initializer_list<expected_field> fields) {
    ASSERT_EQ(b.ok, 1) << b.error;
    ASSERT_EQ(b.def.field_count, static_cast<int32_t>(fields.size()));
    ASSERT_EQ(b.def.fields->size(), fields.size());
    size_t i = 0;
    for (const expected_field& x : fields) {
        const column_entry& f = (*b.def.fields)[i++];
        EXPECT_EQ(f.name, x.name);
        EXPECT_EQ(f.depth, x.depth) << x.name;
        EXPECT_EQ(f.fetch_offset, x.offset) << x.name;
        EXPECT_EQ(f.int_len, x.length) << x.name;
        if (!f.elementary) {
            EXPECT_EQ(f.bin_len, x.length) << x.name;
            EXPECT_EQ(f.tbl_len, x.length) << x.name;
            EXPECT_EQ(f.ext_len, x.length) << x.name;
        }
    }
    EXPECT_EQ(b.def.def_name, fields.begin()->name);
}

TEST(Layout, SiblingsFollowEachOther) {
    expect_layout(build({"01 R", "05 A PIC X(10)", "05 B PIC 9(5)"}),
                  {{"R", 0, 0, 15}, {"A", 1, 0, 10}, {"B", 1, 10, 5}});
}

TEST(Layout, RedefinitionSharesTheRedefinedOffset) {
    expect_layout(build({"01 R", "05 A PIC X(10)", "05 B REDEFINES A PIC 9(10)", "05 C PIC X(2)"}),
                  {{"R", 0, 0, 12}, {"A", 1, 0, 10}, {"B", 1, 0, 10}, {"C", 1, 10, 2}});
    // A redefining group lays out its own subordinates from there, and
    // several fields may redefine the same one.
    expect_layout(build({"01 R", "05 X PIC X", "05 A PIC X(4)", "05 B REDEFINES A", "10 B1 PIC X(2)",
                         "10 B2 PIC X(2)", "05 C REDEFINES A PIC 9(3)", "05 D PIC X"}),
                  {{"R", 0, 0, 6}, {"X", 1, 0, 1}, {"A", 1, 1, 4}, {"B", 1, 1, 4}, {"B1", 2, 1, 2},
                   {"B2", 2, 3, 2}, {"C", 1, 1, 3}, {"D", 1, 5, 1}});
}

TEST(Layout, LongerRedefinitionKeepsItsBytes) {
    // Later fields must not overlap the redefinition's tail.
    expect_layout(build({"01 R", "05 A PIC X(2)", "05 B REDEFINES A PIC X(6)", "05 C PIC X"}),
                  {{"R", 0, 0, 7}, {"A", 1, 0, 2}, {"B", 1, 0, 6}, {"C", 1, 6, 1}});
}

TEST(Layout, OccursGroupHoldsOneOccurrence) {
    const built b = build({"01 R", "05 T OCCURS 3", "10 X PIC X(2)", "10 Y PIC 9(3) COMP-3", "05 Z PIC X"});
    expect_layout(b, {{"R", 0, 0, 13}, {"T", 1, 0, 4}, {"X", 2, 0, 2}, {"Y", 2, 2, 2}, {"Z", 1, 12, 1}});
    EXPECT_EQ(cobdef_testing::field(b.def, 1).occurs, 3);
}

TEST(Layout, Display2ItemsStoreTheirLengthPrefix) {
    const built b = build({"01 R", "05 V PIC X(10) DISPLAY-2", "05 N PIC X"});
    expect_layout(b, {{"R", 0, 0, 13}, {"V", 1, 0, 10}, {"N", 1, 12, 1}});
    EXPECT_EQ(cobdef_testing::field(b.def, 1).ext_len, 12);
}

TEST(Layout, ElementaryRecordStandsAlone) {
    expect_layout(build({"01 R PIC X(80)"}), {{"R", 0, 0, 80}});
}

TEST(Layout, DepthsFollowNesting) {
    expect_layout(build({"01 R", "05 G", "10 H", "15 A PIC X"}),
                  {{"R", 0, 0, 1}, {"G", 1, 0, 1}, {"H", 2, 0, 1}, {"A", 3, 0, 1}});
    // Level numbers need not be evenly spaced.
    expect_layout(build({"01 R", "02 A", "07 A1 PIC X", "07 A2 PIC XX", "02 B PIC X", "02 C PIC X"}),
                  {{"R", 0, 0, 5}, {"A", 1, 0, 3}, {"A1", 2, 0, 1}, {"A2", 2, 1, 2}, {"B", 1, 3, 1},
                   {"C", 1, 4, 1}});
}

TEST(Layout, OffsetsBeyondSixteenBits) {
    expect_layout(build({"01 R", "05 F PIC X(3000) OCCURS 11", "05 G", "10 H PIC X(5)", "10 I PIC X"}),
                  {{"R", 0, 0, 33006}, {"F", 1, 0, 3000}, {"G", 1, 33000, 6}, {"H", 2, 33000, 5},
                   {"I", 2, 33005, 1}});
}

TEST(Layout, NestedOccursAreNotUnrolled) {
    const built b = build({"01 R", "05 A OCCURS 3999", "10 B OCCURS 3999", "15 C PIC X(100)", "05 D PIC X"});
    expect_layout(b, {{"R", 0, 0, 1599200101}, {"A", 1, 0, 399900}, {"B", 2, 0, 100}, {"C", 3, 0, 100},
                      {"D", 1, 1599200100, 1}});
}

TEST(Layout, RecordsBeyondTheLimitAreRefused) {
    const char* message = "Record R is too large (more than 2147483647 bytes)";
    built b = build({"01 R", "05 A OCCURS 3999", "10 B OCCURS 3999", "15 C PIC X(200)"});
    EXPECT_EQ(b.ok, 0);
    EXPECT_EQ(b.error, message);
    b = build({"01 R", "05 A OCCURS 3999", "10 B OCCURS 3999", "15 C OCCURS 3999", "20 D OCCURS 3999",
               "25 E PIC X(3999) OCCURS 3999"});
    EXPECT_EQ(b.ok, 0);
    EXPECT_EQ(b.error, message);
    // The sum of siblings counts as well as their nesting.
    b = build({"01 R", "05 A OCCURS 3999", "10 A1 PIC X(100) OCCURS 3999", "05 B OCCURS 3999",
               "10 B1 PIC X(100) OCCURS 3999"});
    EXPECT_EQ(b.ok, 0);
    EXPECT_EQ(b.error, message);
}

struct level_error {
    std::vector<const char*> entries;
    const char* error;
};

TEST(Layout, LevelAndGroupErrors) {
    const level_error cases[] = {
        {{"05 A PIC X", "10 B PIC X"}, "Field is not part of group (B)"},
        {{"01 R", "05 A PIC X", "10 G", "15 B PIC X"}, "Field is not part of group (G)"},
        {{"01 R"}, "Group R did not have elementary items"},
        {{"01 R", "05 A PIC X", "05 G"}, "Group G did not have elementary items"},
        {{"01 R", "05 G", "05 A PIC X"}, "Group G did not have elementary items"},
    };
    for (const level_error& c : cases) {
        const built b = build(c.entries);
        EXPECT_EQ(b.ok, 0) << c.error;
        EXPECT_EQ(b.error, c.error);
    }
}

// A level number below its preceding sibling's but above its parent's
// makes a sibling, as compilers take it.
TEST(Layout, UnevenLevelNumbersMakeSiblings) {
    built b = build({"01 R", "05 A PIC X", "03 B PIC X(2)", "03 C PIC X(3)"});
    ASSERT_EQ(b.ok, 1) << b.error;
    const int16_t depths[] = {0, 1, 1, 1};
    const int32_t offsets[] = {0, 0, 1, 3};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ((*b.def.fields)[i].depth, depths[i]) << i;
        EXPECT_EQ((*b.def.fields)[i].fetch_offset, offsets[i]) << i;
    }
    b = build({"01 R", "05 G", "10 A PIC X", "07 B PIC X", "05 H PIC X"});
    ASSERT_EQ(b.ok, 1) << b.error;
    EXPECT_EQ((*b.def.fields)[3].depth, 2);
    EXPECT_EQ((*b.def.fields)[1].int_len, 2);
    EXPECT_EQ((*b.def.fields)[4].fetch_offset, 2);
}

TEST(Layout, AppendRefusesLevelsOutsideTheRecord) {
    cobol_def def;
    std::string error;
    column_entry first;
    first.name = "A";
    first.level_number = 5;
    first.elementary = 0;
    ASSERT_EQ(CD_add_field(error, def, first), 1);
    column_entry sibling = first;
    sibling.name.assign(1, 'B');  // not = "B": a false -Wrestrict of g++ 12
    EXPECT_EQ(CD_add_field(error, def, sibling), 0);
    EXPECT_EQ(error, "Invalid level for field (B)");
    EXPECT_EQ(def.field_count, 1);
}

TEST(Layout, CopiesShareTheirFields) {
    built b = build({"01 R", "05 A PIC X"});
    ASSERT_EQ(b.ok, 1);
    def_entry copy = b.def;
    copy.table_name = "T1";
    (*copy.fields)[1].key_column = 1;
    EXPECT_EQ((*b.def.fields)[1].key_column, 1);
    EXPECT_TRUE(b.def.table_name.empty());
}

// SYNCHRONIZED items as IBM COBOL aligns them, offsets worked out by hand
// from its rules: binary, float, pointer and index items on boundaries of
// their size counted from the record's start, the slack bytes before the
// item or before the group it begins, and slack at the end of each
// occurrence of a table so that every occurrence is aligned as the first.
struct sync_case {
    const char* name;
    const char* copybook;
    std::vector<expected_field> fields;
    // (field index, slack before, slack after)
    std::vector<std::tuple<size_t, int32_t, int32_t>> slack;
};

void PrintTo(const sync_case& c, std::ostream* os) { *os << c.name; }

class Sync : public testing::TestWithParam<sync_case> {};

TEST_P(Sync, AlignsWithSlackBytes) {
    const sync_case& c = GetParam();
    const cobdef_testing::read_result r = cobdef_testing::read_text(c.copybook, "IBM");
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 1u);
    const cobol_def& def = r.defs[0];
    ASSERT_EQ(def.fields->size(), c.fields.size());
    for (size_t i = 0; i < c.fields.size(); ++i) {
        const column_entry& f = (*def.fields)[i];
        EXPECT_EQ(f.name, c.fields[i].name);
        EXPECT_EQ(f.fetch_offset, c.fields[i].offset) << f.name;
        EXPECT_EQ(f.int_len, c.fields[i].length) << f.name;
    }
    std::vector<std::tuple<size_t, int32_t, int32_t>> slack;
    for (size_t i = 0; i < def.fields->size(); ++i) {
        const cd_entry_text& t = (*def.texts)[static_cast<size_t>((*def.fields)[i].text)];
        if (t.slack_before || t.slack_after) slack.emplace_back(i, t.slack_before, t.slack_after);
    }
    EXPECT_EQ(slack, c.slack);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, Sync,
    testing::Values(
        sync_case{"halfword_fullword_doubleword",
                  "01 R.\n 05 A PIC X.\n 05 B PIC S9(4) COMP SYNC.\n 05 C PIC X.\n 05 D PIC S9(9) BINARY SYNC.\n"
                  " 05 E PIC X.\n 05 F PIC S9(12) COMP SYNC.\n 05 G PIC X.\n",
                  {{"R", 0, 0, 25}, {"A", 1, 0, 1}, {"B", 1, 2, 2}, {"C", 1, 4, 1}, {"D", 1, 8, 4},
                   {"E", 1, 12, 1}, {"F", 1, 16, 8}, {"G", 1, 24, 1}},
                  {{2, 1, 0}, {4, 3, 0}, {6, 3, 0}}},
        // Floats, pointers and indexes too; display and packed items never.
        sync_case{"other_usages",
                  "01 R.\n 05 A PIC X.\n 05 B COMP-1 SYNC.\n 05 C PIC X.\n 05 D COMP-2 SYNC.\n 05 E PIC X.\n"
                  " 05 F POINTER SYNC.\n 05 G PIC X.\n 05 H INDEX SYNC.\n 05 I PIC X.\n 05 J PIC S9(3) COMP-3 SYNC.\n"
                  " 05 K PIC X(3) SYNC.\n",
                  {{"R", 0, 0, 46}, {"A", 1, 0, 1}, {"B", 1, 4, 4}, {"C", 1, 8, 1}, {"D", 1, 16, 8},
                   {"E", 1, 24, 1}, {"F", 1, 28, 4}, {"G", 1, 32, 1}, {"H", 1, 36, 4}, {"I", 1, 40, 1},
                   {"J", 1, 41, 2}, {"K", 1, 43, 3}},
                  {{2, 3, 0}, {4, 7, 0}, {6, 3, 0}, {8, 3, 0}}},
        // A group that begins with a SYNC item moves whole: the slack lies
        // before it, in its parent.
        sync_case{"group_moves",
                  "01 R.\n 05 M PIC X(5).\n 05 N PIC XX.\n 05 O.\n 10 P PIC S9(6) COMP SYNC.\n 05 Q PIC X.\n",
                  {{"R", 0, 0, 13}, {"M", 1, 0, 5}, {"N", 1, 5, 2}, {"O", 1, 8, 4}, {"P", 2, 8, 4}, {"Q", 1, 12, 1}},
                  {{3, 1, 0}}},
        sync_case{"inside_a_group",
                  "01 R.\n 05 B PIC X(5).\n 05 C.\n 10 D PIC XX.\n 10 E PIC S9(6) COMP SYNC.\n",
                  {{"R", 0, 0, 12}, {"B", 1, 0, 5}, {"C", 1, 5, 7}, {"D", 2, 5, 2}, {"E", 2, 8, 4}},
                  {{4, 1, 0}}},
        // A table: slack inside the first occurrence, then at the end of
        // each occurrence up to the largest boundary in it.
        sync_case{"table",
                  "01 R.\n 05 W PIC X.\n 05 T OCCURS 10 TIMES.\n 10 T1 PIC X.\n 10 T2 PIC S9(4)V99 COMP SYNC.\n"
                  " 10 T3 PIC S9(3) COMP SYNC.\n 10 T4 PIC X(5).\n 05 Z PIC X.\n",
                  {{"R", 0, 0, 162}, {"W", 1, 0, 1}, {"T", 1, 1, 16}, {"T1", 2, 1, 1}, {"T2", 2, 4, 4},
                   {"T3", 2, 8, 2}, {"T4", 2, 10, 5}, {"Z", 1, 161, 1}},
                  {{2, 0, 2}, {4, 2, 0}}},
        // SYNC on a level-01 group synchronizes every item in it.
        sync_case{"record_sync",
                  "01 R SYNC.\n 05 A PIC X.\n 05 B PIC S9(4) COMP.\n 05 C COMP-2.\n",
                  {{"R", 0, 0, 16}, {"A", 1, 0, 1}, {"B", 1, 2, 2}, {"C", 1, 8, 8}},
                  {{2, 1, 0}, {3, 4, 0}}},
        // A redefinition starts where what it redefines starts.
        sync_case{"redefinition_stays",
                  "01 R.\n 05 A PIC X(3).\n 05 B PIC X(4).\n 05 C REDEFINES B PIC S9(9) COMP SYNC.\n",
                  {{"R", 0, 0, 7}, {"A", 1, 0, 3}, {"B", 1, 3, 4}, {"C", 1, 3, 4}},
                  {}}));

// The tabcopy dialect aligns as well: SYNC describes the data whatever
// the sizes.
TEST(Layout, SyncAlignsInTheTabcopyDialect) {
    const cobdef_testing::read_result r =
        cobdef_testing::read_text("01 R.\n 05 A PIC X.\n 05 B PIC S9(9) COMP-4 SYNC.\n");
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(cobdef_testing::field(r.defs[0], 2).fetch_offset, 2);
    EXPECT_EQ(cobdef_testing::field(r.defs[0], 0).int_len, 4);
}

}  // namespace
