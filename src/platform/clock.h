// Time as the system sees it: a monotonic millisecond count, sleeping, and the
// local calendar time.
#pragma once

#include <cstdint>

namespace wg::platform {

// Milliseconds of a monotonic clock; never goes backwards.
std::uint64_t SteadyMilliseconds();

// Sleeps the calling thread; 0 yields the rest of its time slice.
void SleepMs(int milliseconds);

// Seconds since the epoch (the calendar time).
std::int64_t CalendarSeconds();

struct LocalTime {
    int year = 0;     // e.g. 2026
    int month = 0;    // 0..11
    int day = 0;      // 1..31
    int weekday = 0;  // 0 = Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local time of a calendar second.
LocalTime ToLocalTime(std::int64_t calendarSeconds);

}  // namespace wg::platform
