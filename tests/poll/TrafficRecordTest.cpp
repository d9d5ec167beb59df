// The traffic record the engine emits: one entry per request, reply and miss,
// each with its verdict, against a fake port and window.

#include "tests/poll/EngineFakes.h"

#include "poll/PollCycle.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;
using std::chrono::microseconds;

class TrafficLog : public PollListener {
public:
    void OnTraffic(const TrafficEvent& event) override { events.push_back(event); }
    void OnMissCounted() override { ++misses; }
    void OnStarted() override { ++starts; }

    // "Tx sent 01 03 ..." for every entry, in order.
    QStringList rows() const {
        QStringList lines;
        for (const TrafficEvent& event : events) {
            lines.append((TrafficDirectionText(event.direction) + ' ' + TrafficVerdictText(event) +
                          ' ' + TrafficBytesText(event.bytes))
                             .trimmed());
        }
        return lines;
    }
    int count(TrafficDirection direction) const {
        return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const auto& event) {
            return event.direction == direction;
        }));
    }

    std::vector<TrafficEvent> events;
    int misses = 0;
    int starts = 0;
};

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = Crc16Of(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

class TrafficRecordTest : public ::testing::Test {
protected:
    TrafficRecordTest() { cycle.AddListener(log); }

    FakePort port;
    FakeView view;
    PollCycle cycle{port, view};
    TrafficLog log;
};

TEST_F(TrafficRecordTest, EveryRequestReplyAndMissIsOnRecordWithItsVerdict) {
    const QString read = "01 03 00 00 00 14 45 C5";
    const Bytes sound = makeReadReply(1, countingRegisters(0));
    Bytes corrupted = sound;
    corrupted[44] ^= 0xFF;
    ASSERT_TRUE(cycle.Start());
    EXPECT_EQ(log.starts, 1);

    const Bytes shortRead = withCrc({0x01, 0x03, 0x02, 0x00, 0x07});
    const Bytes foreign = makeReadReply(2, countingRegisters(0));
    cycle.Tick();
    port.deliver(Bytes(sound.begin(), sound.begin() + 3));
    port.deliver(Bytes(sound.begin() + 3, sound.end()));
    // After the whole reply nobody waits for more; what comes, a byte at a
    // time or not, is one entry when the request is over.
    port.deliver({0xAA});
    port.deliver({0xBB});
    cycle.Tick(); // this request gets nothing back
    cycle.Tick(); // and this one three bytes, never a whole reply
    port.deliver({0x01, 0x03, 0x28});
    cycle.Tick();
    port.deliver(corrupted);
    cycle.Tick();
    port.deliver(foreign);
    cycle.Tick();
    port.deliver(shortRead);
    cycle.Tick();
    port.deliver({0x01, 0x83, 0x02, 0xC0, 0xF1, 0x00});
    cycle.Tick();
    port.deliver(Bytes(120, 0x55));
    port.failWrite = true;
    cycle.Tick(); // the overflow is not a miss
    port.failWrite = false;
    cycle.Stop();
    cycle.Tick(); // the stopping tick settles the refused request

    const QStringList expected = {
        "Tx sent " + read,
        "Rx ok " + TrafficBytesText(sound),
        "Rx unexpected AA BB",
        "Tx sent " + read,
        "-- no-reply",
        "Tx sent " + read,
        "-- incomplete",
        "Tx sent " + read,
        "Rx bad-crc " + TrafficBytesText(corrupted),
        "Tx sent " + read,
        "Rx wrong-address " + TrafficBytesText(foreign),
        "Tx sent " + read,
        "Rx wrong-count " + TrafficBytesText(shortRead),
        "Tx sent " + read,
        "Rx exception-02 01 83 02 C0 F1",
        "Rx unexpected 00",
        "Tx sent " + read,
        "Rx overflow " + TrafficBytesText(Bytes(120, 0x55)),
        "Tx write-failed " + read,
        "-- no-reply",
    };
    EXPECT_EQ(log.rows().join('\n').toStdString(), expected.join('\n').toStdString());
    // The record and the counters tell the same story.
    EXPECT_EQ(log.count(TrafficDirection::Tx), view.txCount());
    EXPECT_EQ(log.misses, view.erCount());
    EXPECT_EQ(view.erCount(), 7);
    // Only received bytes carry a response time.
    for (const TrafficEvent& event : log.events) {
        EXPECT_EQ(event.responseTime.has_value(), event.direction == TrafficDirection::Rx);
    }

    // A new Start tells the listeners and counts elapsed time afresh.
    ASSERT_TRUE(cycle.Start());
    cycle.Tick();
    EXPECT_EQ(log.starts, 2);
    EXPECT_LT(log.events.back().elapsed, 1s);
}

TEST_F(TrafficRecordTest, ResponseTimeRunsFromTheWriteToTheArrivalTheReceivingThreadSaw) {
    ASSERT_TRUE(cycle.Start());
    const auto beforeWrite = std::chrono::steady_clock::now();
    cycle.Tick();
    const auto afterWrite = std::chrono::steady_clock::now();
    // The reply arrived 5 ms after the write, but the main thread only gets
    // round to it 30 ms later: the record keeps the arrival.
    std::this_thread::sleep_for(30ms);
    port.deliver(makeReadReply(1, countingRegisters(0)), afterWrite + 5ms);

    ASSERT_EQ(log.events.size(), 2U);
    const TrafficEvent& request = log.events[0];
    const TrafficEvent& reply = log.events[1];
    ASSERT_TRUE(reply.responseTime.has_value());
    EXPECT_GE(*reply.responseTime, microseconds(5ms));
    EXPECT_LE(*reply.responseTime,
              std::chrono::duration_cast<microseconds>(5ms + (afterWrite - beforeWrite)) + 1us);
    // Elapsed time and wall time are stamped at the same moments.
    EXPECT_NEAR((reply.elapsed - request.elapsed).count(), reply.responseTime->count(), 1);
    const auto wallGap =
        std::chrono::duration_cast<microseconds>(reply.time - request.time) - *reply.responseTime;
    EXPECT_LT(std::abs(wallGap.count()), 2000);
    EXPECT_LT(std::chrono::abs(std::chrono::system_clock::now() - reply.time), 1s);

    // A reply seen before the engine noted its write's return (the engine was
    // held up in between) counts as immediate and stays after its request.
    const auto beforeNextWrite = std::chrono::steady_clock::now();
    cycle.Tick();
    port.deliver(makeReadReply(1, countingRegisters(0)), beforeNextWrite - 1ms);
    ASSERT_EQ(log.events.size(), 4U);
    EXPECT_EQ(log.events[3].responseTime, microseconds{0});
    EXPECT_EQ(log.events[3].elapsed, log.events[2].elapsed);
}

} // namespace
