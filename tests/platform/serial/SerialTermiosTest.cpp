// Terminal attributes built for line settings, without a device.

#include "platform/serial/SerialTermios.h"

#include <gtest/gtest.h>

namespace {

termios2 build(const SerialLineSettings& settings) {
    termios2 start{};
    // Left-overs of a cooked terminal that a raw binary line must not keep.
    start.c_iflag = ICRNL | IXANY | ISTRIP | INPCK;
    start.c_oflag = OPOST | ONLCR;
    start.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    start.c_cflag = B38400 | CS7 | PARENB | HUPCL;
    start.c_line = 3;
    return BuildTermios(start, settings);
}

} // namespace

TEST(SerialTermios, DefaultLineIsRawEightBitsWithoutParity) {
    const termios2 line = build({});
    EXPECT_EQ(line.c_oflag, 0U);
    EXPECT_EQ(line.c_lflag, 0U);
    EXPECT_EQ(line.c_iflag, unsigned(IGNBRK));
    EXPECT_EQ(line.c_cflag & CSIZE, unsigned(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL), 0U);
    EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL), unsigned(CREAD | CLOCAL));
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);
    EXPECT_EQ(line.c_line, 3);
    EXPECT_EQ(TermiosSpeed(line), 9600);
}

TEST(SerialTermios, FramingParityAndStopBits) {
    SerialLineSettings settings;
    const unsigned sizes[] = {CS5, CS6, CS7, CS8};
    for (int bits = 5; bits <= 8; ++bits) {
        settings.dataBits = bits;
        EXPECT_EQ(build(settings).c_cflag & CSIZE, sizes[bits - 5]);
    }
    using Parity = SerialLineSettings::Parity;
    const unsigned parityMask = PARENB | PARODD | CMSPAR;
    settings.parity = Parity::Odd;
    EXPECT_EQ(build(settings).c_cflag & parityMask, unsigned(PARENB | PARODD));
    settings.parity = Parity::Even;
    EXPECT_EQ(build(settings).c_cflag & parityMask, unsigned(PARENB));
    settings.parity = Parity::Mark;
    EXPECT_EQ(build(settings).c_cflag & parityMask, unsigned(PARENB | CMSPAR | PARODD));
    settings.parity = Parity::Space;
    EXPECT_EQ(build(settings).c_cflag & parityMask, unsigned(PARENB | CMSPAR));

    using StopBits = SerialLineSettings::StopBits;
    settings.stopBits = StopBits::OneAndHalf;
    EXPECT_NE(build(settings).c_cflag & CSTOPB, 0U);
    settings.stopBits = StopBits::Two;
    EXPECT_NE(build(settings).c_cflag & CSTOPB, 0U);
}

TEST(SerialTermios, RatesWithAndWithoutAClassicConstant) {
    termios2 line{};
    SetTermiosSpeed(line, 115200);
    EXPECT_EQ(line.c_cflag & CBAUD, unsigned(B115200));
    EXPECT_EQ(TermiosSpeed(line), 115200);
    for (const int rate : {14400, 56000, 128000, 256000, 31250, 1}) {
        SetTermiosSpeed(line, rate);
        EXPECT_EQ(line.c_cflag & CBAUD, unsigned(BOTHER)) << rate;
        EXPECT_EQ(line.c_ospeed, unsigned(rate));
        EXPECT_EQ(line.c_ispeed, unsigned(rate));
        EXPECT_EQ(TermiosSpeed(line), rate);
    }
    // The input speed follows the output speed (no separate input constant).
    EXPECT_EQ(line.c_cflag & (CBAUD << IBSHIFT), 0U);
}

TEST(SerialTermios, FlowControlAndReceiveChecks) {
    SerialLineSettings settings;
    settings.outCtsFlow = true;
    EXPECT_NE(build(settings).c_cflag & CRTSCTS, 0U);
    settings.outCtsFlow = false;
    settings.rts = SerialLineSettings::LineControl::Handshake;
    EXPECT_NE(build(settings).c_cflag & CRTSCTS, 0U);
    settings.rts = SerialLineSettings::LineControl::Toggle;
    EXPECT_EQ(build(settings).c_cflag & CRTSCTS, 0U);

    settings.xonXoffOut = true;
    settings.xonChar = 0x41;
    settings.xoffChar = 0x42;
    termios2 line = build(settings);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY), unsigned(IXON));
    EXPECT_EQ(line.c_cc[VSTART], 0x41);
    EXPECT_EQ(line.c_cc[VSTOP], 0x42);
    settings.xonXoffIn = true;
    EXPECT_NE(build(settings).c_iflag & IXOFF, 0U);

    // A stalled line is let go without output flow control and nothing else
    // changed: its own XOFF to the far end and the framing stay.
    settings.outCtsFlow = true;
    const termios2 stalled = build(settings);
    const termios2 released = WithoutOutputFlowControl(stalled);
    EXPECT_EQ(released.c_cflag, stalled.c_cflag & ~tcflag_t(CRTSCTS));
    EXPECT_EQ(released.c_iflag, stalled.c_iflag & ~tcflag_t(IXON));
    EXPECT_NE(released.c_iflag & IXOFF, 0U);
    EXPECT_EQ(TermiosSpeed(released), TermiosSpeed(stalled));

    // Checking alone passes bytes unchanged; with replacement they are marked.
    settings.parityCheck = true;
    EXPECT_EQ(build(settings).c_iflag & (INPCK | PARMRK | IGNPAR), 0U);
    settings.parityReplace = true;
    EXPECT_EQ(build(settings).c_iflag & (INPCK | PARMRK), unsigned(INPCK | PARMRK));
}

TEST(SerialTermios, TimeoutsOfReadsAndWrites) {
    SerialTimeouts timeouts;
    EXPECT_EQ(WriteTimeout(timeouts, 8).count(), 1800);
    EXPECT_EQ(ReadTimeout(timeouts, 100).count(), 0);
    timeouts.readTotalMultiplier = 10;
    timeouts.readTotalConstant = 5;
    EXPECT_EQ(ReadTimeout(timeouts, 3).count(), 35);
    timeouts.readTotalConstant = SerialTimeouts::ReturnAtOnce;
    EXPECT_EQ(ReadTimeout(timeouts, 3).count(), 0);
    // The largest settings do not wrap around.
    timeouts.writeTotalMultiplier = 0xFFFFFFFEU;
    timeouts.writeTotalConstant = 0xFFFFFFFEU;
    EXPECT_GT(WriteTimeout(timeouts, 1000).count(), 0xFFFFFFFEll * 1000);
}
