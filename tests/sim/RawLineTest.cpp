// The module's line seen byte by byte: how requests may arrive and how the
// replies go out, faults included.

#include "modbus/CRC16.h"
#include "sim/VirtualModule.h"
#include "tests/sim/RawClient.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sys/resource.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Read 20 registers from slave 1, and its reply length.
const Bytes ReadRequest = {0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5};
constexpr std::size_t ReadReplySize = 45;
constexpr auto Quiet = 300ms;

bool crcHolds(const Bytes& frame, std::size_t length) {
    if (frame.size() < length || length < 4) {
        return false;
    }
    const std::uint16_t crc = Crc16Of(frame.data(), length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

Bytes withCrc(Bytes body) {
    const std::uint16_t crc = Crc16Of(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    return body;
}

void expectReadReply(const Bytes& reply) {
    ASSERT_GE(reply.size(), ReadReplySize);
    EXPECT_EQ(reply[0], 0x01);
    EXPECT_EQ(reply[1], 0x03);
    EXPECT_EQ(reply[2], 40);
    EXPECT_TRUE(crcHolds(reply, ReadReplySize));
}

// Voluntary context switches of all the process's threads: each wake-up from
// poll() counts one.
long processWakeUps() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

std::chrono::nanoseconds processCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds{now.tv_sec} + std::chrono::nanoseconds{now.tv_nsec};
}

class RawLine : public ::testing::Test {
protected:
    void SetUp() override { startModule(VirtualModuleOptions{}); }

    void startModule(const VirtualModuleOptions& options) {
        m_client.reset();
        m_module = std::make_unique<VirtualModule>(options);
        ASSERT_EQ(m_module->Start(), 0);
        m_client = std::make_unique<RawClient>(m_module->PortPath());
        ASSERT_TRUE(m_client->IsOpen());
        ASSERT_TRUE(m_client->SetLine(B9600));
    }

    VirtualModule& module() { return *m_module; }
    RawClient& client() { return *m_client; }

    std::unique_ptr<VirtualModule> m_module;
    std::unique_ptr<RawClient> m_client;
};

TEST_F(RawLine, RequestSplitIntoSingleBytesIsAnsweredOnce) {
    for (const std::uint8_t byte : ReadRequest) {
        ASSERT_TRUE(client().Send({byte}));
        std::this_thread::sleep_for(3ms);
    }
    const Bytes reply = client().Collect(1000, Quiet);
    EXPECT_EQ(reply.size(), ReadReplySize) << "exactly one reply";
    expectReadReply(reply);
    EXPECT_EQ(module().Statistics().requests, 1u);
}

TEST_F(RawLine, GarbageBeforeARequestDoesNotPreventTheAnswer) {
    // Garbage that looks like the start of frames, in the same write as the request.
    Bytes line = {0x00, 0xFF, 0x01, 0x10, 0x00, 0x01, 0x03, 0x06, 0x01};
    line.insert(line.end(), ReadRequest.begin(), ReadRequest.end());
    ASSERT_TRUE(client().Send(line));
    expectReadReply(client().Collect(ReadReplySize, Quiet));

    // Garbage on its own, a pause, then the request.
    ASSERT_TRUE(client().Send({0x01, 0x03, 0x7E}));
    std::this_thread::sleep_for(30ms);
    ASSERT_TRUE(client().Send(ReadRequest));
    const Bytes reply = client().Collect(1000, Quiet);
    EXPECT_EQ(reply.size(), ReadReplySize);
    expectReadReply(reply);

    // A request with a broken CRC is not answered.
    Bytes broken = ReadRequest;
    broken[7] ^= 0x01;
    ASSERT_TRUE(client().Send(broken));
    EXPECT_TRUE(client().Collect(1, Quiet, Quiet).empty());
}

TEST_F(RawLine, OnlyItsOwnAddressIsAnswered) {
    module().SetAddress(2);
    ASSERT_TRUE(client().Send(ReadRequest));
    EXPECT_TRUE(client().Collect(1, Quiet, Quiet).empty());

    ASSERT_TRUE(client().Send(withCrc({0x02, 0x03, 0x00, 0x00, 0x00, 0x14})));
    const Bytes reply = client().Collect(ReadReplySize, Quiet);
    ASSERT_EQ(reply.size(), ReadReplySize);
    EXPECT_EQ(reply[0], 0x02);
    EXPECT_TRUE(crcHolds(reply, ReadReplySize));
    EXPECT_EQ(module().Statistics().ignored, 1u);
}

TEST_F(RawLine, UnknownFunctionIsRefusedOnceTheLineFallsSilent) {
    ASSERT_TRUE(client().Send(withCrc({0x01, 0x41, 0x12, 0x34, 0x56})));
    const Bytes reply = client().Collect(5, Quiet);
    EXPECT_EQ(reply, withCrc({0x01, 0xC1, 0x01}));
}

TEST_F(RawLine, BurstFaultSendsMoreThanAHundredBytes) {
    module().Faults().Arm(Fault::Burst, 1);
    ASSERT_TRUE(client().Send(ReadRequest));
    const Bytes burst = client().Collect(4096, Quiet);
    EXPECT_GT(burst.size(), 100u);
    expectReadReply(burst);

    module().Faults().SetBurstSize(300);
    module().Faults().Arm(Fault::Burst, 1);
    ASSERT_TRUE(client().Send(ReadRequest));
    EXPECT_EQ(client().Collect(4096, Quiet).size(), 300u);
}

TEST_F(RawLine, TrailingBytesFollowASoundReply) {
    module().Faults().SetTrailingByteCount(5);
    module().Faults().Arm(Fault::TrailingBytes, 1);
    ASSERT_TRUE(client().Send(ReadRequest));
    const Bytes reply = client().Collect(4096, Quiet);
    ASSERT_EQ(reply.size(), ReadReplySize + 5);
    expectReadReply(reply);
}

TEST_F(RawLine, SplitFaultSpreadsTheReplyOverTime) {
    module().Faults().SetSplit(5, 30ms);
    module().Faults().Arm(Fault::SplitReply, 1);
    ASSERT_TRUE(client().Send(ReadRequest));
    const Bytes reply = client().Collect(ReadReplySize, Quiet);
    ASSERT_EQ(reply.size(), ReadReplySize);
    expectReadReply(reply);
    // Nine chunks, eight gaps of 30 ms between the first and the last.
    EXPECT_GE(client().Spread(), 200ms);
    EXPECT_GE(client().Reads(), 2);
}

TEST_F(RawLine, LinePacingFollowsTheRateTheClientSet) {
    module().SetPacing(Pacing::Line);
    ASSERT_TRUE(client().SetLine(B2400));
    const auto sent = RawClient::Clock::now();
    ASSERT_TRUE(client().Send(ReadRequest));
    const Bytes reply = client().Collect(ReadReplySize, Quiet);
    expectReadReply(reply);
    // 45 characters of 11 bits at 2400 baud take 206 ms.
    EXPECT_GE(client().LastByteTime() - sent, 180ms);
    EXPECT_GE(client().Reads(), 2);
}

TEST_F(RawLine, FixedPacingUsesTheModulesOwnRate) {
    VirtualModuleOptions options;
    options.pacing = Pacing::Fixed;
    options.baudRate = 2400;
    startModule(options);
    ASSERT_TRUE(client().SetLine(B115200));
    const auto sent = RawClient::Clock::now();
    ASSERT_TRUE(client().Send(ReadRequest));
    expectReadReply(client().Collect(ReadReplySize, Quiet));
    EXPECT_GE(client().LastByteTime() - sent, 180ms);
}

TEST_F(RawLine, StrictModuleHearsOnlyItsOwnRateWhichChangesAtRestart) {
    VirtualModuleOptions options;
    options.strictBaudRate = true;
    startModule(options);
    ASSERT_TRUE(client().SetLine(B19200));
    ASSERT_TRUE(client().Send(ReadRequest));
    EXPECT_TRUE(client().Collect(1, Quiet, Quiet).empty()) << "9600 is the module's rate";

    ASSERT_TRUE(client().SetLine(B9600));
    const Bytes moveTo19200 = withCrc({0x01, 0x06, 0x00, 0x08, 0x00, 0xC0});
    ASSERT_TRUE(client().Send(moveTo19200));
    EXPECT_EQ(client().Collect(8, Quiet), moveTo19200);
    module().Restart();
    ASSERT_TRUE(client().Send(ReadRequest));
    EXPECT_TRUE(client().Collect(1, Quiet, Quiet).empty()) << "the restart moved it to 19200";

    ASSERT_TRUE(client().SetLine(B19200));
    ASSERT_TRUE(client().Send(ReadRequest));
    expectReadReply(client().Collect(ReadReplySize, Quiet));
    EXPECT_GE(module().Statistics().discardedBytes, 2 * ReadRequest.size());
}

TEST_F(RawLine, ServerStaysIdleAfterTheClientLeaves) {
    ASSERT_TRUE(client().Send(ReadRequest));
    expectReadReply(client().Collect(ReadReplySize, Quiet));
    // Leave half a request behind, then go away.
    ASSERT_TRUE(client().Send({0x01, 0x03, 0x00}));
    std::this_thread::sleep_for(20ms);
    client().Close();

    const auto before = processCpuTime();
    const long wakeUpsBefore = processWakeUps();
    std::this_thread::sleep_for(1s);
    const auto used = processCpuTime() - before;
    EXPECT_LT(used, 50ms) << "the server thread is spinning";
    EXPECT_LT(processWakeUps() - wakeUpsBefore, 20) << "the server thread keeps waking up";

    // And it still serves the next client.
    RawClient next(module().PortPath());
    ASSERT_TRUE(next.IsOpen());
    ASSERT_TRUE(next.Send(ReadRequest));
    expectReadReply(next.Collect(ReadReplySize, Quiet));
}

TEST_F(RawLine, StopEndsAPendingLateReplyAtOnce) {
    module().Faults().SetLateDelay(30s);
    module().Faults().Arm(Fault::LateReply, 1);
    ASSERT_TRUE(client().Send(ReadRequest));
    std::this_thread::sleep_for(50ms);
    const auto before = RawClient::Clock::now();
    module().Stop();
    EXPECT_LT(RawClient::Clock::now() - before, 10s);
    EXPECT_FALSE(module().IsRunning());
    EXPECT_TRUE(module().PortPath().empty());

    // A stopped module starts again on a fresh port.
    ASSERT_EQ(module().Start(), 0);
    RawClient again(module().PortPath());
    ASSERT_TRUE(again.Send(ReadRequest));
    expectReadReply(again.Collect(ReadReplySize, Quiet));
}

} // namespace
