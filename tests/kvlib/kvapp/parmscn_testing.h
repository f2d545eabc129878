// Helpers for the command file reader's tests: run a text through
// ci_get_next_cmd to its end, capturing what the reader printed, and
// temporary directories for OBEY/INCLUDE files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kvapp/parmscn.h"
#include "kvstd/config.h"

namespace parmscn_testing {

struct ReaderRun {
    std::vector<std::string> commands;
    std::string report;     // the reader's own output (traces, substitution lines)
    bool ended = false;     // the reader reported the end of the input
};

// Feeds `stream` to the reader until it reports the end, or `limit`
// commands have come (a reader that never ends then fails the test).
inline ReaderRun read_stream(FILE* stream, size_t limit = 100000) {
    kv_ensure_global_settings();
    ReaderRun run;
    testing::internal::CaptureStdout();
    std::string command;
    while (run.commands.size() < limit) {
        if (!ci_get_next_cmd(command, stream)) {
            run.ended = true;
            break;
        }
        run.commands.push_back(command);
    }
    if (!run.ended) ci_abandon_input();
    run.report = testing::internal::GetCapturedStdout();
    return run;
}

inline ReaderRun read_text(const std::string& text, size_t limit = 100000) {
    FILE* stream = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), stream);
    std::rewind(stream);
    ReaderRun run = read_stream(stream, limit);
    std::fclose(stream);
    return run;
}

inline std::vector<std::string> commands_of(const std::string& text) { return read_text(text).commands; }

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/parmscn_test_XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) std::abort();
        path_ = made;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes `content` to `name` in the directory and returns its full path.
    std::string write(const std::string& name, const std::string& content) const {
        const std::string full = path_ + "/" + name;
        std::ofstream out(full, std::ios::binary);
        out << content;
        return full;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace parmscn_testing
