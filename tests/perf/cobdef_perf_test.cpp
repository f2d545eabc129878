// Reading speed of the COBOL definitions reader: a large generated
// copybook reads well under a second, and time grows linearly with size.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "kvapp/cobdef.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kInstrumented = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kInstrumented = true;
#else
constexpr bool kInstrumented = false;
#endif
#else
constexpr bool kInstrumented = false;
#endif

#ifdef NDEBUG
constexpr bool kOptimized = !kInstrumented;
#else
constexpr bool kOptimized = false;
#endif

constexpr int kFieldsPerRecord = 2000;

// `records` records of kFieldsPerRecord fields each: groups of nine
// elementary items of varied usage, a few trailing items, an 88 entry per
// group and a comment now and then.
std::string write_copybook(int records) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("tabcopy-perf-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(records) + ".cpy");
    std::ofstream out(path);
    static const char* const kClauses[] = {
        "PIC X(10).", "PIC S9(7)V99 COMP-3.", "PIC 9(4) COMP.", "PIC ZZ,ZZ9.99.", "PIC S9(9) BINARY.",
        "PIC X(3) OCCURS 4.", "PIC 9(8).", "COMP-2.", "PIC S9(5) SIGN LEADING SEPARATE."};
    for (int r = 0; r < records; ++r) {
        out << "* record " << r << "\n01 REC-" << r << ".\n";
        int fields = 1;
        int g = 0;
        while (fields + 10 <= kFieldsPerRecord) {
            out << "   05 GROUP-" << g << ".\n";
            for (int j = 0; j < 9; ++j) out << "      10 FIELD-" << g << "-" << j << "   " << kClauses[j] << "\n";
            out << "         88 FLAG-" << g << " VALUE 'Y'.\n";
            fields += 10;
            ++g;
        }
        for (; fields < kFieldsPerRecord; ++fields) out << "   05 TAIL-" << fields << "   PIC X(2).\n";
    }
    return path.string();
}

// Best of three readings, in seconds.
double read_seconds(const std::string& path, int records) {
    double best = 1e9;
    for (int attempt = 0; attempt < 3; ++attempt) {
        CD_definitions().clear();
        CD_definitions().shrink_to_fit();
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        const int ok = CD_read_defs(error, "COBOLDEFSFILE " + path);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(ok, 1) << error.substr(0, 300);
        EXPECT_EQ(CD_definitions().size(), static_cast<size_t>(records));
        if (!CD_definitions().empty()) {
            EXPECT_EQ(CD_definitions().back().field_count, kFieldsPerRecord);
        }
        best = std::min(best, seconds);
    }
    CD_definitions().clear();
    CD_definitions().shrink_to_fit();
    return best;
}

TEST(CobdefPerf, FiveHundredRecordsOfTwoThousandFields) {
    const std::string path = write_copybook(500);
    const double seconds = read_seconds(path, 500);
    std::filesystem::remove(path);
    RecordProperty("seconds", std::to_string(seconds));
    std::printf("500 x %d fields: %.3f s\n", kFieldsPerRecord, seconds);
    if (!kOptimized) GTEST_SKIP() << "timing bound applies to optimized, uninstrumented builds";
    EXPECT_LT(seconds, 1.0);
}

TEST(CobdefPerf, TimeGrowsLinearlyWithSize) {
    const std::string small = write_copybook(100);
    const std::string large = write_copybook(400);
    const double t_small = read_seconds(small, 100);
    const double t_large = read_seconds(large, 400);
    std::filesystem::remove(small);
    std::filesystem::remove(large);
    std::printf("100 records: %.3f s, 400 records: %.3f s, ratio %.2f\n", t_small, t_large, t_large / t_small);
    // Four times the input: linear gives about 4, quadratic 16.
    EXPECT_LT(t_large / t_small, 8.0);
}

}  // namespace
