// The local time of day agrees with the toolkit's clock and moves forward.

#include "platform/system/Clock.h"

#include <QTime>
#include <gtest/gtest.h>
#include <thread>

namespace {

int millisecondsOfDay(const TimeOfDay& time) {
    return ((time.hour * 60 + time.minute) * 60 + time.second) * 1000 + time.millisecond;
}

constexpr int DayMilliseconds = 24 * 60 * 60 * 1000;

// The distance from earlier to later, across midnight if need be.
int forwardDistance(int earlier, int later) {
    return (later - earlier + DayMilliseconds) % DayMilliseconds;
}

} // namespace

TEST(Clock, LocalTimeOfDayMatchesTheToolkitsLocalTimeAndAdvances) {
    const QTime before = QTime::currentTime();
    const TimeOfDay first = LocalTimeOfDay();
    const QTime after = QTime::currentTime();

    EXPECT_GE(first.hour, 0);
    EXPECT_LT(first.hour, 24);
    EXPECT_GE(first.minute, 0);
    EXPECT_LT(first.minute, 60);
    EXPECT_GE(first.second, 0);
    EXPECT_LT(first.second, 61);
    EXPECT_GE(first.millisecond, 0);
    EXPECT_LT(first.millisecond, 1000);

    // Same zone, same clock: the value lies between the two toolkit readings
    // (a little slack for a loaded machine).
    const int ours = millisecondsOfDay(first);
    EXPECT_LE(forwardDistance(before.msecsSinceStartOfDay(), ours), 2000);
    EXPECT_LE(forwardDistance(ours, after.msecsSinceStartOfDay()), 2000);

    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int later = millisecondsOfDay(LocalTimeOfDay());
    const int step = forwardDistance(ours, later);
    EXPECT_GE(step, 25);
    EXPECT_LT(step, 5000);
}
