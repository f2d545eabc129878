// Event output: the console echo, the error log line and its failure
// notices, and the abend.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "kvlog/LegacyErrorHandling.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "message_recorder.h"

namespace {

std::string read_all(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh error log in a temporary file for each test, and no parameter
// file unless the test names one.
class EventOutput : public testing::Test {
protected:
    void SetUp() override {
        kv_ensure_global_settings();
        char name[] = "/tmp/kvxerr-test-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        log_path_ = name;
        setenv("KVXERRLOG", log_path_.c_str(), 1);
        kvErrorLogReset();
        saved_param_ = global_settings.param_file_name;
        global_settings.param_file_name.clear();
    }
    void TearDown() override {
        kvErrorLogReset();
        unsetenv("KVXERRLOG");
        std::remove(log_path_.c_str());
        global_settings.param_file_name = saved_param_;
    }
    std::string log() { return read_all(log_path_); }

    std::string log_path_;
    std::string saved_param_;
};

const char* const kStamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )";

TEST_F(EventOutput, LogLineNamesOnlyTheParameterFilesLastComponent) {
    global_settings.param_file_name = "/some/dir/run.par";
    char text[] = "Something failed. \n";
    testing::internal::CaptureStdout();
    kvFatalErrorMsgId(text, "AB-123");
    std::string console = testing::internal::GetCapturedStdout();
    std::string title = "Brantix Kivex SQL DDL Generation Utility for COBOL";
    EXPECT_TRUE(std::regex_match(
        log(), std::regex(std::string(kStamp) + " KVX ERROR    AB-123  " + title +
                          ", run.par:  Something failed\\.\n")))
        << log();
    EXPECT_TRUE(std::regex_match(
        console, std::regex(std::string("\n") + kStamp + " KVX ERROR    AB-123  Something failed\\.\n")))
        << console;
}

TEST_F(EventOutput, WithoutParameterFileTheFileNameIsLeftOut) {
    testing::internal::CaptureStdout();
    kvWarn(1234, "two\nlines");
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_match(
        log(), std::regex(std::string(kStamp) +
                          " KVX WARNING    1234  Brantix Kivex SQL DDL Generation Utility for "
                          "COBOL:  two lines\\.\n")))
        << log();
}

TEST_F(EventOutput, SomeEventNumbersAreLoggedWithoutConsoleEcho) {
    for (int event : {310, 312, 320, 322, 399}) {
        testing::internal::CaptureStdout();
        kvInfo(event, "quiet %d", event);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << event;
    }
    std::string text = log();
    EXPECT_NE(text.find("KVX INFO"), std::string::npos);
    EXPECT_NE(text.find("quiet 399."), std::string::npos);
}

TEST_F(EventOutput, PlainTextWithoutNumberOrIdentifierIsOnlyReported) {
    testing::internal::CaptureStdout();
    kvInfo(0, "just a line");
    output_evt("ends with newline\n", 0, nullptr, kEvtInformation);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "just a line\nends with newline\n");
    EXPECT_EQ(log(), "");
}

TEST_F(EventOutput, UnopenableLogIsReportedOnceAtTheFirstEvent) {
    setenv("KVXERRLOG", "/nonexistent-dir/kvxerr.log", 1);
    kvErrorLogReset();
    testing::internal::CaptureStdout();
    kvWarn(1, "first");
    kvWarn(2, "second");
    std::string console = testing::internal::GetCapturedStdout();
    std::string notice = "*** Could not open error log /nonexistent-dir/kvxerr.log (error 2,";
    size_t at = console.find(notice);
    ASSERT_NE(at, std::string::npos) << console;
    EXPECT_EQ(console.find(notice, at + 1), std::string::npos);
    EXPECT_NE(console.find("second."), std::string::npos);
}

// A log on a full disk: the event is still echoed whole, the failure is
// raised once (1093 with the log's path and the system's text) after the
// event, and later events leave the log alone.
TEST_F(EventOutput, FullDiskIsReportedOnceAfterTheEvent) {
    setenv("KVXERRLOG", "/dev/full", 1);
    kvErrorLogReset();
    kvOutputLostReset();
    MessageRecorder recorder;
    testing::internal::CaptureStdout();
    kvWarn(1, "first");
    const size_t after_first = recorder.size();
    kvWarn(2, "second");
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(after_first, 1u);
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1093});
    EXPECT_EQ(recorder.last().args, (std::vector<std::string>{"/dev/full", std::strerror(ENOSPC)}));
    EXPECT_NE(console.find("first."), std::string::npos) << console;
    EXPECT_NE(console.find("second."), std::string::npos) << console;
    EXPECT_TRUE(kvOutputLost());
}

TEST_F(EventOutput, UnopenableLogCountsAsLostOutput) {
    setenv("KVXERRLOG", "/nonexistent-dir/kvxerr.log", 1);
    kvErrorLogReset();
    kvOutputLostReset();
    MessageRecorder recorder;
    testing::internal::CaptureStdout();
    kvInfo(3, "an event");
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(recorder.empty());
    EXPECT_TRUE(kvOutputLost());
}

TEST_F(EventOutput, LogLineTextIsCutAt2048Characters) {
    std::string long_text(5000, 'y');
    testing::internal::CaptureStdout();
    kvInfo(7, "%s", long_text.c_str());
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find(long_text + ".\n"), std::string::npos);
    std::string line = log();
    EXPECT_NE(line.find(":  " + std::string(2048, 'y') + ".\n"), std::string::npos);
    EXPECT_EQ(line.find(std::string(2049, 'y')), std::string::npos);
}

TEST(NormalizeMsg, DropsTrailingBlanksNewlinesAndOnePeriod) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"done. \n", "done"}, {"done..", "done."}, {"x", "x"},       {"   ", " "},
        {"", ""},             {"a\n\n", "a"},      {"end.\n ", "end"},
    };
    for (const Case& c : cases) {
        std::string buffer = c.in;
        std::vector<char> text(buffer.begin(), buffer.end());
        text.push_back('\0');
        EXPECT_STREQ(kvNormalizeMsg(text.data()), c.out) << "input [" << c.in << "]";
    }
}

TEST(Abend, LogsProcessAbendingAndEndsWithStatusOne) {
    char name[] = "/tmp/kvxerr-abend-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string path = name;
    EXPECT_EXIT(
        {
            setenv("KVXERRLOG", path.c_str(), 1);
            kvErrorLogReset();
            kv_ensure_global_settings();
            global_settings.pause_at_end = 0;
            processFatalError("not shown", 5);
        },
        testing::ExitedWithCode(1), "");
    std::string text = read_all(path);
    std::remove(path.c_str());
    EXPECT_NE(text.find(" KVX ERROR       190  "), std::string::npos) << text;
    EXPECT_NE(text.find(":  PROCESS ABENDING.\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("not shown"), std::string::npos);
}

// A log that fails while the abend writes PROCESS ABENDING does not turn
// the abend into an error end (status 12): the status stays 1.
TEST(Abend, FailingLogStillEndsWithStatusOne) {
    EXPECT_EXIT(
        {
            setenv("KVXERRLOG", "/dev/full", 1);
            kvErrorLogReset();
            kv_ensure_global_settings();
            global_settings.pause_at_end = 0;
            processFatalError("", 0);
        },
        testing::ExitedWithCode(1), "");
}

}  // namespace
