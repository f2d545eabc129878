#include "kvstd/strutl.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "kvstd/memutl.h"

namespace {

struct TextCase {
    const char* input;
    const char* expected;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.input; }

class UpshiftTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(UpshiftTest, UpperCasesOutsideQuotesOnly) {
    std::string buffer = GetParam().input;
    EXPECT_STREQ(kvUpshiftNotQuoted(buffer.data()), GetParam().expected);
    std::string text = GetParam().input;
    kvUpshiftNotQuoted(text);
    EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpshiftTest,
    ::testing::Values(TextCase{"file cust, 'mixed Case'", "FILE CUST, 'mixed Case'"},
                      TextCase{"pre'Quoted Part'post", "PRE'Quoted Part'POST"},
                      TextCase{"obey 'Unmatched rest, to end", "OBEY 'Unmatched rest, to end"},
                      TextCase{"say \"it's Fine\" done", "SAY \"it's Fine\" DONE"},
                      TextCase{"a'b\"c'd\"e f\"g", "A'b\"c'D\"e f\"G"},
                      TextCase{"a\tb '\tx'", "A B '\tx'"},
                      TextCase{"\tlead,tail\t", " LEAD,TAIL "},
                      TextCase{"''x\"\"", "''X\"\""}, TextCase{"", ""}));

class TrimTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TrimTest, DropsTrailingBlanksButNeverTheFirstChar) {
    std::string buffer = GetParam().input;
    EXPECT_STREQ(kvTrimTrailing(buffer.data()), GetParam().expected);
    std::string text = GetParam().input;
    kvTrimTrailing(text);
    EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrimTest,
                         ::testing::Values(TextCase{"   ", " "}, TextCase{"abc \n", "abc"},
                                           TextCase{"\n\n", "\n"}, TextCase{"a\t", "a\t"},
                                           TextCase{"a b \n \n", "a b"}, TextCase{"", ""}));

TEST(StripLastOfTest, RemovesOneFinalCharOfTheSet) {
    char two[] = "ab\n\n";
    EXPECT_TRUE(kvStripLastOf("\n", two));
    EXPECT_STREQ(two, "ab\n");
    char none[] = "ab";
    char empty[] = "";
    EXPECT_FALSE(kvStripLastOf("\n,", none) || kvStripLastOf("", none) || kvStripLastOf("\n", empty));
    EXPECT_STREQ(none, "ab");
    std::string text = "x,;";
    EXPECT_TRUE(kvStripLastOf(",;", text));
    EXPECT_EQ(text, "x,");
    EXPECT_FALSE(kvStripLastOf("", text));
}

TEST(ReplaceLeadingTest, ResultMayNotExceedTheLimit) {
    const std::string original(250, 'a');
    char buffer[256];
    std::memcpy(buffer, original.c_str(), original.size() + 1);
    EXPECT_EQ(kvReplaceLeading(buffer, 255, 4, "0123456789", 10), nullptr);
    EXPECT_EQ(std::string(buffer), original);
    EXPECT_EQ(kvReplaceLeading(buffer, 255, 4, "0123456789", 9), buffer);
    EXPECT_EQ(std::string(buffer), "012345678" + std::string(246, 'a'));
    EXPECT_EQ(kvReplaceLeading(nullptr, 255, 0, "x", 1), nullptr);
}

TEST(ReplaceLeadingTest, ShrinksGrowsAndHandlesCountsBeyondTheText) {
    char buffer[16] = "?VAR rest";
    EXPECT_STREQ(kvReplaceLeading(buffer, 15, 4, "value", 5), "value rest");
    EXPECT_STREQ(kvReplaceLeading(buffer, 15, 6, "", 0), "rest");
    EXPECT_STREQ(kvReplaceLeading(buffer, 15, 99, "all new", 7), "all new");
}

TEST(StrnDupTest, CopiesAtMostNChars) {
    char* copy = nullptr;
    EXPECT_EQ(kvStrnDup(3, &copy, "abcdef"), copy);
    EXPECT_STREQ(copy, "abc");
    kvFree(copy);
    EXPECT_STREQ(kvStrnDup(5, &copy, "ab"), "ab");
    kvFree(copy);
    EXPECT_EQ(kvStrnDup(-1, &copy, "ab"), nullptr);
    EXPECT_EQ(copy, nullptr);
}

TEST(UInt64ToTextTest, ExtremesAndPowersOfTen) {
    const struct {
        uint64_t value;
        const char* text;
    } cases[] = {{0, "0"}, {7, "7"}, {10, "10"}, {UINT64_MAX, "18446744073709551615"}};
    for (const auto& c : cases) {
        char buffer[21];
        EXPECT_EQ(kvUInt64ToText(c.value, buffer), static_cast<int>(std::strlen(c.text)));
        EXPECT_STREQ(buffer, c.text);
    }
}

TEST(CompareNoCaseTest, EqualityIgnoresCaseOnly) {
    EXPECT_EQ(kvStrCmpNoCase("keycols", "KEYCOLS"), 0);
    EXPECT_NE(kvStrCmpNoCase("keycol", "KEYCOLS"), 0);
    EXPECT_EQ(kvStrnCmpNoCase("FileX", "fileY", 4), 0);
    EXPECT_NE(kvStrnCmpNoCase("file", "files", 5), 0);
    EXPECT_EQ(kvStrnCmpNoCase("file", "FILE", 9), 0);
}

TEST(UpshiftedTest, EveryByteQuotedOrNot) {
    EXPECT_EQ(kvUpshifted("ab 'cd' \"e-f\"\t9z"), "AB 'CD' \"E-F\"\t9Z");
    EXPECT_EQ(kvUpshifted(std::string("a\0b\xe9", 4)), std::string("A\0B\xe9", 4));
}

// Lengths around the first attempt's buffer, the text already in the
// string kept, and NUL characters from %c written like any other.
TEST(AppendfTest, WholeTextAppendedAtAnyLength) {
    for (const size_t n : {0u, 1u, 254u, 255u, 256u, 257u, 5000u}) {
        std::string out = "head:";
        kvAppendf(out, "%s|%c|%d", std::string(n, 'x').c_str(), 0, 42);
        EXPECT_EQ(out, "head:" + std::string(n, 'x') + "|" + std::string(1, '\0') + "|42") << n;
    }
}

}  // namespace
