// The output and feedback the engine hands on for every sound read reply,
// with the moment the reply arrived.

#include "tests/poll/EngineFakes.h"

#include "modbus/Module.h"
#include "poll/PollCycle.h"

#include <gtest/gtest.h>

namespace {

class SampleLog : public PollListener {
public:
    void OnReadout(const ReadoutSample& sample) override { samples.push_back(sample); }
    std::vector<ReadoutSample> samples;
};

TEST(ReadoutListener, GetsOneSampleForEverySoundReadReplyAndNothingElse) {
    FakePort port;
    FakeView view;
    PollCycle cycle(port, view);
    SampleLog log;
    cycle.AddListener(log);
    ASSERT_TRUE(cycle.Start());
    const auto arrived = std::chrono::steady_clock::now() - std::chrono::seconds{3};

    std::array<std::uint16_t, 20> registers{};
    registers[ModuleRegister::FeedbackDisplay] = 1234;
    registers[ModuleRegister::OutputDisplay] = 1250;
    registers[ModuleRegister::DisplayMode] = 1;
    cycle.Tick();
    const Bytes reply = makeReadReply(1, registers);
    // In two pieces; the sample carries the arrival of the last.
    port.deliver(Bytes(reply.begin(), reply.begin() + 20), arrived - std::chrono::milliseconds{5});
    port.deliver(Bytes(reply.begin() + 20, reply.end()), arrived);
    // Bytes after the whole reply have it decoded again, but it is one reply.
    port.deliver({0xFF, 0xFF});
    ASSERT_EQ(log.samples.size(), 1U);
    EXPECT_EQ(log.samples[0].time, arrived);
    EXPECT_EQ(log.samples[0].output, 1250);
    EXPECT_EQ(log.samples[0].feedback, 1234);
    EXPECT_EQ(log.samples[0].displayMode, 1);

    // A reply with a wrong CRC, a write's echo and a reply from another slave
    // give none.
    Bytes corrupt = reply;
    corrupt.back() ^= 0xFF;
    cycle.Tick();
    port.deliver(corrupt);
    cycle.RequestWrite(ModuleRegister::OutputDisplay, 700);
    cycle.Tick();
    port.deliver(port.written.back());
    cycle.Tick();
    port.deliver(makeReadReply(2, registers));
    EXPECT_EQ(log.samples.size(), 1U);

    cycle.Tick();
    port.deliver(makeReadReply(1, registers));
    EXPECT_EQ(log.samples.size(), 2U);
    cycle.RemoveListener(log);
    cycle.Tick();
    port.deliver(makeReadReply(1, registers));
    EXPECT_EQ(log.samples.size(), 2U);
}

} // namespace
