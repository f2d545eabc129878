#include "kvstd/fileutl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "message_recorder.h"

namespace fs = std::filesystem;

namespace {

class FileutlTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir);
        std::ofstream(dir / "empty");
    }
    void TearDown() override { fs::remove_all(dir); }
    const fs::path dir = fs::temp_directory_path() / ("fileutl_test_" + std::to_string(getpid()));
    MessageRecorder recorder;
};

TEST_F(FileutlTest, RegularFileOnlyForExistingPlainFiles) {
    EXPECT_EQ(kvIsRegularFile((dir / "empty").c_str()), 1);
    EXPECT_EQ(kvIsRegularFile(dir.c_str()), 0);
    EXPECT_EQ(kvIsRegularFile((dir / "missing").c_str()), 0);
    EXPECT_EQ(kvIsRegularFile("/dev/null"), 0);
    EXPECT_TRUE(recorder.empty());
}

TEST_F(FileutlTest, OpenFailureNamesThePath) {
    const std::string missing = (dir / "no" / "such.txt").string();
    for (const char* path : {missing.c_str(), "", static_cast<const char*>(nullptr)}) {
        recorder.clear();
        EXPECT_EQ(kvOpenFile(path, "r"), nullptr);
        ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1091});
        EXPECT_EQ(recorder.last().args, std::vector<std::string>{path ? path : ""});
    }
}

// Data still buffered when a stream is closed is flushed first: its loss
// is reported as a failed write (1093) naming the file, not as a failed
// close, and the stream is not closed again (the sanitizer build traps that).
TEST_F(FileutlTest, CloseNamesLostDataAndReportsFailedCloseOnce) {
    kvOutputLostReset();
    EXPECT_EQ(kvFclose(nullptr), 0);
    EXPECT_EQ(kvFclose(kvOpenFile((dir / "empty").c_str(), "r")), 0);
    EXPECT_TRUE(recorder.empty());
    EXPECT_FALSE(kvOutputLost());
    FILE* f = std::fopen("/dev/full", "w");
    if (!f) GTEST_SKIP() << "/dev/full not available";
    std::fputs("does not fit", f);
    EXPECT_EQ(kvFclose(f), 0);
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1093});
    EXPECT_EQ(recorder.last().args,
              (std::vector<std::string>{"/dev/full", std::strerror(ENOSPC)}));
    EXPECT_TRUE(kvOutputLost());

    // A close that fails with nothing left to write: the descriptor is
    // already gone.
    recorder.clear();
    FILE* r = std::fopen((dir / "empty").c_str(), "r");
    ASSERT_NE(r, nullptr);
    const int fd = fileno(r);
    close(fd);
    EXPECT_EQ(kvFclose(r), 0);
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1077});
    EXPECT_EQ(recorder.last().args, std::vector<std::string>{std::to_string(fd)});
}

TEST_F(FileutlTest, WriteFlushTellsWhetherTheStreamTookEverything) {
    FILE* ok = std::fopen((dir / "out").c_str(), "w");
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(kvWriteFlush(ok, "abc", 3));
    EXPECT_TRUE(kvWriteFlush(ok, "", 0));
    // Flushed: another reader sees the bytes before the close.
    std::ifstream in(dir / "out");
    std::string got;
    std::getline(in, got);
    EXPECT_EQ(got, "abc");
    std::fclose(ok);

    FILE* full = std::fopen("/dev/full", "w");
    if (!full) GTEST_SKIP() << "/dev/full not available";
    errno = 0;
    EXPECT_FALSE(kvWriteFlush(full, "abc", 3));
    EXPECT_EQ(errno, ENOSPC);
    std::fclose(full);
    EXPECT_FALSE(kvWriteFlush(nullptr, "abc", 3));
    EXPECT_TRUE(recorder.empty());
}

// A failure found while a text is being written waits for the outermost
// scope of the thread, and is raised there once; outside any scope it is
// raised at once.
TEST_F(FileutlTest, WriteFailuresWaitForTheOutermostScope) {
    kvOutputLostReset();
    kvWriteFailed("now.sql", ENOSPC);
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1093});
    EXPECT_EQ(recorder.last().args, (std::vector<std::string>{"now.sql", std::strerror(ENOSPC)}));
    EXPECT_EQ(recorder.last().kinds,
              (std::vector<kvMsgArg::Kind>{kvMsgArg::Kind::Text, kvMsgArg::Kind::Text}));

    recorder.clear();
    kvOutputScopeBegin();
    kvOutputScopeBegin();
    kvWriteFailed("report.txt", EIO);
    kvWriteFailed("kvxerr.log", ENOSPC);
    kvOutputScopeEnd();
    EXPECT_TRUE(recorder.empty());
    kvOutputScopeEnd();
    ASSERT_EQ(recorder.codes(), (std::vector<uint32_t>{1093, 1093}));
    EXPECT_EQ(recorder.messages()[0].args[0], "report.txt");
    EXPECT_EQ(recorder.messages()[1].args[0], "kvxerr.log");
    // Raised once: an unmatched end raises nothing again.
    kvOutputScopeEnd();
    EXPECT_EQ(recorder.size(), 2u);
    EXPECT_TRUE(kvOutputLost());
}

TEST(ReadLine, KeepsLineEndsAndTakesALastLineWithoutOne) {
    FILE* f = std::tmpfile();
    std::fputs("one\n\nlast", f);
    std::rewind(f);
    std::string line;
    EXPECT_TRUE(kvReadLine(f, line));
    EXPECT_EQ(line, "one\n");
    EXPECT_TRUE(kvReadLine(f, line));
    EXPECT_EQ(line, "\n");
    EXPECT_TRUE(kvReadLine(f, line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(kvReadLine(f, line));
    EXPECT_EQ(line, "");
    std::fclose(f);
}

}  // namespace
