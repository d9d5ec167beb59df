#pragma once
// Wall-clock and monotonic time as the windows use them.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// Local time of day to the millisecond.
TimeOfDay LocalTimeOfDay();

/// A duration as the system's waits and timers take it; a negative one as 0.
timespec TimespecOf(std::chrono::nanoseconds duration);

/// Milliseconds on a monotonic clock, for rate limits and elapsed times.
std::int64_t MonotonicMilliseconds();

/// The local date and time as ISO 8601 with microseconds and the offset from
/// UTC, e.g. "2026-12-08T14:03:07.123456+08:00"; empty for a moment the C
/// library cannot place (on Windows, one before 1970).
std::string LocalIsoDateTime(std::chrono::system_clock::time_point time);

/// The local calendar time of a moment and the zone's offset from UTC then,
/// in seconds east; false for a moment the C library cannot place.
bool LocalCalendarTime(std::time_t moment, std::tm& local, long& offsetSeconds);
