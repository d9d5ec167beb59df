#include "platform/system/Clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <windows.h>

TimeOfDay LocalTimeOfDay() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return TimeOfDay{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

timespec TimespecOf(std::chrono::nanoseconds duration) {
    const std::int64_t count = std::max<std::int64_t>(duration.count(), 0);
    timespec value{};
    value.tv_sec = static_cast<time_t>(count / 1'000'000'000);
    value.tv_nsec = static_cast<long>(count % 1'000'000'000);
    return value;
}

std::int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string LocalIsoDateTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<microseconds>(time.time_since_epoch());
    // Floor division, so that moments before 1970 still get a positive fraction.
    const auto seconds = floor<std::chrono::seconds>(sinceEpoch);
    const auto fraction = (sinceEpoch - seconds).count();
    const std::time_t whole = seconds.count();
    std::tm local{};
    if (::localtime_s(&local, &whole) != 0) {
        return {};
    }
    // The C library here has no tm_gmtoff: the offset is how far the local
    // calendar time, read as if it were UTC, lies from the moment itself.
    std::tm asUtc = local;
    const std::time_t localAsUtc = ::_mkgmtime(&asUtc);
    if (localAsUtc == std::time_t(-1)) {
        return {};
    }
    const long offset = long((localAsUtc - whole) / 60);
    const long offsetMinutes = offset < 0 ? -offset : offset;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lld%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<long long>(fraction),
                  offset < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
    return text;
}
