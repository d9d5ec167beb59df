#pragma once
// Wall-clock and monotonic time as the windows use them.

#include <cstdint>

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// Local time of day to the millisecond.
TimeOfDay LocalTimeOfDay();

/// Milliseconds on a monotonic clock, for rate limits and elapsed times.
std::int64_t MonotonicMilliseconds();
