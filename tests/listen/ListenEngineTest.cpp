// The listen engine against a line that hands it what a bus carried: it
// shows and records what the master asks and the slaves answer, follows the
// registers the master reads from the slave at its address, and never sends.

#include "listen/ListenEngine.h"
#include "poll/ComPortAdapter.h"
#include "record/LinkStatistics.h"
#include "record/LinkSummary.h"
#include "serial/ComPort.h"
#include "session/PollSession.h"
#include "tests/listen/BusFrames.h"
#include "tests/poll/EngineFakes.h"
#include "tests/support/FakeUsbSysfs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using namespace bus;

constexpr auto Character = 1146us; // 9600 baud, two stop bits
constexpr auto Silence = 4011us;

// A line that promises to send nothing, and tells when each byte came.
class ListeningPort : public FakePort {
public:
    PortResult SetListenOnly(bool on) override {
        listenOnly = on;
        return std::nullopt;
    }
    std::vector<RxPiece> LastRxPieces() const override { return pieces; }
    std::optional<std::chrono::milliseconds> ReceiveLatency() const override { return latency; }

    /// Hands the bytes over in one event, each with the moment it came.
    void deliverTimeline(const Timeline& timeline) {
        pieces.clear();
        for (std::size_t i = 0; i < timeline.bytes.size(); ++i) {
            pieces.push_back({static_cast<int>(i + 1), timeline.times[i]});
        }
        deliver(timeline.bytes, timeline.times.back());
    }

    bool listenOnly = false;
    std::vector<RxPiece> pieces;
    std::optional<std::chrono::milliseconds> latency;
};

class Follower : public PollListener {
public:
    void OnStarted() override { ++started; }
    void OnTraffic(const TrafficEvent& event) override { events.push_back(event); }
    void OnMissCounted() override { ++misses; }
    void OnReadout(const ReadoutSample& sample) override { samples.push_back(sample); }

    QStringList verdicts() const {
        QStringList texts;
        for (const TrafficEvent& event : events) {
            texts.append(TrafficDirectionText(event.direction) + ' ' + TrafficVerdictText(event));
        }
        return texts;
    }

    int started = 0;
    int misses = 0;
    std::vector<TrafficEvent> events;
    std::vector<ReadoutSample> samples;
};

void runEventsFor(std::chrono::milliseconds duration) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

std::vector<int> registersOf(const RegisterValues& values) {
    return {values.begin(), values.end()};
}

class ListenEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine.AddListener(follower);
        engine.SetAddress(1);
    }

    ListeningPort port;
    FakeView view;
    Follower follower;
    ListenEngine engine{port, view};
};

TEST_F(ListenEngineTest, FollowsWhatTheMasterReadsFromItsSlaveAndJudgesEveryExchange) {
    ASSERT_TRUE(engine.Start());
    EXPECT_TRUE(port.listenOnly);
    Bytes broken = readReply(1, counting(900, 20));
    broken.back() ^= 0xFF;
    Timeline line;
    LineTimes times(Character, Silence, Clock::now() - 5s);
    for (const Bytes& frame : std::vector<Bytes>{
             readRequest(1, 0, 20), readReply(1, counting(100, 20)), // read
             readRequest(2, 0, 20), readReply(2, counting(500, 20)), // another slave
             writeRegister(1, 3, 1000), writeRegister(1, 3, 1000),   // write and echo
             readRequest(1, 0x63, 1), exceptionReply(1, 3, 2),       // refused
             readRequest(1, 0, 20),                                  // unanswered
             readRequest(1, 2, 2), readReply(1, {7, 8}),             // two registers
             Bytes{0xFA, 0x3C, 0x91},                                // noise
             readRequest(1, 0, 20), broken,                          // broken on the way
             readRequest(1, 0, 20), readReply(1, counting(300, 20)), // read
         }) {
        times.frame(frame, line);
    }
    port.deliverTimeline(line);
    runEventsFor(100ms);

    EXPECT_EQ(follower.verdicts(),
              QStringList({"Tx sent", "Rx ok", "Tx sent", "Rx ok", "Tx sent", "Rx ok", "Tx sent",
                           "Rx exception-02", "Tx sent", "-- no-reply", "Tx sent", "Rx ok",
                           "Rx unexpected", "Tx sent", "Rx bad-crc", "Tx sent", "Rx ok"}));
    QStringList prefixes;
    for (const QString& shown : view.monitor) {
        prefixes.append(shown.left(3));
    }
    EXPECT_EQ(prefixes, QStringList({"Tx-", "Rx-", "Tx-", "Rx-", "Tx-", "Rx-", "Tx-", "Rx-", "Tx-",
                                     "Tx-", "Rx-", "Rx-", "Tx-", "Rx-", "Tx-", "Rx-"}));
    EXPECT_TRUE(view.monitor.front().endsWith("> 01 03 00 00 00 14 45 C5"));
    // Each line shows when its frame ended: a delivery that holds them all
    // still tells the request from its reply 55 ms later.
    EXPECT_NE(view.monitor[0].mid(3, 6), view.monitor[1].mid(3, 6));
    // The master's requests, and those without a sound reply.
    EXPECT_EQ(view.txCount(), 8);
    EXPECT_EQ(view.erCount(), 3);
    EXPECT_EQ(follower.misses, 3);
    // Only reads from the slave at the address count, each register from
    // the read that carried it.
    ASSERT_EQ(follower.samples.size(), 3u);
    std::vector<int> afterTwo = counting(100, 20);
    afterTwo[2] = 7;
    afterTwo[3] = 8;
    EXPECT_EQ(registersOf(follower.samples[1].registers), afterTwo);
    EXPECT_EQ(follower.samples[1].feedback, 7);
    EXPECT_EQ(follower.samples[1].output, 8);
    EXPECT_EQ(registersOf(*view.registers), counting(300, 20));
    EXPECT_EQ(registersOf(engine.Registers()), counting(300, 20));
    // A reply's time runs from its request's last byte to its own.
    const auto firstReply = std::chrono::duration_cast<std::chrono::microseconds>(
        Silence + Character * static_cast<std::int64_t>(readReply(1, counting(100, 20)).size()));
    ASSERT_TRUE(follower.events[1].responseTime.has_value());
    EXPECT_EQ(*follower.events[1].responseTime, firstReply);
    EXPECT_FALSE(follower.events[0].responseTime.has_value());

    engine.Stop();
    EXPECT_FALSE(port.connected);
    EXPECT_FALSE(port.listenOnly);
    EXPECT_TRUE(port.written.empty());
}

TEST_F(ListenEngineTest, ALineThatCannotPromiseToSendNothingIsNotOpened) {
    FakePort ordinary;
    FakeView shown;
    ListenEngine listen(ordinary, shown);
    EXPECT_FALSE(listen.Start());
    EXPECT_FALSE(listen.Listening());
    EXPECT_EQ(ordinary.connectedChanges, 0);
    ASSERT_EQ(shown.failures.size(), 1);
    EXPECT_TRUE(shown.failures.front().contains("listening only"));
}

TEST_F(ListenEngineTest, AnAdapterThatHoldsBytesForMillisecondsIsNamedOnceAndItsTimesMarkedCoarse) {
    port.latency = 16ms;
    LinkStatistics statistics;
    engine.AddListener(statistics);
    ASSERT_TRUE(engine.Start());
    ASSERT_EQ(view.lineNotes.size(), 1);
    EXPECT_TRUE(view.lineNotes.front().contains("16 ms"));
    EXPECT_TRUE(view.lineNotes.front().contains("ATTR{latency_timer}=\"1\""));
    Timeline line;
    LineTimes times(Character, Silence, Clock::now() - 1s);
    times.frame(readRequest(1, 0, 20), line);
    times.frame(readReply(1, counting(1, 20)), line);
    port.deliverTimeline(line);
    EXPECT_TRUE(follower.events.back().coarseTime);
    EXPECT_FALSE(follower.events.front().coarseTime);
    EXPECT_EQ(statistics.CoarseResponses(), 1);
    EXPECT_TRUE(LinkSummaryJson(statistics).contains("\"coarse\": 1"));
    EXPECT_EQ(view.lineNotes.size(), 1);
}

TEST_F(ListenEngineTest, StoppingCountsARequestUnansweredOnlyOnceItHasWaitedAReplysTime) {
    for (const bool waitedLong : {true, false}) {
        ASSERT_TRUE(engine.Start());
        Timeline line;
        LineTimes times(Character, Silence, Clock::now() - (waitedLong ? 2s : 0s));
        times.frame(readRequest(1, 0, 20), line);
        port.deliverTimeline(line);
        engine.Stop();
        EXPECT_EQ(engine.ErCount(), waitedLong ? 1u : 0u) << waitedLong;
        EXPECT_EQ(follower.verdicts().back(), waitedLong ? "-- no-reply" : "Tx sent");
    }
}

TEST_F(ListenEngineTest, AFrameOfAFunctionWithoutALengthRuleShowsOnceTheLineIsQuiet) {
    ASSERT_TRUE(engine.Start());
    Timeline line;
    LineTimes times(Character, Silence);
    const Bytes identification = withCrc({1, 0x2B, 0x0E, 0x01, 0x00});
    times.frame(identification, line);
    port.deliverTimeline(line);
    EXPECT_TRUE(view.monitor.isEmpty());
    runEventsFor(ListenEngine::ShortestIdle * 3);
    ASSERT_EQ(view.monitor.size(), 1);
    EXPECT_TRUE(view.monitor.front().endsWith("> " + TrafficBytesText(identification)));
    EXPECT_EQ(view.txCount(), 1);
}

// The serial port tells the latency timer of an FTDI adapter from sysfs, and
// nothing for an adapter without one.
TEST(AdapterLatency, IsReadFromTheAdaptersLatencyTimer) {
    FakeUsbMachine machine;
    machine.plug(QStringLiteral("ttyUSB0"), {});
    machine.plug(QStringLiteral("ttyACM0"), {});
    QFile timer(machine.root() + QStringLiteral("/class/tty/ttyUSB0/device/latency_timer"));
    ASSERT_TRUE(timer.open(QIODevice::WriteOnly));
    timer.write("16\n");
    timer.close();
    TComPort port;
    ComPortAdapter adapter(port);
    for (const auto& [name, expected] :
         std::vector<std::pair<std::string, std::optional<std::chrono::milliseconds>>>{
             {"ttyUSB0", 16ms}, {"/dev/ttyUSB0", 16ms}, {"ttyACM0", std::nullopt}}) {
        port.SetPort(name);
        EXPECT_EQ(adapter.ReceiveLatency(), expected) << name;
    }
}

// A line whose adapter can be pulled out: reads then fail as a line gone.
class UnpluggablePort : public ListeningPort {
public:
    PortResult Open() override {
        if (unplugged) {
            return PortError{PortError::Kind::Refused, QStringLiteral("no such device")};
        }
        return ListeningPort::Open();
    }
    PortRead Read(std::uint8_t* bytes, int count) override {
        if (unplugged) {
            return {0, PortError{PortError::Kind::LineLost, QStringLiteral("the adapter is gone")}};
        }
        return ListeningPort::Read(bytes, count);
    }
    bool unplugged = false;
};

bool waitForEvents(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}

// Nobody talks on a quiet bus, so no bytes tell that the adapter went: the
// listener looks itself, says so, and goes on once it is back.
TEST(ListeningOnALostLine, AnAdapterPulledOutOfAQuietBusIsNoticedAndFoundAgain) {
    auto owned = std::make_unique<UnpluggablePort>();
    UnpluggablePort& port = *owned;
    FakeView view;
    Follower follower;
    PollSession session(std::move(owned), view);
    session.Listen().AddListener(follower);
    ASSERT_TRUE(session.Listen().Start());
    port.unplugged = true;
    ASSERT_TRUE(waitForEvents([&] { return follower.verdicts().contains("-- line-lost"); }));
    EXPECT_TRUE(view.lineNotes.back().contains("the adapter is gone"));
    port.unplugged = false;
    ASSERT_TRUE(waitForEvents([&] { return follower.verdicts().contains("-- line-back"); }));
    ASSERT_TRUE(session.Listen().Listening());
    Timeline line;
    LineTimes times(Character, Silence);
    times.frame(readRequest(1, 0, 20), line);
    port.deliverTimeline(line);
    EXPECT_EQ(session.Listen().TxCount(), 1u);
    EXPECT_TRUE(port.written.empty());
}

// The window and the runner build one session with both engines on one line:
// while one listens, the other can neither open the line nor send on it.
TEST(SharedLine, PollingAndListeningTakeTurnsOnOneLine) {
    auto owned = std::make_unique<ListeningPort>();
    ListeningPort& port = *owned;
    FakeView view;
    PollSession session(std::move(owned), view);
    ASSERT_TRUE(session.Listen().Start());
    EXPECT_FALSE(session.Engine().Start());
    EXPECT_EQ(view.failures.size(), 1);
    session.Engine().Tick();
    EXPECT_TRUE(port.written.empty());
    // The line's bytes go to the engine that holds it.
    Timeline line;
    LineTimes times(Character, Silence);
    times.frame(readRequest(1, 0, 20), line);
    port.deliverTimeline(line);
    EXPECT_EQ(session.Listen().TxCount(), 1u);

    session.Listen().Stop();
    ASSERT_TRUE(session.Engine().Start());
    session.Engine().Tick();
    EXPECT_EQ(port.written.size(), 1u);
    EXPECT_FALSE(port.listenOnly);
}

} // namespace
