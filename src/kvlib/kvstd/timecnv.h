// timecnv: Julian timestamps (signed 64-bit microseconds since Julian day 0)
// to broken-down local time and text.
#pragma once

#include <cstddef>
#include <cstdint>

struct tm_ext {
    int16_t year;
    int16_t month;
    int16_t day;
    int16_t hour;
    int16_t minute;
    int16_t second;
    int16_t msec;
    int16_t usec;
};

// Microseconds from Julian day 0 to the Unix epoch.
constexpr int64_t kJtsUnixEpoch = 210866760000000000LL;
// Room for any text jts_to_text writes, terminator included.
constexpr size_t kJtsTextSize = 40;

void current_tm_ext(tm_ext* out);
int64_t current_jts();
char* jts_to_text(char* buffer, size_t size, int64_t ts);
void jts_to_tm_local(tm_ext* out, int64_t ts);
void jts_to_tm_ext(tm_ext* out, int64_t ts);
int64_t jts_to_time_t(int64_t ts);
int64_t local_utc_offset();
void jdn_to_date(int64_t jdn, int16_t* year, int16_t* month, int16_t* day);
void usec_to_time(int64_t usec_of_day, int16_t* hour, int16_t* minute, int16_t* second,
                  int16_t* msec, int16_t* usec);
