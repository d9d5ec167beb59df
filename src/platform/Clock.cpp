#include "Clock.h"

#include <QTime>
#include <chrono>

TimeOfDay LocalTimeOfDay() {
    const QTime now = QTime::currentTime();
    return TimeOfDay{now.hour(), now.minute(), now.second(), now.msec()};
}

std::int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
