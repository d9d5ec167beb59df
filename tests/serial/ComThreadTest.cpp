// The event thread on pseudo-terminals: which thread runs the handlers, what
// they are told, stopping and closing in awkward moments, and a far end that
// hangs up.

#include "serial/ComThread.h"
#include "serial/ComPort.h"

#include "platform/serial/SerialDevice.h"
#include "platform/system/ApplicationErrors.h"
#include "tests/serial/SerialTestSupport.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

using namespace serialtest;
using namespace std::chrono_literals;

namespace {

class EventThreadOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pty.Open(), 0);
        port.SetPort(pty.SlavePath());
        previousHandler = SetApplicationErrorHandler(
            [this](const std::string& message) { reported.push_back(message); });
    }
    void TearDown() override { SetApplicationErrorHandler(previousHandler); }

    PseudoTerminal pty;
    std::vector<std::string> reported;
    ApplicationErrorHandler previousHandler;
    TComPort port;
};

// A line whose transmit queue does not empty by itself (flow control holds
// it, or the adapter died); it counts how often the event thread asks. Each
// look lets the queue shrink by drainPerLook bytes.
class StalledOutputDevice : public SerialDevice {
public:
    int outputCount(int& count) const override {
        ++looks;
        queued = std::max(queued - drainPerLook, 0);
        count = queued;
        return 0;
    }
    mutable std::atomic<int> looks = 0;
    mutable std::atomic<int> queued = 0;
    std::atomic<int> drainPerLook = 0;
};

class StalledLinePort : public TCustomComPort {
public:
    StalledLinePort() : StalledLinePort(new StalledOutputDevice) {}
    StalledOutputDevice& line;

private:
    explicit StalledLinePort(StalledOutputDevice* device)
        : TCustomComPort(std::unique_ptr<SerialDevice>(device)), line(*device) {}
};

bool onMainThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

TEST(ComThreadMasks, EventsTranslateOneToOneAndUnknownBitsAreIgnored) {
    EXPECT_EQ(TComThread::EventsToMask(AllComEvents), 0x05FFU);
    EXPECT_EQ(TComThread::EventsToMask({evRxFlag}), 0x0002U);
    EXPECT_EQ(TComThread::EventsToMask({evTxEmpty, evRing}), 0x0104U);
    EXPECT_EQ(TComThread::MaskToEvents(0x0020), TComEvents{evRLSD});
    EXPECT_EQ(TComThread::MaskToEvents(0x0080), TComEvents{evError});
    EXPECT_EQ(TComThread::MaskToEvents(0xFFFFFFFF), AllComEvents);
    EXPECT_TRUE(TComThread::MaskToEvents(0x0200 | 0x0800 | 0x10000).Empty());
    for (std::uint16_t bits = 0; bits < 0x0400; ++bits) {
        const auto events = TComEvents::FromBits(bits);
        ASSERT_EQ(TComThread::MaskToEvents(TComThread::EventsToMask(events)), events);
    }
}

TEST_F(EventThreadOnPty, ReceivedBytesAreAnnouncedOnTheMainThreadWithTheWaitingCount) {
    std::vector<std::uint8_t> received;
    int calls = 0;
    bool allOnMain = true;
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        ++calls;
        allOnMain = allOnMain && onMainThread() && sender == &port;
        std::vector<std::uint8_t> chunk(std::size_t(count), 0);
        EXPECT_EQ(sender->ReadData(chunk.data(), count), count);
        received.insert(received.end(), chunk.begin(), chunk.end());
    };
    port.SetConnected(true);
    writeFarEnd(pty, {1, 2, 3, 4, 5});
    ASSERT_TRUE(waitUntil([&] { return received.size() == 5; }));
    writeFarEnd(pty, {6, 7});
    ASSERT_TRUE(waitUntil([&] { return received.size() == 7; }));
    EXPECT_EQ(received, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(allOnMain);
    EXPECT_LE(calls, 7);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, UnreadBytesAreNotAnnouncedAgainButNewOnesAre) {
    std::vector<int> counts;
    port.OnRxChar = [&](TCustomComPort*, int count) { counts.push_back(count); };
    port.SetConnected(true);
    writeFarEnd(pty, {1, 2, 3});
    ASSERT_TRUE(waitUntil([&] { return !counts.empty(); }));
    // Nothing read: the three bytes stay waiting without a second call.
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(counts, std::vector<int>{3});
    writeFarEnd(pty, {4});
    ASSERT_TRUE(waitUntil([&] { return counts.size() == 2; }));
    EXPECT_EQ(counts[1], 4);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, BytesArrivingDuringADeliveryAreAnnouncedAfterIt) {
    std::vector<std::uint8_t> received;
    bool sentMore = false;
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        std::vector<std::uint8_t> chunk(std::size_t(count), 0);
        sender->ReadData(chunk.data(), count);
        received.insert(received.end(), chunk.begin(), chunk.end());
        if (!sentMore) {
            sentMore = true;
            writeFarEnd(pty, {0xAA, 0xBB});
            // Let them arrive while this handler still runs.
            ASSERT_TRUE(waitUntil([&] { return sender->PendingInputCount() == 2; }));
        }
    };
    port.SetConnected(true);
    writeFarEnd(pty, {1});
    ASSERT_TRUE(waitUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (std::vector<std::uint8_t>{1, 0xAA, 0xBB}));
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, WithoutRxByCountTheComponentReadsAndHandsOverTheBytes) {
    std::vector<std::uint8_t> buffered;
    int rxCharCalls = 0;
    port.SetRxByCount(false);
    port.OnRxChar = [&](TCustomComPort*, int) { ++rxCharCalls; };
    port.OnRxBuf = [&](TCustomComPort*, const std::uint8_t* buffer, int count) {
        buffered.insert(buffered.end(), buffer, buffer + count);
    };
    port.SetConnected(true);
    writeFarEnd(pty, {10, 20, 30, 40, 50});
    ASSERT_TRUE(waitUntil([&] { return buffered.size() == 5; }));
    EXPECT_EQ(buffered, (std::vector<std::uint8_t>{10, 20, 30, 40, 50}));
    EXPECT_EQ(rxCharCalls, 0);
    EXPECT_EQ(port.PendingInputCount(), 0);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, EachDeliveryMethodRunsHandlersOnItsThread) {
    std::atomic<int> calls = 0;
    std::atomic<bool> onMain = true;
    port.SetSyncMethod(smNone);
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        std::vector<std::uint8_t> chunk(std::size_t(count), 0);
        sender->ReadData(chunk.data(), count);
        onMain = onMainThread();
        ++calls;
    };
    port.SetConnected(true);
    writeFarEnd(pty, {1});
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    EXPECT_FALSE(onMain);
    port.SetConnected(false);

    port.SetSyncMethod(smWindowSync);
    port.SetConnected(true);
    writeFarEnd(pty, {2});
    ASSERT_TRUE(waitUntil([&] { return calls == 2; }));
    EXPECT_TRUE(onMain);

    // A request still queued when the port closes runs no step.
    writeFarEnd(pty, {3});
    QThread::msleep(200);
    port.SetConnected(false);
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(calls, 2);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, WritesAreFollowedByTransmitEmptyOnTheMainThread) {
    std::atomic<int> empties = 0;
    port.OnTxEmpty = [&](TCustomComPort*) {
        EXPECT_TRUE(onMainThread());
        ++empties;
    };
    port.SetConnected(true);
    const std::uint8_t frame[8] = {1, 6, 0, 1, 0, 3, 0x98, 0x0B};
    ASSERT_EQ(port.WriteData(frame, 8), 8);
    EXPECT_EQ(readFarEnd(pty, 8).size(), 8U);
    ASSERT_TRUE(waitUntil([&] { return empties >= 1; }));
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, EveryWriteGetsOneTransmitEmptyWhetherTheReplyComesFirstOrNot) {
    // Request and reply, as a master polls: the far end answers at once, so
    // the reply may well be announced before the transmit queue is looked at.
    std::vector<std::string> events;
    int received = 0;
    port.OnTxEmpty = [&](TCustomComPort*) {
        EXPECT_TRUE(onMainThread());
        events.push_back("TxEmpty");
    };
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        std::uint8_t buffer[64] = {};
        received += sender->ReadData(buffer, std::min(count, 64));
        events.push_back("RxChar");
    };
    port.SetConnected(true);
    const std::uint8_t request[8] = {1, 3, 0, 0, 0, 20, 0x45, 0xC5};
    constexpr int Exchanges = 20;
    for (int exchange = 1; exchange <= Exchanges; ++exchange) {
        ASSERT_EQ(port.WriteData(request, 8), 8);
        ASSERT_EQ(readFarEnd(pty, 8).size(), 8U);
        writeFarEnd(pty, std::vector<std::uint8_t>(45, std::uint8_t(exchange)));
        ASSERT_TRUE(waitUntil([&] {
            return received == 45 * exchange &&
                   std::count(events.begin(), events.end(), "TxEmpty") == exchange;
        })) << "exchange "
            << exchange;
    }
    // Nothing more comes once the line is quiet: one transmit-empty per write.
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(std::count(events.begin(), events.end(), "TxEmpty"), Exchanges);
    EXPECT_EQ(received, 45 * Exchanges);

    // A write that gets no answer is still followed by its transmit-empty.
    ASSERT_EQ(port.WriteData(request, 8), 8);
    ASSERT_TRUE(waitUntil(
        [&] { return std::count(events.begin(), events.end(), "TxEmpty") == Exchanges + 1; }));
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, AStalledTransmitQueueIsLookedAtLessAndLessOftenButAMovingOneIsFollowed) {
    StalledLinePort stalled;
    stalled.SetPort(pty.SlavePath());
    stalled.SetEvents({evTxEmpty});
    int empties = 0;
    stalled.OnTxEmpty = [&](TCustomComPort*) { ++empties; };
    stalled.SetConnected(true);
    const std::uint8_t frame[8] = {1, 6, 0, 1, 0, 3, 0x98, 0x0B};

    // Stalled for two seconds: looked at every 2 ms that would be some 1000
    // looks; backing off it is a handful.
    stalled.line.queued = 8;
    ASSERT_EQ(stalled.WriteData(frame, 8), 8);
    waitUntil([] { return false; }, 2000);
    EXPECT_GE(stalled.line.looks, 2);
    EXPECT_LT(stalled.line.looks, 100);
    EXPECT_EQ(empties, 0);
    // The line moves again: the emptying is still reported.
    stalled.line.queued = 0;
    ASSERT_TRUE(waitUntil([&] { return empties == 1; }));

    // A queue that shrinks at every look is a line that is sending: it is
    // followed closely (200 looks), not with growing pauses, which would
    // take over a minute here.
    stalled.line.drainPerLook = 1;
    stalled.line.queued = 200;
    ASSERT_EQ(stalled.WriteData(frame, 8), 8);
    EXPECT_TRUE(waitUntil([&] { return empties == 2; }, 10000));
    // Handlers use this test's locals: close while they still exist.
    stalled.SetConnected(false);
}

TEST_F(EventThreadOnPty, StoppingAnIdleThreadReturnsPromptly) {
    port.SetConnected(true);
    QThread::msleep(100);
    QElapsedTimer timer;
    timer.start();
    port.SetConnected(false);
    // Far below the one-second fallback of the close wait.
    EXPECT_LT(timer.elapsed(), 800);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, CloseWhileADeliveryWaitsForTheMainThreadServesItAndReturns) {
    int calls = 0;
    bool connectedDuringCall = false;
    port.OnRxChar = [&](TCustomComPort* sender, int) {
        ++calls;
        connectedDuringCall = sender->Connected();
    };
    port.SetConnected(true);
    writeFarEnd(pty, {1, 2});
    // The main thread runs no event loop here, so the delivery stays queued.
    QThread::msleep(300);
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(connectedDuringCall);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, AHandlerMayCloseThePortAndItOpensAgainAfterwards) {
    int calls = 0;
    port.OnRxChar = [&](TCustomComPort* sender, int) {
        ++calls;
        sender->SetConnected(false);
    };
    port.SetConnected(true);
    writeFarEnd(pty, {1});
    ASSERT_TRUE(waitUntil([&] { return !port.Connected(); }));
    EXPECT_EQ(calls, 1);
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        ++calls;
        std::vector<std::uint8_t> chunk(std::size_t(count), 0);
        sender->ReadData(chunk.data(), count);
    };
    // The byte left unread at closing and the new one may come in one call
    // or two.
    port.SetConnected(true);
    writeFarEnd(pty, {2});
    ASSERT_TRUE(waitUntil([&] { return calls >= 2; }));
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, AHandlerMayCloseThePortUnderEveryDeliveryMethod) {
    std::atomic<int> calls = 0;
    port.OnRxChar = [&](TCustomComPort* sender, int) {
        ++calls;
        sender->SetConnected(false);
    };
    for (const TSyncMethod method : {smWindowSync, smNone, smThreadSync}) {
        calls = 0;
        port.SetSyncMethod(method);
        port.SetConnected(true);
        writeFarEnd(pty, {1, 2});
        ASSERT_TRUE(waitUntil([&] { return !port.Connected(); })) << int(method);
        waitUntil([] { return false; }, 50);
        EXPECT_EQ(calls, 1) << int(method);
        EXPECT_TRUE(reported.empty()) << int(method);
        // The line is closed for good: reads fail, and opening again works.
        std::uint8_t byte = 0;
        EXPECT_THROW(port.ReadData(&byte, 1), EComPort);
    }
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, AnErrorInAHandlerEndsTheThreadButNotThePort) {
    int calls = 0;
    port.OnRxChar = [&](TCustomComPort*, int) {
        ++calls;
        throw EComPort(CError_ReadFailed);
    };
    port.SetConnected(true);
    writeFarEnd(pty, {1});
    ASSERT_TRUE(waitUntil([&] { return !reported.empty(); }));
    EXPECT_EQ(reported.front(), "ReadFile function failed");
    writeFarEnd(pty, {2});
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(port.Connected());
    QElapsedTimer timer;
    timer.start();
    port.SetConnected(false);
    EXPECT_LT(timer.elapsed(), 800);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, ErrorsThatEndTheThreadAreReportedOnTheMainThread) {
    // The program reports such errors in a message box, which only the main
    // thread may show; the event thread must hand the report over.
    std::vector<bool> reportedOnMainThread;
    SetApplicationErrorHandler([&](const std::string& message) {
        reported.push_back(message);
        reportedOnMainThread.push_back(onMainThread());
    });
    port.OnRxChar = [&](TCustomComPort*, int) { throw EComPort(CError_ReadFailed); };
    for (const TSyncMethod method : {smThreadSync, smNone}) {
        reported.clear();
        reportedOnMainThread.clear();
        port.SetSyncMethod(method);
        port.SetConnected(true);
        writeFarEnd(pty, {1});
        ASSERT_TRUE(waitUntil([&] { return !reported.empty(); })) << int(method);
        EXPECT_EQ(reported.front(), "ReadFile function failed");
        EXPECT_EQ(reportedOnMainThread, std::vector<bool>{true}) << int(method);
        port.SetConnected(false);
    }
}

TEST_F(EventThreadOnPty, AFarEndThatHangsUpCostsNoCpuAndThePortStillClosesAndReopens) {
    int calls = 0;
    port.OnRxChar = [&](TCustomComPort*, int) { ++calls; };
    port.SetConnected(true);
    ASSERT_TRUE(port.HasEventThread());
    pty.ReleaseSlave();
    pty.Close();
    QThread::msleep(100);

    // The main thread only sleeps, so the process's CPU time over this second
    // is what the event thread spends on a dead line.
    const auto before = processCpuTime();
    QThread::msleep(1000);
    const auto spent = processCpuTime() - before;
    EXPECT_LT(spent, 50ms) << "event thread spins on a hung-up line";
    // Reads and writes on the dead line fail with their codes.
    std::uint8_t byte = 0;
    EXPECT_THROW(port.ReadData(&byte, 1), EComPort);
    EXPECT_THROW(port.WriteData(&byte, 1), EComPort);

    EXPECT_NO_THROW(port.SetConnected(false));
    EXPECT_FALSE(port.Connected());

    PseudoTerminal fresh;
    ASSERT_EQ(fresh.Open(), 0);
    port.SetPort(fresh.SlavePath());
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        std::vector<std::uint8_t> chunk(std::size_t(count), 0);
        sender->ReadData(chunk.data(), count);
        ++calls;
    };
    port.SetConnected(true);
    writeFarEnd(fresh, {7});
    EXPECT_TRUE(waitUntil([&] { return calls == 1; }));
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, AWriteBlockedOnAFullLineFailsAtOnceWhenTheFarEndGoesAway) {
    // Nobody reads the far end, so the line fills up and the write waits for
    // room; its time-out (100 ms a byte) is far beyond this test.
    port.SetConnected(true);
    pty.ReleaseSlave();
    std::thread unplug([&] {
        std::this_thread::sleep_for(300ms);
        pty.Close();
    });
    const std::vector<std::uint8_t> block(1 << 20, 0x55);
    QElapsedTimer timer;
    timer.start();
    int code = 0;
    try {
        port.WriteData(block.data(), int(block.size()));
    } catch (const EComPort& error) {
        code = error.LibraryCode();
    }
    unplug.join();
    EXPECT_EQ(code, CError_WriteFailed);
    EXPECT_LT(timer.elapsed(), generousWaitMs);
    EXPECT_NO_THROW(port.SetConnected(false));
}

TEST_F(EventThreadOnPty, AnIdleOpenPortWithUnreadBytesCostsNoCpu) {
    port.OnRxChar = [](TCustomComPort*, int) {};
    port.SetConnected(true);
    writeFarEnd(pty, {1, 2, 3});
    ASSERT_TRUE(waitUntil([&] { return port.PendingInputCount() == 3; }));
    waitUntil([] { return false; }, 100);
    const auto before = processCpuTime();
    QThread::msleep(1000);
    EXPECT_LT(processCpuTime() - before, 50ms);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

TEST_F(EventThreadOnPty, ReceivedBytesAreStampedWhenTheLastOfThemArrived) {
    using Clock = std::chrono::steady_clock;
    std::vector<std::pair<int, Clock::time_point>> deliveries; // count, LastRxTime
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        std::vector<std::uint8_t> chunk(std::size_t(count), 0);
        sender->ReadData(chunk.data(), count);
        deliveries.emplace_back(count, sender->LastRxTime());
    };
    port.SetConnected(true);

    // The main thread is busy for a while after the bytes came: the stamp is
    // still when the event thread saw them.
    const Clock::time_point sent = Clock::now();
    writeFarEnd(pty, {1, 2, 3, 4, 5});
    std::this_thread::sleep_for(150ms);
    ASSERT_TRUE(waitUntil([&] { return !deliveries.empty(); }));
    EXPECT_EQ(deliveries[0].first, 5);
    EXPECT_GE(deliveries[0].second, sent);
    EXPECT_LT(deliveries[0].second, sent + 100ms);

    // Bytes that come after the event thread's look, while its delivery
    // waits for the main thread, are first seen by that delivery: the stamp
    // of the whole batch is then no earlier than their arrival.
    writeFarEnd(pty, {6, 7, 8});
    std::this_thread::sleep_for(100ms);
    const Clock::time_point late = Clock::now();
    writeFarEnd(pty, {9, 10});
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(waitUntil([&] { return deliveries.size() >= 2; }));
    EXPECT_EQ(deliveries[1].first, 5);
    EXPECT_GE(deliveries[1].second, late);
    port.SetConnected(false);
}
