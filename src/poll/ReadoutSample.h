#pragma once
// What the module's own test follows: the output value (register 3) and the
// feedback read back from it (register 2), taken from every sound read reply
// with the moment the reply arrived. The display mode (register 5) travels
// along so that a plot can use the read-outs' scale.

#include <chrono>
#include <cstdint>

struct ReadoutSample {
    /// When the last byte of the reply arrived, on the monotonic clock.
    std::chrono::steady_clock::time_point time;
    std::uint16_t output = 0;
    std::uint16_t feedback = 0;
    std::uint16_t displayMode = 0;
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

// Receives a sample for every sound read reply, on the thread that runs the
// engine, right after the reply was shown in the table and the read-outs.
class ReadoutListener {
public:
    virtual ~ReadoutListener() = default;
    virtual void OnReadout(const ReadoutSample& sample) = 0;
};
