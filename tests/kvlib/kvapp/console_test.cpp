// Operator output: the console text and the report copy must be the same
// bytes, whatever the length of the formatted text.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "kvapp/console.h"
#include "kvapp/console_internal.h"
#include "kvstd/config.h"
#include "message_recorder.h"
#include "test_files.h"

namespace {

// Routes the report stream to a temporary file for one test.
class ReportCapture {
public:
    ReportCapture() {
        kv_ensure_global_settings();
        file_ = std::tmpfile();
        saved_ = global_settings.report_file;
        global_settings.report_file = file_;
    }
    ~ReportCapture() {
        global_settings.report_file = saved_;
        std::fclose(file_);
    }
    std::string contents() { return test_files::read_stream(file_); }

private:
    FILE* file_;
    FILE* saved_;
};

TEST(ReportPrintf, ConsoleAndReportReceiveTheWholeText) {
    for (size_t length : {0u, 1u, 253u, 254u, 255u, 256u, 511u, 1000u, 70000u}) {
        std::string text(length, 'x');
        if (length > 0) text.back() = 'E';
        ReportCapture report;
        testing::internal::CaptureStdout();
        kvReportPrintf("%s", text.c_str());
        std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(console, text) << "length " << length;
        EXPECT_EQ(report.contents(), text) << "length " << length;
    }
}

TEST(ReportPrintf, BufferGrowsToTheReportedLength) {
    // 254 characters fit the first 256 bytes; 255 need a second attempt in
    // 512; a reported 1000 goes straight to 1002.
    EXPECT_EQ(kvReportNextSize(256, 255), 512);
    EXPECT_EQ(kvReportNextSize(256, 1000), 1002);
    EXPECT_EQ(kvReportNextSize(512, 300), 1024);
}

TEST(ReportWrite, WithoutReportFileWritesConsoleOnly) {
    kv_ensure_global_settings();
    FILE* saved = global_settings.report_file;
    global_settings.report_file = nullptr;
    testing::internal::CaptureStdout();
    kvReportWrite("line\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "line\n");
    global_settings.report_file = saved;
}

TEST(PrintCentered, IndentsHalfTheSpareWidth) {
    struct Case {
        int width;
        size_t length;
        size_t blanks;
    } cases[] = {
        {71, 31, 20}, {71, 70, 1}, {71, 71, 1}, {71, 100, 1}, {10, 7, 1}, {10, 4, 3},
    };
    for (const Case& c : cases) {
        std::string text(c.length, 'T');
        testing::internal::CaptureStdout();
        kvPrintCentered(c.width, text.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(c.blanks, ' ') + text + "\n")
            << "width " << c.width << " length " << c.length;
    }
}

TEST(Banner, FramedFormCentresEveryLineInTheFrame) {
    ReportCapture report;
    testing::internal::CaptureStdout();
    kvPrintBanner("Starting at 2026-01-02 03:04:05", 1, kvFrameLine);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(report.contents(), console);
    std::string frame(71, '*');
    EXPECT_EQ(console.rfind("\n" + frame + "\n", 0), 0u);
    EXPECT_NE(console.find("\n" + std::string(20, ' ') + "Starting at 2026-01-02 03:04:05\n"),
              std::string::npos);
    EXPECT_NE(console.find(std::string(10, ' ') + kvProgramTitle + "\n"), std::string::npos);
    EXPECT_EQ(console.substr(console.size() - 72), frame + "\n");
}

TEST(Banner, PlainFormGoesToStandardOutputOnly) {
    ReportCapture report;
    testing::internal::CaptureStdout();
    kvPrintBanner(nullptr, 0, kvFrameLine);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(report.contents(), "");
    EXPECT_EQ(console, std::string("\n") + kvProgramTitle + "\n" + kvVersionLine + "\n" +
                           kvBuildLine + "\n" + kvNoticeLine + "\n\n");
}

// A report file that stops taking text is dropped after the text in hand
// reached the console, and its failure is raised once with its name.
TEST(ReportWrite, FailingReportFileIsDroppedAndReportedOnce) {
    kv_ensure_global_settings();
    FILE* full = std::fopen("/dev/full", "w");
    if (!full) GTEST_SKIP() << "/dev/full not available";
    FILE* saved = global_settings.report_file;
    const std::string saved_name = global_settings.report_file_name;
    global_settings.report_file = full;
    global_settings.report_file_name = "run.rpt";
    MessageRecorder recorder;
    testing::internal::CaptureStdout();
    kvReportWrite("first\n");
    kvReportWrite("second\n");
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console, "first\nsecond\n");
    EXPECT_EQ(global_settings.report_file, nullptr);
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1093});
    EXPECT_EQ(recorder.last().args, (std::vector<std::string>{"run.rpt", std::strerror(ENOSPC)}));
    global_settings.report_file = saved;
    global_settings.report_file_name = saved_name;
}

// Standard output on a full disk: the refused text and everything after it
// go to standard error, and the failure is raised once. Run in a child
// process, because the console stays switched for the rest of the process.
TEST(ReportWriteDeathTest, FailingConsoleSwitchesToStandardErrorAndReportsOnce) {
    EXPECT_EXIT(
        {
            int full = open("/dev/full", O_WRONLY);
            if (full < 0) std::_Exit(3);
            dup2(full, STDOUT_FILENO);
            MessageRecorder recorder;
            kvReportWrite("first\n");
            kvReportWrite("second\n");
            std::string codes;
            for (const MessageRecorder::Message& m : recorder.messages())
                codes += std::to_string(m.code) + " " + m.args.at(0) + ";";
            std::fprintf(stderr, "codes %s\n", codes.c_str());
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "first\nsecond\ncodes 1093 standard output;\n");
}

TEST(BannerDeathTest, PlainFormOnAFullConsoleGoesToStandardError) {
    EXPECT_EXIT(
        {
            int full = open("/dev/full", O_WRONLY);
            if (full < 0) std::_Exit(3);
            dup2(full, STDOUT_FILENO);
            MessageRecorder recorder;
            kvPrintBanner(nullptr, 0, kvFrameLine);
            std::_Exit(recorder.count(1093) == 1 ? 0 : 4);
        },
        testing::ExitedWithCode(0), "Brantix Kivex SQL DDL Generation Utility for COBOL\nVersion ");
}

}  // namespace
