// The engine on a line that goes away and comes back, kept by a LineKeeper,
// against a fake port whose line can be pulled out.

#include "tests/poll/EngineFakes.h"

#include "poll/LineKeeper.h"
#include "poll/PollCycle.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class PluggablePort : public FakePort {
public:
    PortResult Open() override {
        ++attempts;
        if (refusal) {
            return PortError{PortError::Kind::AdapterChanged, QString::fromUtf8(refusal)};
        }
        if (!pluggedIn) {
            return PortError{PortError::Kind::Refused, QStringLiteral("The port does not exist.")};
        }
        PortResult result = FakePort::Open();
        if (!result) {
            ++openings;
        }
        return result;
    }
    PortResult Write(const std::uint8_t* bytes, int count) override {
        if (!pluggedIn) {
            return PortError{
                PortError::Kind::LineLost,
                QStringLiteral("The port stopped working; the adapter may have been unplugged.")};
        }
        return FakePort::Write(bytes, count);
    }

    bool pluggedIn = true;
    const char* refusal = nullptr;
    int openings = 0;
    int attempts = 0;
};

class Rows : public PollListener {
public:
    void OnTraffic(const TrafficEvent& event) override {
        rows.append(TrafficDirectionText(event.direction) + ' ' + TrafficVerdictText(event));
    }
    QStringList rows;
};

} // namespace

TEST(LineKeeper, ALostLineIsOpenedAgainEverySecondUntilItIsBackOrStopped) {
    PluggablePort port;
    LineKeeper line(port);
    FakeView view;
    PollCycle cycle(line, view);
    Rows record;
    cycle.AddListener(record);
    ASSERT_TRUE(cycle.Start());
    cycle.Tick();
    ASSERT_EQ(port.openings, 1);

    port.pluggedIn = false;
    cycle.Tick();
    EXPECT_TRUE(line.Lost());
    EXPECT_TRUE(line.Connected());
    EXPECT_FALSE(port.connected) << "the dead device is let go at once";
    EXPECT_EQ(view.writeFailures,
              QStringList{"The port stopped working; the adapter may have been unplugged. "
                          "Trying to open it again every second."});
    EXPECT_EQ(record.rows.mid(2), QStringList({"-- line-lost", "Tx write-failed"}));
    // The engine polls on and counts the misses; Start changes nothing.
    const int missed = view.erCount();
    cycle.Tick();
    EXPECT_EQ(view.erCount(), missed + 1);
    EXPECT_EQ(view.txCount(), 3);
    EXPECT_TRUE(cycle.Start());
    EXPECT_EQ(view.txCount(), 3);

    // Back, but as another adapter: refused, and requests say so.
    port.pluggedIn = true;
    port.refusal = "ttyUSB0 is now another adapter";
    const int attempts = port.attempts;
    ASSERT_TRUE(QTest::qWaitFor([&] { return port.attempts > attempts; }, 1500));
    cycle.Tick();
    EXPECT_EQ(view.writeFailures.last(), "ttyUSB0 is now another adapter");
    EXPECT_EQ(port.openings, 1);

    // That one pulled out again: requests say the line is lost, as before.
    port.refusal = nullptr;
    port.pluggedIn = false;
    const int refused = port.attempts;
    ASSERT_TRUE(QTest::qWaitFor([&] { return port.attempts > refused; }, 1500));
    cycle.Tick();
    EXPECT_EQ(view.writeFailures.last(), view.writeFailures.first());

    // The right one: opened again within about a second, and told.
    port.pluggedIn = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line.Lost(); }, 1500));
    EXPECT_EQ(port.openings, 2);
    EXPECT_TRUE(port.connected);
    ASSERT_EQ(view.lineNotes.size(), 1);
    EXPECT_TRUE(view.lineNotes[0].startsWith("The line is back after "))
        << view.lineNotes[0].toStdString();
    EXPECT_EQ(record.rows.last(), "-- line-back");
    // The next request goes out at once, not at the end of the time-out.
    EXPECT_EQ(cycle.PollTimer().Interval(), 1);
    cycle.Tick();
    EXPECT_EQ(view.writeFailures.last(), "");
    EXPECT_EQ(port.written.size(), 2U);

    // Lost again and stopped: the stopping tick ends the attempts at once.
    port.pluggedIn = false;
    cycle.Tick();
    ASSERT_TRUE(line.Lost());
    cycle.Stop();
    cycle.Tick();
    EXPECT_FALSE(line.Connected());
    EXPECT_FALSE(cycle.PollTimer().Enabled());
    port.pluggedIn = true;
    QTest::qWait(1300);
    EXPECT_EQ(port.openings, 2);
    EXPECT_FALSE(port.connected);
}
