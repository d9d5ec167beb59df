#include "sim/FeedbackInput.h"

#include <algorithm>
#include <cmath>

void FeedbackInput::SetErrors(const FeedbackErrors& errors) {
    m_errors = errors;
    // A new error applies from now on; the reading does not travel to it.
    m_from = settledReading(m_output);
    m_changed = Clock::time_point{};
}

void FeedbackInput::SetNoise(int amplitude, std::uint32_t seed) {
    m_noise = std::max(amplitude, 0);
    m_random.seed(seed);
}

void FeedbackInput::OutputWritten(std::uint16_t output) {
    const Clock::time_point now = Clock::now();
    m_from = readingAt(now);
    m_changed = now;
    m_output = output;
}

std::uint16_t FeedbackInput::Measure(std::uint16_t output) {
    if (output != m_output) {
        m_output = output;
        m_from = settledReading(output);
        m_changed = Clock::time_point{};
    }
    int noise = 0;
    if (m_noise > 0) {
        std::uniform_int_distribution<int> spread(-m_noise, m_noise);
        noise = spread(m_random);
    }
    const long reading = std::lround(readingAt(Clock::now())) + noise;
    return static_cast<std::uint16_t>(std::clamp<long>(reading, 0, 0xFFFF));
}

double FeedbackInput::settledReading(std::uint16_t output) const {
    return output * m_errors.gain + m_errors.offset;
}

double FeedbackInput::readingAt(Clock::time_point now) const {
    const double target = settledReading(m_output);
    const auto lag = std::chrono::duration<double>(m_errors.lag);
    const auto since = std::chrono::duration<double>(now - m_changed);
    if (lag.count() <= 0.0 || since >= lag) {
        return target;
    }
    return m_from + (target - m_from) * (since / lag);
}
