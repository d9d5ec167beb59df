#pragma once
// The module's feedback input with the output wired back to it, as on the
// bench: what it measures follows the output through the input's gain and
// offset errors, with a little noise. After the output changes, the reading
// moves to the new value in a straight line over the settling lag, as a slow
// output stage or a filtered input would. Not thread-safe on its own; the
// virtual module guards it.

#include <chrono>
#include <cstdint>
#include <random>

/// How far the measurement strays from the output. A sound module has a gain
/// of 1, no offset and no lag.
struct FeedbackErrors {
    double gain = 1.0;                ///< the reading is the output times this
    int offset = 0;                   ///< plus this, in counts
    std::chrono::milliseconds lag{0}; ///< time to reach a new output value
    bool operator==(const FeedbackErrors&) const = default;
};

class FeedbackInput {
public:
    using Clock = std::chrono::steady_clock;

    void SetErrors(const FeedbackErrors& errors);
    const FeedbackErrors& Errors() const { return m_errors; }
    /// Noise in counts either way (0 for none), from a generator seeded with seed.
    void SetNoise(int amplitude, std::uint32_t seed);

    /// The output was written: the reading starts to move from where it stands now.
    void OutputWritten(std::uint16_t output);
    /// One measurement of the input with the output at output, in counts. An
    /// output set behind the module's back (not written) is followed at once.
    std::uint16_t Measure(std::uint16_t output);

private:
    double settledReading(std::uint16_t output) const;
    double readingAt(Clock::time_point now) const;

    FeedbackErrors m_errors;
    int m_noise = 2;
    std::minstd_rand m_random{1};
    // Where the reading moves to and from, and since when.
    std::uint16_t m_output = 0;
    double m_from = 0.0;
    Clock::time_point m_changed;
};
