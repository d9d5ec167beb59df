#include "platform/system/Timer.h"

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <gtest/gtest.h>
#include <vector>

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
    EXPECT_LT(clock.elapsed(), 900)
        << "re-assigning the same interval must not restart the countdown";

    // Alternating intervals restart the countdown each time, so no tick comes.
    ticks = 0;
    clock.restart();
    for (int i = 0; i < 8; ++i) {
        timer.SetInterval(i % 2 ? 200 : 201);
        QTest::qWait(50);
    }
    EXPECT_EQ(ticks, 0);
}

TEST(Timer, ACountdownFromAMomentPastTicksThatMuchSoonerThenAnIntervalApart) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    Timer timer;
    std::vector<Clock::time_point> ticks;
    timer.SetOnTimer([&] { ticks.push_back(Clock::now()); });
    const auto waitForTicks = [&](std::size_t count) {
        QElapsedTimer clock;
        clock.start();
        while (ticks.size() < count && clock.elapsed() < 5000) {
            QTest::qWait(1);
        }
        return ticks.size() >= count;
    };

    // Started 300 ms ago, a 400 ms countdown ticks 100 ms from now, and the
    // next tick a whole interval after that.
    auto asked = Clock::now();
    timer.SetInterval(400, asked - milliseconds(300));
    EXPECT_TRUE(timer.IsArmed());
    ASSERT_TRUE(waitForTicks(1));
    EXPECT_GE(ticks[0] - asked, milliseconds(99));
    EXPECT_LT(ticks[0] - asked, milliseconds(300));
    ASSERT_TRUE(waitForTicks(2));
    EXPECT_GE(ticks[1] - ticks[0], milliseconds(390));

    // Started longer ago than its interval, it ticks at once; the same
    // interval again restarts nothing.
    ticks.clear();
    asked = Clock::now();
    timer.SetInterval(300, asked - milliseconds(1000));
    timer.SetInterval(300, asked);
    ASSERT_TRUE(waitForTicks(1));
    EXPECT_LT(ticks[0] - asked, milliseconds(150));

    // A start not yet come counts from now.
    ticks.clear();
    asked = Clock::now();
    timer.SetInterval(200, asked + milliseconds(1000));
    ASSERT_TRUE(waitForTicks(1));
    EXPECT_GE(ticks[0] - asked, milliseconds(199));
    EXPECT_LT(ticks[0] - asked, milliseconds(1000));

    // Stopped before its first tick, it does not tick.
    ticks.clear();
    timer.SetInterval(100, Clock::now() - milliseconds(50));
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.IsArmed());
    QTest::qWait(150);
    EXPECT_TRUE(ticks.empty());
}
