#include "platform/system/Clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

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
    long offsetSeconds = 0;
    if (!LocalCalendarTime(whole, local, offsetSeconds)) {
        return {};
    }
    const long offset = offsetSeconds / 60;
    const long offsetMinutes = offset < 0 ? -offset : offset;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lld%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<long long>(fraction),
                  offset < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
    return text;
}
