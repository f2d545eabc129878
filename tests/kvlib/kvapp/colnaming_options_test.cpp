// EXPANDDDL option words: each changes only its own field, a refused word
// stops the command with the earlier words applied, and NOEXPANSION
// switches group-array subscripts off for good.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "kvapp/colnaming.h"
#include "kvstd/memutl.h"

// The record is a plain global type: its operators live beside it for lookup.
static bool operator==(const expand_options_t& a, const expand_options_t& b) {
    return a.style == b.style && a.zero_fill == b.zero_fill &&
           a.expand_group_arrays == b.expand_group_arrays && a.resolve_dups == b.resolve_dups &&
           a.report == b.report && a.omit_redefs == b.omit_redefs &&
           a.fix_long_names == b.fix_long_names && a.max_col_name_len == b.max_col_name_len;
}

static std::ostream& operator<<(std::ostream& os, const expand_options_t& o) {
    return os << "{" << o.style << ", " << o.zero_fill << ", " << o.expand_group_arrays << ", "
              << o.resolve_dups << ", " << o.report << ", " << o.omit_redefs << ", "
              << o.fix_long_names << ", " << o.max_col_name_len << "}";
}

namespace {

const expand_options_t kDefaults{3, 1, 0, 0, 1, 0, 1, 30};

class ExpandOptions : public testing::Test {
protected:
    void SetUp() override {
        if (!expand_options) create_expand_options();
        ASSERT_NE(expand_options, nullptr);
    }
};

TEST(ExpandOptionsRecord, DefaultsOfANewRecord) {
    expand_options_t* saved = expand_options;
    create_expand_options();
    ASSERT_NE(expand_options, nullptr);
    EXPECT_EQ(*expand_options, kDefaults);
    kvFree(expand_options);
    expand_options = saved;
}

TEST_F(ExpandOptions, EachCommandFromTheDefaults) {
    struct Case {
        const char* command;
        int ok;
        const char* error;
        expand_options_t after;
    } cases[] = {
        {"EXPANDDDL", 1, "", kDefaults},
        {"EXPANDDDL USEBRACKETS", 1, "", {1, 1, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL USEUNDERSCORE", 1, "", {2, 1, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL USETWOUNDERSCORES", 1, "", {4, 1, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL USEBRACKETS USEDASH", 1, "", kDefaults},
        {"EXPANDDDL RESOLVEDUPINDEX", 1, "", {3, 1, 0, 1, 1, 0, 1, 30}},
        {"EXPANDDDL RESOLVEDUPALPHAINDEX", 1, "", {3, 1, 0, 2, 1, 0, 1, 30}},
        {"EXPANDDDL RESOLVEDUPGROUP NORESOLVEDUPS", 1, "", kDefaults},
        {"EXPANDDDL RESOLVEDUPGROUP, MAXCOLNAMELEN 18", 1, "", {3, 1, 0, 3, 1, 0, 1, 18}},
        {"EXPANDDDL EXPANDGROUPARRAYS", 1, "", {3, 1, 1, 0, 1, 0, 1, 30}},
        {"EXPANDDDL EXPANDGROUPARRAYS NOEXPANDGROUPARRAYS", 1, "", kDefaults},
        {"EXPANDDDL NOFIXLONGNAMES", 1, "", {3, 1, 0, 0, 1, 0, 0, 30}},
        {"EXPANDDDL NOFIXLONGNAMES FIXLONGNAMES", 1, "", kDefaults},
        {"EXPANDDDL OMITREDEFS", 1, "", {3, 1, 0, 0, 1, 1, 1, 30}},
        {"EXPANDDDL OMITREDEFS INCLUDEREDEFS", 1, "", kDefaults},
        {"expandddl usebrackets,omitredefs", 1, "", {1, 1, 0, 0, 1, 1, 1, 30}},
        {"EXPANDDDL ,, USEBRACKETS ,", 1, "", {1, 1, 0, 0, 1, 0, 1, 30}},
        // ZEROFILL and MAXCOLNAMELEN take the next word.
        {"EXPANDDDL ZEROFILL ARRAYWIDTH", 1, "", {3, -1, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL zerofill arraywidth", 1, "", {3, -1, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL ZEROFILL 3", 1, "", {3, 3, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL ZEROFILL 0", 1, "", {3, 0, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL ZEROFILL 2X", 1, "", {3, 2, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL ZEROFILL X", 1, "", {3, 0, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL ZEROFILL USEBRACKETS", 1, "", {3, 0, 0, 0, 1, 0, 1, 30}},  // value consumed
        {"EXPANDDDL MAXCOLNAMELEN X", 1, "", {3, 1, 0, 0, 1, 0, 1, 0}},
        {"EXPANDDDL MAXCOLNAMELEN -4", 1, "", {3, 1, 0, 0, 1, 0, 1, -4}},
        // Values beyond 32 bits stop at the bound instead of wrapping.
        {"EXPANDDDL MAXCOLNAMELEN 99999999999", 1, "", {3, 1, 0, 0, 1, 0, 1, INT32_MAX}},
        // NOEXPANSION clears group arrays at the end of the words.
        {"EXPANDDDL EXPANDGROUPARRAYS NOEXPANSION", 1, "", {0, 1, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL NOEXPANSION EXPANDGROUPARRAYS", 1, "", {0, 1, 0, 0, 1, 0, 1, 30}},
        // Failures keep what came before the failing word, and skip the
        // end-of-words rule.
        {"EXPANDDDL USEBRACKETS FOO", 0, "invalid option (FOO)", {1, 1, 0, 0, 1, 0, 1, 30}},
        {"EXPANDDDL usedashes", 0, "invalid option (USEDASHES)", kDefaults},
        {"EXPANDDDL NOEXPANSION EXPANDGROUPARRAYS ?", 0, "invalid option (?)",
         {0, 1, 1, 0, 1, 0, 1, 30}},
        {"EXPANDDDL OMITREDEFS ZEROFILL", 0, "missing argument for ZEROFILL",
         {3, 1, 0, 0, 1, 1, 1, 30}},
        {"EXPANDDDL ZEROFILL -2", 0, "missing argument for ZEROFILL", kDefaults},
        {"EXPANDDDL MAXCOLNAMELEN", 0, "missing argument for MAXCOLNAMELEN", kDefaults},
        {"EXPANDDDL MAXCOLNAMELEN, ", 0, "missing argument for MAXCOLNAMELEN", kDefaults},
    };
    for (const Case& c : cases) {
        *expand_options = kDefaults;
        std::string error = "stale";
        EXPECT_EQ(parse_expand_options(error, c.command), c.ok) << c.command;
        EXPECT_EQ(error, c.error) << c.command;
        EXPECT_EQ(*expand_options, c.after) << c.command;
    }
}

TEST_F(ExpandOptions, LaterCommandsChangeOnlyTheirFields) {
    *expand_options = kDefaults;
    std::string error;
    ASSERT_EQ(parse_expand_options(error, "EXPANDDDL EXPANDGROUPARRAYS MAXCOLNAMELEN 18"), 1);
    ASSERT_EQ(parse_expand_options(error, "EXPANDDDL NOEXPANSION"), 1);
    ASSERT_EQ(parse_expand_options(error, "EXPANDDDL USEDASH RESOLVEDUPINDEX"), 1);
    // USEDASH does not bring the group arrays back.
    EXPECT_EQ(*expand_options, (expand_options_t{3, 1, 0, 1, 1, 0, 1, 18}));
}

TEST(ExpandOptionsAbsent, WordsAreStillChecked) {
    expand_options_t* saved = expand_options;
    expand_options = nullptr;
    std::string error;
    EXPECT_EQ(parse_expand_options(error, "EXPANDDDL USEBRACKETS"), 1);
    EXPECT_EQ(parse_expand_options(error, "EXPANDDDL BAD"), 0);
    EXPECT_EQ(error, "invalid option (BAD)");
    EXPECT_EQ(expand_options, nullptr);
    expand_options = saved;
}

}  // namespace
