// The trace ring at its real size: a file takes exactly 500,000 records
// before the next name is opened, emptied, for the 500,001st. Every record
// is flushed on its own, so this takes a few seconds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "kvstd/trace.h"

namespace fs = std::filesystem;

TEST(TracePerf, FileHoldsExactly500000Records) {
    std::string pattern = ::testing::TempDir() + "traceperf-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    const std::string base = (dir / "t.trc").string();
    { std::ofstream(base + ".01") << "left from an earlier run\n"; }
    ASSERT_EQ(kvTraceConfigure("0x1000", base.c_str(), nullptr), 1);
    for (int i = 0; i < 499999; ++i) ASSERT_EQ(kvTraceWrite(&kvTraceLog, "r"), 0);
    EXPECT_EQ(kvTraceLog.file_index, 0);
    EXPECT_EQ(fs::file_size(base + ".01"), 25u);  // not yet reached
    ASSERT_EQ(kvTraceWrite(&kvTraceLog, "r"), 0);
    EXPECT_EQ(kvTraceLog.file_index, 1);
    EXPECT_EQ(kvTraceLog.lines, 0);
    EXPECT_EQ(fs::file_size(base + ".01"), 0u);
    ASSERT_EQ(kvTraceWrite(&kvTraceLog, "next"), 0);
    EXPECT_EQ(fs::file_size(base + ".00"), 1000000u);  // 500,000 times "r\n"
    EXPECT_EQ(fs::file_size(base + ".01"), 5u);
    kvTraceReset();
    fs::remove_all(dir);
}
