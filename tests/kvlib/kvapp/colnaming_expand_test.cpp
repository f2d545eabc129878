// Naming pass: unrolling, subscripts, redefinitions, duplicate suffixes and
// group prefixes, the long-name dialogue, and the fast passes checked
// against plain implementations of the quadratic rules on random records.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>

#include "cobdef_testing.h"
#include "random_record.h"
#include "kvapp/cobdef.h"
#include "kvapp/colnaming.h"
#include "kvapp/colnaming_internal.h"

using namespace cobdef_testing;

namespace {

expand_options_t defaults() { return expand_options_t{3, 1, 0, 0, 1, 0, 1, 30}; }

cobol_def read_def(const std::string& text) {
    const read_result r = read_text(text);
    EXPECT_EQ(r.ok, 1) << r.error;
    if (r.defs.size() != 1) {
        ADD_FAILURE() << "expected one definition";
        return {};
    }
    cobol_def def = r.defs[0];
    def.fields = std::make_shared<std::vector<column_entry>>(*def.fields);
    return def;
}

std::string slurp(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::getc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

// Points the pass's console at scratch files for one test: `answers` is
// what the operator types, printed() what the pass wrote.
class console_capture {
public:
    explicit console_capture(const std::string& answers = "") : in_(std::tmpfile()), out_(std::tmpfile()) {
        std::fputs(answers.c_str(), in_);
        std::rewind(in_);
        set_naming_console(in_, out_);
    }
    ~console_capture() {
        set_naming_console(nullptr, nullptr);
        std::fclose(in_);
        std::fclose(out_);
    }
    std::string printed() { return slurp(out_); }
    FILE* out() { return out_; }

private:
    FILE* in_;
    FILE* out_;
};

std::vector<std::string> names_of(const cobol_def& def) {
    std::vector<std::string> out;
    for (const column_entry& c : *def.fields) out.push_back(c.name);
    return out;
}

std::string named(const cobol_def& def) {
    std::string out;
    for (const column_entry& c : *def.fields) out += (out.empty() ? "" : " ") + c.name;
    return out;
}

const char* const kExample =
    "01 REC.\n"
    "   05 ITEMS OCCURS 3.\n"
    "      10 CODE PIC X(2).\n"
    "      10 QTY PIC 9(3).\n"
    "   05 TOTAL PIC 9(5).\n";

// ---- The worked example and its variants ----

TEST(ExpandColumns, WorkedExampleGivesTwelveColumns) {
    cobol_def def = read_def(kExample);
    console_capture console;
    expand_columns(&def, defaults());
    struct row {
        const char* name;
        int depth;
        int elementary;
        int type;
        int offset;
        int length;
    };
    const row expected[] = {
        {"REC", 0, 0, 0, 0, 20},      {"ITEMS", 1, 0, 0, 0, 15},    {"ITEMS-1", 1, 0, 0, 0, 5},
        {"CODE", 2, 1, 0, 0, 2},      {"QTY", 2, 1, 150, 2, 3},     {"ITEMS-2", 1, 0, 0, 5, 5},
        {"CODE", 2, 1, 0, 5, 2},      {"QTY", 2, 1, 150, 7, 3},     {"ITEMS-3", 1, 0, 0, 10, 5},
        {"CODE", 2, 1, 0, 10, 2},     {"QTY", 2, 1, 150, 12, 3},    {"TOTAL", 1, 1, 150, 15, 5},
    };
    ASSERT_EQ(def.field_count, 12);
    ASSERT_EQ(def.fields->size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        const column_entry& c = (*def.fields)[i];
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(c.name, expected[i].name);
        EXPECT_EQ(c.depth, expected[i].depth);
        EXPECT_EQ(c.elementary, expected[i].elementary);
        EXPECT_EQ(c.data_type, expected[i].type);
        EXPECT_EQ(c.fetch_offset, expected[i].offset);
        EXPECT_EQ(c.int_len, expected[i].length);
        EXPECT_EQ(c.bin_len, expected[i].length);
        EXPECT_EQ(c.tbl_len, expected[i].length);
        EXPECT_EQ(c.occurs, 1);
    }
    EXPECT_EQ(console.printed(), "");
}

TEST(ExpandColumns, WorkedExampleVariants) {
    struct variant {
        const char* what;
        expand_options_t opts;
        const char* names;
    };
    expand_options_t group_arrays = defaults();
    group_arrays.expand_group_arrays = 1;
    expand_options_t numbered = defaults();
    numbered.resolve_dups = 1;
    expand_options_t brackets = defaults();
    brackets.style = 1;
    brackets.expand_group_arrays = 1;
    const variant variants[] = {
        {"group arrays", group_arrays,
         "REC ITEMS ITEMS-1 CODE-1 QTY-1 ITEMS-2 CODE-2 QTY-2 ITEMS-3 CODE-3 QTY-3 TOTAL"},
        {"numbered duplicates", numbered,
         "REC ITEMS ITEMS-1 CODE-1 QTY-1 ITEMS-2 CODE-2 QTY-2 ITEMS-3 CODE-3 QTY-3 TOTAL"},
        {"brackets", brackets,
         "REC ITEMS ITEMS[1] CODE[1] QTY[1] ITEMS[2] CODE[2] QTY[2] ITEMS[3] CODE[3] QTY[3] TOTAL"},
    };
    for (const variant& v : variants) {
        SCOPED_TRACE(v.what);
        cobol_def def = read_def(kExample);
        console_capture console;
        expand_columns(&def, v.opts);
        EXPECT_EQ(named(def), v.names);
    }
}

TEST(ExpandColumns, NumberedDuplicatesPrintTheirChanges) {
    cobol_def def = read_def(kExample);
    console_capture console;
    expand_options_t opts = defaults();
    opts.resolve_dups = 1;
    expand_columns(&def, opts);
    EXPECT_EQ(console.printed(),
              "Changing ITEMS-1.CODE to CODE_1\n"
              "Changing ITEMS-2.CODE to CODE_2\n"
              "Changing ITEMS-3.CODE to CODE_3\n"
              "Changing ITEMS-1.QTY to QTY_1\n"
              "Changing ITEMS-2.QTY to QTY_2\n"
              "Changing ITEMS-3.QTY to QTY_3\n");
}

TEST(ExpandColumns, ChangeLinesNameAGroupByItsNameAtTheTime) {
    // The group A_1 is renamed in the second pass, after lines for its
    // subordinates were written under its old name; the later lines for
    // them carry the new one.
    cobol_def def = read_def(
        "01 R.\n 05 A PIC X.\n 05 A PIC X.\n 05 A_1.\n  10 X PIC X.\n  10 X PIC X.\n  10 X_1 PIC X.\n");
    console_capture console;
    expand_options_t opts = defaults();
    opts.resolve_dups = 1;
    expand_columns(&def, opts);
    EXPECT_EQ(named(def), "R A-1-1 A-2 A-1-2 X-1-1 X-2 X-1-2");
    EXPECT_EQ(console.printed(),
              "Changing A to A_1\nChanging A to A_2\n"
              "Changing A_1.X to X_1\nChanging A_1.X to X_2\n"
              "Changing A_1 to A_1_1\nChanging A_1 to A_1_2\n"
              "Changing A_1_2.X_1 to X_1_1\nChanging A_1_2.X_1 to X_1_2\n");
}

TEST(ExpandColumns, SubscriptWidths) {
    struct width_case {
        int32_t style;
        int32_t zero_fill;
        int occurs;
        const char* first;
        const char* last;
    };
    const width_case cases[] = {
        {3, -1, 12, "AMT-01", "AMT-12"},
        {3, -1, 9, "AMT-1", "AMT-9"},
        {3, -1, 100, "AMT-001", "AMT-100"},
        {4, 3, 12, "AMT--001", "AMT--012"},
        {2, 1, 12, "AMT-1", "AMT-12"},  // underscore style ends with hyphens too
        {1, 0, 12, "AMT[1]", "AMT[12]"},
        {1, 4, 3, "AMT[0001]", "AMT[0003]"},
    };
    for (const width_case& c : cases) {
        SCOPED_TRACE(c.first);
        cobol_def def =
            read_def("01 R.\n 05 AMT PIC 9(2) OCCURS " + std::to_string(c.occurs) + ".\n");
        expand_options_t opts = defaults();
        opts.style = c.style;
        opts.zero_fill = c.zero_fill;
        console_capture console;
        expand_columns(&def, opts);
        ASSERT_EQ(def.fields->size(), static_cast<size_t>(c.occurs) + 2);
        EXPECT_EQ((*def.fields)[1].name, "AMT");
        EXPECT_EQ((*def.fields)[2].name, c.first);
        EXPECT_EQ(def.fields->back().name, c.last);
    }
}

TEST(ExpandColumns, HugeZeroFillIsBounded) {
    cobol_def def = read_def("01 R.\n 05 AMT PIC 9 OCCURS 2.\n");
    expand_options_t opts = defaults();
    opts.zero_fill = 2000000000;
    console_capture console;
    expand_columns(&def, opts);
    EXPECT_EQ((*def.fields)[3].name, "AMT-" + std::string(198, '0') + "2");
}

TEST(ExpandColumns, ElementaryArrayHeaderAndElements) {
    cobol_def def = read_def("01 R.\n 05 A PIC X.\n 05 AMT PIC S9(3)V99 COMP-3 OCCURS 4.\n");
    console_capture console;
    expand_columns(&def, defaults());
    ASSERT_EQ(def.fields->size(), 7u);
    const column_entry& header = (*def.fields)[2];
    EXPECT_EQ(header.elementary, 0);
    EXPECT_EQ(header.data_type, 0);
    EXPECT_EQ(header.int_len, 12);
    EXPECT_EQ(header.bin_len, 12);
    EXPECT_EQ(header.tbl_len, 12);
    EXPECT_EQ(header.ext_len, 5);  // one element's digits, as read
    for (int i = 0; i < 4; ++i) {
        const column_entry& e = (*def.fields)[3 + i];
        EXPECT_EQ(e.name, "AMT-" + std::to_string(i + 1));
        EXPECT_EQ(e.elementary, 1);
        EXPECT_EQ(e.data_type, 155);
        EXPECT_EQ(e.scale, 2);
        EXPECT_EQ(e.fetch_offset, 1 + 3 * i);
    }
}

TEST(ExpandColumns, NestedArraysRelocateEveryOccurrence) {
    cobol_def def = read_def(
        "01 R.\n 05 HEAD PIC X(4).\n 05 OUTER OCCURS 2.\n  10 TAG PIC X.\n"
        "  10 INNER OCCURS 3.\n   15 V PIC 9(2).\n 05 TAIL PIC X.\n");
    expand_options_t opts = defaults();
    opts.expand_group_arrays = 1;
    console_capture console;
    expand_columns(&def, opts);
    EXPECT_EQ(count_expanded_columns(read_def(
                  "01 R.\n 05 HEAD PIC X(4).\n 05 OUTER OCCURS 2.\n  10 TAG PIC X.\n"
                  "  10 INNER OCCURS 3.\n   15 V PIC 9(2).\n 05 TAIL PIC X.\n")),
              static_cast<int64_t>(def.fields->size()));
    std::vector<std::pair<std::string, int32_t>> got;
    for (const column_entry& c : *def.fields)
        if (c.elementary) got.emplace_back(c.name, c.fetch_offset);
    const std::vector<std::pair<std::string, int32_t>> want = {
        {"HEAD", 0},       {"TAG-1", 4},      {"V-1-1", 5},  {"V-1-2", 7}, {"V-1-3", 9},
        {"TAG-2", 11},     {"V-2-1", 12},     {"V-2-2", 14}, {"V-2-3", 16}, {"TAIL", 18}};
    EXPECT_EQ(got, want);
}

TEST(ExpandColumns, NoExpansionLeavesTheParsedList) {
    cobol_def def = read_def("01 R.\n 05 CUST_ID PIC X(4).\n 05 A PIC X OCCURS 3.\n");
    const std::vector<column_entry> before = *def.fields;
    expand_options_t opts = defaults();
    opts.style = 0;
    opts.omit_redefs = 1;
    opts.resolve_dups = 1;
    console_capture console;
    expand_columns(&def, opts);
    ASSERT_EQ(def.fields->size(), before.size());
    EXPECT_EQ((*def.fields)[1].name, "CUST_ID");
    EXPECT_EQ((*def.fields)[2].occurs, 3);
    // No option record: the same.
    expand_options_t* saved = expand_options;
    expand_options = nullptr;
    expand_columns(&def);
    expand_options = saved;
    EXPECT_EQ((*def.fields)[2].occurs, 3);
}

TEST(ExpandColumns, FillerArraysStayFillerAndNeverCountAsDuplicates) {
    cobol_def def = read_def("01 R.\n 05 FILLER PIC X OCCURS 2.\n 05 FILLER PIC X.\n 05 B PIC X.\n");
    expand_options_t opts = defaults();
    opts.resolve_dups = 1;
    console_capture console;
    expand_columns(&def, opts);
    EXPECT_EQ(named(def), "R FILLER FILLER FILLER FILLER B");
    EXPECT_EQ(console.printed(), "");
}

TEST(ExpandColumns, DisplayTwoArrayElementsLieTheirStoredSizeApart) {
    // Each element keeps its 2-byte length prefix in the record.
    cobol_def def = read_def("01 R.\n 05 V PIC X(10) DISPLAY-2 OCCURS 3.\n 05 N PIC X.\n");
    console_capture console;
    expand_columns(&def, defaults());
    ASSERT_EQ(def.fields->size(), 6u);
    EXPECT_EQ((*def.fields)[1].int_len, 36);
    EXPECT_EQ((*def.fields)[2].fetch_offset, 0);
    EXPECT_EQ((*def.fields)[3].fetch_offset, 12);
    EXPECT_EQ((*def.fields)[4].fetch_offset, 24);
    EXPECT_EQ((*def.fields)[5].fetch_offset, 36);
}

TEST(ExpandColumns, TooManyColumnsLeaveTheDefinitionUnexpanded) {
    // 3999 x 3999 x 3999 occurrences: more columns than a count can hold.
    cobol_def def;
    def.def_name = "R";
    def.fields = std::make_shared<std::vector<column_entry>>();
    for (int depth = 0; depth < 4; ++depth) {
        column_entry e;
        e.name = "F" + std::to_string(depth);
        e.depth = static_cast<int16_t>(depth);
        e.occurs = depth == 0 ? 1 : 3999;
        e.elementary = depth == 3;
        e.int_len = 1;
        def.fields->push_back(e);
    }
    def.field_count = 4;
    EXPECT_GT(count_expanded_columns(def), int64_t{INT32_MAX});
    console_capture console;
    expand_columns(&def, defaults());
    EXPECT_EQ(def.fields->size(), 4u);
    EXPECT_EQ((*def.fields)[1].occurs, 3999);
    EXPECT_NE(console.printed().find("not expanded"), std::string::npos);
}

// ---- Redefinitions ----

TEST(Redefinitions, OmittedWithTheirSubordinates) {
    cobol_def def = read_def(
        "01 R.\n 05 G.\n  10 A PIC X(4).\n  10 B REDEFINES A.\n   15 B1 PIC X(2).\n   15 B2 PIC X(2).\n"
        "  10 C PIC X.\n 05 D PIC X.\n");
    expand_options_t opts = defaults();
    opts.omit_redefs = 1;
    console_capture console;
    expand_columns(&def, opts);
    EXPECT_EQ(named(def), "R G A C D");
    EXPECT_EQ(console.printed(), "Eliminating redefines field G.B\n");
}

TEST(Redefinitions, ArrayElementsAreNotRedefinitionsOfTheirHeader) {
    cobol_def def = read_def(kExample);
    expand_options_t opts = defaults();
    opts.omit_redefs = 1;
    console_capture console;
    expand_columns(&def, opts);
    EXPECT_EQ(def.fields->size(), 12u);
    EXPECT_EQ(console.printed(), "");
    EXPECT_EQ(CD_redefinitions(*def.fields), std::vector<int32_t>(12, 0));
}

// Which column each redefines, by position. In the second case a
// redefinition's subfields lie at offsets the original has not (B2 at 1):
// places behind the last one of their depth, where a later one (C2) still
// finds the first.
TEST(Redefinitions, FindRedefinedColumnAndQualifiedName) {
    const struct {
        const char* text;
        std::vector<int32_t> want;
        const char* fifth;  // the qualified name of column 5
    } cases[] = {
        // R X A B C C1 D
        {"01 R.\n 05 X PIC X.\n 05 A PIC X(4).\n 05 B REDEFINES A PIC 9(4).\n 05 C REDEFINES A.\n"
         "  10 C1 PIC X(4).\n 05 D PIC X.\n",
         {0, 0, 0, 2, 2, 0, 0},
         "C.C1"},
        // R A A1 A2 B B1 B2 C C1 C2
        {"01 R.\n 05 A.\n  10 A1 PIC X(2).\n  10 A2 PIC X(2).\n 05 B REDEFINES A.\n"
         "  10 B1 PIC X.\n  10 B2 PIC X(3).\n 05 C REDEFINES A.\n  10 C1 PIC X.\n  10 C2 PIC X(3).\n",
         {0, 0, 0, 0, 1, 2, 0, 1, 2, 6},
         "B.B1"},
    };
    for (const auto& c : cases) {
        cobol_def def = read_def(c.text);
        console_capture console;
        expand_columns(&def, defaults());
        EXPECT_EQ(CD_redefinitions(*def.fields), c.want) << c.text;
        EXPECT_EQ(qualified_name(def, 5), c.fifth);
    }
    cobol_def def = read_def("01 R.\n 05 X PIC X.\n");
    EXPECT_EQ(qualified_name(def, 0), "R");
    EXPECT_EQ(qualified_name(def, -1), "");
}

// ---- Duplicate suffixes ----

TEST(DuplicateSuffixes, LettersAndRepeatedPasses) {
    struct suffix_case {
        int32_t mode;
        const char* fields;
        const char* names;
    };
    const suffix_case cases[] = {
        {2, " 05 X PIC X.\n 05 X PIC X.\n 05 X PIC X.\n", "R X-A X-B X-C"},
        {1, " 05 A PIC X.\n 05 A PIC X.\n 05 A_1 PIC X.\n", "R A-1-1 A-2 A-1-2"},
        // A group after an elementary column of the same name is numbered
        // too; one before it is not compared.
        {1, " 05 G.\n  10 A PIC X.\n 05 A.\n  10 B PIC X.\n", "R G A-1 A-2 B"},
        {1, " 05 A.\n  10 B PIC X.\n 05 A PIC X.\n", "R A B A"},
    };
    for (const suffix_case& c : cases) {
        SCOPED_TRACE(c.names);
        cobol_def def = read_def(std::string("01 R.\n") + c.fields);
        expand_options_t opts = defaults();
        opts.resolve_dups = c.mode;
        console_capture console;
        expand_columns(&def, opts);
        EXPECT_EQ(named(def), c.names);
    }
}

TEST(DuplicateSuffixes, LettersRunOnPastTheCharacterSetInLetterPairs) {
    std::string text = "01 R.\n";
    for (int i = 0; i < 70; ++i) text += " 05 X PIC X.\n";
    cobol_def def = read_def(text);
    expand_options_t opts = defaults();
    opts.resolve_dups = 2;
    opts.max_col_name_len = 3;  // never measured for suffixes
    console_capture console;
    expand_columns(&def, opts);
    const std::vector<std::string> n = names_of(def);
    EXPECT_EQ(n[1], "X-A");
    EXPECT_EQ(n[26], "X-Z");
    EXPECT_EQ(n[27], "X-[");
    EXPECT_EQ(n[31], "X--");  // "_" after Z, written as a hyphen at the end
    EXPECT_EQ(n[62], "X-~");
    EXPECT_EQ(n[63], "X-AA");
    EXPECT_EQ(n[70], "X-AH");
    EXPECT_EQ(std::set<std::string>(n.begin(), n.end()).size(), n.size());
    EXPECT_EQ(console.printed().find("exceeds"), std::string::npos);
}

// ---- Group prefixes ----

TEST(GroupPrefixes, Cases) {
    struct prefix_case {
        int32_t style;
        const char* fields;
        const char* names;
        const char* printed;
    };
    const prefix_case cases[] = {
        {3, " 05 HDR.\n  10 DATE PIC X(8).\n 05 TRL.\n  10 DATE PIC X(8).\n", "R HDR HDR-DATE TRL TRL-DATE",
         "Changing HDR.DATE to HDR-DATE\nChanging TRL.DATE to TRL-DATE\n"},
        {4, " 05 HDR.\n  10 DATE PIC X(8).\n 05 TRL.\n  10 DATE PIC X(8).\n", "R HDR HDR--DATE TRL TRL--DATE",
         "Changing HDR.DATE to HDR__DATE\nChanging TRL.DATE to TRL__DATE\n"},
        {1, " 05 HDR.\n  10 DATE PIC X(8).\n 05 TRL.\n  10 DATE PIC X(8).\n", "R HDR HDR-DATE TRL TRL-DATE",
         "Changing HDR.DATE to HDR_DATE\nChanging TRL.DATE to TRL_DATE\n"},
        // Only the ancestor two levels up, not the groups between.
        {3, " 05 A.\n  10 X.\n   15 F PIC X.\n 05 B.\n  10 X.\n   15 F PIC X.\n", "R A X A-F B X B-F",
         "Changing A.X.F to A-F\nChanging B.X.F to B-F\n"},
        // Directly under the record both get the record's name: unresolved.
        {3, " 05 F PIC X.\n 05 F PIC X.\n", "R F F",
         "Could not resolve duplicate field name F\nCould not resolve duplicate field name F\n"},
        // A shallower duplicate has no prefix two levels up and keeps its name.
        {3, " 05 A.\n  10 X.\n   15 F PIC X.\n 05 B.\n  10 X.\n   15 F PIC X.\n 05 C.\n  10 F PIC X.\n",
         // C.F is two levels below the record, which gives its prefix.
         "R A X A-F B X B-F C R-F",
         "Changing A.X.F to A-F\nChanging B.X.F to B-F\nChanging C.F to R-F\n"},
    };
    for (const prefix_case& c : cases) {
        SCOPED_TRACE(c.names);
        cobol_def def = read_def(std::string("01 R.\n") + c.fields);
        expand_options_t opts = defaults();
        opts.style = c.style;
        opts.resolve_dups = 3;
        console_capture console;
        expand_columns(&def, opts);
        EXPECT_EQ(named(def), c.names);
        EXPECT_EQ(console.printed(), c.printed);
    }
}

TEST(GroupPrefixes, ShallowerDuplicateWithoutAncestorKeepsItsName) {
    // The deep F columns need two levels (X-F twice); the F under the
    // record has no ancestor two levels up.
    cobol_def def = read_def(
        "01 R.\n 05 A.\n  10 X.\n   15 F PIC X.\n 05 B.\n  10 X.\n   15 F PIC X.\n 05 F PIC X.\n");
    expand_options_t opts = defaults();
    opts.resolve_dups = 3;
    console_capture console;
    expand_columns(&def, opts);
    EXPECT_EQ(named(def), "R A X A-F B X B-F F");
}

// ---- Long names ----

cobol_def long_name_def() {
    return read_def("01 R.\n 05 HEADER-GROUP.\n  10 DATE PIC X.\n 05 TRAILER-GROUP.\n  10 DATE PIC X.\n");
}

std::string run_long(expand_options_t opts, const std::string& answers, cobol_def& def) {
    opts.resolve_dups = 3;
    console_capture console(answers);
    expand_columns(&def, opts);
    return console.printed();
}

TEST(LongNames, LengthLimitIsInclusive) {
    const char* const text = "01 R.\n 05 HDR-GROUP.\n  10 DATE PIC X.\n 05 TRL-GROUP.\n  10 DATE PIC X.\n";
    expand_options_t opts = defaults();
    opts.max_col_name_len = 14;  // HDR-GROUP-DATE
    cobol_def def = read_def(text);
    EXPECT_EQ(run_long(opts, "", def).find("exceeds"), std::string::npos);
    EXPECT_EQ(named(def), "R HDR-GROUP HDR-GROUP-DATE TRL-GROUP TRL-GROUP-DATE");
    opts.max_col_name_len = 13;
    cobol_def def2 = read_def(text);
    EXPECT_NE(run_long(opts, "", def2).find("exceeds"), std::string::npos);
}

TEST(LongNames, Dialogue) {
    const std::string report1 =
        "\nColumn name exceeds maximum length (changing HEADER-GROUP.DATE to HEADER-GROUP-DATE)\n";
    const std::string report2 =
        "\nColumn name exceeds maximum length (changing TRAILER-GROUP.DATE to TRAILER-GROUP-DATE)\n";
    const std::string ask = "Enter new column name: ";
    struct dialogue_case {
        const char* what;
        int32_t fix;
        std::string answers;
        const char* first;
        const char* second;
        std::string printed;
    };
    const dialogue_case cases[] = {
        {"not fixed", 0, "", "HEADER-GROUP-DATE", "TRAILER-GROUP-DATE",
         report1 + "Changing HEADER-GROUP.DATE to HEADER-GROUP-DATE\n" + report2 +
             "Changing TRAILER-GROUP.DATE to TRAILER-GROUP-DATE\n"},
        {"words", 1, "hdr_date more words\n  TRL-DATE\n", "HDR-DATE", "TRL-DATE",
         report1 + ask + "Changing HEADER-GROUP.DATE to HDR_DATE\n" + report2 + ask +
             "Changing TRAILER-GROUP.DATE to TRL-DATE\n"},
        {"exit in lower case, then E", 1, "exit\n  e\n", "HEADER-GROUP-DATE", "TRAILER-GROUP-DATE",
         report1 + ask + "Changing HEADER-GROUP.DATE to HEADER-GROUP-DATE\n" + report2 + ask +
             "Changing TRAILER-GROUP.DATE to TRAILER-GROUP-DATE\n"},
        {"end of input", 1, "", "HEADER-GROUP-DATE", "TRAILER-GROUP-DATE",
         report1 + ask + "Keeping created name.\n" + "Changing HEADER-GROUP.DATE to HEADER-GROUP-DATE\n" +
             report2 + ask + "Keeping created name.\n" +
             "Changing TRAILER-GROUP.DATE to TRAILER-GROUP-DATE\n"},
        {"still too long, then empty, then short", 1, "MUCH-TOO-LONG-A-NAME\n\nH\nT\n", "H", "T",
         report1 + ask +
             "\nColumn name exceeds maximum length (changing HEADER-GROUP.DATE to MUCH-TOO-LONG-A-NAME)\n" +
             ask +
             "\nColumn name exceeds maximum length (changing HEADER-GROUP.DATE to MUCH-TOO-LONG-A-NAME)\n" +
             ask + "Changing HEADER-GROUP.DATE to H\n" + report2 + ask + "Changing TRAILER-GROUP.DATE to T\n"},
        {"exit after a too-long word keeps that word", 1, "MUCH-TOO-LONG-A-NAME\nEXIT\n", "MUCH-TOO-LONG-A-NAME",
         "TRAILER-GROUP-DATE",
         report1 + ask +
             "\nColumn name exceeds maximum length (changing HEADER-GROUP.DATE to MUCH-TOO-LONG-A-NAME)\n" +
             ask + "Changing HEADER-GROUP.DATE to MUCH-TOO-LONG-A-NAME\n" + report2 + ask +
             "Keeping created name.\nChanging TRAILER-GROUP.DATE to TRAILER-GROUP-DATE\n"},
        {"exit with a trailing blank is a word", 1, "EXIT \nE\r\n", "EXIT", "TRAILER-GROUP-DATE",
         report1 + ask + "Changing HEADER-GROUP.DATE to EXIT\n" + report2 + ask +
             "Changing TRAILER-GROUP.DATE to TRAILER-GROUP-DATE\n"},
        {"blanks without a line end are asked again", 1, "   ", "HEADER-GROUP-DATE", "TRAILER-GROUP-DATE",
         report1 + ask + ask + "Keeping created name.\n" + "Changing HEADER-GROUP.DATE to HEADER-GROUP-DATE\n" +
             report2 + ask + "Keeping created name.\n" +
             "Changing TRAILER-GROUP.DATE to TRAILER-GROUP-DATE\n"},
        {"a long line is read whole", 1, std::string(400, 'Q') + "\nB\nC\n", "B", "C",
         report1 + ask + "\nColumn name exceeds maximum length (changing HEADER-GROUP.DATE to " +
             std::string(400, 'Q') + ")\n" + ask + "Changing HEADER-GROUP.DATE to B\n" + report2 + ask +
             "Changing TRAILER-GROUP.DATE to C\n"},
    };
    for (const dialogue_case& c : cases) {
        SCOPED_TRACE(c.what);
        expand_options_t opts = defaults();
        opts.max_col_name_len = 12;
        opts.fix_long_names = c.fix;
        cobol_def def = long_name_def();
        EXPECT_EQ(run_long(opts, c.answers, def), c.printed);
        EXPECT_EQ((*def.fields)[2].name, c.first);
        EXPECT_EQ((*def.fields)[4].name, c.second);
    }
}

// ---- The fast passes against the plain rules ----

namespace plain {

int32_t find_ancestor(const std::vector<column_entry>& c, int32_t i, int32_t k) {
    for (int32_t j = i - 1; j >= 0; --j)
        if (c[j].depth == c[i].depth - k) return j;
    return -1;
}

std::string qualified(const std::vector<column_entry>& c, int32_t i) {
    std::string q = c[i].name;
    for (int32_t k = 1; k < c[i].depth; ++k) q = c[find_ancestor(c, i, k)].name + "." + q;
    return q;
}

int32_t redefined(const std::vector<column_entry>& c, int32_t i) {
    if (i > 0 && c[i - 1].depth == c[i].depth && !c[i - 1].elementary) return 0;
    for (int32_t j = 1; j < i; ++j)
        if (c[j].depth == c[i].depth && c[j].fetch_offset == c[i].fetch_offset) return j;
    return 0;
}

struct pass {
    const std::vector<column_entry>& old;
    const expand_options_t& o;
    FILE* out;
    std::vector<column_entry> cols;
    int32_t count[200] = {};
    int32_t current[200] = {};

    std::string name(const column_entry& f, int32_t L, bool element) {
        if (f.name == "FILLER") return "FILLER";
        std::string n = f.name;
        for (int32_t d = o.expand_group_arrays == 1 ? 1 : L; d <= L; ++d) {
            if (count[d] <= 1) continue;
            if (d == L && !element) break;
            int width = o.zero_fill == -1 ? static_cast<int>(std::to_string(count[d]).size()) : o.zero_fill;
            char digits[64];
            std::snprintf(digits, sizeof digits, "%0*d", width, current[d]);
            const char* before[] = {"", "[", "_", "-", "__"};
            n += std::string(before[o.style]) + digits + (o.style == 1 ? "]" : "");
        }
        return n;
    }

    void level(size_t first, int32_t L, int64_t a, int64_t b) {
        for (size_t i = first; i < old.size(); ++i) {
            const column_entry& f = old[i];
            if (f.depth < L) break;
            if (f.depth > L) continue;
            const int64_t size = f.data_type == 64 && f.elementary ? f.ext_len : f.int_len;
            column_entry e = f;
            e.fetch_offset = static_cast<int32_t>(f.fetch_offset - a + b);
            e.occurs = 1;
            if (f.occurs > 1) {
                e.elementary = 0;
                e.data_type = 0;
                e.int_len = e.bin_len = e.tbl_len = static_cast<int32_t>(f.occurs * size);
            }
            count[L] = f.occurs;
            current[L] = 1;
            e.name = name(f, L, false);
            cols.push_back(e);
            const int64_t plain_offset = e.fetch_offset;
            for (int32_t occ = 0; occ < f.occurs; ++occ) {
                int64_t at = plain_offset;
                if (f.occurs > 1) {
                    column_entry el = f;
                    el.occurs = 1;
                    at = plain_offset + occ * size;
                    el.fetch_offset = static_cast<int32_t>(at);
                    current[L] = occ + 1;
                    el.name = name(f, L, true);
                    cols.push_back(el);
                }
                if (i + 1 < old.size() && old[i + 1].depth == L + 1) level(i + 1, L + 1, f.fetch_offset, at);
            }
        }
    }

    void say(const std::string& s) { std::fputs(s.c_str(), out); }

    void omit() {
        size_t i = 0;
        while (i < cols.size()) {
            if (redefined(cols, static_cast<int32_t>(i)) == 0) {
                ++i;
                continue;
            }
            say("Eliminating redefines field " + qualified(cols, static_cast<int32_t>(i)) + "\n");
            size_t end = i + 1;
            while (end < cols.size() && cols[end].depth > cols[i].depth) ++end;
            cols.erase(cols.begin() + static_cast<std::ptrdiff_t>(i), cols.begin() + static_cast<std::ptrdiff_t>(end));
        }
    }

    static bool eligible(const column_entry& c) { return c.elementary && c.name != "FILLER"; }

    void by_index() {
        for (bool renamed = true; renamed;) {
            renamed = false;
            for (size_t i = 0; i < cols.size(); ++i) {
                if (!eligible(cols[i])) continue;
                const std::string n = cols[i].name;
                int32_t k = 0;
                for (size_t j = i + 1; j < cols.size(); ++j) {
                    if (cols[j].name != n) continue;
                    ++k;
                    if (k == 1) {
                        const std::string to = n + (o.resolve_dups == 1 ? "_1" : "_A");
                        say("Changing " + qualified(cols, static_cast<int32_t>(i)) + " to " + to + "\n");
                        cols[i].name = to;
                    }
                    std::string to = n + "_";
                    if (o.resolve_dups == 1)
                        to += std::to_string(k + 1);
                    else
                        to += static_cast<char>('A' + k);  // random records stay well below "~"
                    say("Changing " + qualified(cols, static_cast<int32_t>(j)) + " to " + to + "\n");
                    cols[j].name = to;
                }
                if (k > 0) renamed = true;
            }
        }
    }

    void by_group() {
        const std::string sep = o.style == 3 ? "-" : o.style == 4 ? "__" : "_";
        for (int32_t i = 0; i < static_cast<int32_t>(cols.size()); ++i) {
            if (!eligible(cols[i])) continue;
            std::vector<int32_t> dups;
            for (int32_t j = 0; j < static_cast<int32_t>(cols.size()); ++j)
                if (j != i && eligible(cols[j]) && cols[j].name == cols[i].name) dups.push_back(j);
            if (dups.empty()) continue;
            int32_t k = 1;
            for (;; ++k) {
                if (k > cols[i].depth) break;
                const std::string mine = cols[find_ancestor(cols, i, k)].name + sep + cols[i].name;
                bool clash = false;
                for (int32_t j = 0; j < static_cast<int32_t>(cols.size()) && !clash; ++j) {
                    if (j == i || !eligible(cols[j])) continue;
                    const int32_t a = find_ancestor(cols, j, k);
                    if (a >= 0 && k <= cols[j].depth && cols[a].name + sep + cols[j].name == mine) clash = true;
                }
                if (!clash) break;
            }
            if (k > cols[i].depth) {
                say("Could not resolve duplicate field name " + cols[i].name + "\n");
                continue;
            }
            dups.insert(dups.begin(), i);
            for (int32_t c : dups) {
                if (k > cols[c].depth) continue;
                std::string to = cols[find_ancestor(cols, c, k)].name + sep + cols[c].name;
                cobol_def view;
                view.fields = std::shared_ptr<std::vector<column_entry>>(&cols, [](auto*) {});
                to = fix_long_name(view, c, to, o);
                say("Changing " + qualified(cols, c) + " to " + to + "\n");
                cols[c].name = to;
            }
        }
    }
};

// The whole pass by the plain rules, printing to `out`; the dialogue
// itself is shared.
std::vector<column_entry> expand(const std::vector<column_entry>& old, const expand_options_t& o, FILE* out) {
    pass p{old, o, out, {}};
    p.level(0, 0, 0, 0);
    if (o.omit_redefs == 1) p.omit();
    if (o.resolve_dups == 1 || o.resolve_dups == 2) p.by_index();
    if (o.resolve_dups == 3) p.by_group();
    for (column_entry& c : p.cols)
        for (char& ch : c.name)
            if (ch == '_') ch = '-';
    return p.cols;
}

}  // namespace plain

// Random records with few, clashing names (some with hyphens, so group
// prefixes can collide across different splits), nested arrays and
// redefinitions.
std::string answers(std::mt19937& rng) {
    static const char* const lines[] = {"EXIT\n", "e\n", "Q\n", "LONGER-THAN-ANY-LIMIT\n", "\n", "  z y\n", "ab\n"};
    std::string s;
    const int n = std::uniform_int_distribution<int>(0, 30)(rng);
    for (int i = 0; i < n; ++i) s += lines[std::uniform_int_distribution<int>(0, 6)(rng)];
    return s;
}

std::string describe(const column_entry& c) {
    return c.name + " d" + std::to_string(c.depth) + " @" + std::to_string(c.fetch_offset) + " l" +
           std::to_string(c.int_len) + "/" + std::to_string(c.bin_len) + "/" + std::to_string(c.tbl_len) + "/" +
           std::to_string(c.ext_len) + " t" + std::to_string(c.data_type) + " e" + std::to_string(c.elementary) +
           " o" + std::to_string(c.occurs) + " s" + std::to_string(c.scale);
}

std::string describe(const std::vector<column_entry>& cols) {
    std::string s;
    for (const column_entry& c : cols) s += describe(c) + "\n";
    return s;
}

TEST(Differential, FastPassesMatchThePlainRules) {
    std::mt19937 rng(20240611);
    int compared = 0;
    for (int round = 0; round < 1500; ++round) {
        record_maker maker(static_cast<uint32_t>(rng()));
        const std::string text = maker.make();
        const read_result r = read_text(text);
        if (r.ok != 1 || r.defs.size() != 1) continue;  // e.g. a REDEFINES the reader refuses
        const std::vector<column_entry> old = *r.defs[0].fields;

        expand_options_t o = defaults();
        o.style = 1 + static_cast<int32_t>(rng() % 4);
        const int32_t fills[] = {-1, 0, 1, 2, 3};
        o.zero_fill = fills[rng() % 5];
        o.expand_group_arrays = static_cast<int32_t>(rng() % 2);
        o.resolve_dups = static_cast<int32_t>(rng() % 4);
        o.omit_redefs = static_cast<int32_t>(rng() % 2);
        o.fix_long_names = static_cast<int32_t>(rng() % 2);
        o.max_col_name_len = 3 + static_cast<int32_t>(rng() % 10);
        const std::string typed = answers(rng);

        std::string want_printed;
        std::vector<column_entry> want;
        {
            console_capture console(typed);
            want = plain::expand(old, o, console.out());
            want_printed = console.printed();
        }
        cobol_def def = r.defs[0];
        def.fields = std::make_shared<std::vector<column_entry>>(old);
        std::string got_printed;
        {
            console_capture console(typed);
            expand_columns(&def, o);
            got_printed = console.printed();
        }
        SCOPED_TRACE(text);
        ASSERT_EQ(describe(*def.fields), describe(want));
        ASSERT_EQ(def.field_count, static_cast<int32_t>(def.fields->size()));
        ASSERT_EQ(got_printed, want_printed);

        // Unrolled count, and the one-pass redefinition index.
        cobol_def counted = r.defs[0];
        counted.fields = std::make_shared<std::vector<column_entry>>(old);
        expand_options_t plain_opts = o;
        plain_opts.omit_redefs = 0;
        plain_opts.resolve_dups = 0;
        const int64_t expected = count_expanded_columns(counted);
        expand_columns(&counted, plain_opts);
        ASSERT_EQ(expected, static_cast<int64_t>(counted.fields->size()));
        const std::vector<int32_t> all = CD_redefinitions(*counted.fields);
        for (int32_t i = 0; i < static_cast<int32_t>(all.size()); ++i) {
            ASSERT_EQ(all[i], plain::redefined(*counted.fields, i)) << i;
            ASSERT_EQ(qualified_name(counted, i), plain::qualified(*counted.fields, i)) << i;
        }
        ++compared;
    }
    EXPECT_GE(compared, 1000);
}

}  // namespace
