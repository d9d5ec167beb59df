// The device control block and timeouts the Win32 line gets for the
// component's settings: each option lands in its own field, with the value
// the communications services give it.

#include "platform/serial/win32/CommState.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Parity = SerialLineSettings::Parity;
using StopBits = SerialLineSettings::StopBits;
using LineControl = SerialLineSettings::LineControl;

struct FramingCase {
    std::string name;
    int dataBits;
    Parity parity;
    StopBits stopBits;
    BYTE expectedParity;
    BYTE expectedStopBits;
};

TEST(CommState, FramingBecomesTheDcbCodes) {
    const std::vector<FramingCase> cases = {
        {"8N1", 8, Parity::None, StopBits::One, NOPARITY, ONESTOPBIT},
        {"8N2 (the tool's own)", 8, Parity::None, StopBits::Two, NOPARITY, TWOSTOPBITS},
        {"7E1", 7, Parity::Even, StopBits::One, EVENPARITY, ONESTOPBIT},
        {"7O2", 7, Parity::Odd, StopBits::Two, ODDPARITY, TWOSTOPBITS},
        {"8M1", 8, Parity::Mark, StopBits::One, MARKPARITY, ONESTOPBIT},
        {"8S1", 8, Parity::Space, StopBits::One, SPACEPARITY, ONESTOPBIT},
        {"5N1.5", 5, Parity::None, StopBits::OneAndHalf, NOPARITY, ONE5STOPBITS},
    };
    for (const FramingCase& framing : cases) {
        SerialLineSettings settings;
        settings.baudRate = 256000;
        settings.dataBits = framing.dataBits;
        settings.parity = framing.parity;
        settings.stopBits = framing.stopBits;
        const DCB dcb = BuildDcb(DCB{}, settings);
        EXPECT_EQ(dcb.DCBlength, sizeof(DCB)) << framing.name;
        EXPECT_EQ(dcb.BaudRate, 256000U) << framing.name;
        EXPECT_EQ(dcb.ByteSize, framing.dataBits) << framing.name;
        EXPECT_EQ(dcb.Parity, framing.expectedParity) << framing.name;
        EXPECT_EQ(dcb.StopBits, framing.expectedStopBits) << framing.name;
        // Windows drivers take binary transfers only, and an error must not
        // stop every later transfer.
        EXPECT_TRUE(dcb.fBinary) << framing.name;
        EXPECT_FALSE(dcb.fAbortOnError) << framing.name;
    }
}

struct LineControlCase {
    LineControl control;
    DWORD expectedDtr;
    DWORD expectedRts;
};

TEST(CommState, DtrAndRtsControlsBecomeTheDriversOwn) {
    // DTR has no toggling: like the Linux twin, it is held on.
    const std::vector<LineControlCase> cases = {
        {LineControl::Off, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
        {LineControl::On, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
        {LineControl::Handshake, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE},
        {LineControl::Toggle, DTR_CONTROL_ENABLE, RTS_CONTROL_TOGGLE},
    };
    for (const LineControlCase& line : cases) {
        SerialLineSettings settings;
        settings.dtr = line.control;
        settings.rts = line.control;
        const DCB dcb = BuildDcb(DCB{}, settings);
        EXPECT_EQ(dcb.fDtrControl, line.expectedDtr) << int(line.control);
        EXPECT_EQ(dcb.fRtsControl, line.expectedRts) << int(line.control);
    }
}

TEST(CommState, ReceiveOptionsAndFlowControlAreTheDriversWork) {
    SerialLineSettings settings;
    settings.parity = Parity::Even;
    settings.parityCheck = true;
    settings.parityReplace = true;
    settings.replaceChar = '?';
    settings.discardNull = true;
    settings.outCtsFlow = true;
    settings.outDsrFlow = true;
    settings.dsrSensitivity = true;
    settings.txContinueOnXoff = true;
    settings.xonXoffOut = true;
    settings.xonXoffIn = true;
    settings.xonChar = 0x11;
    settings.xoffChar = 0x13;
    settings.xonLimit = 100;
    settings.xoffLimit = 300;
    settings.eventChar = 0x0D;
    const DCB dcb = BuildDcb(DCB{}, settings);
    EXPECT_TRUE(dcb.fParity);
    EXPECT_TRUE(dcb.fErrorChar);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_TRUE(dcb.fNull);
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    EXPECT_TRUE(dcb.fOutxDsrFlow);
    EXPECT_TRUE(dcb.fDsrSensitivity);
    EXPECT_TRUE(dcb.fTXContinueOnXoff);
    EXPECT_TRUE(dcb.fOutX);
    EXPECT_TRUE(dcb.fInX);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.XonLim, 100);
    EXPECT_EQ(dcb.XoffLim, 300);
    EXPECT_EQ(dcb.EvtChar, 0x0D);

    // Replacement without checking replaces nothing; checking alone leaves
    // the bytes as they came.
    settings.parityReplace = false;
    EXPECT_FALSE(BuildDcb(DCB{}, settings).fErrorChar);
    settings.parityReplace = true;
    settings.parityCheck = false;
    const DCB unchecked = BuildDcb(DCB{}, settings);
    EXPECT_FALSE(unchecked.fParity);
    EXPECT_FALSE(unchecked.fErrorChar);
}

TEST(CommState, FieldsTheComponentDoesNotManageStayAsTheLineHadThem) {
    DCB current{};
    current.wReserved = 0x5A;
    current.EofChar = 0x1A;
    current.fDummy2 = 3;
    const DCB dcb = BuildDcb(current, SerialLineSettings{});
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.fDummy2, 3U);
}

struct TimeoutsCase {
    std::string name;
    SerialTimeouts given;
    COMMTIMEOUTS expected;
};

TEST(CommState, ReadsWithoutTotalsReturnAtOnceAndTotalsPassThrough) {
    constexpr std::uint32_t AtOnce = SerialTimeouts::ReturnAtOnce;
    const std::vector<TimeoutsCase> cases = {
        {"the component's defaults", {AtOnce, 0, 0, 100, 1000}, {MAXDWORD, 0, 0, 100, 1000}},
        // Windows would wait for ever for the whole count with all three zero.
        {"all read values zero", {0, 0, 0, 0, 0}, {MAXDWORD, 0, 0, 0, 0}},
        {"an interval alone", {50, 0, 0, 10, 20}, {MAXDWORD, 0, 0, 10, 20}},
        {"totals", {20, 2, 300, 5, 50}, {20, 2, 300, 5, 50}},
        {"totals without an interval", {AtOnce, 2, 300, 5, 50}, {0, 2, 300, 5, 50}},
        {"a total of all ones", {20, AtOnce, 300, 5, 50}, {MAXDWORD, 0, 0, 5, 50}},
    };
    for (const TimeoutsCase& timeouts : cases) {
        const COMMTIMEOUTS made = CommTimeoutsOf(timeouts.given);
        EXPECT_EQ(made.ReadIntervalTimeout, timeouts.expected.ReadIntervalTimeout) << timeouts.name;
        EXPECT_EQ(made.ReadTotalTimeoutMultiplier, timeouts.expected.ReadTotalTimeoutMultiplier)
            << timeouts.name;
        EXPECT_EQ(made.ReadTotalTimeoutConstant, timeouts.expected.ReadTotalTimeoutConstant)
            << timeouts.name;
        EXPECT_EQ(made.WriteTotalTimeoutMultiplier, timeouts.expected.WriteTotalTimeoutMultiplier)
            << timeouts.name;
        EXPECT_EQ(made.WriteTotalTimeoutConstant, timeouts.expected.WriteTotalTimeoutConstant)
            << timeouts.name;
    }
}

TEST(CommState, AWriteWithoutTimeoutsWaitsAsLongAsItsBytesNeed) {
    SerialLineSettings settings;
    settings.baudRate = 9600;
    settings.stopBits = StopBits::Two; // 11 bits a character
    // 960 characters of 11 bits at 9600 baud take 1.1 s, plus the slack.
    EXPECT_EQ(UnboundedWriteLimit(settings, 960), std::chrono::milliseconds(1100 + 200));
    settings.baudRate = 115200;
    settings.stopBits = StopBits::One;
    // One 10-bit character at 115200 baud: under a millisecond, rounded up.
    EXPECT_EQ(UnboundedWriteLimit(settings, 1), std::chrono::milliseconds(1 + 200));
}

} // namespace
