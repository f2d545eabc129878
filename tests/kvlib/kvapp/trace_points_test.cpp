// The libraries' trace points above the base library: the console's
// report texts and the event writer, end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kvapp/console.h"
#include "kvlib/kvstd/trace_testing.h"
#include "kvlog/LegacyErrorHandling.h"
#include "kvstd/memutl.h"
#include "kvstd/strutl.h"

namespace {

using namespace trace_testing;

// The library's own trace points, end to end through the wrappers.
TEST_F(TraceTest, LibraryTracePointsWriteTheirRecords) {
    void* block = kvMalloc(16);
    block = kvRealloc(block, 32);
    kvFree(block);
    kvFree(kvCalloc(8));
    kvFree(kvAllocMemcpy("abc", 3));
    EXPECT_EQ(kvMalloc(0), nullptr);
    char text[] = "file 'a b'";
    kvUpshiftNotQuoted(text);
    kvReportWrite("");
    kvReportWrite(nullptr);
    for (const char* pattern : {
             "[memutl:#] kvMalloc",
             "[memutl:#] pointer allocated = *",
             "[memutl:#] bytes allocated = 16",
             "[memutl:#] kvRealloc",
             "[memutl:#] pointer before realloc = *",
             "[memutl:#] pointer after realloc = *",
             "[memutl:#] bytes reallocated = 32",
             "[memutl:#] kvFree",
             "[memutl:#] pointer freed = *",
             "[memutl:#] kvCalloc",
             "[memutl:#] bytes allocated = 8",
             "[memutl:#] kvAllocMemcpy",
             "[strutl:#] kvUpshiftNotQuoted",
             "[strutl:#] kvUpshiftNotQuoted: input string (len:10) = <file 'a b'>",
             "[strutl:#] kvUpshiftNotQuoted: output string (len:10) = <FILE 'a b'>",
             "[console:#] [rpt] (len:0) = <>",
             "[console:#] [rpt] <Null pointer passed as buffer address>",
         })
        EXPECT_TRUE(has_record(pattern)) << pattern;
    // A size of 0 allocates nothing, so it has no value records.
    size_t allocated = 0;
    for (const std::string& line : records())
        allocated += line.find("pointer allocated") != std::string::npos;
    EXPECT_EQ(allocated, 3u);
}

TEST_F(TraceTest, EventOutputTracesItsEntryAndTheLogLine) {
    const std::string log = (dir_ / "kvxerr.log").string();
    setenv("KVXERRLOG", log.c_str(), 1);
    kvErrorLogReset();
    testing::internal::CaptureStdout();
    output_evt("traced event", 77, nullptr, kEvtWarning);
    const std::string shown = testing::internal::GetCapturedStdout();
    kvErrorLogReset();
    unsetenv("KVXERRLOG");
    EXPECT_TRUE(has_record("[legacyerrorhandling:#] output_evt"));
    EXPECT_TRUE(has_record("[console:#] [rpt] (len:#) = <{0A}* KVX WARNING *77  traced event.{0A}>"));
    // The log line is too long for one record line: header, then dump.
    const Lines got = records();
    size_t at = 0;
    while (at < got.size() && !matches("[legacyerrorhandling:#] [log] (len:#) =", got[at])) ++at;
    ASSERT_LT(at, got.size());
    const size_t length = std::stoul(got[at].substr(got[at].find("(len:") + 5));
    std::string dumped;
    for (size_t i = at + 1; i < got.size() && got[i].rfind(" <", 0) == 0; ++i)
        dumped += got[i].substr(2, got[i].size() - 3);
    EXPECT_TRUE(matches("* KVX WARNING *77  *:  traced event.{0A}", dumped)) << dumped;
    EXPECT_EQ(length, dumped.size() - 3);  // {0A} shows one byte in four
    EXPECT_NE(shown.find("traced event"), std::string::npos);
}

TEST_F(TraceTest, OnlyTheOutputBitTracesReportTexts) {
    ASSERT_EQ(kvTraceConfigure("0x0002", base_.c_str(), nullptr), 1);
    kvFree(kvMalloc(4));
    char text[] = "x";
    kvUpshiftNotQuoted(text);
    testing::internal::CaptureStdout();
    kvReportWrite("shown\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "shown\n");
    EXPECT_TRUE(has_record("[console:#] [rpt] (len:6) = <shown{0A}>"));
    EXPECT_EQ(records().size(), 1u);
}

}  // namespace
