// Data options as an operator writes them: each word's values and bounds,
// the refusals that must name the option, parts of a file and their
// record numbers, and the decoder defaults a code page implies.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/tabform/tabform_testing.h"
#include "kvstd/codepage.h"
#include "tabform/dataopts.h"

using tabform_testing::words_of;

namespace {

struct accepted_case {
    const char* words;
    std::function<bool(const data_options&)> holds;
};

void PrintTo(const accepted_case& c, std::ostream* os) { *os << c.words; }

class DataOptionsAccepted : public testing::TestWithParam<accepted_case> {};

TEST_P(DataOptionsAccepted, ReadsEveryWordAndTheValueItNames) {
    const std::vector<std::string> words = words_of(GetParam().words);
    size_t at = 0;
    data_options options;
    std::string error;
    ASSERT_TRUE(read_data_options(error, words, at, options)) << error;
    EXPECT_EQ(at, words.size());
    EXPECT_TRUE(GetParam().holds(options));
}

// Words and values are case-insensitive; file names are kept as written.
INSTANTIATE_TEST_SUITE_P(
    Words, DataOptionsAccepted,
    testing::Values(
        accepted_case{"", [](const data_options& o) { return o.framing == rf_framing::fixed && o.codepage == "037"; }},
        accepted_case{"framing vb lrecl 2147483647",
                      [](const data_options& o) { return o.framing == rf_framing::vb && o.lrecl == 2147483647; }},
        accepted_case{"ROWS Out/Rows.CSV REJECTS r.bin REJECTLOG r.log",
                      [](const data_options& o) {
                          return o.rows == "Out/Rows.CSV" && o.rejects == "r.bin" && o.reject_log == "r.log";
                      }},
        accepted_case{"ONERROR null EMPTY zero SPACES keep OVERPUNCH zone7",
                      [](const data_options& o) {
                          return o.on_error == dp_on_error::null && o.empty == dp_empty_numeric::zero &&
                                 o.keep_spaces && o.overpunch == dp_overpunch::zone7;
                      }},
        accepted_case{"BYTEORDER LITTLE FLOAT IEEE-BE",
                      [](const data_options& o) {
                          return o.byte_order == 1 && o.floats == static_cast<int>(dp_float_format::ieee_big);
                      }},
        accepted_case{"MAXREJECTS 0 THREADS 256 UNMATCHED SKIP ODO COMPACT",
                      [](const data_options& o) {
                          return o.max_rejects == 0 && o.threads == 256 && o.unmatched_skip && o.odo_compact;
                      }},
        // A later word wins, as on a command line.
        accepted_case{"CODEPAGE 500 CODEPAGE 1047", [](const data_options& o) { return o.codepage == "1047"; }},
        accepted_case{"START 0 LENGTH 0", [](const data_options& o) { return o.start == 0 && o.length == 0; }},
        accepted_case{"FRAMING FIXED START 800",
                      [](const data_options& o) { return o.start == 800 && o.first_record == 0; }},
        accepted_case{"FRAMING V START 85 FIRSTRECORD 3",
                      [](const data_options& o) { return o.start == 85 && o.first_record == 3; }},
        accepted_case{"START 0 FIRSTRECORD 1", [](const data_options& o) { return o.first_record == 1; }}));

struct refused_case {
    const char* words;
    const char* error;  // a part the error must hold
};

void PrintTo(const refused_case& c, std::ostream* os) { *os << c.words; }

class DataOptionsRefused : public testing::TestWithParam<refused_case> {};

TEST_P(DataOptionsRefused, NamesTheOptionAndWhatItTakes) {
    const std::vector<std::string> words = words_of(GetParam().words);
    size_t at = 0;
    data_options options;
    std::string error;
    EXPECT_FALSE(read_data_options(error, words, at, options));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Words, DataOptionsRefused,
    testing::Values(refused_case{"FRAMING", "FRAMING needs a value"},
                    refused_case{"FRAMING RDW", "FRAMING RDW is not valid; the framings are FIXED, V, VB and LINE"},
                    refused_case{"LRECL 0", "LRECL 0 is not valid; it takes a number from 1 to 2147483647"},
                    refused_case{"LRECL 2147483648", "LRECL 2147483648 is not valid"},
                    refused_case{"LRECL 80x", "LRECL 80x is not valid"},
                    refused_case{"LRECL -5", "LRECL -5 is not valid"},
                    refused_case{"THREADS 0", "THREADS 0 is not valid; it takes a number from 1 to 256"},
                    refused_case{"THREADS 257", "THREADS 257 is not valid"},
                    refused_case{"MAXREJECTS -1", "MAXREJECTS -1 is not valid"},
                    refused_case{"ONERROR SKIP", "ONERROR takes REJECT, NULL or STOP"},
                    refused_case{"ODO FIXED", "ODO takes PADDED or COMPACT"},
                    refused_case{"ROWS it's.csv", "a file name here may not hold a quote"},
                    refused_case{"REJECTLOG \"r\".log", "may not hold a quote"},
                    refused_case{"COLUMNS 3", "unknown data option COLUMNS"},
                    refused_case{"FIRSTRECORD 0", "FIRSTRECORD 0 is not valid"},
                    // Variable records cannot be counted from an offset.
                    refused_case{"FRAMING V START 85", "START 85 needs FIRSTRECORD"},
                    refused_case{"FRAMING FIXED ODO COMPACT START 85", "START 85 needs FIRSTRECORD"},
                    refused_case{"FIRSTRECORD 7", "FIRSTRECORD 7 at START 0"}));

TEST(DataOptions, StopAtTheFirstWordThatIsNoOption) {
    // The caller reads on from `at`; nothing after a bad word is taken.
    const std::vector<std::string> words = words_of("LRECL 80 BOGUS LRECL 90");
    size_t at = 0;
    data_options options;
    std::string error;
    EXPECT_FALSE(read_data_options(error, words, at, options));
    EXPECT_EQ(at, 2u);
    EXPECT_EQ(options.lrecl, 80);
}

TEST(DataOptions, PartsAreNamedByTheirFirstRecord) {
    struct part_case {
        const char* words;
        int64_t lrecl;
        const char* tag;
    };
    const part_case cases[] = {
        {"", 80, ""},                                   // the whole file keeps its names
        {"START 0 LENGTH 800", 80, ".1"},               // the first part is a part too
        {"START 800", 80, ".11"},                       // FIXED: 800 / 80 + 1
        {"START 800 FIRSTRECORD 3", 80, ".3"},          // given wins
        {"FRAMING LINE START 5 FIRSTRECORD 2", 0, ".2"},
    };
    for (const part_case& c : cases) {
        const std::vector<std::string> words = words_of(c.words);
        size_t at = 0;
        data_options options;
        std::string error;
        ASSERT_TRUE(read_data_options(error, words, at, options)) << c.words << ": " << error;
        EXPECT_EQ(part_tag(options, c.lrecl), c.tag) << c.words;
    }
}

TEST(DataOptions, DecoderDefaultsFollowTheCodePageUnlessNamed) {
    kv_codepage ebcdic, ascii;
    ebcdic.ebcdic = true;
    data_options options;
    dp_options d = decode_options(options, ebcdic);
    EXPECT_FALSE(d.native_little);
    EXPECT_EQ(d.floats, dp_float_format::hex);
    d = decode_options(options, ascii);
    EXPECT_TRUE(d.native_little);
    EXPECT_EQ(d.floats, dp_float_format::ieee_little);
    // Named, they hold whatever the code page.
    options.byte_order = 0;
    options.floats = static_cast<int>(dp_float_format::ieee_big);
    d = decode_options(options, ascii);
    EXPECT_FALSE(d.native_little);
    EXPECT_EQ(d.floats, dp_float_format::ieee_big);
    options.byte_order = 1;
    d = decode_options(options, ebcdic);
    EXPECT_TRUE(d.native_little);
}

TEST(DataOptions, EveryOptionWordIsKnownAsOne) {
    for (const char* word : {"FRAMING", "lrecl", "CodePage", "ROWS", "REJECTS", "REJECTLOG", "ONERROR", "MAXREJECTS",
                             "EMPTY", "SPACES", "OVERPUNCH", "BYTEORDER", "FLOAT", "UNMATCHED", "ODO", "THREADS",
                             "START", "LENGTH", "FIRSTRECORD"})
        EXPECT_TRUE(is_data_option(word)) << word;
    for (const char* word : {"FIXED", "KEYCOLS", "WHEN", ""}) EXPECT_FALSE(is_data_option(word)) << word;
}

}  // namespace
