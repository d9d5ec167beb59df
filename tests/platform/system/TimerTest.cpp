#include "platform/system/Timer.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

TEST(Timer, IntervalEnabledAndHandlerRules) {
    Timer timer;
    int ticks = 0;
    EXPECT_FALSE(timer.IsArmed()) << "no handler, no countdown";
    timer.SetOnTimer([&] { ++ticks; });
    EXPECT_TRUE(timer.IsArmed());

    timer.SetInterval(0);
    EXPECT_FALSE(timer.IsArmed()) << "interval 0 never ticks";
    timer.SetInterval(20);
    timer.SetEnabled(false);
    QTest::qWait(80);
    EXPECT_EQ(ticks, 0) << "a disabled timer never ticks";

    timer.SetEnabled(true);
    QTest::qWait(150);
    EXPECT_GE(ticks, 2);
}

TEST(Timer, SameIntervalKeepsTheCountdownDifferentIntervalRestartsIt) {
    Timer timer;
    int ticks = 0;
    timer.SetInterval(200);
    timer.SetOnTimer([&] { ++ticks; });
    // Re-assigning 200 every 50 ms must not keep pushing the tick away.
    QElapsedTimer clock;
    clock.start();
    while (ticks == 0 && clock.elapsed() < 1000) {
        timer.SetInterval(200);
        QTest::qWait(50);
    }
    EXPECT_EQ(ticks, 1);
    EXPECT_LT(clock.elapsed(), 900) << "re-assigning the same interval must not restart the countdown";

    // Alternating intervals restart the countdown each time, so no tick comes.
    ticks = 0;
    clock.restart();
    for (int i = 0; i < 8; ++i) {
        timer.SetInterval(i % 2 ? 200 : 201);
        QTest::qWait(50);
    }
    EXPECT_EQ(ticks, 0);
}
