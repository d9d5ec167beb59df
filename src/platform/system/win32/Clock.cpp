#include "platform/system/Clock.h"

#include <ctime>
#include <windows.h>

TimeOfDay LocalTimeOfDay() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return TimeOfDay{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

bool LocalCalendarTime(std::time_t moment, std::tm& local, long& offsetSeconds) {
    if (::localtime_s(&local, &moment) != 0) {
        return false;
    }
    // The C library here has no tm_gmtoff: the offset is how far the local
    // calendar time, read as if it were UTC, lies from the moment itself.
    std::tm asUtc = local;
    const std::time_t localAsUtc = ::_mkgmtime(&asUtc);
    if (localAsUtc == std::time_t(-1)) {
        return false;
    }
    offsetSeconds = long(localAsUtc - moment);
    return true;
}
