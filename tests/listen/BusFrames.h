#pragma once
// Frames as a master and a slave put them on a Modbus RTU bus, with their
// CRCs, and the moments their bytes arrive at a listener: at the line's pace
// with a silence between frames, or in the bunches of a USB adapter's timer.

#include "modbus/CRC16.h"

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace bus {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

inline Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = Crc16Of(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

inline void putWord(Bytes& frame, int value) {
    frame.push_back(static_cast<std::uint8_t>(value >> 8));
    frame.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

inline Bytes readRequest(std::uint8_t address, int first, int count, std::uint8_t function = 3) {
    Bytes frame{address, function};
    putWord(frame, first);
    putWord(frame, count);
    return withCrc(frame);
}

inline Bytes readReply(std::uint8_t address, const std::vector<int>& values,
                       std::uint8_t function = 3) {
    Bytes frame{address, function, static_cast<std::uint8_t>(2 * values.size())};
    for (const int value : values) {
        putWord(frame, value);
    }
    return withCrc(frame);
}

/// Function 06; its reply is the same frame.
inline Bytes writeRegister(std::uint8_t address, int index, int value) {
    Bytes frame{address, 6};
    putWord(frame, index);
    putWord(frame, value);
    return withCrc(frame);
}

inline Bytes writeRegisters(std::uint8_t address, int first, const std::vector<int>& values) {
    Bytes frame{address, 0x10};
    putWord(frame, first);
    putWord(frame, static_cast<int>(values.size()));
    frame.push_back(static_cast<std::uint8_t>(2 * values.size()));
    for (const int value : values) {
        putWord(frame, value);
    }
    return withCrc(frame);
}

inline Bytes writeRegistersReply(std::uint8_t address, int first, int count) {
    Bytes frame{address, 0x10};
    putWord(frame, first);
    putWord(frame, count);
    return withCrc(frame);
}

inline Bytes exceptionReply(std::uint8_t address, std::uint8_t function, std::uint8_t code) {
    return withCrc({address, static_cast<std::uint8_t>(function | 0x80), code});
}

inline std::vector<int> counting(int first, int count) {
    std::vector<int> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(first + i);
    }
    return values;
}

// A stream of frames with the moment each byte arrived.
struct Timeline {
    Bytes bytes;
    std::vector<Clock::time_point> times;
};

// Bytes at the line's pace: one character time a byte, and the given silence
// before each frame.
class LineTimes {
public:
    LineTimes(std::chrono::nanoseconds character, std::chrono::nanoseconds silence,
              Clock::time_point start = Clock::now())
        : m_character(character), m_silence(silence), m_now(start) {}

    void frame(const Bytes& frame, Timeline& timeline) {
        m_now += m_silence;
        for (const std::uint8_t byte : frame) {
            m_now += m_character;
            timeline.bytes.push_back(byte);
            timeline.times.push_back(m_now);
        }
    }
    /// Bytes right behind the last ones, without a silence.
    void tail(const Bytes& bytes, Timeline& timeline) {
        for (const std::uint8_t byte : bytes) {
            m_now += m_character;
            timeline.bytes.push_back(byte);
            timeline.times.push_back(m_now);
        }
    }
    void pause(std::chrono::nanoseconds pause) { m_now += pause; }

private:
    std::chrono::nanoseconds m_character;
    std::chrono::nanoseconds m_silence;
    Clock::time_point m_now;
};

/// The same bytes as a USB adapter hands them on: every byte arrives when the
/// adapter's timer next runs out (at whole multiples of its period).
inline Timeline bunched(const Timeline& line, std::chrono::milliseconds period) {
    Timeline out = line;
    const Clock::time_point origin = line.times.empty() ? Clock::now() : line.times.front();
    for (Clock::time_point& time : out.times) {
        const auto periods = (time - origin) / period + 1;
        time = origin + period * periods;
    }
    return out;
}

} // namespace bus
