// Running out of memory ends the process through the logging library's
// abend: operator new, uncaught exceptions and the allocation wrappers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "kvstd/config.h"
#include "kvstd/memutl.h"

namespace {

// An exception that leaves a noexcept function reaches std::terminate,
// as one that nobody catches does in the program (the death test itself
// would catch one thrown directly).
void throw_bad_alloc() { throw std::bad_alloc(); }
void throw_runtime_error() { throw std::runtime_error("no more threads"); }
void escape_noexcept(void (*thrower)()) noexcept { thrower(); }

// Whole-process failures run in a child: the handlers end it through the
// real catalogue, and the error log tells what was raised.
class MemoryExhaustionDeathTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/kvxerr-mem-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        log_path_ = name;
    }
    void TearDown() override { std::remove(log_path_.c_str()); }
    void prepare_child() {
        setenv("KVXERRLOG", log_path_.c_str(), 1);
        kv_ensure_global_settings();
        global_settings.pause_at_end = 0;
        kvInstallMemoryFailureHandlers();
    }
    std::string log() {
        std::ifstream in(log_path_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void expect_abend_with(const std::string& text) {
        const std::string logged = log();
        EXPECT_NE(logged.find(text), std::string::npos) << logged;
        EXPECT_NE(logged.find(":  PROCESS ABENDING.\n"), std::string::npos) << logged;
    }
    std::string log_path_;
};

TEST_F(MemoryExhaustionDeathTest, OperatorNewFailureAbendsWithCode1094) {
    EXPECT_EXIT(
        {
            prepare_child();
            // What operator new does when the system refuses memory.
            std::get_new_handler()();
            std::_Exit(5);
        },
        testing::ExitedWithCode(1), "");
    expect_abend_with("SY-094  ");
}

TEST_F(MemoryExhaustionDeathTest, UncaughtBadAllocAbendsWithCode1094) {
    EXPECT_EXIT(
        {
            prepare_child();
            escape_noexcept(throw_bad_alloc);
        },
        testing::ExitedWithCode(1), "");
    expect_abend_with("SY-094  ");
}

TEST_F(MemoryExhaustionDeathTest, OtherUncaughtExceptionAbendsWithItsReason) {
    EXPECT_EXIT(
        {
            prepare_child();
            escape_noexcept(throw_runtime_error);
        },
        testing::ExitedWithCode(1), "");
    expect_abend_with("SY-095  ");
    expect_abend_with("The C++ runtime failed: no more threads.");
}

TEST_F(MemoryExhaustionDeathTest, WrapperFailureAbendsWithCode1088) {
    EXPECT_EXIT(
        {
            prepare_child();
            kvMemFailAfter(0);
            kvMalloc(1000);
            std::_Exit(5);
        },
        testing::ExitedWithCode(1), "");
    expect_abend_with("SY-088  ");
    expect_abend_with("malloc of 1000 bytes");
}

// A real refusal from the system, through std::vector growth. The
// sanitizer's allocator reports a refused operator new itself and never
// calls the new handler, so this runs in the plain build only.
TEST_F(MemoryExhaustionDeathTest, VectorGrowthBeyondMemoryAbendsWithCode1094) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reports a refused operator new itself";
#endif
    EXPECT_EXIT(
        {
            prepare_child();
            std::vector<char> huge;
            huge.reserve(static_cast<size_t>(PTRDIFF_MAX) - 1);
            std::_Exit(5);
        },
        testing::ExitedWithCode(1), "");
    expect_abend_with("SY-094  ");
}

}  // namespace
