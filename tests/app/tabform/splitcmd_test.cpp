// tabcopy SPLIT's words as an operator writes them: amounts with and
// without K, M and G, the refusals that name the word, and the file that
// cannot be split.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tabform/tabform_testing.h"
#include "message_recorder.h"
#include "tabform/splitcmd.h"

using namespace tabform_testing;

namespace {

std::vector<std::string> split_words(const std::string& file, const std::string& rest) {
    std::vector<std::string> words = words_of(rest);
    words.insert(words.begin(), file);
    return words;
}

struct refused_case {
    const char* words;  // after the data file
    const char* error;  // a part of the reason the message gives
};

TEST(SplitCommand, RefusesWordsItCannotUse) {
    const refused_case cases[] = {
        {"COUNT 3", "FIXED records are cut by their length: give LRECL"},
        {"LRECL 80 COUNT 2 SIZE 1K", "give COUNT or SIZE, not both"},
        {"LRECL 80 SIZE 10KB", "SIZE 10KB is not valid; it takes a size in bytes, or with K, M or G"},
        {"LRECL 80 SIZE 0", "SIZE 0 is not valid"},
        {"LRECL 80 SIZE 9000000000G", "SIZE 9000000000G is not valid"},  // beyond 63 bits
        {"LRECL 80 COUNT 2K", "COUNT 2K is not valid; it takes the number of splits"},
        {"LRECL 80 COUNT -1", "COUNT -1 is not valid"},
        {"LRECL", "LRECL needs a value"},
        {"FRAMING RDW", "FRAMING RDW is not valid; the framings are FIXED, V, VB and LINE"},
        {"LRECL 80 PARTS 2", "unknown word PARTS; the words are FRAMING, LRECL, COUNT and SIZE"},
    };
    const std::string file = write_scratch("split.dat", std::string(160, 'x'));
    for (const refused_case& c : cases) {
        MessageRecorder recorder;
        EXPECT_EQ(split_command(split_words(file, c.words)), 12) << c.words;
        ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1247}) << c.words;
        EXPECT_EQ(recorder.last().args.at(0), "SPLIT");
        EXPECT_NE(recorder.last().args.at(1).find(c.error), std::string::npos) << recorder.last().args.at(1);
    }
}

TEST(SplitCommand, AFileItsFramingDoesNotFitIsNamed) {
    // 170 bytes are no whole number of 80-byte records: nothing is listed.
    const std::string file = write_scratch("cut.dat", std::string(170, 'x'));
    MessageRecorder recorder;
    EXPECT_EQ(split_command(split_words(file, "framing fixed lrecl 80 size 1k")), 12);
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1313});
    EXPECT_EQ(recorder.last().args.at(0), file);
    MessageRecorder missing;
    EXPECT_EQ(split_command(split_words(file + ".gone", "LRECL 80")), 12);
    EXPECT_EQ(missing.codes(), std::vector<uint32_t>{1313});
    MessageRecorder nothing;
    EXPECT_EQ(split_command({}), 12);
    EXPECT_EQ(nothing.codes(), std::vector<uint32_t>{1312});
}

}  // namespace
