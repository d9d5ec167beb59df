// The Win32 serial line and its event wait on a real pair of connected COM
// ports. Under Wine the pair is the two ends of a pseudo-terminal pair that
// the test script maps to COM ports; KESTRO_TEST_COM_PAIR names them
// ("COM7:COM8"). Without it the tests that need the pair are skipped.
// (Wine lets a COM port open twice, so a port taken by another program is
// only checked as Windows reports it, in PortErrorsTest.)

#include "platform/serial/SerialDevice.h"
#include "platform/serial/SerialEventWaiter.h"
#include "platform/system/SystemError.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::uint8_t Request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5};

SerialLineSettings nineSixHundred8N2() {
    SerialLineSettings settings;
    settings.baudRate = 9600;
    settings.stopBits = SerialLineSettings::StopBits::Two;
    return settings;
}

class ComPair : public testing::Test {
protected:
    void SetUp() override {
        const QStringList names =
            QString::fromUtf8(qgetenv("KESTRO_TEST_COM_PAIR")).split(QLatin1Char(':'));
        if (names.size() != 2) {
            GTEST_SKIP() << "KESTRO_TEST_COM_PAIR names no pair of connected ports";
        }
        ASSERT_EQ(m_near.open(SerialDevice::DevicePath(names[0].toStdString())), 0);
        ASSERT_EQ(m_far.open(SerialDevice::DevicePath(names[1].toStdString())), 0);
        ASSERT_EQ(m_near.applyLineSettings(nineSixHundred8N2()), 0);
        ASSERT_EQ(m_far.applyLineSettings(nineSixHundred8N2()), 0);
    }

    // Reads until count bytes came or the time is up.
    QByteArray readFor(SerialDevice& device, int count, std::chrono::milliseconds limit) {
        QByteArray got;
        const auto end = Clock::now() + limit;
        while (got.size() < count && Clock::now() < end) {
            char buffer[64];
            const SerialIoResult part = device.read(buffer, int(sizeof buffer));
            EXPECT_EQ(part.error, 0);
            got.append(buffer, part.count);
            if (part.count == 0) {
                std::this_thread::sleep_for(5ms);
            }
        }
        return got;
    }

    SerialDevice m_near;
    SerialDevice m_far;
};

TEST(SerialLine, AMissingPortIsCode2AndSaidToBeMissing) {
    SerialDevice device;
    const int error = device.open(SerialDevice::DevicePath("COM99"));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ClassifyOpenFailure(std::uint32_t(error)), OpenFailure::Missing);
    EXPECT_FALSE(device.isOpen());
}

TEST_F(ComPair, BytesWrittenOnOneEndAreReadAndCountedOnTheOther) {
    const SerialIoResult written = m_near.write(Request, int(sizeof Request));
    EXPECT_EQ(written.error, 0);
    EXPECT_EQ(written.count, int(sizeof Request));
    // Counted as waiting before they are read.
    int waiting = 0;
    const auto end = Clock::now() + 2s;
    while (waiting < int(sizeof Request) && Clock::now() < end) {
        ASSERT_EQ(m_far.inputCount(waiting), 0);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(waiting, int(sizeof Request));
    const std::uint64_t before = m_far.consumedBytes();
    EXPECT_EQ(readFor(m_far, int(sizeof Request), 2s),
              QByteArray(reinterpret_cast<const char*>(Request), sizeof Request));
    EXPECT_EQ(m_far.consumedBytes() - before, sizeof Request);
}

// A listener's line: opened for reading only, it refuses to write, sends
// nothing (no XON/XOFF of its own, no flow control) and still receives what
// the bus carries.
TEST_F(ComPair, AListenersLineNeverWritesAndStillReceives) {
    const QStringList names =
        QString::fromUtf8(qgetenv("KESTRO_TEST_COM_PAIR")).split(QLatin1Char(':'));
    m_near.close();
    m_near.setListenOnly(true);
    ASSERT_EQ(m_near.open(SerialDevice::DevicePath(names[0].toStdString())), 0);
    SerialLineSettings asked = nineSixHundred8N2();
    asked.xonXoffIn = true;
    asked.xonXoffOut = true;
    asked.outCtsFlow = true;
    ASSERT_EQ(m_near.applyLineSettings(asked), 0);
    const SerialIoResult written = m_near.write(Request, int(sizeof Request));
    EXPECT_NE(written.error, 0);
    EXPECT_EQ(written.count, 0);
    EXPECT_EQ(readFor(m_far, 1, 300ms), QByteArray());

    ASSERT_EQ(m_far.write(Request, int(sizeof Request)).count, int(sizeof Request));
    EXPECT_EQ(readFor(m_near, int(sizeof Request), 2s),
              QByteArray(reinterpret_cast<const char*>(Request), sizeof Request));
}

TEST_F(ComPair, AReadWithATotalWaitsForItAndOneWithoutReturnsAtOnce) {
    char buffer[16];
    auto started = Clock::now();
    SerialIoResult read = m_far.read(buffer, int(sizeof buffer));
    EXPECT_EQ(read.count, 0);
    EXPECT_LT(Clock::now() - started, 200ms);

    SerialTimeouts timeouts;
    timeouts.readTotalConstant = 300;
    m_far.setTimeouts(timeouts);
    started = Clock::now();
    read = m_far.read(buffer, int(sizeof buffer));
    const auto waited = Clock::now() - started;
    EXPECT_EQ(read.count, 0);
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 5s);
}

TEST_F(ComPair, TheEventWaitEndsForInputAWakeUpAStopOrItsTimeout) {
    SerialEventWaiter waiter;
    ASSERT_EQ(waiter.error(), 0);
    // Nothing comes: the timeout ends it.
    SerialEventWaiter::Result result = waiter.wait(m_far.descriptor(), true, 50ms);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.readable);

    // Bytes that come during the wait end it, readable.
    std::thread writer([this] {
        std::this_thread::sleep_for(100ms);
        m_near.write(Request, int(sizeof Request));
    });
    result = waiter.wait(m_far.descriptor(), true, 5000ms);
    writer.join();
    EXPECT_TRUE(result.readable);
    EXPECT_FALSE(result.timedOut);
    // Unread, they end the next wait at once.
    const auto started = Clock::now();
    result = waiter.wait(m_far.descriptor(), true, 5000ms);
    EXPECT_TRUE(result.readable);
    EXPECT_LT(Clock::now() - started, 1s);
    EXPECT_EQ(readFor(m_far, int(sizeof Request), 2s).size(), int(sizeof Request));

    // A delayed wake-up, then a stop from another thread; the stop stays.
    waiter.wakeAfter(50ms);
    result = waiter.wait(m_far.descriptor(), true, 5000ms);
    EXPECT_TRUE(result.woken);
    EXPECT_FALSE(result.stopped);
    std::thread stopper([&waiter] {
        std::this_thread::sleep_for(50ms);
        waiter.stop();
    });
    result = waiter.wait(m_far.descriptor(), true, std::nullopt);
    stopper.join();
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(waiter.wait(m_far.descriptor(), true, std::nullopt).stopped);
}

TEST_F(ComPair, AWaitLeftPendingOnAClosedLineDoesNotHoldUpTheNext) {
    SerialEventWaiter waiter;
    EXPECT_TRUE(waiter.wait(m_far.descriptor(), true, 20ms).timedOut);
    // The line goes (the port closed, or its adapter pulled out): the thread
    // waits on without it, and only the stop ends that.
    m_far.close();
    const auto started = Clock::now();
    EXPECT_TRUE(waiter.wait(-1, true, 50ms).timedOut);
    EXPECT_LT(Clock::now() - started, 2s);
}

} // namespace
