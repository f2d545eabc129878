// trace_testing: reading trace files back in tests: the record pattern
// match, the time stamp check and a fixture that traces everything into a
// scratch ring.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kvstd/trace.h"

namespace trace_testing {

namespace fs = std::filesystem;

const char* const kTabutl = "../kvlib/kvapp/tabutl.cpp";
const void* const kFillPointer = reinterpret_cast<const void*>(uintptr_t{0xCDCDCDCD});
constexpr size_t kStampLength = 15;  // "MM/DD hh:mm:ss "

using Lines = std::vector<std::string>;

// Pattern match of a whole text: "*" matches any run of characters, "#"
// a run of one or more digits, everything else itself.
inline bool matches(const char* pattern, const char* text) {
    if (*pattern == '\0') return *text == '\0';
    if (*pattern == '*') {
        for (const char* t = text;; ++t) {
            if (matches(pattern + 1, t)) return true;
            if (*t == '\0') return false;
        }
    }
    if (*pattern == '#') {
        const char* t = text;
        while (std::isdigit(static_cast<unsigned char>(*t))) {
            ++t;
            if (matches(pattern + 1, t)) return true;
        }
        return false;
    }
    return *pattern == *text && matches(pattern + 1, text + 1);
}
inline bool matches(const std::string& pattern, const std::string& text) {
    return matches(pattern.c_str(), text.c_str());
}

// "MM/DD hh:mm:ss " with a month of 1 to 12 and a plausible time.
inline bool is_stamp(const std::string& s) {
    if (s.size() != kStampLength) return false;
    for (size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 12, 13})
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    if (s[2] != '/' || s[5] != ' ' || s[8] != ':' || s[11] != ':' || s[14] != ' ') return false;
    const auto two = [&](size_t i) { return (s[i] - '0') * 10 + (s[i + 1] - '0'); };
    return two(0) >= 1 && two(0) <= 12 && two(3) >= 1 && two(3) <= 31 && two(6) <= 23 &&
           two(9) <= 59 && two(12) <= 60;
}

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "tracetest-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        base_ = (dir_ / "t.trc").string();
        ASSERT_EQ(kvTraceConfigure("0xFFFFFFFF", base_.c_str(), nullptr), 1);
    }
    void TearDown() override {
        kvTraceReset();
        fs::remove_all(dir_);
    }

    std::string file(int index) const {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%02d", index);
        return base_ + suffix;
    }
    static Lines lines_of(const std::string& path) {
        Lines lines;
        std::ifstream in(path, std::ios::binary);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Lines of trace file `index`; records lose their time stamp, which
    // must have the record's fixed form.
    Lines records(int index = 0) const {
        Lines out;
        for (const std::string& line : lines_of(file(index))) {
            if (line.size() >= kStampLength && is_stamp(line.substr(0, kStampLength)))
                out.push_back(line.substr(kStampLength));
            else
                out.push_back(line);
        }
        return out;
    }
    bool has_record(const std::string& pattern, int index = 0) const {
        for (const std::string& line : records(index))
            if (matches(pattern, line)) return true;
        return false;
    }

    fs::path dir_;
    std::string base_;
};

}  // namespace trace_testing
