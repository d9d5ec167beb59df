#include "platform/system/Clock.h"

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

bool LocalCalendarTime(std::time_t moment, std::tm& local, long& offsetSeconds) {
    if (::localtime_r(&moment, &local) == nullptr) {
        return false;
    }
    offsetSeconds = local.tm_gmtoff;
    return true;
}
