#include "tests/poll/EngineFakes.h"

#include "poll/PollCycle.h"

#include <QTest>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>

namespace {

class PollCycleTest : public ::testing::Test {
protected:
    PollCycleTest() : cycle(port, view, [] { return TimeOfDay{10, 31, 12, 45}; }) {}

    // Start, then the first tick: the read request is on the line.
    void startAndTick() {
        ASSERT_TRUE(cycle.Start());
        cycle.Tick();
    }
    int interval() const { return cycle.PollTimer().Interval(); }

    FakePort port;
    FakeView view;
    PollCycle cycle;
};

TEST_F(PollCycleTest, StartArmsTheLoopAndTheFirstTickSendsAReadWithoutAMiss) {
    view.monitor = {"old line"};
    view.tx = 17;
    view.er = 4;
    EXPECT_FALSE(cycle.PollTimer().Enabled());
    ASSERT_TRUE(cycle.Start());
    EXPECT_TRUE(port.connected);
    EXPECT_TRUE(cycle.Polling());
    EXPECT_EQ(cycle.Reply(), ReplyState::Started);
    EXPECT_TRUE(cycle.PollTimer().Enabled());
    EXPECT_EQ(interval(), 1);
    EXPECT_TRUE(view.monitor.isEmpty());
    EXPECT_EQ(view.tx, 0);
    EXPECT_EQ(view.er, 0);
    EXPECT_EQ(view.polledPort, "COM3");

    cycle.Tick();
    EXPECT_EQ(view.erCount(), 0);
    EXPECT_EQ(view.txCount(), 1);
    ASSERT_EQ(port.written.size(), 1U);
    EXPECT_EQ(port.written[0], (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5}));
    EXPECT_EQ(view.monitor, QStringList{"Tx-12:045> 01 03 00 00 00 14 45 C5"});
    EXPECT_EQ(interval(), 500);
    EXPECT_EQ(cycle.Reply(), ReplyState::None);

    // No reply: the next tick counts one miss and asks again, now of the new address.
    cycle.SetAddress(127);
    cycle.Tick();
    EXPECT_EQ(view.erCount(), 1);
    EXPECT_EQ(view.txCount(), 2);
    EXPECT_EQ(port.written[1], (Bytes{0x7F, 0x03, 0x00, 0x00, 0x00, 0x14, 0x4F, 0xDB}));
}

TEST_F(PollCycleTest, FailedOpenShowsTheMessageAndChangesNothing) {
    port.failOpen = true;
    view.tx = 8;
    view.monitor = {"kept"};
    EXPECT_FALSE(cycle.Start());
    ASSERT_EQ(view.failures.size(), 1);
    EXPECT_EQ(view.failures[0],
              QStringLiteral("串口打开失败，串口号可能不存在，请检查设置|Unable to open com port"));
    EXPECT_FALSE(cycle.Polling());
    EXPECT_FALSE(cycle.PollTimer().Enabled());
    EXPECT_EQ(view.tx, 8);
    EXPECT_EQ(view.monitor, QStringList{"kept"});
}

TEST_F(PollCycleTest, SplitReplyIsLoggedOnceAndDecodedWhenWhole) {
    startAndTick();
    const Bytes reply = makeReadReply(1, countingRegisters(100));
    port.deliver(Bytes(reply.begin(), reply.begin() + 3));
    port.deliver(Bytes(reply.begin() + 3, reply.begin() + 43));
    EXPECT_EQ(view.monitor.size(), 1);
    EXPECT_EQ(cycle.Reply(), ReplyState::None);
    EXPECT_EQ(interval(), 500);
    EXPECT_EQ(view.value(0), QString());

    port.deliver(Bytes(reply.begin() + 43, reply.end()));
    ASSERT_EQ(view.monitor.size(), 2);
    EXPECT_TRUE(view.monitor[1].startsWith("Rx-12:045> 01 03 28 00 64 00 65"));
    EXPECT_EQ(view.monitor[1].size(), QString("Rx-12:045>").size() + 45 * 3);
    EXPECT_EQ(cycle.RxCount(), 45);
    EXPECT_EQ(cycle.Reply(), ReplyState::Read);
    EXPECT_EQ(interval(), 25);
    EXPECT_EQ(view.value(0), "100");
    EXPECT_EQ(view.value(19), "119");

    // Trailing bytes before the next tick: the reply is still whole, so it is
    // logged again with them and decoded again.
    view.registers.reset();
    port.deliver(Bytes{0xAB, 0xCD});
    ASSERT_EQ(view.monitor.size(), 3);
    EXPECT_TRUE(view.monitor[2].endsWith(" AB CD"));
    EXPECT_EQ(view.value(0), "100");

    cycle.Tick();
    EXPECT_EQ(view.erCount(), 0);
    EXPECT_EQ(cycle.RxCount(), 0);
}

TEST_F(PollCycleTest, ReplyBufferTakesExactlyHundredBytesAndDropsAnOverflow) {
    startAndTick();
    // Function 0x42 never completes, so the bytes just pile up.
    Bytes first(40, 0x11);
    first[1] = 0x42;
    port.deliver(first);
    port.deliver(Bytes(60, 0x22));
    EXPECT_EQ(cycle.RxCount(), 100);
    EXPECT_EQ(cycle.Reply(), ReplyState::None);

    port.deliver(Bytes{0x33});
    EXPECT_EQ(cycle.RxCount(), 100);
    EXPECT_EQ(cycle.Reply(), ReplyState::Overflow);
    EXPECT_EQ(interval(), 1);
    EXPECT_EQ(cycle.RxFrame()[99], 0x22);
    EXPECT_TRUE(port.incoming.empty());

    // An overflow is not a miss.
    cycle.Tick();
    EXPECT_EQ(view.erCount(), 0);
    EXPECT_EQ(interval(), 500);

    // One delivery of 101 bytes is dropped whole; a huge one is drained whole;
    // a later delivery that fits is still taken.
    port.deliver(Bytes(101, 0x44));
    EXPECT_EQ(cycle.RxCount(), 0);
    port.deliver(Bytes(10000, 0x55));
    EXPECT_TRUE(port.incoming.empty());
    EXPECT_EQ(cycle.RxCount(), 0);
    const Bytes reply = makeReadReply(1, countingRegisters(7));
    port.deliver(reply);
    EXPECT_EQ(cycle.Reply(), ReplyState::Read);
    EXPECT_EQ(view.value(0), "7");
}

TEST_F(PollCycleTest, PauseAfterAReplyFollowsTheLineRate) {
    const std::array<int, 16> expected = {500, 500, 500, 500, 500, 100, 50,  25,
                                          500, 12,  6,   500, 4,   2,   500, 500};
    for (int rate = brCustom; rate <= br256000; ++rate) {
        port.baudRate = static_cast<TBaudRate>(rate);
        cycle.Tick(); // leaves the loop stopped between rates
        port.connected = false;
        startAndTick();
        port.deliver(makeReadReply(1, countingRegisters(0)));
        EXPECT_EQ(interval(), expected[static_cast<std::size_t>(rate)]) << "rate ordinal " << rate;
        cycle.Stop();
    }
    EXPECT_EQ(PauseAfterReply(br14400), std::nullopt);
    EXPECT_EQ(PauseAfterReply(br115200), std::chrono::milliseconds(2));
}

TEST_F(PollCycleTest, ThePauseAfterAReplyCountsFromWhenItsLastBytesCame) {
    // At 2400 baud the pause is 100 ms. A reply whose bytes came 90 ms before
    // the handler saw them has the next request go out 10 ms later, not 100.
    using Clock = std::chrono::steady_clock;
    port.baudRate = br2400;
    std::optional<Clock::time_point> tick;
    cycle.PollTimer().SetOnTimer([&] { tick = Clock::now(); });
    startAndTick();
    const auto handled = Clock::now();
    port.deliver(makeReadReply(1, countingRegisters(0)), handled - std::chrono::milliseconds(90));
    ASSERT_EQ(interval(), 100);
    for (int wait = 0; !tick && wait < 1000; ++wait) {
        QTest::qWait(1);
    }
    ASSERT_TRUE(tick.has_value());
    EXPECT_LT(*tick - handled, std::chrono::milliseconds(60));
}

TEST_F(PollCycleTest, StopThenStartBeforeTheNextTickNeedsASecondStart) {
    startAndTick();
    cycle.Stop();
    EXPECT_FALSE(cycle.Polling());
    EXPECT_TRUE(port.connected);
    const int changes = port.connectedChanges;
    EXPECT_TRUE(cycle.Start()); // port still open: nothing happens
    EXPECT_EQ(port.connectedChanges, changes);
    EXPECT_FALSE(cycle.Polling());

    // The stopping tick still counts the unanswered request, then shuts down.
    cycle.Tick();
    EXPECT_EQ(view.erCount(), 1);
    EXPECT_FALSE(port.connected);
    EXPECT_FALSE(cycle.PollTimer().Enabled());
    EXPECT_EQ(port.written.size(), 1U);

    ASSERT_TRUE(cycle.Start());
    EXPECT_TRUE(cycle.Polling());
    EXPECT_EQ(view.erCount(), 0);
}

TEST_F(PollCycleTest, PortThatRefusesToCloseIsClosedAgainAtTheNextTick) {
    port.baudRate = br115200;
    startAndTick();
    port.deliver(makeReadReply(1, countingRegisters(0)));
    ASSERT_EQ(interval(), 2);
    cycle.Stop();
    port.failClose = true;
    cycle.Tick();
    // Still open: the loop must not go quiet, or Start would never work again.
    EXPECT_TRUE(port.connected);
    EXPECT_TRUE(cycle.PollTimer().Enabled());
    EXPECT_EQ(interval(), 500);
    EXPECT_EQ(port.written.size(), 1U);

    port.failClose = false;
    cycle.Tick();
    EXPECT_FALSE(port.connected);
    EXPECT_FALSE(cycle.PollTimer().Enabled());
    EXPECT_EQ(port.written.size(), 1U);
    ASSERT_TRUE(cycle.Start());
    EXPECT_TRUE(cycle.Polling());
}

TEST_F(PollCycleTest, WriteMailboxSendsOneWriteThenReads) {
    startAndTick();
    port.deliver(makeReadReply(1, countingRegisters(0)));
    ASSERT_TRUE(cycle.RequestWrite(17, 20000));
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Requested);
    cycle.Tick();
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Sent);
    EXPECT_EQ(port.written.back(), (Bytes{0x01, 0x06, 0x00, 0x11, 0x4E, 0x20, 0xED, 0xB7}));
    EXPECT_EQ(Crc16Of(port.written.back().data(), 8), 0);

    // The echo counts as an answer and shortens the wait.
    port.deliver(port.written.back());
    EXPECT_EQ(cycle.Reply(), ReplyState::Write);
    EXPECT_EQ(interval(), 25);
    cycle.Tick();
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Read);
    EXPECT_EQ(port.written.back()[1], FunctionReadHolding);
    EXPECT_EQ(view.erCount(), 0);

    // Only the low 16 bits go out; the last request before the tick wins.
    ASSERT_TRUE(cycle.RequestWrite(3, 1000));
    ASSERT_TRUE(cycle.RequestWrite(19, 70000));
    EXPECT_EQ(cycle.WriteValue(), 70000);
    EXPECT_EQ(cycle.WriteRegister(), 19);
    cycle.Tick();
    EXPECT_EQ(port.written.back()[3], 19);
    EXPECT_EQ(port.written.back()[4], 0x11);
    EXPECT_EQ(port.written.back()[5], 0x70);
}

TEST_F(PollCycleTest, WriteRequestedWhileOneIsOnTheLineOrWhileStopping) {
    startAndTick();
    ASSERT_TRUE(cycle.RequestWrite(19, 1));
    cycle.Tick();
    // A request made while a write is on the line (mode 1) goes out at the very
    // next tick, with no read in between.
    ASSERT_EQ(cycle.Mailbox(), WriteMode::Sent);
    ASSERT_TRUE(cycle.RequestWrite(3, 1000));
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Requested);
    cycle.Tick();
    EXPECT_EQ(port.written.back(), (Bytes{0x01, 0x06, 0x00, 0x03, 0x03, 0xE8, 0x79, 0x74}));
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Sent);
    cycle.Tick();
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Read);
    cycle.Tick();
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Read);
    EXPECT_EQ(port.written.back()[1], FunctionReadHolding);

    // The stopping tick sends nothing, so a waiting write stays until Start drops it.
    ASSERT_TRUE(cycle.RequestWrite(3, 5));
    cycle.Stop();
    const std::size_t sent = port.written.size();
    cycle.Tick();
    EXPECT_EQ(port.written.size(), sent);
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Requested);
    ASSERT_TRUE(cycle.Start());
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Read);
}

TEST_F(PollCycleTest, WriteToARegisterTheModuleDoesNotHaveIsDropped) {
    startAndTick();
    EXPECT_FALSE(cycle.RequestWrite(20, 5));
    EXPECT_FALSE(cycle.RequestWrite(-1, 5));
    EXPECT_EQ(cycle.Mailbox(), WriteMode::Read);
    cycle.Tick();
    EXPECT_EQ(port.written.back()[1], FunctionReadHolding);

    // A write asked for while stopped is dropped by the next Start.
    cycle.Stop();
    cycle.Tick();
    ASSERT_TRUE(cycle.RequestWrite(3, 9));
    startAndTick();
    EXPECT_EQ(port.written.back()[1], FunctionReadHolding);
}

TEST_F(PollCycleTest, FailedWriteIsCountedSentAndThenMissed) {
    ASSERT_TRUE(cycle.Start());
    port.failWrite = true;
    cycle.Tick();
    EXPECT_EQ(view.txCount(), 1);
    EXPECT_EQ(view.monitor.size(), 1);
    EXPECT_EQ(view.writeFailures, QStringList{"write failed"});
    cycle.Tick();
    EXPECT_EQ(view.erCount(), 1);
    EXPECT_EQ(view.txCount(), 2);
}

TEST_F(PollCycleTest, DeadLineIsPolledAtTheReplyTimeOutAndItsReasonToldOnce) {
    // A good line at 115200 pauses 2 ms after each reply; then the line dies.
    port.baudRate = br115200;
    startAndTick();
    port.deliver(makeReadReply(1, countingRegisters(1)));
    ASSERT_EQ(interval(), 2);
    port.failWrite = true;
    for (int tick = 0; tick < 3; ++tick) {
        cycle.Tick();
        EXPECT_EQ(interval(), 500) << tick;
    }
    EXPECT_EQ(view.erCount(), 2);
    EXPECT_EQ(view.writeFailures, QStringList{"write failed"});

    // The line comes back: the recovery is told once, polling goes on as before.
    port.failWrite = false;
    cycle.Tick();
    cycle.Tick();
    EXPECT_EQ(view.writeFailures, (QStringList{"write failed", ""}));
    port.deliver(makeReadReply(1, countingRegisters(1)));
    EXPECT_EQ(interval(), 2);

    // A new run tells a failure afresh, even the same one.
    port.failWrite = true;
    cycle.Tick();
    cycle.Stop();
    cycle.Tick();
    ASSERT_TRUE(cycle.Start());
    cycle.Tick();
    EXPECT_EQ(view.writeFailures,
              (QStringList{"write failed", "", "write failed", "write failed"}));
}

TEST_F(PollCycleTest, UnsoundRepliesAreLoggedButNeitherDecodedNorCounted) {
    Bytes badCrc = makeReadReply(1, countingRegisters(500));
    badCrc[20] ^= 0xFF;
    Bytes otherSlave = makeReadReply(2, countingRegisters(500));
    Bytes shortCount{0x01, 0x03, 0x02, 0x12, 0x34};
    const std::uint16_t crc = Crc16Of(shortCount.data(), shortCount.size());
    shortCount.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    shortCount.push_back(static_cast<std::uint8_t>(crc >> 8));
    Bytes badEcho{0x01, 0x06, 0x00, 0x03, 0x03, 0xE8, 0x79, 0x75};

    for (const Bytes& reply : {badCrc, otherSlave, shortCount, badEcho}) {
        startAndTick();
        view.monitor.clear();
        port.deliver(reply);
        ASSERT_EQ(view.monitor.size(), 1);
        EXPECT_TRUE(view.monitor[0].startsWith("Rx-"));
        EXPECT_EQ(cycle.Reply(), ReplyState::None);
        EXPECT_EQ(interval(), 500);
        EXPECT_EQ(view.value(0), QString());
        cycle.Tick();
        EXPECT_EQ(view.erCount(), 1);
        cycle.Stop();
        cycle.Tick();
    }
}

TEST_F(PollCycleTest, ExceptionReplyIsLoggedOnceAndCountsAsMissed) {
    startAndTick();
    port.deliver(Bytes{0x01, 0x83});
    port.deliver(Bytes{0x02, 0xC0});
    EXPECT_EQ(view.monitor.size(), 1);
    port.deliver(Bytes{0xF1});
    ASSERT_EQ(view.monitor.size(), 2);
    EXPECT_EQ(view.monitor[1], "Rx-12:045> 01 83 02 C0 F1");
    port.deliver(Bytes{0x00, 0x00, 0x00});
    EXPECT_EQ(view.monitor.size(), 2);
    EXPECT_EQ(cycle.Reply(), ReplyState::None);
    EXPECT_EQ(interval(), 500);
    cycle.Tick();
    EXPECT_EQ(view.erCount(), 1);
    // The next request may log its own exception again.
    port.deliver(Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1});
    EXPECT_EQ(view.monitor.size(), 4);
}

TEST_F(PollCycleTest, TheEngineKeepsTheRegistersOfTheLastSoundRead) {
    RegisterValues registers{};
    registers[3] = 4000;
    registers[19] = 65535;
    startAndTick();
    EXPECT_EQ(cycle.Registers(), RegisterValues{});
    port.deliver(makeReadReply(1, registers));
    EXPECT_EQ(cycle.Registers(), registers);
    EXPECT_EQ(view.value(19), "65535");
    EXPECT_EQ(view.value(3), "4000");
}

} // namespace

namespace {

TEST(TrafficLine, PadsTheTimeAndWritesUpperCaseHex) {
    const Bytes bytes{0x00, 0xFF, 0x0A, 0xA0, 0x7F};
    EXPECT_EQ(TrafficLine("Rx-", TimeOfDay{23, 59, 5, 7}, bytes.data(), 5),
              "Rx-05:007> 00 FF 0A A0 7F");
    EXPECT_EQ(TrafficLine("Tx-", TimeOfDay{0, 0, 59, 999}, bytes.data(), 0), "Tx-59:999>");
    EXPECT_EQ(TrafficLine("Tx-", TimeOfDay{0, 0, 0, 40}, bytes.data(), 1), "Tx-00:040> 00");
}

} // namespace
