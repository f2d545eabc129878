// WHEN conditions: text compared byte for byte with its padding, numbers by
// value, THRU ranges, figuratives, level-88 names, and the conditions that
// cannot be compiled.
#include <gtest/gtest.h>

#include <string>

#include "kvapp/cobdef.h"
#include "kvstd/codepage.h"
#include "tabform/recordtypes.h"
#include "test_files.h"

namespace {

const char* const kCopybook =
    "01 R.\n"
    "   05 R-TYPE PIC X(2).\n"
    "      88 IS-HDR VALUE 'H'.\n"
    "      88 IS-DTL VALUES 'D1' THRU 'D9', 'E'.\n"
    "   05 R-NUM PIC 9(3).\n"
    "   05 R-PK PIC S9(3) COMP-3.\n"
    "   05 R-ARR PIC X OCCURS 2.\n";

struct when_case {
    const char* condition;
    std::string record;  // ASCII bytes from R-TYPE on
    bool met;
};

void PrintTo(const when_case& c, std::ostream* os) { *os << c.condition << " on " << c.record; }

// The copybook and the ASCII code page, read once for all cases.
class WhenRecord : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        CD_definitions().clear();
        ASSERT_TRUE(CD_read_defs(error, "COBOLDEFSFILE " + test_files::write_scratch("when.cpy", kCopybook) + " FREE"))
            << error;
        ASSERT_TRUE(kvCodepageLoad(error, "ASCII", ascii_)) << error;
    }
    static void TearDownTestSuite() { CD_definitions().clear(); }
    static kv_codepage ascii_;
};
kv_codepage WhenRecord::ascii_;

class WhenConditions : public WhenRecord, public testing::WithParamInterface<when_case> {};

TEST_P(WhenConditions, MeetOrNot) {
    const when_case& c = GetParam();
    def_entry entry(CD_definitions().front());
    record_condition compiled;
    std::string error;
    ASSERT_TRUE(compile_condition(error, c.condition, entry, ascii_, compiled)) << error;
    dp_buffer scratch;
    const auto* bytes = reinterpret_cast<const uint8_t*>(c.record.data());
    ASSERT_LT(static_cast<size_t>(compiled.offset), c.record.size());
    EXPECT_EQ(condition_met(compiled, bytes + compiled.offset, c.record.size() - compiled.offset, scratch), c.met);
}

const std::string kPk12 = std::string("\x01\x2D", 2);  // packed -12

INSTANTIATE_TEST_SUITE_P(
    Cases, WhenConditions,
    testing::Values(when_case{"R-TYPE = 'H'", "H 005" + kPk12, true},
                    when_case{"R-TYPE = 'H'", "HX005" + kPk12, false},  // padded with spaces, not a prefix
                    when_case{"R-TYPE = 'H', 'E'", "E 005" + kPk12, true},
                    when_case{"R-TYPE = \"H\"", "H 005" + kPk12, true},
                    when_case{"IS-HDR", "H 005" + kPk12, true},
                    when_case{"IS-DTL", "D5005" + kPk12, true},
                    when_case{"IS-DTL", "DA005" + kPk12, false},  // 'A' sorts after '9' in the data's bytes
                    when_case{"IS-DTL", "E 005" + kPk12, true},
                    when_case{"R-TYPE = SPACES", "  005" + kPk12, true},
                    when_case{"R-TYPE = HIGH-VALUE", "\xFF\xFF" "005" + kPk12, true},
                    when_case{"R-TYPE = LOW-VALUES", std::string("\0\0", 2) + "005" + kPk12, true},
                    when_case{"R-NUM = 5", "H 005" + kPk12, true},
                    when_case{"R-NUM = 5.0", "H 005" + kPk12, true},
                    when_case{"R-NUM = 05, 7", "H 007" + kPk12, true},
                    when_case{"R-NUM = 4 THRU 6", "H 006" + kPk12, true},
                    when_case{"R-NUM = 4 THROUGH 6", "H 007" + kPk12, false},
                    when_case{"R-NUM = ZERO", "H 000" + kPk12, true},
                    when_case{"R-NUM = 5", "H 0A5" + kPk12, false},  // no number meets a value
                    when_case{"R-PK = -12", "H 005" + kPk12, true},
                    when_case{"R-PK = 12", "H 005" + kPk12, false}));

struct refused_case {
    const char* condition;
    const char* error;
};

class WhenRefused : public WhenRecord, public testing::WithParamInterface<refused_case> {};

TEST_P(WhenRefused, NamesTheProblem) {
    def_entry entry(CD_definitions().front());
    record_condition compiled;
    std::string error;
    EXPECT_FALSE(compile_condition(error, GetParam().condition, entry, ascii_, compiled));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, WhenRefused,
                         testing::Values(refused_case{"R-NOPE = 'X'", "is no field of the record R"},
                                         refused_case{"R-ARR = 'X'", "its field is an array"},
                                         refused_case{"R-TYPE = 'ABC'", "longer than its field"},
                                         refused_case{"NOT-A-CONDITION", "is no condition name (level 88)"},
                                         refused_case{"R-NUM 5", "write the condition as R-NUM = value"},
                                         refused_case{"", "WHEN needs a condition"}));

}  // namespace
