// The local time of day agrees with the toolkit's clock and moves forward.

#include "platform/system/Clock.h"

#include <QDateTime>
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

TEST(Clock, LocalIsoDateTimeHasMicrosecondsAndTheZonesOffset) {
    using namespace std::chrono;
    // 2026-12-08 06:03:07.123456 UTC.
    const system_clock::time_point moment =
        system_clock::time_point{seconds{1796709787}} + microseconds{123456};
    const QDateTime local = QDateTime::fromSecsSinceEpoch(1796709787);
    const int offset = local.offsetFromUtc() / 60;
    const QString expected = local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
                             QStringLiteral(".123456") + (offset < 0 ? '-' : '+') +
                             QStringLiteral("%1:%2")
                                 .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                                 .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
    EXPECT_EQ(QString::fromStdString(LocalIsoDateTime(moment)), expected);

    // A zone east of UTC with half hours, and one west of it.
    const bool zoneSet = qEnvironmentVariableIsSet("TZ");
    const QByteArray zone = qgetenv("TZ");
    for (const auto& [name, text] : std::vector<std::pair<const char*, const char*>>{
             {"Asia/Kolkata", "2026-12-08T11:33:07.123456+05:30"},
             {"America/New_York", "2026-12-08T01:03:07.123456-05:00"},
             {"UTC", "2026-12-08T06:03:07.123456+00:00"}}) {
        qputenv("TZ", name);
        ::tzset();
        EXPECT_EQ(LocalIsoDateTime(moment), text);
    }
    // Before 1970 the fraction still counts up from the whole second.
    EXPECT_EQ(LocalIsoDateTime(system_clock::time_point{-microseconds{1}}),
              "1969-12-31T23:59:59.999999+00:00");
    if (zoneSet) {
        qputenv("TZ", zone);
    } else {
        qunsetenv("TZ");
    }
    ::tzset();
}
