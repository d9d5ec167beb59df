// The component as the Modbus master's line, against libmodbus as the slave:
// requests go out through WriteData, replies come back through OnRxChar and
// ReadData on the main thread.

#include "serial/ComPort.h"

#include "ModbusSlavePeer.h"
#include "SerialTestSupport.h"
#include "app/RtuFrame.h"

#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace serialtest;

namespace {

class ModbusPeer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.start(slaveAddress));
        port.SetPort(peer.portPath());
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
    ModbusSlavePeer peer;
    TRxFrame reply{};
    std::size_t received = 0;
    TComPort port;
};

} // namespace

TEST_F(ModbusPeer, ReadRequestBringsBackTheSlavesRegisters) {
    TTxFrame request{};
    BuildReadRequest(request, slaveAddress);
    ASSERT_TRUE(transact(request));
    EXPECT_EQ(received, ReadReplySize);
    EXPECT_TRUE(ReplyIsSound(reply.data(), received, slaveAddress));
    for (int index = 0; index < RegisterCount; ++index) {
        EXPECT_EQ(RegisterValue(reply, index), peer.holdingRegister(index)) << index;
    }
    // Repeated polls keep working on the same open line.
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(transact(request)) << round;
        EXPECT_TRUE(ReplyIsSound(reply.data(), received, slaveAddress));
    }
}

TEST_F(ModbusPeer, WriteRequestChangesTheSlavesRegister) {
    TTxFrame request{};
    BuildWriteRequest(request, slaveAddress, 5, 0xBEEF);
    ASSERT_TRUE(transact(request));
    EXPECT_EQ(received, WriteReplySize);
    // A single-register write is answered with an echo of the request.
    EXPECT_TRUE(std::equal(request.begin(), request.end(), reply.begin()));
    EXPECT_EQ(peer.holdingRegister(5), 0xBEEF);

    BuildReadRequest(request, slaveAddress);
    ASSERT_TRUE(transact(request));
    EXPECT_EQ(RegisterValue(reply, 5), 0xBEEF);
}
