// The component as the Modbus master's line, against libmodbus as the slave:
// requests go out through WriteData, replies come back through OnRxChar and
// ReadData on the main thread.

#include "serial/ComPort.h"

#include "modbus/RtuFrame.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/ModbusPeer.h"

#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace serialtest;

namespace {

class AgainstLibmodbus : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        ASSERT_TRUE(peer.Start(slaveAddress, reason)) << reason;
        // Distinct values in every register, so a shifted or swapped one shows.
        for (int index = 0; index < RegisterCount; ++index) {
            peer.SetRegister(index, std::uint16_t(1000 + 111 * index));
        }
        port.SetPort(peer.MasterPortPath());
        port.SetStopBits(sbTwoStopBits);
        port.OnRxChar = [this](TCustomComPort* sender, int count) {
            ASSERT_TRUE(onMainThread());
            const int room = int(reply.size() - received);
            received +=
                std::size_t(sender->ReadData(reply.data() + received, std::min(count, room)));
        };
        port.SetConnected(true);
    }

    static bool onMainThread() {
        return QThread::currentThread() == QCoreApplication::instance()->thread();
    }

    // Sends a request and waits for the whole reply.
    bool transact(const TTxFrame& request) {
        received = 0;
        if (port.WriteData(request.data(), int(request.size())) != int(request.size())) {
            return false;
        }
        return waitUntil([this] { return ReplyIsComplete(reply.data(), received); });
    }

    static constexpr int slaveAddress = 17;
    ModbusPeer peer;
    TRxFrame reply{};
    std::size_t received = 0;
    TComPort port;
};

} // namespace

TEST_F(AgainstLibmodbus, ReadRequestBringsBackTheSlavesRegisters) {
    TTxFrame request{};
    BuildReadRequest(request, slaveAddress);
    ASSERT_TRUE(transact(request));
    EXPECT_EQ(received, ReadReplySize);
    EXPECT_TRUE(ReplyIsSound(reply.data(), received, slaveAddress));
    for (int index = 0; index < RegisterCount; ++index) {
        EXPECT_EQ(RegisterValue(reply, index), peer.Register(index)) << index;
    }
    // Repeated polls keep working on the same open line.
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(transact(request)) << round;
        EXPECT_TRUE(ReplyIsSound(reply.data(), received, slaveAddress));
    }
}

TEST_F(AgainstLibmodbus, WriteRequestChangesTheSlavesRegister) {
    TTxFrame request{};
    BuildWriteRequest(request, slaveAddress, 5, 0xBEEF);
    ASSERT_TRUE(transact(request));
    EXPECT_EQ(received, WriteReplySize);
    // A single-register write is answered with an echo of the request.
    EXPECT_TRUE(std::equal(request.begin(), request.end(), reply.begin()));
    EXPECT_EQ(peer.Register(5), 0xBEEF);

    BuildReadRequest(request, slaveAddress);
    ASSERT_TRUE(transact(request));
    EXPECT_EQ(RegisterValue(reply, 5), 0xBEEF);
}
