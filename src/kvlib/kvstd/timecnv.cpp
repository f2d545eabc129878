// timecnv: Julian timestamps (signed microseconds since the start of Julian
// day 0) to broken-down local time and text, and the current time.
//
// Invariants: every int64 timestamp converts without overflow (intermediate
// values are carried in 128 bits); a local time outside the years 1 to 9999
// raises 1158 and the fields are still filled; the C library's static
// broken-down results are never used (only the reentrant forms).
#include "kvstd/timecnv.h"

#include <cstdio>
#include <ctime>

#include "kvstd/raise.h"

static const kvModuleId kModule{"kvstd.conv.time", "$Id: timecnv.cpp 1.0 tabcopy $"};

namespace {

using wide = __int128;

constexpr int64_t kUsecPerSecond = 1000000;
constexpr int64_t kUsecPerDay = 86400000000LL;
constexpr int64_t kHalfDay = 43200000000LL;
constexpr int64_t kFirstValid = 148731163200000000LL;  // 0001-01-01 00:00:00.000000
constexpr int64_t kLastValid = 464269060799999999LL;   // 9999-12-31 23:59:59.999999
constexpr int64_t kGregorianStart = 2299161;           // 1582-10-15

void fill_from_tm(tm_ext* out, const std::tm& t) {
    out->year = static_cast<int16_t>(t.tm_year + 1900);
    out->month = static_cast<int16_t>(t.tm_mon + 1);
    out->day = static_cast<int16_t>(t.tm_mday);
    out->hour = static_cast<int16_t>(t.tm_hour);
    out->minute = static_cast<int16_t>(t.tm_min);
    out->second = static_cast<int16_t>(t.tm_sec);
}

// Splits off one unit: returns value / unit and leaves the non-negative
// remainder (0 when the value was negative) in *rest.
int64_t split(int64_t value, int64_t unit, int64_t* rest) {
    const int64_t whole = value / unit;
    const int64_t left = value - whole * unit;
    *rest = left < 0 ? 0 : left;
    return whole;
}

}  // namespace

void current_tm_ext(tm_ext* out) {
    *out = tm_ext{};
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    if (localtime_r(&now, &t)) fill_from_tm(out, t);
}

int64_t current_jts() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return kJtsUnixEpoch + static_cast<int64_t>(now.tv_sec) * kUsecPerSecond +
           static_cast<int64_t>(now.tv_nsec) / 1000;
}

char* jts_to_text(char* buffer, size_t size, int64_t ts) {
    if (!buffer || size == 0) return buffer;
    tm_ext t{};
    jts_to_tm_local(&t, ts);
    std::snprintf(buffer, size, "%04hd-%02hd-%02hd %02hd:%02hd:%02hd.%03hd%03hd", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.msec, t.usec);
    return buffer;
}

// The C library cannot break down every time_t, and a year beyond 9999
// does not survive the 16-bit year field. Both cases go through the
// calendar arithmetic instead, which reports the timestamp (1158) and still
// fills the fields, so no caller ever sees uninitialised or wrapped values
// without a message.
void jts_to_tm_local(tm_ext* out, int64_t ts) {
    // Truncating toward zero, whole seconds before the epoch start at
    // one full second before it.
    if (ts <= kJtsUnixEpoch - kUsecPerSecond) {
        jts_to_tm_ext(out, ts);
        return;
    }
    const std::time_t seconds = static_cast<std::time_t>(jts_to_time_t(ts));
    std::tm t{};
    if (!localtime_r(&seconds, &t) || t.tm_year + 1900 > 9999) {
        jts_to_tm_ext(out, ts);
        return;
    }
    fill_from_tm(out, t);
    const int64_t fraction = ts % kUsecPerSecond;
    out->msec = static_cast<int16_t>(fraction / 1000);
    out->usec = static_cast<int16_t>(fraction % 1000);
}

void jts_to_tm_ext(tm_ext* out, int64_t ts) {
    const wide local = static_cast<wide>(ts) + local_utc_offset();
    if (local < kFirstValid || local > kLastValid)
        kvRaiseMessage(KV_SITE(kModule), 1158, {ts});
    // Julian days begin at noon, calendar days at midnight.
    const wide shifted = local + kHalfDay;
    const int64_t jdn = static_cast<int64_t>(shifted / kUsecPerDay);
    jdn_to_date(jdn, &out->year, &out->month, &out->day);
    const wide since_midnight = shifted - static_cast<wide>(jdn) * kUsecPerDay;
    usec_to_time(since_midnight < 0 ? 0 : static_cast<int64_t>(since_midnight), &out->hour,
                 &out->minute, &out->second, &out->msec, &out->usec);
}

int64_t jts_to_time_t(int64_t ts) {
    return ts >= kJtsUnixEpoch ? (ts - kJtsUnixEpoch) / kUsecPerSecond : 0;
}

// mktime reads the UTC breakdown as local standard time (its daylight flag
// is 0), so the difference is the zone's standard offset, east positive.
int64_t local_utc_offset() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    if (!gmtime_r(&now, &utc)) return 0;
    const std::time_t as_local = std::mktime(&utc);
    if (as_local == static_cast<std::time_t>(-1)) return 0;
    return (static_cast<int64_t>(now) - static_cast<int64_t>(as_local)) * kUsecPerSecond;
}

// Meeus' conversion in whole numbers; 128-bit intermediates keep it defined
// for every day number, even those far outside any real calendar.
void jdn_to_date(int64_t jdn, int16_t* year, int16_t* month, int16_t* day) {
    wide j = jdn;
    if (j >= kGregorianStart) {
        const wide alpha = (4 * j - 7468865) / 146097;
        j = j + 1 + alpha - alpha / 4;
    }
    const wide c = (20 * j + 28038) / 7305;
    const wide b = j - 1461 * c / 4 + 1524;
    const wide e = 10000 * b / 306001;
    const wide d = b - 306001 * e / 10000;
    const wide m = e < 14 ? e - 1 : e - 13;
    const wide y = m > 2 ? c - 4716 : c - 4715;
    *day = static_cast<int16_t>(d);
    *month = static_cast<int16_t>(m);
    *year = static_cast<int16_t>(y);
}

void usec_to_time(int64_t usec_of_day, int16_t* hour, int16_t* minute, int16_t* second,
                  int16_t* msec, int16_t* usec) {
    int64_t rest = 0;
    *hour = static_cast<int16_t>(split(usec_of_day, 3600000000LL, &rest));
    *minute = static_cast<int16_t>(split(rest, 60000000LL, &rest));
    *second = static_cast<int16_t>(split(rest, 1000000LL, &rest));
    *msec = static_cast<int16_t>(split(rest, 1000LL, &rest));
    *usec = static_cast<int16_t>(rest);
}
