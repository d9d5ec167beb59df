#include "fuzz/poll/ReplyAssemblyFuzzer.h"
#include "tests/poll/EngineFakes.h"

#include "poll/PollCycle.h"

#include <QCoreApplication>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

// A short run of the reply-assembly fuzzer (fuzz/poll runs long ones).
TEST(PollCycleFuzz, RandomBytesInRandomPiecesNeverShowUnsentData) {
    const FuzzReport report = reply_assembly_fuzz::Run(60000, 20261208);
    EXPECT_EQ(report.failure, "");
    // The run must have exercised the decoder, or it proves nothing.
    EXPECT_GT(report.times("sound replies"), 1000u);
    EXPECT_GT(report.times("values shown"), 100u * RegisterCount);
}

TEST(PollCycleTimer, TheTimerDrivesTheLoopUntilStopped) {
    EchoingPort port;
    port.baudRate = br115200;
    FakeView view;
    PollCycle cycle(port, view);
    ASSERT_TRUE(cycle.Start());
    ASSERT_TRUE(cycle.RequestWrite(3, 1000));
    QTRY_VERIFY_WITH_TIMEOUT(view.txCount() >= 20, 20000);
    EXPECT_EQ(view.erCount(), 0);
    EXPECT_EQ(cycle.PollTimer().Interval(), 2);
    EXPECT_EQ(port.written[0], (Bytes{0x01, 0x06, 0x00, 0x03, 0x03, 0xE8, 0x79, 0x74}));
    EXPECT_NE(view.value(0), QString());

    cycle.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(!port.connected, 20000);
    EXPECT_FALSE(cycle.PollTimer().Enabled());
    const std::size_t sent = port.written.size();
    QTest::qWait(50);
    EXPECT_EQ(port.written.size(), sent);
}

} // namespace
