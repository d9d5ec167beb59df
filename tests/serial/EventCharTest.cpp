// The event character on pseudo-terminals: OnRxFlag fires when a received
// byte equals EventChar, and the bytes the event thread takes to see it are
// read, counted and announced as if they had waited in the driver.

#include "platform/serial/SerialDevice.h"
#include "serial/ComPort.h"

#include "tests/serial/SerialTestSupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <vector>

using namespace serialtest;
using namespace std::chrono_literals;

namespace {

class EventCharOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pty.Open(), 0);
        port.SetPort(pty.SlavePath());
        port.OnRxFlag = [this](TCustomComPort* sender) {
            EXPECT_EQ(sender, &port);
            flags.push_back(received);
        };
    }

    void send(const std::string& text) {
        writeFarEnd(pty, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    std::string readAll() {
        std::string text(std::size_t(port.PendingInputCount()), '\0');
        text.resize(std::size_t(port.ReadData(text.data(), int(text.size()))));
        return text;
    }

    PseudoTerminal pty;
    TComPort port;
    std::string received;
    // What the received-characters handler had read each time OnRxFlag fired.
    std::vector<std::string> flags;
};

TEST_F(EventCharOnPty, TheEventCharacterRaisesRxFlagAfterTheBytesOfItsBatch) {
    port.SetEventChar('\n');
    port.OnRxChar = [this](TCustomComPort*, int count) {
        std::string chunk(std::size_t(count), '\0');
        EXPECT_EQ(port.ReadData(chunk.data(), count), count);
        received += chunk;
    };
    port.SetConnected(true);
    send("abc");
    ASSERT_TRUE(waitUntil([&] { return received == "abc"; }));
    send("de\nf");
    ASSERT_TRUE(waitUntil([&] { return flags.size() == 1 && received == "abcde\nf"; }));
    EXPECT_EQ(flags[0], "abcde\nf") << "OnRxChar runs before OnRxFlag in a batch";

    // A new event character takes effect at once; the old one is a plain byte.
    port.SetEventChar('!');
    send("x\ny!");
    ASSERT_TRUE(waitUntil([&] { return flags.size() == 2; }));
    EXPECT_EQ(received, "abcde\nfx\ny!");
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(flags.size(), 2u);
    port.SetConnected(false);
}

TEST_F(EventCharOnPty, WithoutEvRxFlagInEventsNoFlagIsRaised) {
    port.SetEvents({evRxChar});
    port.SetEventChar('Z');
    int announced = 0;
    port.OnRxChar = [&](TCustomComPort*, int) {
        ++announced;
        received += readAll();
    };
    port.SetConnected(true);
    send("ZZZ");
    ASSERT_TRUE(waitUntil([&] { return received == "ZZZ"; }));
    waitUntil([] { return false; }, 100);
    EXPECT_TRUE(flags.empty());
    EXPECT_GE(announced, 1);
    port.SetConnected(false);
}

// Nothing reads in a handler here: the bytes the thread took stay counted and
// readable, in order, and a read that waits for more is woken by them.
TEST_F(EventCharOnPty, BytesTakenToSeeTheCharacterReadAsIfTheyWaitedInTheDriver) {
    port.SetEvents({evRxFlag});
    port.SetEventChar('!');
    port.SetConnected(true);
    send("12!");
    ASSERT_TRUE(waitUntil([&] { return flags.size() == 1; }));
    EXPECT_EQ(port.PendingInputCount(), 3);
    send("45");
    ASSERT_TRUE(waitUntil([&] { return port.PendingInputCount() == 5; }));
    char two[2] = {};
    ASSERT_EQ(port.ReadData(two, 2), 2);
    EXPECT_EQ(std::string(two, 2), "12");
    EXPECT_EQ(readAll(), "!45");
    EXPECT_EQ(port.PendingInputCount(), 0);

    // A read that may wait 3 s for four bytes returns as soon as they come,
    // whether the event thread or the read takes them off the line, and the
    // event character among them is reported either way.
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(3000);
    std::thread farEnd([this] {
        std::this_thread::sleep_for(100ms);
        send("67!9");
    });
    QElapsedTimer timer;
    timer.start();
    char four[4] = {};
    const int got = port.ReadData(four, 4);
    const qint64 took = timer.elapsed();
    farEnd.join();
    EXPECT_EQ(std::string(four, std::size_t(got)), "67!9");
    EXPECT_LT(took, 2000);
    ASSERT_TRUE(waitUntil([&] { return flags.size() == 2; }));
    port.SetConnected(false);
}

// While the event thread waits for a handler on the main thread, a read in
// that handler takes the next bytes off the line itself; the event character
// among them is reported once the handler returns.
TEST_F(EventCharOnPty, ACharacterThatAReadInAHandlerTakesIsReportedAfterIt) {
    port.SetEvents({evRxFlag});
    port.SetEventChar('!');
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(3000);
    port.OnRxFlag = [this](TCustomComPort*) {
        flags.push_back(received);
        if (flags.size() > 1) {
            return;
        }
        std::thread farEnd([this] {
            std::this_thread::sleep_for(100ms);
            send("ab!c");
        });
        char six[6] = {};
        received.append(six, std::size_t(port.ReadData(six, 6)));
        farEnd.join();
    };
    port.SetConnected(true);
    send("1!");
    ASSERT_TRUE(waitUntil([&] { return flags.size() == 2; }));
    EXPECT_EQ(flags, (std::vector<std::string>{"", "1!ab!c"}));
    port.SetConnected(false);
}

// The event character is watched only for a handler: without one a reply
// that comes whole waits in the driver until it is read, instead of passing
// through the read-ahead buffer and its lock on the way.
class PortShowingItsDevice : public TComPort {
public:
    using TCustomComPort::Device;
};

TEST(EventCharWithoutHandler, LeavesTheBytesInTheDriverUntilTheyAreRead) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    PortShowingItsDevice port;
    port.SetPort(pty.SlavePath());
    // Every event the window watches, the event character among them.
    port.SetEvents({evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full});
    int announced = 0;
    port.OnRxChar = [&](TCustomComPort*, int) { ++announced; };
    port.SetConnected(true);
    port.ExpectInput(4);
    writeFarEnd(pty, {'a', 'b', 0, 'c'});
    ASSERT_TRUE(waitUntil([&] { return announced > 0; }));
    int inDriver = -1;
    ASSERT_EQ(::ioctl(port.Device().descriptor(), FIONREAD, &inDriver), 0);
    EXPECT_EQ(inDriver, 4);
    EXPECT_EQ(port.PendingInputCount(), 4);
    port.SetConnected(false);
}

} // namespace
