// The base library on its own: before the logging library installs its
// handlers a message is named on standard error and the caller goes on,
// an abend still ends the process with status 1, and GLOBALS is left
// unread for want of a command reader.
#include "kvstd/raise.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kvstd/config.h"

namespace {

const kvModuleId kModule{"kvstd.test", "$Id: raise_test.cpp $"};

TEST(RaiseWithoutLogging, NamesTheMessageAndKeepsErrno) {
    testing::internal::CaptureStderr();
    errno = ENOENT;
    kvRaiseMessage(KV_SITE(kModule), 1091, {"some/path"});
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "kvstd.test: message 1091\n");
}

TEST(RaiseWithoutLoggingDeathTest, AbendEndsWithStatus1) {
    EXPECT_EXIT(kvAbend(), testing::ExitedWithCode(1), "");
}

TEST(RaiseWithoutLogging, GlobalsNeedsTheCommandReader) {
    const auto old_dir = std::filesystem::current_path();
    char pattern[] = "/tmp/raise_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::filesystem::current_path(pattern);
    std::ofstream("GLOBALS") << "DDLTABLE from.globals\n";
    load_global_settings();
    EXPECT_EQ(global_settings.ddl_table, "");
    std::filesystem::current_path(old_dir);
    std::filesystem::remove_all(pattern);
}

}  // namespace
