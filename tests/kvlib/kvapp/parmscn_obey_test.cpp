// OBEY/INCLUDE nesting through the file stack, the statements it refuses,
// and a fuzz run showing that the reader ends on any input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kvapp/parmscn_internal.h"
#include "message_recorder.h"
#include "parmscn_testing.h"

using parmscn_testing::read_stream;
using parmscn_testing::read_text;
using parmscn_testing::TempDir;
using Commands = std::vector<std::string>;
using Codes = std::vector<uint32_t>;

namespace {

parmscn_testing::ReaderRun read_file(const std::string& path) {
    FILE* stream = std::fopen(path.c_str(), "r");
    if (!stream) ADD_FAILURE() << "cannot open " << path;
    auto run = read_stream(stream);
    if (stream) std::fclose(stream);
    return run;
}

TEST(ObeyInclude, NestedFilesAreReadInPlace) {
    TempDir dir;
    const std::string inner = dir.write("inner.cmd", "C1\n");
    const std::string mid = dir.write("mid.cmd", "B\nobey " + inner + "\nC2\n");
    MessageRecorder messages;
    const auto run = read_text("A\nINCLUDE " + mid + "\nD\n");
    EXPECT_EQ(run.commands, (Commands{"A ", "B ", "C1 ", "C2 ", "D "}));
    EXPECT_TRUE(messages.empty());
}

TEST(ObeyInclude, AStatementGoesOnAcrossTheEndOfANestedFile) {
    TempDir dir;
    const std::string inner = dir.write("inner.cmd", "K &\n");
    MessageRecorder messages;
    EXPECT_EQ(read_text("INCLUDE " + inner + "\nV\n").commands, (Commands{"K V "}));
}

// Found by fuzzing: after 267 (when it lets the run go on) a FIFO was
// still opened, and the reader blocked until some writer came. A writer
// stands ready here, so an open would read its line instead of hanging;
// the FIFO is then opened once more to let the writer finish.
TEST(ObeyInclude, AFifoIsNeverOpened) {
    TempDir dir;
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        const char line[] = "K FROM FIFO\n";
        if (::write(fd, line, sizeof line - 1) < 0) ADD_FAILURE() << "write";
        ::close(fd);
    });
    MessageRecorder messages;
    const auto run = read_text("INCLUDE " + fifo + "\nK\n");
    const int release = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (release >= 0) ::close(release);
    EXPECT_EQ(run.commands, (Commands{"K "}));
    EXPECT_EQ(messages.codes(), (Codes{267}));
}

TEST(ObeyInclude, RefusedStatementsLeaveTheInputWhereItIs) {
    TempDir dir;
    struct Case {
        const char* what;
        std::string statement;
        Codes codes;
    };
    const Case cases[] = {
        {"missing file", "INCLUDE " + dir.path() + "/none.cmd", {267, 266}},
        {"no file name", "OBEY", {269}},
        {"two file names", "OBEY a b", {271}},
        {"quotes are part of the name", "INCLUDE \"" + dir.path() + "/none.cmd\"", {267, 266}},
        {"directory", "INCLUDE " + dir.path(), {267}},
    };
    for (const Case& c : cases) {
        MessageRecorder messages;
        const auto run = read_text(c.statement + "\nK\n");
        EXPECT_EQ(run.commands, (Commands{"K "})) << c.what;
        EXPECT_EQ(messages.codes(), c.codes) << c.what;
        for (const auto& m : messages.messages()) {
            EXPECT_EQ(m.module, "kvapp.parmscn");
            EXPECT_EQ(m.function, "ci_check_get_obey_file");
        }
    }
    MessageRecorder messages;
    read_text("INCLUDE \"" + dir.path() + "/none.cmd\"\n");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages.last().args, std::vector<std::string>{"\"" + dir.path() + "/none.cmd\""});
}

TEST(ObeyInclude, AFileThatIncludesItselfIsRefused) {
    TempDir dir;
    const std::string self = dir.path() + "/self.cmd";
    dir.write("self.cmd", "A\nINCLUDE " + self + "\nINCLUDE " + self + "\nB\n");
    {
        MessageRecorder messages;
        EXPECT_EQ(read_file(self).commands, (Commands{"A ", "B "}));
        EXPECT_EQ(messages.codes(), (Codes{289, 289}));
        EXPECT_EQ(messages.last().args, std::vector<std::string>{std::to_string(kCiMaxNestedFiles)});
    }
    // Through another file.
    const std::string first = dir.path() + "/first.cmd";
    const std::string second = dir.write("second.cmd", "S\nINCLUDE " + first + "\n");
    dir.write("first.cmd", "F\nINCLUDE " + second + "\nG\n");
    MessageRecorder messages;
    EXPECT_EQ(read_file(first).commands, (Commands{"F ", "S ", "G "}));
    EXPECT_EQ(messages.codes(), (Codes{289}));
}

TEST(ObeyInclude, NestingDeeperThanTheLimitIsRefused) {
    TempDir dir;
    const int files = kCiMaxNestedFiles + 2;
    for (int i = 1; i <= files; ++i) {
        const std::string next = dir.path() + "/f" + std::to_string(i + 1);
        // Built by appending: operator+ on temporaries warns falsely (g++ 12).
        std::string text = "INCLUDE ";
        text.append(next).append("\nE").append(std::to_string(i)).append("\n");
        dir.write(std::string("f").append(std::to_string(i)), text);
    }
    MessageRecorder messages;
    const auto run = read_text("INCLUDE " + dir.path() + "/f1\nE0\n");
    // Files f1 .. f29 are read; f29's INCLUDE of f30 is refused.
    ASSERT_EQ(run.commands.size(), static_cast<size_t>(kCiMaxNestedFiles + 1));
    EXPECT_EQ(run.commands.front(), "E" + std::to_string(kCiMaxNestedFiles) + " ");
    EXPECT_EQ(run.commands.back(), "E0 ");
    EXPECT_EQ(messages.codes(), (Codes{289}));
}

TEST(ObeyInclude, NotExaminedInsideAStatementWaitingForItsSemicolon) {
    MessageRecorder messages;
    EXPECT_EQ(read_text("MAP a\nINCLUDE x\nCMDTRACE ON\nb;\n").commands,
              (Commands{"MAP a INCLUDE x CMDTRACE ON b"}));
    EXPECT_TRUE(messages.empty());
}

// Random command files built from the language's pieces, including files
// that include themselves and each other, must all end, quickly.
TEST(ReaderFuzz, RandomCommandFilesAlwaysEnd) {
    TempDir dir;
    const std::string f[4] = {dir.path() + "/f0", dir.path() + "/f1", dir.path() + "/f2",
                              dir.path() + "/f3"};
    const std::vector<std::string> pieces = {
        "MACRO #A\n", "MACRO #B\n", "MACRO %A\n", "PARAMS (#X, #Y)\n", "PARAMS (#X\n", ")\n",
        "BEGIN\n", "END\n", "#A(", "#B(1, 2)", "#A(#B(x),'y')", "#A()", "#A() #A()", "#B", ")",
        "(", "'", "\"", "&\n", "&", ";", "--", " -- c\n", "COMMENT ", "MAP ", "TABLE ",
        "SEMICOLONTERMINATE\n", "INCLUDE " + f[0] + "\n", "INCLUDE " + f[1] + "\n",
        "OBEY " + f[2] + "\n", "INCLUDE " + f[3] + "\n", "INCLUDE\n", "OBEY a b\n",
        "CMDTRACE DETAIL\n", "CMDTRACE ON\n", "NOLIST\n", "LIST\n", "MACROCHAR %\n",
        "MACROCHAR #\n", "MACROSTRICTCHECKING\n", "%A(", "?HOME", "?", "KEY value\n", "\n", " ",
        "\t", "x", "#X", "#Y", "\r\n", "\"\n\"", "''", "#A(\n",
    };
    std::mt19937 random(2024);
    MessageRecorder messages;
    // Processor time, so that a busy machine does not fail the test.
    const std::clock_t started = std::clock();
    for (int round = 0; round < 3000; ++round) {
        for (const std::string& name : f) {
            std::string text;
            const int count = static_cast<int>(random() % 30);
            for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
            std::FILE* out = std::fopen(name.c_str(), "w");
            ASSERT_NE(out, nullptr);
            std::fwrite(text.data(), 1, text.size(), out);
            std::fclose(out);
        }
        const auto run = read_file(f[0]);
        ASSERT_TRUE(run.ended) << "round " << round;
        messages.clear();
    }
    EXPECT_LT(static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC, 60.0);
}

}  // namespace
