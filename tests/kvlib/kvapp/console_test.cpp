// Operator output: the console text and the report copy must be the same
// bytes, whatever the length of the formatted text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "kvapp/console.h"
#include "kvapp/console_internal.h"
#include "kvstd/config.h"
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

}  // namespace
