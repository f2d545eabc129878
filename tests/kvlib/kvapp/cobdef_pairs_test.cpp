// DB2 level-49 pairs: the exact shape becomes one VARCHAR item when the
// record closes; every near miss keeps its group and subordinates.
#include <gtest/gtest.h>

#include "cobdef_testing.h"
#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"

using namespace cobdef_testing;

namespace {

// A record of a field before and after the group, so that offsets on both
// sides are checked.
cobol_def read_record(const std::string& group, bool ibm) {
    const std::string text = "01 R.\n 05 HEAD PIC X(3).\n" + group + "\n 05 TAIL PIC X(2).\n";
    const std::string path = write_scratch("pair.cpy", text);
    const read_result r = read_command("COBOLDEFSFILE " + path + (ibm ? " IBM" : ""));
    EXPECT_EQ(r.ok, 1) << r.error;
    return r.ok && r.defs.size() == 1 ? r.defs[0] : cobol_def{};
}

struct pair_case {
    const char* group;
    bool ibm;
    int32_t n;       // text length
    uint8_t usage;   // CD_USAGE_VARCHAR49 or CD_USAGE_NATIVE_VARCHAR49
    uint8_t sign;
    int32_t occurs;
};

void PrintTo(const pair_case& c, std::ostream* os) { *os << c.group; }

class Pairs : public testing::TestWithParam<pair_case> {};

TEST_P(Pairs, BecomeOneVarcharItem) {
    const pair_case& c = GetParam();
    const cobol_def def = read_record(c.group, c.ibm);
    ASSERT_TRUE(def.fields);
    ASSERT_EQ(def.fields->size(), 4u);
    EXPECT_EQ(def.field_count, 4);
    const column_entry& v = field(def, 2);
    EXPECT_TRUE(v.name == "V" && v.elementary && v.level_number == 5 && v.depth == 1);
    EXPECT_EQ(v.data_type, CD_TYPE_VARCHAR);
    EXPECT_EQ(v.usage, c.usage);
    EXPECT_EQ(v.sign, c.sign);
    EXPECT_EQ(v.fetch_offset, 3);
    EXPECT_EQ(v.int_len, c.n);
    EXPECT_EQ(v.bin_len, c.n);
    EXPECT_EQ(v.ext_len, c.n + 2);
    EXPECT_EQ(v.occurs, c.occurs);
    // The group's own entry text stays the item's: its level and name.
    ASSERT_GE(v.text, 0);
    EXPECT_EQ((*def.texts)[static_cast<size_t>(v.text)].name, "V");
    EXPECT_EQ(field(def, 3).fetch_offset, 3 + c.occurs * (c.n + 2));
    EXPECT_EQ(field(def, 0).int_len, 3 + c.occurs * (c.n + 2) + 2);
}

INSTANTIATE_TEST_SUITE_P(
    ExactShape, Pairs,
    testing::Values(
        pair_case{" 05 V.\n 49 V-LEN PIC S9(4) USAGE COMP.\n 49 V-TEXT PIC X(15).", false, 15,
                  CD_USAGE_VARCHAR49, CD_SIGN_COMPLEMENT, 1},
        pair_case{" 05 V.\n 49 V-LEN PIC S9(4) BINARY.\n 49 V-TEXT PIC XXX.", false, 3, CD_USAGE_VARCHAR49,
                  CD_SIGN_COMPLEMENT, 1},
        pair_case{" 05 V.\n 49 V-LEN PIC 9(4) COMP-4.\n 49 V-TEXT PIC A(4).", false, 4, CD_USAGE_VARCHAR49,
                  CD_SIGN_NONE, 1},
        pair_case{" 05 V.\n 49 V-LEN PIC S9(4) COMP-5.\n 49 V-TEXT PIC X(2)X(3).", true, 5,
                  CD_USAGE_NATIVE_VARCHAR49, CD_SIGN_COMPLEMENT, 1},
        pair_case{" 05 V.\n 49 V-LEN PIC S9(4) NATIVE-2.\n 49 V-TEXT PIC X.", false, 1,
                  CD_USAGE_NATIVE_VARCHAR49, CD_SIGN_COMPLEMENT, 1},
        // The pair group itself may repeat: each occurrence is a VARCHAR.
        pair_case{" 05 V OCCURS 3.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-TEXT PIC X(4).", false, 4,
                  CD_USAGE_VARCHAR49, CD_SIGN_COMPLEMENT, 3},
        // A condition name describes no storage: the pair is still two items.
        pair_case{" 05 V OCCURS 2.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-TEXT PIC X(4).\n 88 V-NONE VALUE SPACES.",
                  false, 4, CD_USAGE_VARCHAR49, CD_SIGN_COMPLEMENT, 2}));

// Groups of level-49 items that are not exactly a pair keep every field.
TEST(Pairs, NearMissesStayAsWritten) {
    for (const char* group : {
             " 05 V.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-NUM PIC 9(4).",
             " 05 V.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-TEXT PIC X(4) DISPLAY-2.",
             " 05 V.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-TEXT PIC X(2)BX.",
             " 05 V.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-TEXT PIC N(4).",
             " 05 V.\n 49 V-LEN PIC S9(9) COMP.\n 49 V-TEXT PIC X(4).",
             " 05 V.\n 49 V-LEN PIC S9(3)V9 COMP.\n 49 V-TEXT PIC X(4).",
             " 05 V.\n 49 V-LEN PIC 99PP COMP.\n 49 V-TEXT PIC X(4).",
             " 05 V.\n 49 V-LEN PIC S9(4) COMP-3.\n 49 V-TEXT PIC X(4).",
             " 05 V.\n 49 V-LEN PIC S9(4).\n 49 V-TEXT PIC X(4).",
             // COMP-5 takes 4 bytes in the tabcopy dialect.
             " 05 V.\n 49 V-LEN PIC S9(4) COMP-5.\n 49 V-TEXT PIC X(4).",
             " 05 V.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-TEXT PIC X(4).\n 49 V-MORE PIC X.",
             " 05 V.\n 49 V-TEXT PIC X(4).\n 49 V-LEN PIC S9(4) COMP.",
             " 05 V.\n 10 V-LEN PIC S9(4) COMP.\n 10 V-TEXT PIC X(4).",
             " 05 V.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-TEXT PIC X OCCURS 4.",
             " 05 V.\n 49 V-LEN PIC S9(4) COMP OCCURS 2.\n 49 V-TEXT PIC X(4).",
             " 05 V.\n 49 V-LEN PIC S9(4) COMP.\n 49 V-TEXT REDEFINES V-LEN PIC X(2).",
             // Slack bytes after each occurrence: the group is longer than
             // a length and its text.
             " 05 V OCCURS 2.\n 49 V-LEN PIC S9(4) COMP SYNC.\n 49 V-TEXT PIC X(3).",
         }) {
        const cobol_def def = read_record(group, false);
        ASSERT_TRUE(def.fields) << group;
        EXPECT_GT(def.fields->size(), 4u) << group;
        EXPECT_FALSE(field(def, 2).elementary) << group;
        for (const column_entry& c : *def.fields)
            EXPECT_TRUE(c.usage != CD_USAGE_VARCHAR49 && c.usage != CD_USAGE_NATIVE_VARCHAR49) << group;
    }
}

// Indexes of what later fields redefine follow the fields that moved up.
TEST(Pairs, RedefinitionsFollowTheFieldsThatMoved) {
    const cobol_def def = read_record(
        " 05 P.\n 49 P-LEN PIC S9(4) COMP.\n 49 P-TEXT PIC X(4).\n"
        " 05 P-ALL REDEFINES P PIC X(6).\n"
        " 05 Q.\n 49 Q-LEN PIC S9(4) COMP.\n 49 Q-TEXT PIC X(2).\n"
        " 05 A PIC X(4).\n 05 B REDEFINES A PIC 9(4).\n"
        " 05 C.\n 49 C-LEN PIC S9(4) COMP.\n 49 C-TEXT PIC X(1).\n 05 D REDEFINES C PIC X(3).",
        false);
    ASSERT_TRUE(def.fields);
    const std::vector<const char*> names = {"R", "HEAD", "P", "P-ALL", "Q", "A", "B", "C", "D", "TAIL"};
    const std::vector<int32_t> offsets = {0, 0, 3, 3, 9, 13, 13, 17, 17, 20};
    const std::vector<const char*> redefined = {"", "", "", "P", "", "", "A", "", "C", ""};
    ASSERT_EQ(def.fields->size(), names.size());
    const std::vector<int32_t> positional = CD_redefinitions(*def.fields);
    for (size_t i = 0; i < names.size(); ++i) {
        const column_entry& c = field(def, i);
        EXPECT_EQ(c.name, names[i]);
        EXPECT_EQ(c.fetch_offset, offsets[i]) << names[i];
        const int32_t r = c.redefines_before_naming;
        EXPECT_EQ(r ? field(def, static_cast<size_t>(r)).name : "", redefined[i]) << names[i];
        EXPECT_EQ(positional[i], r) << names[i];
    }
    EXPECT_EQ(field(def, 0).int_len, 22);
}

// A SYNCHRONIZED length moves its group: the item keeps the group's place
// and the slack bytes before it.
TEST(Pairs, KeepTheSlackOfTheirGroup) {
    const cobol_def def = read_record(" 05 V.\n 49 V-LEN PIC S9(4) COMP SYNC.\n 49 V-TEXT PIC X(4).", false);
    ASSERT_TRUE(def.fields);
    ASSERT_EQ(def.fields->size(), 4u);
    const column_entry& v = field(def, 2);
    EXPECT_EQ(v.usage, CD_USAGE_VARCHAR49);
    EXPECT_EQ(v.fetch_offset, 4);
    EXPECT_TRUE(v.sync);
    EXPECT_EQ((*def.texts)[static_cast<size_t>(v.text)].slack_before, 1);
    EXPECT_EQ(field(def, 3).fetch_offset, 10);
}

}  // namespace
