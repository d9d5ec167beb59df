// A line that hands every request back before the reply (a two-wire RS-485
// adapter with local echo), and lines that do not, against a fake port.

#include "tests/poll/EngineFakes.h"

#include "poll/PollCycle.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// "Rx echo 01 03 ..." for every entry of the traffic record.
class Rows : public PollListener {
public:
    void OnTraffic(const TrafficEvent& event) override {
        rows.append((TrafficDirectionText(event.direction) + ' ' + TrafficVerdictText(event) + ' ' +
                     TrafficBytesText(event.bytes))
                        .trimmed());
    }
    QStringList rows;
};

Bytes operator+(Bytes front, const Bytes& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

Bytes part(const Bytes& bytes, std::size_t from, std::size_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(to, bytes.size())));
}

class EchoTest : public ::testing::Test {
protected:
    EchoTest() { cycle.AddListener(record); }

    void start() {
        ASSERT_TRUE(cycle.Start());
        cycle.Tick();
    }
    Bytes request() const { return port.written.back(); }
    // The next request: a read, or a write of value to register 3.
    void next(std::optional<int> write = std::nullopt) {
        if (write) {
            cycle.RequestWrite(3, *write);
        }
        cycle.Tick();
    }
    int misses() const { return view.erCount(); }

    FakePort port;
    FakeView view;
    PollCycle cycle{port, view};
    Rows record;
};

const Bytes ReadReply = makeReadReply(1, countingRegisters(500));

} // namespace

TEST_F(EchoTest, OnALineThatEchoesReadsAndWritesAreTakenFromWhatTheSlaveSent) {
    start();
    // The echo and the reply in one delivery.
    port.deliver(request() + ReadReply);
    EXPECT_EQ(cycle.Reply(), ReplyState::Read);
    EXPECT_EQ(view.value(0), "500");
    EXPECT_EQ(view.monitor.size(), 2);
    EXPECT_TRUE(view.monitor[1].endsWith("> " + TrafficBytesText(ReadReply)));
    EXPECT_EQ(view.lineNotes, QStringList{"The line echoes every request (an RS-485 adapter with "
                                          "local echo); the echo is dropped."});
    EXPECT_EQ(record.rows.value(1), "Rx echo 01 03 00 00 00 14 45 C5");
    EXPECT_TRUE(record.rows.value(2).startsWith("Rx ok 01 03 28"));

    // A write: its reply equals the request, so the same eight bytes come
    // twice, here the echo in pieces and the reply after it.
    next(1000);
    const Bytes write = request();
    ASSERT_EQ(write[1], FunctionWriteSingle);
    port.deliver(part(write, 0, 3));
    port.deliver(part(write, 3, 8));
    EXPECT_EQ(cycle.Reply(), ReplyState::None);
    port.deliver(write);
    EXPECT_EQ(cycle.Reply(), ReplyState::Write);
    // Only the reply is shown, once.
    EXPECT_EQ(view.monitor.size(), 4);
    EXPECT_TRUE(view.monitor[3].endsWith("> " + TrafficBytesText(write)));

    // A read whose echo comes but whose slave stays silent is an ordinary miss.
    next();
    port.deliver(request());
    next();
    EXPECT_EQ(misses(), 1);
    EXPECT_EQ(record.rows.filter("--").value(0), "-- no-reply");
    EXPECT_EQ(view.lineNotes.size(), 1);
}

TEST_F(EchoTest, ALineThatDoesNotEchoNeverLosesARealReply) {
    start();
    // A sound reply in any two pieces is taken, read or write.
    for (std::size_t split = 1; split < ReadReply.size(); ++split) {
        next();
        port.deliver(part(ReadReply, 0, split));
        port.deliver(part(ReadReply, split, ReadReply.size()));
        ASSERT_EQ(cycle.Reply(), ReplyState::Read) << split;
    }
    for (std::size_t split = 1; split < 8; ++split) {
        next(static_cast<int>(split));
        const Bytes write = request();
        port.deliver(part(write, 0, split));
        port.deliver(part(write, split, 8));
        ASSERT_EQ(cycle.Reply(), ReplyState::Write) << split;
    }
    const int missesBefore = misses();

    // Part of an echo before the reply, or garbage that starts like the
    // request, is no echo: the reply behind it is judged as it stands and the
    // request counted as missed, as on any line.
    next();
    port.deliver(part(request(), 0, 5) + ReadReply);
    EXPECT_EQ(cycle.Reply(), ReplyState::None);
    EXPECT_TRUE(view.monitor.last().contains("> 01 03 00 00 00 01 03 28"));
    next();
    Bytes garbage = request();
    garbage[7] ^= 0xFF;
    port.deliver(garbage + ReadReply);
    EXPECT_EQ(cycle.Reply(), ReplyState::None);
    next();
    EXPECT_EQ(misses(), missesBefore + 2);
    EXPECT_TRUE(view.lineNotes.isEmpty());
    EXPECT_TRUE(record.rows.filter("echo").isEmpty());
}

TEST_F(EchoTest, AWriteBeforeAnyReadLearnsThatTheLineEchoesFromItsReplyComingTwice) {
    // The copies in two deliveries, the second one split: the first copy is
    // taken as the reply at once; the second is known for the echo when whole.
    const auto firstWrite = [this](int value) {
        ASSERT_TRUE(cycle.Start());
        cycle.RequestWrite(3, value);
        cycle.Tick();
        ASSERT_EQ(request()[1], FunctionWriteSingle);
    };
    firstWrite(1000);
    const Bytes write = request();
    port.deliver(write);
    EXPECT_EQ(cycle.Reply(), ReplyState::Write);
    port.deliver(part(write, 0, 4));
    port.deliver(part(write, 4, 8));
    // The second copy is not shown again; the record names it the echo.
    EXPECT_EQ(view.monitor.size(), 2);
    EXPECT_EQ(view.lineNotes.size(), 1);
    EXPECT_EQ(record.rows.filter("Rx"), QStringList({"Rx ok " + TrafficBytesText(write),
                                                     "Rx echo " + TrafficBytesText(write)}));
    // From now on a write's first copy is the echo.
    next();
    port.deliver(request() + ReadReply);
    next(1001);
    port.deliver(request());
    EXPECT_EQ(cycle.Reply(), ReplyState::None);
    port.deliver(request());
    EXPECT_EQ(cycle.Reply(), ReplyState::Write);
    EXPECT_EQ(misses(), 0);

    // After a fresh Start nothing is known: one copy with the start of the
    // next in one delivery is a reply with something after it, taken at once;
    // the rest of the copy shows that it was the echo.
    cycle.Stop();
    cycle.Tick();
    firstWrite(1002);
    port.deliver(request() + part(request(), 0, 4));
    EXPECT_EQ(cycle.Reply(), ReplyState::Write);
    port.deliver(part(request(), 4, 8));
    EXPECT_EQ(view.monitor.size(), 2);
    EXPECT_EQ(view.lineNotes.size(), 2);
    EXPECT_EQ(record.rows.last(), "Rx echo " + TrafficBytesText(request()));
}

TEST_F(EchoTest, ALineThatStopsEchoingIsTakenForOneThatDoesNot) {
    start();
    port.deliver(request() + ReadReply);
    ASSERT_EQ(cycle.Reply(), ReplyState::Read);
    // Another adapter now, without echo: a read answered without one ...
    next();
    port.deliver(ReadReply);
    ASSERT_EQ(cycle.Reply(), ReplyState::Read);
    // ... so a write's eight bytes are its reply again.
    next(7);
    port.deliver(request());
    EXPECT_EQ(cycle.Reply(), ReplyState::Write);
}
