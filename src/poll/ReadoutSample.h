#pragma once
// What the module's own tests follow: the output value and the feedback read
// back from it, taken from every sound read reply with the moment the reply
// arrived. The display mode travels along so that a plot can use the
// read-outs' scale, and the reply's registers for the tests that look at
// others (the relay, the device ID, a command carried out).

#include "modbus/Module.h"

#include <chrono>
#include <cstdint>

struct ReadoutSample {
    /// When the last byte of the reply arrived, on the monotonic clock.
    std::chrono::steady_clock::time_point time;
    std::uint16_t output = 0;
    std::uint16_t feedback = 0;
    std::uint16_t displayMode = 0;
    /// Every register of the reply.
    RegisterValues registers{};
};

/// The read-outs' divisor for a display mode: tenths when the mode is not 0,
/// hundredths when it is.
inline double ReadoutDivisor(std::uint16_t displayMode) {
    return displayMode != 0 ? 10.0 : 100.0;
}

/// The read-outs' number of decimals for a display mode.
inline int ReadoutPrecision(std::uint16_t displayMode) {
    return displayMode != 0 ? 1 : 2;
}
