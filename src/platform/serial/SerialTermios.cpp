#include "platform/serial/SerialTermios.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<int, unsigned>, 23> classicRates = {{
    {50, B50},         {75, B75},           {110, B110},         {134, B134},
    {150, B150},       {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {921600, B921600}, {1000000, B1000000}, {2000000, B2000000},
}};

unsigned characterSize(int dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

unsigned parityFlags(SerialLineSettings::Parity parity) {
    using Parity = SerialLineSettings::Parity;
    switch (parity) {
    case Parity::Odd:
        return PARENB | PARODD;
    case Parity::Even:
        return PARENB;
    // With CMSPAR the parity bit is fixed: PARODD selects mark (1), its
    // absence space (0).
    case Parity::Mark:
        return PARENB | CMSPAR | PARODD;
    case Parity::Space:
        return PARENB | CMSPAR;
    case Parity::None:
        break;
    }
    return 0;
}

unsigned controlFlags(const SerialLineSettings& settings) {
    unsigned flags =
        CREAD | CLOCAL | characterSize(settings.dataBits) | parityFlags(settings.parity);
    // UARTs send 1.5 stop bits for 5-bit characters when asked for two; for
    // longer characters Linux has no 1.5, and two is the nearest safe choice.
    if (settings.stopBits != SerialLineSettings::StopBits::One) {
        flags |= CSTOPB;
    }
    // Linux couples the two hardware handshakes: CRTSCTS both drives RTS from
    // the receive queue and holds transmission while CTS is off.
    if (settings.outCtsFlow || settings.rts == SerialLineSettings::LineControl::Handshake) {
        flags |= CRTSCTS;
    }
    return flags;
}

unsigned inputFlags(const SerialLineSettings& settings) {
    // A break is reported through the counters, not as a zero byte in the data.
    unsigned flags = IGNBRK;
    // Replacing bad bytes needs them marked in the data (PARMRK); the read
    // path swaps each mark for the replacement character. Checking alone
    // passes bytes through unchanged and shows the error in the flags only.
    if (settings.parityCheck && settings.parityReplace) {
        flags |= INPCK | PARMRK;
    }
    if (settings.xonXoffOut) {
        flags |= IXON;
    }
    if (settings.xonXoffIn) {
        flags |= IXOFF;
    }
    return flags;
}

} // namespace

void SetTermiosSpeed(termios2& attributes, int baudRate) {
    attributes.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    for (const auto& [rate, constant] : classicRates) {
        if (rate == baudRate) {
            attributes.c_cflag |= constant;
            attributes.c_ispeed = attributes.c_ospeed = unsigned(baudRate);
            return;
        }
    }
    attributes.c_cflag |= BOTHER;
    attributes.c_ispeed = attributes.c_ospeed = unsigned(baudRate);
}

int TermiosSpeed(const termios2& attributes) {
    const unsigned constant = attributes.c_cflag & CBAUD;
    if (constant == BOTHER) {
        return int(attributes.c_ospeed);
    }
    for (const auto& [rate, candidate] : classicRates) {
        if (candidate == constant) {
            return rate;
        }
    }
    return 0;
}

SerialLineSettings ListenOnly(const SerialLineSettings& settings) {
    SerialLineSettings listening = settings;
    listening.outCtsFlow = false;
    listening.outDsrFlow = false;
    listening.dtr = SerialLineSettings::LineControl::Off;
    listening.rts = SerialLineSettings::LineControl::Off;
    listening.xonXoffIn = false;
    listening.xonXoffOut = false;
    return listening;
}

termios2 RawTermios(const termios2& current) {
    termios2 attributes = current;
    attributes.c_iflag = IGNBRK;
    attributes.c_oflag = 0;
    attributes.c_lflag = 0;
    attributes.c_cflag |= CREAD | CLOCAL;
    attributes.c_cc[VMIN] = 0;
    attributes.c_cc[VTIME] = 0;
    return attributes;
}

termios2 WithoutOutputFlowControl(const termios2& current) {
    termios2 attributes = current;
    attributes.c_cflag &= ~tcflag_t(CRTSCTS);
    attributes.c_iflag &= ~tcflag_t(IXON);
    return attributes;
}

termios2 BuildTermios(const termios2& current, const SerialLineSettings& settings) {
    termios2 attributes = current;
    // Raw binary line: no echo, no line editing, no signals, no output
    // processing; every byte arrives as sent.
    attributes.c_iflag = inputFlags(settings);
    attributes.c_oflag = 0;
    attributes.c_lflag = 0;
    attributes.c_cflag = controlFlags(settings);
    SetTermiosSpeed(attributes, settings.baudRate);
    // Reads never wait in the driver; waiting is done with poll().
    attributes.c_cc[VMIN] = 0;
    attributes.c_cc[VTIME] = 0;
    attributes.c_cc[VSTART] = settings.xonChar;
    attributes.c_cc[VSTOP] = settings.xoffChar;
    return attributes;
}

std::chrono::milliseconds WriteTimeout(const SerialTimeouts& timeouts, std::size_t byteCount) {
    const auto total =
        std::uint64_t(timeouts.writeTotalMultiplier) * byteCount + timeouts.writeTotalConstant;
    return std::chrono::milliseconds(total);
}

std::chrono::milliseconds ReadTimeout(const SerialTimeouts& timeouts, std::size_t byteCount) {
    const auto total =
        std::uint64_t(timeouts.readTotalMultiplier) * byteCount + timeouts.readTotalConstant;
    // All bits set in a total means "return at once" as well.
    if (timeouts.readTotalMultiplier == SerialTimeouts::ReturnAtOnce ||
        timeouts.readTotalConstant == SerialTimeouts::ReturnAtOnce) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::milliseconds(total);
}
