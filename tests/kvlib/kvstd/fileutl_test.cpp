#include "kvstd/fileutl.h"

#include <gtest/gtest.h>

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

// A flush that fails on close is reported once with the descriptor, and
// the stream is not closed again (the sanitizer build traps that).
TEST_F(FileutlTest, FailedCloseReportsDescriptorOnce) {
    EXPECT_EQ(kvFclose(nullptr), 0);
    EXPECT_EQ(kvFclose(kvOpenFile((dir / "empty").c_str(), "r")), 0);
    EXPECT_TRUE(recorder.empty());
    FILE* f = std::fopen("/dev/full", "w");
    if (!f) GTEST_SKIP() << "/dev/full not available";
    const int fd = fileno(f);
    std::fputs("does not fit", f);
    EXPECT_EQ(kvFclose(f), 0);
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1077});
    EXPECT_EQ(recorder.last().args, std::vector<std::string>{std::to_string(fd)});
}

}  // namespace
