// The run parameter command reader: what each command text becomes, what
// the report shows for it, and that no input can make it overflow, hang or
// read a stream that is not open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kvapp/parmutl.h"
#include "kvstd/config.h"
#include "message_recorder.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

const auto read_all = test_files::read_stream;
using test_files::stream_of;

// One reader run: the parameter text as the run parameter file, the report
// in a temporary file, the console swallowed, every message recorded.
class ParmReader : public testing::Test {
protected:
    void SetUp() override {
        kv_ensure_global_settings();
        saved_param_ = global_settings.param_file;
        saved_report_ = global_settings.report_file;
        report_ = std::tmpfile();
        global_settings.report_file = report_;
        global_settings.obey_active = 0;
        global_settings.obey_file = nullptr;
        global_settings.semicolon_mode = 0;
        dir_ = fs::temp_directory_path() / ("tabcopy-parmutl-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (global_settings.obey_file) std::fclose(global_settings.obey_file);
        global_settings.obey_active = 0;
        global_settings.obey_file = nullptr;
        global_settings.semicolon_mode = 0;
        if (param_) std::fclose(param_);
        global_settings.param_file = saved_param_;
        global_settings.report_file = saved_report_;
        std::fclose(report_);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string file(const std::string& name, const std::string& content) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    // Every command the reader delivers for `text`, in order.
    std::vector<std::string> commands(const std::string& text) {
        if (param_) std::fclose(param_);
        param_ = stream_of(text);
        global_settings.param_file = param_;
        std::vector<std::string> out;
        std::string command = "left over";
        // The console copy of the report is not looked at here.
        testing::internal::CaptureStdout();
        for (int guard = 0; guard < 1000 && kvGetNextCommand(command); ++guard)
            out.push_back(command);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(command, "") << "the command is empty once the input is exhausted";
        return out;
    }

    std::string report() { return read_all(report_); }

    MessageRecorder messages_;
    FILE* param_ = nullptr;
    FILE* report_ = nullptr;
    FILE* saved_param_ = nullptr;
    FILE* saved_report_ = nullptr;
    fs::path dir_;
};

using Commands = std::vector<std::string>;

TEST_F(ParmReader, LinesBecomeCommands) {
    struct Case {
        const char* input;
        Commands expected;
    } cases[] = {
        {"", {}},
        {"TRACE\n", {"TRACE"}},
        {"TRACE", {"TRACE"}},  // last line without newline
        {"TRACE\r\n", {"TRACE"}},
        {"\n   \n", {"", ""}},  // empty commands are delivered
        {"DDLFILE x PURGE;\n", {"DDLFILE x PURGE"}},
        {"DDLFILE x;;\n", {"DDLFILE x;"}},  // only one ";" goes
        {"FILE A\n   DEF B;\n", {"FILE A    DEF B"}},
        {"FILE A\nDEF B\nKEYCOLS (C);\nTRACE\n", {"FILE A DEF B KEYCOLS (C)", "TRACE"}},
        {"file a\ndef b;\n", {"file a def b"}},  // verbs in any case
        {"FILE A DEF B ;\n", {"FILE A DEF B"}},
        {"TABLE S.\n     T;\n", {"TABLE S.T"}},  // period rejoin drops the indent
        {"FILE X.\n  Y DEF Z.\n  W;\n", {"FILE X.Y DEF Z.W"}},
        {"MAP a\nb;\nQUERY c\nd;\n", {"MAP a b", "QUERY c d"}},
        {"FILEX a\nTRACE\n", {"FILEX a", "TRACE"}},  // a longer word is not FILE
        {"TRACE A\n   B;\n", {"TRACE A", "   B"}},    // only FILE and friends continue
        {"-- c\n   -- c\nCOMMENT c\ncommentary c\nTRACE\n", {"TRACE"}},
        {"FILE A\n-- between\n  comment too\nDEF B;\n", {"FILE A DEF B"}},
        {"TRACE -- trailing\n", {"TRACE"}},
        {"FILE 'a--b' DEF X; -- c\n", {"FILE 'a--b' DEF X"}},
        {"FILE \"x -- y\" DEF X;\n", {"FILE \"x -- y\" DEF X"}},
        {"X 'a' -- it's\n", {"X 'a' -- it's"}},  // odd quote count after the "--"
        {"TRACE ??\n", {"TRACE ?"}},
        {"A ???B\n", {"A ??B"}},  // "?" from "??", then ?B, undefined and kept
        {"TRACE ?\n", {"TRACE ?"}},
    };
    for (const Case& c : cases) {
        unsetenv("B");
        EXPECT_EQ(commands(c.input), c.expected) << c.input;
    }
}

TEST_F(ParmReader, WholeLinesOfAnyLengthAreKept) {
    // A long FILE statement keeps every word intact, with no blank inserted.
    const std::string name(1000, 'N');
    EXPECT_EQ(commands("FILE " + name + " DEF D;\n"), Commands{"FILE " + name + " DEF D"});
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ParmReader, SemicolonModeEndsEveryCommandAtItsSemicolon) {
    EXPECT_EQ(commands("TRACE\nsemicolonterminate\nDDLFILE a\n PURGE;\nTRACE;\n"),
              (Commands{"TRACE", "DDLFILE a  PURGE", "TRACE"}));
    // Once on it stays on.
    EXPECT_EQ(commands("TRACE\nX;\n"), Commands{"TRACE X"});
}

TEST_F(ParmReader, EchoesEveryLineTrimmedThenTheSubstitutions) {
    setenv("P5_A", "va", 1);
    setenv("P5_B", "vb", 1);
    commands("-- head   \n\nFILE A ?P5_A  \n   DEF ?P5_B;\nTRACE\n");
    EXPECT_EQ(report(),
              "-- head\n\nFILE A ?P5_A\n   DEF ?P5_B;\n?P5_A = va\n?P5_B = vb\nTRACE\n");
}

TEST_F(ParmReader, SubstitutesEnvironmentReferences) {
    setenv("P5_A", "va", 1);
    setenv("P5_NEST", "x?P5_A", 1);  // a "?" inside a value is a reference
    setenv("P5_LEAD", "?P5_A", 1);   // the value's first character is not
    setenv("P5_EMPTY", "", 1);
    setenv("P5_LONG", std::string(300, 'L').c_str(), 1);
    struct Case {
        const char* input;
        std::string expected;
    } cases[] = {
        {"X ?P5_A\n", "X va"},
        {"X ?P5_A/?P5_A.txt\n", "X va/va.txt"},
        {"X ?p5_a-b\n", "X ?p5_a-b"},  // names run over "-" and are case-sensitive
        {"X ?P5_NEST\n", "X xva"},
        {"X ?P5_LEAD\n", "X ?P5_A"},
        {"X [?P5_EMPTY]\n", "X []"},
        {"X ?P5_LONG!\n", "X " + std::string(300, 'L') + "!"},  // inserted whole
    };
    for (const Case& c : cases) EXPECT_EQ(commands(c.input), Commands{c.expected}) << c.input;
}

TEST_F(ParmReader, PasswordValuesAreSubstitutedButNeverEchoed) {
    setenv("PASSWORD", "s3cret", 1);
    setenv("pw", "other", 1);
    setenv("P5_A", "va", 1);
    EXPECT_EQ(commands("X ?P5_A ?pw\nY ?PASSWORD\n"), (Commands{"X va other", "Y s3cret"}));
    EXPECT_EQ(report(), "X ?P5_A ?pw\n?P5_A = va\nY ?PASSWORD\n");
    unsetenv("PASSWORD");
    unsetenv("pw");
}

TEST_F(ParmReader, UndefinedReferencesAreReportedAndKept) {
    unsetenv("P5_NONE");
    EXPECT_EQ(commands("X ?P5_NONE y\n"), Commands{"X ?P5_NONE y"});
    ASSERT_EQ(messages_.codes(), std::vector<uint32_t>{30});
    EXPECT_EQ(messages_.last().args, std::vector<std::string>{"P5_NONE"});
    EXPECT_EQ(messages_.last().module, "kvapp.parmutl");
    EXPECT_EQ(messages_.last().function, "kvGetNextCommand");

    messages_.clear();
    EXPECT_EQ(commands("X ?.y\n"), Commands{"X ?.y"});
    EXPECT_EQ(messages_.codes(), (std::vector<uint32_t>{31, 30}));
    EXPECT_EQ(messages_.last().args, std::vector<std::string>{""});
}

TEST_F(ParmReader, SelfReferringValueStopsAtTheLimit) {
    setenv("P5_SELF", "a?P5_SELF", 1);
    EXPECT_EQ(commands("X ?P5_SELF\nTRACE\n"), Commands{"TRACE"});
    EXPECT_EQ(messages_.codes(), std::vector<uint32_t>{394});
}

TEST(MaskPasswords, MasksEveryValue) {
    struct Case {
        const char* line;
        const char* echoed;
    } cases[] = {
        {"connect PASSWORD secret", "connect PASSWORD ******"},
        {"password   \"abc\" x", "password   \"***\" x"},
        {"PASSWORD a, PASSWORD bb", "PASSWORD ** PASSWORD **"},  // up to the blank
        {"MYPASSWORD x", "MYPASSWORD *"},
        {"PW abc", "PW ***"},
        {"user=u pw abc", "user=u pw ***"},
        {"x,PW abc", "x,PW ***"},
        {"SPW abc", "SPW abc"},
        {"PWD abc", "PWD abc"},
        {"PASSWORD", "PASSWORD"},
        {"PASSWORD=abc", "PASSWORD=abc"},
        {"no secret here", "no secret here"},
    };
    for (const Case& c : cases) EXPECT_EQ(kvMaskPasswords(c.line), c.echoed) << c.line;
}

TEST_F(ParmReader, EchoIsMaskedCommandIsNot) {
    EXPECT_EQ(commands("LOGIN PASSWORD abc PW de\n"), Commands{"LOGIN PASSWORD abc PW de"});
    EXPECT_EQ(report(), "LOGIN PASSWORD *** PW **\n");
}

TEST_F(ParmReader, UnfinishedStatementAtTheEndIsDropped) {
    EXPECT_EQ(commands("TRACE\nFILE A\n  DEF B\n"), Commands{"TRACE"});
    EXPECT_EQ(messages_.codes(), std::vector<uint32_t>{396});
}

TEST_F(ParmReader, OverlongCommandIsDroppedWhole) {
    const std::string words(60000, 'w');
    // A single line, then a statement that grows past the limit over its
    // lines: each is dropped with its remaining lines, and reading goes on.
    EXPECT_EQ(commands("X " + words + "\nTRACE\n"), Commands{"TRACE"});
    EXPECT_EQ(messages_.codes(), std::vector<uint32_t>{394});
    messages_.clear();
    const std::string third(20000, 't');
    EXPECT_EQ(commands("FILE A\n" + third + "\n" + third + "\n" + third + "\nDEF B;\nTRACE\n"),
              Commands{"TRACE"});
    EXPECT_EQ(messages_.codes(), std::vector<uint32_t>{394});
}

TEST_F(ParmReader, CommandLengthBoundIsExact) {
    // "X " plus the word: 49999 characters is the longest command delivered.
    const std::string fits(49997, 'f');
    EXPECT_EQ(commands("X " + fits + "\n"), Commands{"X " + fits});
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(commands("X " + fits + "f\n"), Commands{});
    EXPECT_EQ(messages_.codes(), std::vector<uint32_t>{394});
}

TEST_F(ParmReader, LongCommentLinesAreNotCommands) {
    // Comment lines never join a command, so their length does not count.
    EXPECT_EQ(commands("-- " + std::string(60000, 'c') + "\nTRACE\n"), Commands{"TRACE"});
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ParmReader, ObeyReadsTheFileInPlace) {
    const std::string inc = file("inc.par", "TRACE 1\nFILE A\n");
    EXPECT_EQ(commands("obey " + inc + "\n  DEF B;\nTRACE 2\n"),
              (Commands{"TRACE 1", "FILE A   DEF B", "TRACE 2"}));
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(global_settings.obey_active, 0);
    EXPECT_EQ(report(), "obey " + inc + "\nTRACE 1\nFILE A\n  DEF B;\nTRACE 2\n");
}

TEST_F(ParmReader, ObeySubstitutionsAreShownWithTheNextCommand) {
    setenv("P5_OBX", "1", 1);
    const std::string more = file("more.par", "TRACE\nFILE A\n  DEF B;\n");
    EXPECT_EQ(commands("OBEY " + more + " ?P5_OBX\n"), (Commands{"TRACE", "FILE A   DEF B"}));
    EXPECT_EQ(report(), "OBEY " + more + " ?P5_OBX\nTRACE\n?P5_OBX = 1\nFILE A\n  DEF B;\n");
    unsetenv("P5_OBX");
}

TEST_F(ParmReader, ObeyRefusalsLeaveTheInputInForce) {
    struct Case {
        std::string line;
        std::vector<uint32_t> codes;
        std::vector<std::string> args;
    } cases[] = {
        {"OBEY", {269}, {}},
        {"OBEY " + (dir_ / "missing.par").string(), {267}, {(dir_ / "missing.par").string()}},
        {"OBEY " + dir_.string(), {267}, {dir_.string()}},  // a directory
        {"OBEY /dev/zero", {267}, {"/dev/zero"}},          // would never end
    };
    for (const Case& c : cases) {
        messages_.clear();
        EXPECT_EQ(commands(c.line + "\nTRACE\n"), Commands{"TRACE"}) << c.line;
        EXPECT_EQ(messages_.codes(), c.codes) << c.line;
        EXPECT_EQ(messages_.last().args, c.args) << c.line;
        EXPECT_EQ(global_settings.obey_active, 0);
    }
}

TEST_F(ParmReader, ObeyFileThatCannotBeOpened) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
    const std::string locked = file("locked.par", "TRACE 1\n");
    ::chmod(locked.c_str(), 0);
    EXPECT_EQ(commands("OBEY " + locked + "\nTRACE 2\n"), Commands{"TRACE 2"});
    EXPECT_EQ(messages_.codes(), std::vector<uint32_t>{266});
    EXPECT_EQ(messages_.last().args, std::vector<std::string>{locked});
}

TEST_F(ParmReader, ObeyInsideObeyReplacesTheCurrentFile) {
    const std::string second = file("second.par", "TRACE 2\n");
    const std::string first = file("first.par", "TRACE 1\nOBEY " + second + "\nTRACE lost\n");
    EXPECT_EQ(commands("OBEY " + first + "\nTRACE 3\n"),
              (Commands{"TRACE 1", "TRACE 2", "TRACE 3"}));
    EXPECT_EQ(messages_.codes(), std::vector<uint32_t>{270});
}

// Found by fuzzing: with 270 swallowed, OBEY files that name themselves
// or each other replaced one another for ever.
TEST_F(ParmReader, ObeyChainThatComesBackEnds) {
    const std::string self = (dir_ / "self.par").string();
    file("self.par", "TRACE self\nOBEY " + self + "\nTRACE rest\n");
    EXPECT_EQ(commands("OBEY " + self + "\nTRACE 3\n"),
              (Commands{"TRACE self", "TRACE rest", "TRACE 3"}));
    EXPECT_EQ(messages_.codes(), std::vector<uint32_t>{270});

    messages_.clear();
    const std::string a = (dir_ / "a.par").string(), b = (dir_ / "b.par").string();
    file("a.par", "TRACE a\nOBEY " + b + "\n");
    file("b.par", "TRACE b\nOBEY " + a + "\nTRACE b2\n");
    EXPECT_EQ(commands("OBEY " + a + "\nTRACE 3\nOBEY " + a + "\n"),
              (Commands{"TRACE a", "TRACE b", "TRACE b2", "TRACE 3", "TRACE a", "TRACE b",
                        "TRACE b2"}));
    EXPECT_EQ(messages_.codes(), (std::vector<uint32_t>{270, 270, 270, 270}));
    EXPECT_EQ(global_settings.obey_active, 0);
}

TEST_F(ParmReader, ObeyKeywordIsTheWholeFirstWord) {
    EXPECT_EQ(commands("OBEYS x\n"), Commands{"OBEYS x"});
    EXPECT_TRUE(messages_.empty());
}

}  // namespace
