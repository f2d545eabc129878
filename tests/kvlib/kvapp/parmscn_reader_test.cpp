// Command file reader: lines into statements, chunks and commands, "&"
// continuation, comments, statements waiting for ";", "?" substitution and
// white-space normalisation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "kvapp/parmscn.h"
#include "kvapp/parmscn_internal.h"
#include "message_recorder.h"
#include "parmscn_testing.h"

using parmscn_testing::commands_of;
using parmscn_testing::read_text;
using Commands = std::vector<std::string>;

namespace {

struct ReadCase {
    const char* what;
    std::string input;
    Commands expected;
};

TEST(CommandReader, DeliversCommandsOfTheLanguage) {
    const ReadCase cases[] = {
        // A command's line end becomes a blank, like every white space.
        {"one command per line", "KVSCHEMA A\nMGRSERVNAME B\n", {"KVSCHEMA A ", "MGRSERVNAME B "}},
        {"no newline at the end", "KVSCHEMA A", {"KVSCHEMA A"}},
        {"ampersand joins directly", "KVSCHEMA AB&\nCD\n", {"KVSCHEMA ABCD "}},
        {"blank before ampersand kept", "KVSCHEMA AB &\n   CD\n", {"KVSCHEMA AB    CD "}},
        {"ampersand with trailing blanks", "A &  \t\nB\n", {"A B "}},
        {"three lines joined", "A &\nB &\nC\n", {"A B C "}},
        {"semicolon separates commands", "A=1; B=2\n", {"A=1", " B=2 "}},
        {"trailing semicolon", "A 1;\n", {"A 1"}},
        {"comment chunk then command", "COMMENT drop this; KEY v\n", {" KEY v "}},
        {"comment in any case", "comment x\nK v\n", {"K v "}},
        {"word beginning with COMMENT is no comment", "COMMENTARY x\n", {"COMMENTARY x "}},
        {"comment line", "-- nothing here\n  -- nor here\n", {}},
        {"trailing comment cut, newline kept", "KEY v -- note\n", {"KEY v  "}},
        {"dashes inside quotes", "KEY 'a -- b'\n", {"KEY 'a -- b' "}},
        {"odd quotes after dashes: dropped as a chunk", "-- it's\nK v\n", {"K v "}},
        {"quotes protect semicolon", "KEY 'x;y'\n", {"KEY 'x;y' "}},
        {"double quotes protect semicolon", "KEY \"x;y\";Z\n", {"KEY \"x;y\"", "Z "}},
        {"other quote kind nests", "KEY \"a'b;c\"\n", {"KEY \"a'b;c\" "}},
        {"table over three lines", "TABLE a\n  b\nc;\n", {"TABLE a   b c"}},
        {"map waits, comment lines inside", "MAP a\n-- x\nb;\n", {"MAP a b"}},
        {"blank lines give nothing", "\n\n   \nK v\n", {"K v "}},
        {"crlf line ends", "K v\r\nL w\r\n", {"K v ", "L w "}},
        {"semicolon mode", "SEMICOLONTERMINATE\nA 1\nB 2;\nC;\n",
         {"SEMICOLONTERMINATE ", "A 1 B 2", "C"}},
        {"quote newline quote dropped", "MAP \"abc\"\n  \"def\";\n", {"MAP \"abcdef\""}},
        {"quote blank quote kept", "K \"a\" \"b\"\n", {"K \"a\" \"b\" "}},
        {"doubled quotes copied", "K \"\"\n", {"K \"\" "}},
        {"tab becomes blank", "K\tv\n", {"K v "}},
    };
    for (const ReadCase& c : cases) {
        MessageRecorder messages;
        EXPECT_EQ(commands_of(c.input), c.expected) << c.what;
        EXPECT_TRUE(messages.empty()) << c.what;
    }
}

TEST(CommandReader, LongLinesArriveInPieces) {
    // A physical line longer than one read is cut: the rest is a statement
    // of its own.
    const std::string word(kCiLinePiece, 'x');
    const Commands got = commands_of("K " + word + "\n");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "K " + word.substr(0, kCiLinePiece - 2));
    EXPECT_EQ(got[1], "xx ");
}

TEST(CommandReader, AStatementBeyondTheLimitIsRefused) {
    // 41 continued lines fit; the 42nd passes the limit and the statement
    // is dropped; the lines after it form a statement of their own.
    const std::string piece(4990, 'x');
    std::string text;
    for (int i = 0; i < 50; ++i) text += piece + "&\n";
    MessageRecorder messages;
    const Commands got = commands_of(text + "END\n");
    EXPECT_EQ(messages.codes(), std::vector<uint32_t>{290});
    std::string rest;
    for (int i = 0; i < 8; ++i) rest += piece;
    EXPECT_EQ(got, Commands{rest + "END "});
}

TEST(CommandReader, InputEndingInsideAStatementRaises268) {
    for (const char* input : {"MAP a\nb\n", "MACRO #M\nBEGIN\nK\n", "FILE x"}) {
        MessageRecorder messages;
        const auto run = read_text(input);
        EXPECT_TRUE(run.ended);
        EXPECT_TRUE(run.commands.empty()) << input;
        EXPECT_EQ(messages.codes(), std::vector<uint32_t>{268}) << input;
        EXPECT_EQ(messages.last().module, "kvapp.parmscn");
        EXPECT_EQ(messages.last().function, "ci_get_next_cmd");
    }
}

TEST(CommandReader, ContinuationAtTheEndOfTheInputIsDropped) {
    MessageRecorder messages;
    EXPECT_EQ(commands_of("K v\nL w &\n"), (Commands{"K v "}));
    EXPECT_TRUE(messages.empty());
}

TEST(CommandReader, SubstitutesDefinedVariablesAndEchoesThem) {
    setenv("PARMSCN_TEST_VALUE", "sch1", 1);
    setenv("PASSWORD", "secret", 1);
    unsetenv("PARMSCN_TEST_UNSET");
    MessageRecorder messages;
    const auto run = read_text(
        "KVSCHEMA ?PARMSCN_TEST_VALUE\nK ?PARMSCN_TEST_UNSET ??x ?\nP ?PASSWORD\n");
    EXPECT_EQ(run.commands,
              (Commands{"KVSCHEMA sch1 ", "K ?PARMSCN_TEST_UNSET ??x ? ", "P secret "}));
    // No line for the undefined name nor for the password.
    EXPECT_EQ(run.report, "?PARMSCN_TEST_VALUE = sch1\n");
    EXPECT_TRUE(messages.empty());
    unsetenv("PASSWORD");
}

TEST(CommandReader, InsertedValuesAreNotScannedAgain) {
    setenv("PARMSCN_TEST_REF", "?PARMSCN_TEST_REF", 1);
    MessageRecorder messages;
    EXPECT_EQ(commands_of("K ?PARMSCN_TEST_REF\n"), (Commands{"K ?PARMSCN_TEST_REF "}));
}

TEST(CommandReader, ANewInputStartsAfterTheEnd) {
    MessageRecorder messages;
    EXPECT_EQ(commands_of("MACRO #M\nBEGIN\nX\nEND\n#M()\n"), (Commands{"X "}));
    // Macros and settings belong to the input that defined them.
    EXPECT_EQ(commands_of("#M()\n"), (Commands{"#M() "}));
}

TEST(CommandReader, AbandonedInputClosesOnlyItsOwnFiles) {
    parmscn_testing::TempDir dir;
    const std::string inner = dir.write("inner.cmd", "A\nB\n");
    FILE* outer = std::tmpfile();
    const std::string text = "INCLUDE " + inner + "\nC\n";
    std::fwrite(text.data(), 1, text.size(), outer);
    std::rewind(outer);
    MessageRecorder messages;
    kv_ensure_global_settings();
    std::string command;
    testing::internal::CaptureStdout();
    ASSERT_EQ(ci_get_next_cmd(command, outer), 1);
    EXPECT_EQ(command, "A ");
    ci_abandon_input();
    testing::internal::GetCapturedStdout();
    // The caller's stream is still open and usable.
    EXPECT_EQ(std::fputc('x', outer), 'x');
    std::fclose(outer);
    EXPECT_TRUE(messages.empty());
}

// ci_split_text: the cut rules shared by chunks and commands.
TEST(SplitText, CutsAtSemicolonsOutsideQuotesAndAtEveryNewline) {
    struct Piece {
        std::string text;
        bool terminated;
    };
    struct Case {
        std::string input;
        std::vector<Piece> pieces;
    };
    const Case cases[] = {
        {"a;b", {{"a", true}, {"b", false}}},
        {"a\nb", {{"a\n", false}, {"b", false}}},
        {"'a;b'\n", {{"'a;b'\n", false}}},
        {"'a\nb;c", {{"'a\n", false}, {"b", true}, {"c", false}}},
        // The inner quote opens a level, so the closing '"' opens another.
        {"\"a'b\";c", {{"\"a'b\";c", false}}},
        {"a\n;b", {{"a\n", true}, {"b", false}}},
        {"a\n)b", {{"a\n", false}, {"b", false}}},
        {"a\n);b", {{"a\n", false}, {")", true}, {"b", false}}},
        {"a;", {{"a", true}, {"", false}}},
        {"", {{"", false}}},
    };
    for (const Case& c : cases) {
        size_t cursor = 0;
        size_t remaining = c.input.size() + 1;
        std::vector<Piece> got;
        while (remaining && got.size() < 10) {
            Piece p;
            ci_split_text(c.input, cursor, remaining, p.text, p.terminated);
            got.push_back(p);
        }
        ASSERT_EQ(got.size(), c.pieces.size()) << c.input;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].text, c.pieces[i].text) << c.input << " piece " << i;
            EXPECT_EQ(got[i].terminated, c.pieces[i].terminated) << c.input << " piece " << i;
        }
    }
}

TEST(CompleteStatement, NormalisesAndResetsTheExpandedMarkOnlyWhenEmpty) {
    kv_ensure_global_settings();
    ci_state st;
    st.accumulated = "K \"a\"\n\t\"b\"\r\n";
    st.expanded = 1;
    ci_complete_statement(st);
    EXPECT_EQ(st.complete, "K \"ab\"  ");
    EXPECT_EQ(st.complete_pending, st.complete.size());
    EXPECT_TRUE(st.accumulated.empty());
    EXPECT_EQ(st.expanded, 1);
    ci_complete_statement(st);
    EXPECT_EQ(st.complete_pending, 0u);
    EXPECT_EQ(st.expanded, 0);
}

TEST(CommentIndex, FindsTheLeftmostDashesWithEvenQuotesAfterThem) {
    struct Case {
        std::string text;
        size_t expected;
    };
    const Case cases[] = {
        {"a -- b", 2},       {"a 'x' -- b", 6},     {"a '-- b", 3},
        {"a -- ' b '", 2},   {"a -- ' -- b", 7},    {"---", 0},
        {"a -", ci_npos},    {"'\"' -- x", 4},       {"x -- 'y", ci_npos},
        {"x--\n'--'", 1},
    };
    for (const Case& c : cases) {
        ci_comment_index index;
        index.reset();
        EXPECT_EQ(index.update(c.text), c.expected) << c.text;
        // Fed line by line, the index must agree with one pass over the text.
        ci_comment_index stepwise;
        stepwise.reset();
        std::string growing;
        size_t got = ci_npos;
        for (char ch : c.text) {
            growing += ch;
            got = stepwise.update(growing);
        }
        EXPECT_EQ(got, c.expected) << c.text << " (stepwise)";
    }
}

TEST(CommentIndex, ACommentCutByALaterQuoteLineRemovesTheLinesAfterIt) {
    // The second line's quote makes the first line's "--" a comment start.
    MessageRecorder messages;
    EXPECT_EQ(commands_of("MACRO #M\nPARAMS (#P)\nBEGIN\nV #P\nEND\nK #M(a -- '\n')\n)\n"),
              (Commands{"K V a "}));
    EXPECT_TRUE(messages.empty());
}

}  // namespace
