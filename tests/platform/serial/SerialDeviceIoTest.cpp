// The device's read path and the event thread's waiter on a pseudo-terminal:
// reads in pieces lose nothing, the counters of a driver without them stay
// quiet without hiding a closed device, and a stop is seen by both the
// flag and the wait.

#include "platform/serial/PseudoTerminal.h"
#include "platform/serial/SerialDevice.h"
#include "platform/serial/SerialEventWaiter.h"
#include "platform/serial/SerialTermios.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Waits until the device has at least count bytes queued, up to five seconds.
bool waitForInput(const SerialDevice& device, int count) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    int waiting = 0;
    while (device.inputCount(waiting) == 0 && waiting < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return waiting >= count;
}

void writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

// A line whose transmit queue never empties, as when flow control holds it
// (CTS low, XOFF) or the adapter has died: the driver keeps reporting the
// bytes as queued. A pseudo-terminal has no such queue of its own.
class StalledOutputDevice : public SerialDevice {
public:
    int outputCount(int& count) const override {
        count = queued;
        return 0;
    }
    int queued = 5;
};

} // namespace

TEST(SerialDeviceOnPty, ARtsToggleWriteOnAStalledLineGivesUpAtItsTimeoutAndCountsWhatWasSent) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    StalledOutputDevice device;
    ASSERT_EQ(device.open(pty.SlavePath()), 0);
    // A pseudo-terminal has no RS-485 mode, so the write raises and drops
    // RTS itself and must wait for the bytes to leave before dropping it.
    SerialLineSettings settings;
    settings.rts = SerialLineSettings::LineControl::Toggle;
    ASSERT_EQ(device.applyLineSettings(settings), 0);
    SerialTimeouts timeouts;
    timeouts.writeTotalMultiplier = 0;
    timeouts.writeTotalConstant = 300;
    device.setTimeouts(timeouts);

    const std::vector<std::uint8_t> frame = {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B};
    const auto start = std::chrono::steady_clock::now();
    const SerialIoResult stalled = device.write(frame.data(), int(frame.size()));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Reported as a timed-out write is: no error, and only the bytes that
    // left the queue counted; the rest is dropped rather than sent later.
    EXPECT_EQ(stalled.error, 0);
    EXPECT_EQ(stalled.count, 3);
    EXPECT_GE(elapsed, 250ms);
    EXPECT_LT(elapsed, 5s);

    // Without any write timeout the wait is still bounded.
    device.setTimeouts(SerialTimeouts{0, 0, 0, 0, 0});
    const auto second = std::chrono::steady_clock::now();
    EXPECT_EQ(device.write(frame.data(), int(frame.size())).count, 3);
    EXPECT_LT(std::chrono::steady_clock::now() - second, 5s);

    // Once the line moves again a write is sent whole.
    device.queued = 0;
    device.setTimeouts(timeouts);
    EXPECT_EQ(device.write(frame.data(), int(frame.size())).count, 8);
}

TEST(SerialDeviceOnPty, ClosingRestoresTheLineButLetsAStalledOneGoWithoutOutputFlowControl) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    // Attributes another program left: CTS handshake and XON/XOFF both ways.
    termios2 left{};
    ASSERT_EQ(::ioctl(pty.MasterFd(), TCGETS2, &left), 0);
    left.c_cflag |= CRTSCTS;
    left.c_iflag |= IXON | IXOFF;
    ASSERT_EQ(::ioctl(pty.MasterFd(), TCSETS2, &left), 0);
    const auto attributesNow = [&] {
        termios2 now{};
        ::ioctl(pty.MasterFd(), TCGETS2, &now);
        return now;
    };

    // A line that has sent everything gets its attributes back as found.
    SerialDevice device;
    ASSERT_EQ(device.open(pty.SlavePath()), 0);
    device.close();
    EXPECT_EQ(attributesNow().c_cflag, left.c_cflag);
    EXPECT_EQ(attributesNow().c_iflag, left.c_iflag);

    // One whose driver still holds output after the discard would keep the
    // close waiting for the far end's permission to send: it goes without
    // output flow control, everything else restored.
    StalledOutputDevice stalled;
    ASSERT_EQ(stalled.open(pty.SlavePath()), 0);
    stalled.close();
    EXPECT_EQ(attributesNow().c_cflag, left.c_cflag & ~tcflag_t(CRTSCTS));
    EXPECT_EQ(attributesNow().c_iflag, left.c_iflag & ~tcflag_t(IXON));
}

TEST(SerialDeviceOnPty, ReadsThatFillTheBufferLeaveTheRestQueuedInOrder) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    SerialDevice device;
    ASSERT_EQ(device.open(pty.SlavePath()), 0);
    ASSERT_EQ(device.applyLineSettings(SerialLineSettings{}), 0);

    std::vector<std::uint8_t> reply(45);
    for (std::size_t i = 0; i < reply.size(); ++i) {
        reply[i] = std::uint8_t(i * 7 + 1);
    }
    writeAll(pty.MasterFd(), reply);
    ASSERT_TRUE(waitForInput(device, 45));

    // Exactly full, then short of the rest, then the remainder: every byte
    // once, in order, and the queue and the consumed total agree each time.
    std::vector<std::uint8_t> taken;
    for (const int piece : {20, 20, 100}) {
        std::vector<std::uint8_t> buffer(std::size_t(piece), 0);
        const SerialIoResult result = device.read(buffer.data(), piece);
        ASSERT_EQ(result.error, 0);
        taken.insert(taken.end(), buffer.begin(), buffer.begin() + result.count);
        int waiting = -1;
        ASSERT_EQ(device.inputCount(waiting), 0);
        EXPECT_EQ(std::uint64_t(waiting) + device.consumedBytes(), 45u);
    }
    EXPECT_EQ(taken, reply);

    // With zero bytes dropped on the way in, a full buffer counts only the
    // bytes kept, and what follows stays queued.
    SerialLineSettings dropping;
    dropping.discardNull = true;
    ASSERT_EQ(device.applyLineSettings(dropping), 0);
    writeAll(pty.MasterFd(), {0, 'A', 0, 'B', 'C', 0, 'D'});
    ASSERT_TRUE(waitForInput(device, 7));
    std::uint8_t two[2] = {};
    ASSERT_EQ(device.read(two, 2).count, 2);
    EXPECT_EQ(two[0], 'A');
    EXPECT_EQ(two[1], 'B');
    std::uint8_t rest[8] = {};
    ASSERT_EQ(device.read(rest, 8).count, 2);
    EXPECT_EQ(rest[0], 'C');
    EXPECT_EQ(rest[1], 'D');
}

TEST(SerialDeviceOnPty, MissingCountersReadAsZeroWhileOpenAndAClosedDeviceStillFails) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    SerialDevice device;
    ASSERT_EQ(device.open(pty.SlavePath()), 0);
    EXPECT_FALSE(device.keepsCounters());
    for (int i = 0; i < 3; ++i) {
        SerialCounters counters;
        counters.frame = 99;
        EXPECT_EQ(device.counters(counters), 0);
        EXPECT_EQ(counters.frame, 0u);
    }
    device.close();
    SerialCounters afterClose;
    EXPECT_NE(device.counters(afterClose), 0);

    // A new opening asks the driver again and is refused as plainly.
    PseudoTerminal other;
    ASSERT_EQ(other.Open(), 0);
    ASSERT_EQ(device.open(other.SlavePath()), 0);
    SerialCounters reopened;
    EXPECT_EQ(device.counters(reopened), 0);
    device.close();
}

TEST(SerialEventWaiterTest, AStopFromAnotherThreadEndsTheWaitAndStaysVisible) {
    SerialEventWaiter waiter;
    ASSERT_EQ(waiter.error(), 0);
    EXPECT_FALSE(waiter.stopped());

    // A wake-up alone is not a stop.
    waiter.wake();
    const SerialEventWaiter::Result woken = waiter.wait(-1, false, 1000ms);
    EXPECT_TRUE(woken.woken);
    EXPECT_FALSE(woken.stopped);
    EXPECT_FALSE(waiter.stopped());

    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        waiter.stop();
    });
    const SerialEventWaiter::Result result = waiter.wait(-1, false, std::nullopt);
    stopper.join();
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(waiter.stopped());
    // The stop stays set for every later wait and look.
    EXPECT_TRUE(waiter.wait(-1, false, 0ms).stopped);
    EXPECT_TRUE(waiter.stopped());
}

TEST(SerialEventWaiterTest, ADelayedWakeComesAfterItsDelayAndALaterOneReplacesIt) {
    SerialEventWaiter waiter;
    ASSERT_EQ(waiter.error(), 0);
    const auto start = std::chrono::steady_clock::now();
    waiter.wakeAfter(40ms);
    const SerialEventWaiter::Result first = waiter.wait(-1, false, 5000ms);
    EXPECT_TRUE(first.woken);
    EXPECT_FALSE(first.timedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 35ms);

    // Taken once: the next wait runs into its own time-out.
    EXPECT_TRUE(waiter.wait(-1, false, 20ms).timedOut);

    // Armed again before it fired, the later delay counts.
    const auto second = std::chrono::steady_clock::now();
    waiter.wakeAfter(10ms);
    waiter.wakeAfter(80ms);
    EXPECT_TRUE(waiter.wait(-1, false, 5000ms).woken);
    EXPECT_GE(std::chrono::steady_clock::now() - second, 70ms);
    EXPECT_FALSE(waiter.stopped());
}

TEST(SerialEventWaiterTest, AStopEndsTheWaitEvenWhenItsDescriptorsCouldNotBeMade) {
    // Run out of descriptors so that the waiter cannot make its own; a stop
    // must still end an unlimited wait, or closing the port would hang.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &previous), 0);
    rlimit lowered = previous;
    lowered.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> filler;
    for (int fd = ::dup(0); fd >= 0; fd = ::dup(0)) {
        filler.push_back(fd);
    }
    auto waiter = std::make_unique<SerialEventWaiter>();
    for (const int fd : filler) {
        ::close(fd);
    }
    ::setrlimit(RLIMIT_NOFILE, &previous);
    ASSERT_NE(waiter->error(), 0);

    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        waiter->stop();
    });
    std::atomic<bool> ended = false;
    SerialEventWaiter::Result result;
    // Like the event thread, wait again after anything that is not a stop.
    std::thread waiting([&] {
        do {
            result = waiter->wait(-1, false, std::nullopt);
        } while (!result.stopped && result.error == 0);
        ended = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    stopper.join();
    if (!ended) {
        // Leave the process in a state that ends: the wait can never return.
        waiting.detach();
        (void)waiter.release();
        FAIL() << "the wait ignored the stop";
    }
    waiting.join();
    EXPECT_TRUE(result.stopped);
}
