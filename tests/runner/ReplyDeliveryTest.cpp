// The poll cycle on the real port component against the virtual module, which
// puts each reply byte on its pseudo-terminal at the line's character time as
// a UART does: every reply reaches the cycle whole or in very few
// received-characters events, not one per byte, on a plain line and on one
// that echoes the requests, and every reply is still taken as sound.

#include "poll/ComPortAdapter.h"
#include "poll/PollCycle.h"
#include "serial/ComPort.h"
#include "sim/VirtualModule.h"
#include "tests/poll/EngineFakes.h"
#include "tests/support/RelayPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

// Hands everything to the real port and counts the received-characters
// events on their way to the cycle.
class CountingLine : public RelayPort {
public:
    using RelayPort::RelayPort;
    void SetOnRxChar(std::function<void(int count)> handler) override {
        if (!handler) {
            m_port.SetOnRxChar(nullptr);
            return;
        }
        m_port.SetOnRxChar([this, handler = std::move(handler)](int count) {
            ++deliveries;
            handler(count);
        });
    }

    int deliveries = 0;
};

bool runUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return condition();
}

} // namespace

TEST(ReplyDelivery, EachPacedReplyReachesTheCycleWholeOrInVeryFewPiecesEchoOrNot) {
    for (const bool echo : {false, true}) {
        VirtualModuleOptions options;
        options.pacing = Pacing::Line;
        options.echo = echo;
        VirtualModule module(options);
        ASSERT_EQ(module.Start(), 0);
        TComPort port;
        port.SetPort(module.PortPath());
        port.SetBaudRate(br115200);
        port.SetStopBits(sbTwoStopBits);
        // The window's events: the event character makes the thread read
        // the bytes ahead.
        port.SetEvents(
            {evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full});
        ComPortAdapter adapter(port);
        CountingLine line(adapter);
        FakeView view;
        PollCycle cycle(line, view);
        ASSERT_TRUE(cycle.Start());
        ASSERT_TRUE(runUntil([&] { return view.txCount() >= 40; })) << echo;
        cycle.Stop();
        ASSERT_TRUE(runUntil([&] { return !port.Connected(); })) << echo;
        module.Stop();

        const auto replies = static_cast<int>(module.Statistics().replies);
        EXPECT_GE(replies, 40) << echo;
        // A reply of 45 bytes (53 behind an echo) came in 45 events before;
        // now in one, and in a few more only when the machine held up the
        // module for longer than three characters mid-reply.
        EXPECT_LE(line.deliveries, 3 * replies) << echo;
        // The first request on an echoing line finds out that it echoes.
        EXPECT_LE(view.erCount(), echo ? 1 : 0) << echo;
    }
}
