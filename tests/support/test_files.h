// test_files: scratch files and stream contents for tests.
//
// Every test program gets one scratch folder of its own (named after the
// process id), removed when the program ends.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace test_files {

inline const std::filesystem::path& scratch_dir() {
    struct holder {
        std::filesystem::path path;
        holder() {
            path = std::filesystem::temp_directory_path() /
                   ("tabcopy-test-" + std::to_string(::getpid()));
            std::filesystem::create_directories(path);
        }
        ~holder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static holder h;
    return h.path;
}

// Writes `content` to `name` in the scratch folder; returns its path.
inline std::string write_scratch(const std::string& name, const std::string& content) {
    const std::filesystem::path path = scratch_dir() / name;
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path.string();
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Everything written to `f` so far (it is rewound).
inline std::string read_stream(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
}

// A temporary stream holding `text`, positioned at its start.
inline FILE* stream_of(const std::string& text) {
    FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

}  // namespace test_files
