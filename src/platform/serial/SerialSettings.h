#pragma once
// What the serial component asks of a line, in terms that do not depend on
// the operating system. The device layer turns it into terminal attributes.

#include <cstdint>

struct SerialLineSettings {
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };
    enum class LineControl { Off, On, Handshake, Toggle };

    int baudRate = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool discardNull = false;
    bool parityCheck = false;
    bool parityReplace = false;
    std::uint8_t replaceChar = 0;
    bool outCtsFlow = false;
    bool outDsrFlow = false;
    LineControl dtr = LineControl::Off;
    LineControl rts = LineControl::Off;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    std::uint8_t xonChar = 17;
    std::uint8_t xoffChar = 19;
    std::uint8_t eventChar = 0;
    int xonLimit = 256;
    int xoffLimit = 256;
};

/// The settings a listener asks of the line: the same rate and framing, no
/// flow control of either kind, since hardware flow control drives RTS and
/// XON/XOFF sends characters of its own, and DTR and RTS off.
inline SerialLineSettings ListenOnly(const SerialLineSettings& settings) {
    SerialLineSettings listening = settings;
    listening.outCtsFlow = false;
    listening.outDsrFlow = false;
    listening.dtr = SerialLineSettings::LineControl::Off;
    listening.rts = SerialLineSettings::LineControl::Off;
    listening.xonXoffIn = false;
    listening.xonXoffOut = false;
    return listening;
}

/// Timeouts in milliseconds; 0xFFFFFFFF in readInterval means "return at once".
struct SerialTimeouts {
    static constexpr std::uint32_t ReturnAtOnce = 0xFFFFFFFFU;
    std::uint32_t readInterval = ReturnAtOnce;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 100;
    std::uint32_t writeTotalConstant = 1000;
};

/// Input lines as a bit set: CTS 1, DSR 2, ring 4, carrier detect 8.
namespace ModemLine {
constexpr unsigned Cts = 1;
constexpr unsigned Dsr = 2;
constexpr unsigned Ring = 4;
constexpr unsigned Rlsd = 8;
} // namespace ModemLine

/// The driver's running counters of line conditions. Differences between two
/// readings tell what happened in between.
struct SerialCounters {
    int cts = 0;
    int dsr = 0;
    int ring = 0;
    int carrier = 0;
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int breaks = 0;
    int bufferOverrun = 0;
};
