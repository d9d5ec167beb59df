#include "platform/system/Clock.h"

#include <chrono>
#include <ctime>

TimeOfDay LocalTimeOfDay() {
    // Every logged frame carries the time of day, so this runs twice per
    // poll. The C library's reentrant conversion keeps the zone it loaded
    // first instead of looking at the zone file on every call, as the
    // toolkit's current-time call does.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::time_t seconds = now.tv_sec;
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        return TimeOfDay{};
    }
    return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec,
                     static_cast<int>(now.tv_nsec / 1'000'000)};
}

std::int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
