#include "kvstd/timecnv.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "message_recorder.h"

namespace {

// Sets TZ for one scope and puts the previous zone back afterwards.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

using Fields = std::array<int, 8>;
Fields fields(const tm_ext& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.msec, t.usec};
}

constexpr int64_t kYearOneStart = 148731163200000000LL;
constexpr int64_t kYear9999End = 464269060799999999LL;

std::string text_of(int64_t ts) {
    char buffer[kJtsTextSize];
    return jts_to_text(buffer, sizeof buffer, ts);
}

TEST(JdnToDateTest, CalendarSwitchAndKnownDays) {
    const std::array<int64_t, 4> cases[] = {{2451545, 2000, 1, 1},  {2299161, 1582, 10, 15},
                                            {2299160, 1582, 10, 4}, {2451604, 2000, 2, 29},
                                            {0, -4712, 1, 1},       {5373484, 9999, 12, 31}};
    for (const auto& c : cases) {
        int16_t y = 0, m = 0, d = 0;
        jdn_to_date(c[0], &y, &m, &d);
        EXPECT_EQ((std::array<int64_t, 3>{y, m, d}), (std::array<int64_t, 3>{c[1], c[2], c[3]})) << c[0];
    }
}

TEST(UsecToTimeTest, SplitsTheDayAndClampsNegatives) {
    const std::pair<int64_t, std::array<int16_t, 5>> cases[] = {
        {86399999999LL, {23, 59, 59, 999, 999}}, {3723004005LL, {1, 2, 3, 4, 5}}, {-1, {}}};
    for (const auto& [usec, expected] : cases) {
        std::array<int16_t, 5> f{};
        usec_to_time(usec, &f[0], &f[1], &f[2], &f[3], &f[4]);
        EXPECT_EQ(f, expected) << usec;
    }
}

TEST(JtsToTextTest, LocalTimeWithMicrosecondsInsideTheBuffer) {
    {
        ZoneGuard zone("UTC");
        EXPECT_EQ(text_of(kJtsUnixEpoch + 123456), "1970-01-01 00:00:00.123456");
        char small[11];
        EXPECT_STREQ(jts_to_text(small, sizeof small, kJtsUnixEpoch), "1970-01-01");
    }
    ZoneGuard zone("UTC-1");  // POSIX zone names count west as positive
    EXPECT_EQ(text_of(kJtsUnixEpoch), "1970-01-01 01:00:00.000000");
    EXPECT_EQ(local_utc_offset(), 3600000000LL);
}

TEST(JtsToTmExtTest, OutsideYears1To9999Raises1158AndStillFills) {
    ZoneGuard zone("UTC");
    MessageRecorder recorder;
    tm_ext t{};
    jts_to_tm_ext(&t, kYearOneStart);
    jts_to_tm_ext(&t, kYear9999End);
    EXPECT_TRUE(recorder.empty());
    EXPECT_EQ(fields(t), (Fields{9999, 12, 31, 23, 59, 59, 999, 999}));

    jts_to_tm_ext(&t, 0);  // Julian day 0 begins at noon, 4713 BC
    ASSERT_EQ(recorder.codes(), std::vector<uint32_t>{1158});
    EXPECT_EQ(recorder.last().args, std::vector<std::string>{"0"});
    EXPECT_EQ(recorder.last().kinds[0], kvMsgArg::Kind::Int64);
    EXPECT_EQ(fields(t), (Fields{-4712, 1, 1, 12, 0, 0, 0, 0}));
    jts_to_tm_ext(&t, kYearOneStart - 1);
    jts_to_tm_ext(&t, kYear9999End + 1);
    EXPECT_EQ(recorder.count(1158), 3u);
}

TEST(JtsToTmLocalTest, BeforeEpochAndBeyondYear9999UseCalendarArithmetic) {
    ZoneGuard zone("UTC");
    MessageRecorder recorder;
    tm_ext t{};
    jts_to_tm_local(&t, kJtsUnixEpoch - 86400000000LL + 5);
    EXPECT_EQ(fields(t), (Fields{1969, 12, 31, 0, 0, 0, 0, 5}));
    EXPECT_TRUE(recorder.empty());
    jts_to_tm_local(&t, kYear9999End + 1);  // year 10000 has no four-digit form
    EXPECT_EQ(recorder.codes(), std::vector<uint32_t>{1158});
}

// The sanitizer build traps any signed overflow on the way.
TEST(JtsToTmLocalTest, ExtremeTimestampsAreReportedNotUndefined) {
    for (const char* zone_name : {"UTC", "UTC-14", "UTC+12"}) {
        ZoneGuard zone(zone_name);
        for (int64_t ts : {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()}) {
            MessageRecorder recorder;
            tm_ext t{};
            jts_to_tm_local(&t, ts);
            EXPECT_EQ(recorder.count(1158), 1u) << zone_name << " " << ts;
            EXPECT_TRUE(t.hour >= 0 && t.hour <= 23);
        }
    }
}

TEST(TimeTest, EpochSecondsAndCurrentTime) {
    EXPECT_EQ(jts_to_time_t(kJtsUnixEpoch - 1), 0);
    EXPECT_EQ(jts_to_time_t(kJtsUnixEpoch + 1999999), 1);
    const int64_t before = kJtsUnixEpoch + static_cast<int64_t>(std::time(nullptr)) * 1000000;
    const int64_t now = current_jts();
    EXPECT_TRUE(now >= before && now < before + 2000000);
    tm_ext t{};
    current_tm_ext(&t);
    EXPECT_GE(t.year, 2024);
    EXPECT_EQ(t.msec + t.usec, 0);
}

}  // namespace
