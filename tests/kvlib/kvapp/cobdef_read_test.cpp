// Definitions file reader: statements, records, error reports, formats and
// hostile input.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "cobdef_testing.h"
#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"

using namespace cobdef_testing;
using namespace std::string_literals;

namespace {

std::vector<std::string> names(const cobol_def& def) {
    std::vector<std::string> out;
    for (const column_entry& f : *def.fields) out.push_back(f.name);
    return out;
}

TEST(ReadDefs, EmptyAndCommentOnlyFilesAddNothing) {
    for (const char* name : {"empty.cpy", "comments_only.cpy"}) {
        const read_result r = read_file(fixture(name));
        EXPECT_EQ(r.ok, 1) << name << ": " << r.error;
        EXPECT_EQ(r.error, "");
        EXPECT_TRUE(r.defs.empty()) << name;
    }
}

struct error_fixture {
    const char* file;
    const char* error;
};

void PrintTo(const error_fixture& f, std::ostream* os) { *os << f.file; }

class ReaderErrors : public testing::TestWithParam<error_fixture> {};

TEST_P(ReaderErrors, ReportTextAndStartLine) {
    const read_result r = read_file(fixture(GetParam().file));
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ReaderErrors,
    testing::Values(
        error_fixture{"three_line_error.cpy",
                      "Error processing COBOL definition - Invalid PICTURE string (line 3):\n05 AMOUNT PIC X(0)."},
        error_fixture{"unterminated.cpy",
                      "Error processing COBOL definition - Last statement was not terminated (line 3):\n"
                      "   05 B       PIC X"},
        error_fixture{"level_jump.cpy",
                      "Error processing COBOL definition - Field is not part of group (B) (line 3):\n 10 B PIC X."},
        error_fixture{"unknown_redefines.cpy",
                      "Error processing COBOL definition - Invalid REDEFINES field (line 3):\n"
                      " 05 B REDEFINES NOSUCH PIC X."},
        // A group found empty when its record closes is named with its own line.
        error_fixture{"empty_group.cpy", "Group G did not have elementary items (line 3)"},
        // Comment lines count: line numbers are physical. Read in FREE, a
        // file laid out in fixed format gets a hint.
        error_fixture{"fixed.cpy", "Error processing COBOL definition - Invalid level specified (line 1):\n"
                                   "000100* COMMENT WITH A PERIOD.\n"
                                   "The file looks like fixed reference format (sequence numbers in columns 1-6, "
                                   "comment lines marked in column 7, or identification text in columns 73-80): add "
                                   "FIXED or AUTO to the COBOLDEFSFILE command."}));

TEST(ReadDefs, IndentedAsteriskStartsAFreeFormatComment) {
    const read_result r = read_file(fixture("indented_comment.cpy"));
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(names(r.defs.at(0)), (std::vector<std::string>{"R", "A"}));
}

TEST(ReadDefs, FixedFormatLineNumbersArePhysical) {
    const read_result r = read_file(fixture("fixed_error.cpy"), "FIXED");
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.error,
              "Error processing COBOL definition - Invalid PICTURE string (line 5):\n"
              "    05  B                        PIC 9(0).");
}

TEST(ReadDefs, OpenAndParameterErrors) {
    const std::string missing = fixture("no-such-file.cpy");
    const std::string good = fixture("both_formats.cpy");
    const struct {
        std::string command;
        std::string error;
    } cases[] = {
        {"COBOLDEFSFILE", "Missing definitions file name"},
        {"COBOLDEFSFILE   ", "Missing definitions file name"},
        {"COBOLDEFSFILE " + missing,
         "Error " + std::to_string(ENOENT) + " opening " + missing + " (" + std::strerror(ENOENT) + ")"},
        {"COBOLDEFSFILE " + good + " EXTRA", "Did not recognize pararameter EXTRA"},
        {"COBOLDEFSFILE " + good + " FIXED FREE", "Did not recognize pararameter FREE"},
        {"COBOLDEFSFILE " + good + " , FIXED, X", "Did not recognize pararameter X"},
    };
    for (const auto& c : cases) {
        const read_result r = read_command(c.command);
        EXPECT_EQ(r.ok, 0) << c.command;
        EXPECT_EQ(r.error, c.error) << c.command;
        EXPECT_TRUE(r.defs.empty()) << c.command;
    }
    for (const char* tail : {" ,", " free", " Fixed,", " , FREE"}) {
        const read_result r = read_command("COBOLDEFSFILE " + good + tail);
        EXPECT_EQ(r.ok, 1) << tail << ": " << r.error;
        EXPECT_EQ(r.defs.size(), 1u) << tail;
    }
}

TEST(ReadDefs, ReadingADirectoryFails) {
    const read_result r = read_file(scratch_dir().string());
    EXPECT_EQ(r.ok, 0);
    EXPECT_NE(r.error.find(std::strerror(EISDIR)), std::string::npos) << r.error;
}

TEST(ReadDefs, EveryEntryOfALineIsRead) {
    const read_result r = read_file(fixture("two_entries.cpy"));
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 1u);
    EXPECT_EQ(names(r.defs[0]), (std::vector<std::string>{"R", "A", "B", "C", "D"}));
    EXPECT_EQ(field(r.defs[0], 4).fetch_offset, 6);
    EXPECT_EQ(field(r.defs[0], 0).int_len, 9);
}

TEST(ReadDefs, PeriodsInsidePicturesAndLiteralsDoNotEndEntries) {
    const read_result r = read_file(fixture("edited.cpy"));
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 1u);
    const cobol_def& d = r.defs[0];
    EXPECT_EQ(names(d), (std::vector<std::string>{"SALES-REC", "PRICE", "LABEL-TEXT", "AMOUNT", "RATE", "NEXT-ONE"}));
    EXPECT_EQ(field(d, 1).int_len, 4);
    EXPECT_EQ(field(d, 3).int_len, 9);
    EXPECT_EQ(field(d, 4).scale, 3);
    EXPECT_EQ(field(d, 5).fetch_offset, 21);
}

TEST(ReadDefs, NonFieldEntriesAreSkipped) {
    const read_result r = read_file(fixture("level88.cpy"));
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 1u);
    EXPECT_EQ(names(r.defs[0]), (std::vector<std::string>{"FLAGS", "ACTIVE", "COUNTER"}));
}

TEST(ReadDefs, RecordsStartAtAnyLevel) {
    const read_result r = read_file(fixture("any_level.cpy"));
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.defs[i].field_count, 1);
        EXPECT_EQ(field(r.defs[i], 0).depth, 0);
    }
    EXPECT_EQ(r.defs[0].def_name, "A");
    EXPECT_EQ(r.defs[1].def_name, "B");
    EXPECT_EQ(r.defs[2].def_name, "C");
    EXPECT_EQ(field(r.defs[2], 0).int_len, 2);
}

TEST(ReadDefs, RedefiningRecordBecomesItsOwnDefinition) {
    const read_result r = read_file(fixture("redefined_record.cpy"));
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 2u);
    EXPECT_EQ(r.defs[1].def_name, "R2");
    EXPECT_EQ(field(r.defs[1], 0).redefines_before_naming, 0);
    EXPECT_EQ(field(r.defs[1], 1).fetch_offset, 0);
}

TEST(ReadDefs, DefinitionsAccumulateAcrossFilesAndSurviveLaterFailures) {
    const size_t before = CD_definitions().size();
    std::string error;
    ASSERT_EQ(CD_read_defs(error, "COBOLDEFSFILE " + fixture("level88.cpy")), 1) << error;
    EXPECT_EQ(CD_read_defs(error, "COBOLDEFSFILE " + fixture("second_fails.cpy")), 0);
    EXPECT_EQ(error, "Error processing COBOL definition - Invalid PICTURE string (line 4):\n 05 B PIC X(0).");
    ASSERT_EQ(CD_definitions().size(), before + 2);
    EXPECT_EQ(CD_definitions()[before].def_name, "FLAGS");
    EXPECT_EQ(CD_definitions()[before + 1].def_name, "OK-REC");

    // The reader is idle again: errors outside a read carry no line.
    cobol_def def;
    column_entry e;
    e.name = "X";
    e.level_number = 5;
    e.elementary = 1;
    ASSERT_EQ(CD_add_field(error, def, e), 1);
    e.level_number = 10;
    EXPECT_EQ(CD_add_field(error, def, e), 0);
    EXPECT_EQ(error, "Field is not part of group (X)");
}

TEST(ReadDefs, FixedFormat) {
    const read_result r = read_file(fixture("fixed.cpy"), "FIXED");
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 1u);
    const cobol_def& d = r.defs[0];
    EXPECT_EQ(names(d), (std::vector<std::string>{"CUSTOMER-REC", "CUST-ID", "CUST-NAME", "CUST-BAL", "CUST-CODE",
                                                  "TABBED", "COL7-START", "LAST-ONE"}));
    const int32_t offsets[] = {0, 0, 6, 36, 41, 43, 46, 48};
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(field(d, i).fetch_offset, offsets[i]) << i;
    EXPECT_EQ(field(d, 0).int_len, 49);
    EXPECT_EQ(field(d, 3).data_type, 155);
    EXPECT_EQ(field(d, 7).int_len, 1);
}

TEST(ReadDefs, FixedFormatContinuedLiteralHidesItsPeriods) {
    const std::string continued =
        "       01 R.\n"
        "           05 A PIC X(40) VALUE 'FIRST. PART\n"
        "      -        'SECOND. PART'.\n"
        "           05 B PIC X.\n";
    read_result r = read_text(continued, "FIXED");
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(names(r.defs.at(0)), (std::vector<std::string>{"R", "A", "B"}));
    EXPECT_EQ(field(r.defs.at(0), 2).fetch_offset, 40);
}

TEST(ReadDefs, LineEndingsAndEndOfFileMark) {
    read_result r = read_text("01 R.\r\n 05 A PIC X(2).\r\n 05 B PIC 9.\r\n");
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(field(r.defs.at(0), 0).int_len, 3);
    r = read_text("01 R.\n 05 A PIC X(2).\x1a\x01\x02 garbage\x7f\n\x00\x00"s);
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(field(r.defs.at(0), 0).int_len, 2);
    // No final line end; a leading UTF-8 mark.
    r = read_text("\xef\xbb\xbf" "01 R.\n 05 A PIC X(2).");
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.defs.at(0).def_name, "R");
}

TEST(ReadDefs, LongLinesAreReadWhole) {
    // A name straddling any fixed piece size, and a thousand entries on one
    // physical line.
    const std::string name = "N" + std::string(600, 'X');
    std::string text = "01 R.\n" + std::string(490, ' ') + "05 " + name + " PIC X(3).\n";
    for (int i = 0; i < 1000; ++i) text += " 05 F" + std::to_string(i) + " PIC X.";
    text += "\n";
    const read_result r = read_text(text);
    ASSERT_EQ(r.ok, 1) << r.error.substr(0, 200);
    ASSERT_EQ(r.defs.size(), 1u);
    EXPECT_EQ(r.defs[0].field_count, 1002);
    EXPECT_EQ(field(r.defs[0], 1).name, name.substr(0, CD_MAX_NAME));
    EXPECT_EQ(field(r.defs[0], 0).int_len, 1003);
}

TEST(ReadDefs, HostileInputGivesAnErrorText) {
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xff));
    const struct {
        std::string content;
        std::string error;
    } cases[] = {
        {binary, "Invalid character (code 0) in line 1"},
        {"01 R.\n 05 A PIC X(2).\n 05 B\0 PIC X.\n"s, "Invalid character (code 0) in line 3"},
        {"01 R.\n 05 A\n PIC X\0.\n"s, "Error processing COBOL definition - "
                                      "Invalid character (code 0) in line 3 (line 2):\n 05 A"},
        {"01 R.\n 05 A PIC X VALUE 'IT\n 05 B PIC X.\n", "Error processing COBOL definition - "
                                      "Last statement was not terminated (line 2):\n 05 A PIC X VALUE 'IT  05 B PIC X."},
        {"01 R.\n 05 A PIC X VALUE 'OPEN.\n", "Error processing COBOL definition - "
                                              "Last statement was not terminated (line 2):\n 05 A PIC X VALUE 'OPEN."},
        {"01 R.\n 05 A PIC X.\n 05 B REDEFINES Z PIC X.\n",
         "Error processing COBOL definition - Invalid REDEFINES field (line 3):\n 05 B REDEFINES Z PIC X."},
        {"01 R.\n 05 A OCCURS 3999.\n 10 B OCCURS 3999.\n 15 C OCCURS 3999.\n 20 D PIC X.\n",
         "Record R is too large (more than 2147483647 bytes)"},
    };
    for (const auto& c : cases) {
        const read_result r = read_text(c.content);
        EXPECT_EQ(r.ok, 0) << c.error;
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(r.defs.empty());
    }
}

}  // namespace

namespace {

TEST(ReadDefs, RecordMakesTheFileOneDefinition) {
    const std::string path = write_scratch("record.cpy", "05 A PIC X.\n05 B REDEFINES A PIC 9.\n"
                                                         "01 C.\n  10 C1 PIC X(3).\n77 N PIC 9(2).\n");
    read_result r = read_command("COBOLDEFSFILE " + path + " record Whole-Rec");
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 1u);
    EXPECT_EQ(r.defs[0].def_name, "WHOLE-REC");
    EXPECT_EQ(r.defs[0].first_level, 0);
    EXPECT_EQ(names(r.defs[0]), (std::vector<std::string>{"WHOLE-REC", "A", "B", "C", "C1", "N"}));
    EXPECT_EQ(field(r.defs[0], 2).redefines_before_naming, 1);
    EXPECT_EQ(field(r.defs[0], 4).fetch_offset, 1);
    EXPECT_EQ(field(r.defs[0], 5).fetch_offset, 4);
    EXPECT_EQ(field(r.defs[0], 0).int_len, 6);

    // Without RECORD the same file gives a definition per top-level entry.
    r = read_file(path);
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.defs.size(), 3u);  // A, B and C; the 77 item is no field
    EXPECT_EQ(r.defs[0].first_level, 5);

    const struct {
        std::string tail;
        std::string error;
    } errors[] = {
        {" RECORD", "RECORD needs the name of the record after it"},
        {" RECORD A RECORD B", "Did not recognize pararameter RECORD"},
        {" FIXED RECORD A FREE", "Did not recognize pararameter FREE"},
    };
    for (const auto& e : errors) {
        r = read_command("COBOLDEFSFILE " + path + e.tail);
        EXPECT_EQ(r.ok, 0) << e.tail;
        EXPECT_EQ(r.error, e.error) << e.tail;
    }
    r = read_command("COBOLDEFSFILE " + write_scratch("empty_record.cpy", "* nothing\n") + " RECORD E");
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.error, "Group E did not have elementary items");
}

TEST(ReadDefs, LaterRecordsMayRedefineAnyEarlierOne) {
    const read_result r = read_text("01 A PIC X(3).\n01 B REDEFINES A.\n  05 B1 PIC 9 OCCURS 3.\n"
                                    "01 C REDEFINES A PIC 9(3).\n");
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.defs.size(), 3u);
    EXPECT_EQ(field(r.defs[2], 0).redefines_before_naming, 0);
    EXPECT_EQ(read_text("01 A PIC X.\n01 C REDEFINES NONE PIC X.\n").error,
              "Error processing COBOL definition - Invalid REDEFINES field (line 2):\n01 C REDEFINES NONE PIC X.");
}

}  // namespace
