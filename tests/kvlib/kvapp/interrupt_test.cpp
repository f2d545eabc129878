// Console interrupts: real signals reach the handler on its own thread,
// the X-or-C dialogue, and the stop statuses.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "kvapp/cobdef.h"
#include "kvapp/colnaming.h"
#include "kvapp/colnaming_internal.h"
#include "kvapp/interrupt.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"

namespace {

// Makes `input` the process's standard input.
void feed_stdin(const std::string& input) {
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    if (write(fds[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        std::abort();
    close(fds[1]);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    clearerr(stdin);
}

// Everything written to `fd` (a regular file) so far.
std::string written(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    for (off_t at = 0; (n = pread(fd, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, n);
    return text;
}

// Waits, up to a bound, until `done` holds.
template <typename Done>
bool wait_until(Done done) {
    for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

// Ctrl-C while the long-name dialogue waits for a name: the question's
// answer goes to the question, and the dialogue gets the next line.
TEST(ConsoleEvents, TheQuestionOwnsTheConsoleWhileTheDialogueWaits) {
    int in[2];
    ASSERT_EQ(pipe(in), 0);
    const int saved_in = dup(STDIN_FILENO), saved_out = dup(STDOUT_FILENO);
    dup2(in[0], STDIN_FILENO);
    close(in[0]);
    clearerr(stdin);
    FILE* dialogue_out = std::tmpfile();
    FILE* question_out = std::tmpfile();
    dup2(fileno(question_out), STDOUT_FILENO);
    set_naming_console(nullptr, dialogue_out);

    cobol_def def;
    def.fields = std::make_shared<std::vector<column_entry>>(2);
    (*def.fields)[0].name = "R";
    (*def.fields)[1].name = "A";
    (*def.fields)[1].depth = 1;
    (*def.fields)[1].elementary = 1;
    expand_options_t opts{3, 1, 0, 0, 1, 0, 1, 30};
    std::string named;
    std::thread dialogue([&] { named = fix_long_name(def, 1, std::string(40, 'L'), opts); });
    EXPECT_TRUE(wait_until([&] { return written(fileno(dialogue_out)).find("Enter new column name: ") != std::string::npos; }));

    std::atomic<int> answer{-1};
    std::thread question([&] { answer = console_ask_exit(); });
    EXPECT_TRUE(wait_until([&] { return written(STDOUT_FILENO).find("Enter X to exit") != std::string::npos; }));
    EXPECT_EQ(write(in[1], "X\n", 2), 2);
    EXPECT_TRUE(wait_until([&] { return answer >= 0; }));
    EXPECT_EQ(write(in[1], "NAME\n", 5), 5);
    close(in[1]);
    question.join();
    dialogue.join();

    dup2(saved_in, STDIN_FILENO);
    dup2(saved_out, STDOUT_FILENO);
    close(saved_in);
    close(saved_out);
    set_naming_console(nullptr, nullptr);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(named, "NAME");
    std::fclose(dialogue_out);
    std::fclose(question_out);
}

TEST(ConsoleEvents, SignalsMapToConsoleEvents) {
    EXPECT_EQ(kvConsoleEventOfSignal(SIGINT), kConsoleCtrlC);
    EXPECT_EQ(kvConsoleEventOfSignal(SIGQUIT), kConsoleBreak);
    EXPECT_EQ(kvConsoleEventOfSignal(SIGHUP), kConsoleClose);
    EXPECT_EQ(kvConsoleEventOfSignal(SIGTERM), kConsoleShutdown);
    EXPECT_EQ(kvConsoleEventOfSignal(SIGUSR1), -1);
}

TEST(ConsoleEvents, AnswerCContinuesAfterAskingAgainForAWrongAnswer) {
    feed_stdin("q and more\nC\n");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(console_handler(kConsoleCtrlC));
    std::string shown = testing::internal::GetCapturedStdout();
    std::string prompt = "\nEnter X to exit or C to continue: ";
    EXPECT_EQ(shown, prompt + prompt);
}

TEST(ConsoleEvents, AnswerXStopsWithStatus100) {
    EXPECT_EXIT(
        {
            feed_stdin("x\n");
            console_handler(kConsoleCtrlC);
        },
        testing::ExitedWithCode(100), "");
}

TEST(ConsoleEvents, EndOfInputStopsInsteadOfAskingForever) {
    EXPECT_EXIT(
        {
            feed_stdin("");
            console_handler(kConsoleBreak);
        },
        testing::ExitedWithCode(101), "");
}

TEST(ConsoleEvents, LogoffChangesNothing) {
    kv_ensure_global_settings();
    global_settings.pause_at_end = 1;
    struct Seen {
        uint32_t code = 0;
    } seen;
    kvSetMessageObserver(
        [](const kvSourceSite&, uint32_t code, std::span<const kvMsgArg>, void* user) {
            static_cast<Seen*>(user)->code = code;
            return false;
        },
        &seen);
    EXPECT_TRUE(console_handler(kConsoleLogoff));
    kvSetMessageObserver(nullptr, nullptr);
    EXPECT_EQ(seen.code, 1087u);
    EXPECT_EQ(global_settings.pause_at_end, 1);
    EXPECT_EQ(global_settings.stop_code, 0);
    global_settings.pause_at_end = 0;
}

std::atomic<std::thread::id> g_main_thread;

// A real SIGHUP, sent to the process, is taken by the interrupt thread,
// which raises 1085 there and ends the run with status 102.
TEST(ConsoleEvents, HangupRaisesItsMessageOnTheInterruptThread) {
    EXPECT_EXIT(
        {
            setenv("KVXERRLOG", "/dev/null", 1);
            g_main_thread = std::this_thread::get_id();
            kvSetMessageObserver(
                [](const kvSourceSite&, uint32_t code, std::span<const kvMsgArg>, void*) {
                    if (std::this_thread::get_id() != g_main_thread.load())
                        std::fprintf(stderr, "raised %u on the interrupt thread\n", code);
                    return true;
                },
                nullptr);
            kvInstallConsoleHandler();
            kill(getpid(), SIGHUP);
            for (int i = 0; i < 500; ++i) usleep(10000);
            std::exit(0);
        },
        testing::ExitedWithCode(102), "raised 1085 on the interrupt thread");
}

// While the main thread keeps raising warnings, a real SIGHUP makes the
// interrupt thread raise 1085 and end the run: every line that reached the
// console is whole, and the run ends with the close status.
TEST(ConsoleEvents, MessagesFromBothThreadsStayWhole) {
    std::string out = testing::TempDir() + "both_threads.txt";
    EXPECT_EXIT(
        {
            setenv("KVXERRLOG", "/dev/null", 1);
            if (!std::freopen(out.c_str(), "w", stdout)) std::abort();
            kvInstallConsoleHandler();
            std::thread([] {
                usleep(50000);
                kill(getpid(), SIGHUP);
            }).detach();
            for (int i = 0; i < 100000; ++i)
                kvRaiseMessage(kvSourceSite{"test", "test", "loop", __LINE__}, 1077, {i});
            std::exit(0);
        },
        testing::ExitedWithCode(102), "");
    FILE* in = std::fopen(out.c_str(), "r");
    ASSERT_NE(in, nullptr);
    char line[1024];
    int warnings = 0, closes = 0;
    while (std::fgets(line, sizeof line, in)) {
        std::string l = line;
        if (l == "\n") continue;
        ASSERT_EQ(l.back(), '\n') << l;
        bool warning = l.find("KVX WARNING  SY-077  ") == 21;
        bool close = l.find("KVX INFO     CN-085  ") == 21;
        EXPECT_TRUE(warning || close) << l;
        warnings += warning;
        closes += close;
    }
    std::fclose(in);
    EXPECT_GT(warnings, 0);
    EXPECT_EQ(closes, 1);
}

TEST(PauseAtAbend, ReadsOneBoundedLine) {
    feed_stdin(std::string(500, 'a') + "\nnext\n");
    testing::internal::CaptureStdout();
    kvPauseAtAbend();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n\nPress enter to continue...");
}

}  // namespace
