// The component opened for listening only, on pseudo-terminals: it asks the
// driver for nothing that would send or drive a line, refuses to write, and
// tells a listener when each part of a delivery's bytes came.

#include "serial/ComPort.h"

#include "tests/serial/SerialTestSupport.h"

#include <gtest/gtest.h>
#include <thread>

using namespace serialtest;
using namespace std::chrono_literals;

namespace {

class ListenOnlyPort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pty.Open(), 0);
        port.SetPort(pty.SlavePath());
    }

    PseudoTerminal pty;
    TComPort port;
};

TEST_F(ListenOnlyPort, AsksForNoFlowControlAndRefusesToWrite) {
    for (const TFlowControl flow : {fcHardware, fcSoftware}) {
        for (const bool listening : {false, true}) {
            port.FlowControl().SetFlowControl(flow);
            port.SetListenOnly(listening);
            port.SetConnected(true);
            const termios2 line = lineAttributes(pty);
            // Hardware flow control drives RTS, XON/XOFF sends characters.
            const bool asked =
                (line.c_cflag & CRTSCTS) != 0 || (line.c_iflag & (IXON | IXOFF)) != 0;
            EXPECT_EQ(asked, !listening) << "flow " << flow;
            const std::uint8_t request[] = {1, 3, 0, 0, 0, 20, 0x45, 0xC5};
            if (listening) {
                EXPECT_THROW(port.WriteData(request, sizeof request), EComPort);
                // The choice holds for the opening: it cannot change under it.
                EXPECT_THROW(port.SetListenOnly(false), EComPort);
                pollfd farEnd{pty.MasterFd(), POLLIN, 0};
                EXPECT_EQ(::poll(&farEnd, 1, 100), 0);
            } else {
                EXPECT_EQ(port.WriteData(request, sizeof request), 8);
                EXPECT_EQ(readFarEnd(pty, 8).size(), 8u);
            }
            port.SetConnected(false);
        }
    }
}

// Posted deliveries wait for a busy main thread while the event thread goes
// on looking: the bytes of two bursts are read in one delivery, which still
// says when each burst came.
TEST_F(ListenOnlyPort, ADeliveryTellsWhenEachPartOfItsBytesCame) {
    std::vector<int> counts;
    std::vector<TCustomComPort::TRxArrival> arrivals;
    port.SetSyncMethod(smWindowSync);
    port.SetListenOnly(true);
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        counts.push_back(count);
        if (counts.size() == 1) {
            arrivals = sender->LastRxArrivals();
        }
        std::vector<std::uint8_t> bytes(std::size_t(count), 0);
        sender->ReadData(bytes.data(), count);
    };
    port.SetConnected(true);
    writeFarEnd(pty, {1, 2, 3});
    std::this_thread::sleep_for(300ms);
    writeFarEnd(pty, {4, 5});
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(waitUntil([&] { return !counts.empty(); }));
    EXPECT_EQ(counts.front(), 5);
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[0].End, 3);
    EXPECT_EQ(arrivals[1].End, 5);
    EXPECT_GE(arrivals[1].Time - arrivals[0].Time, 200ms);
    EXPECT_EQ(port.LastRxTime(), arrivals[1].Time);
    // Handlers use this test's locals: close while they still exist.
    port.SetConnected(false);
}

} // namespace
