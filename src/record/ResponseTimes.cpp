#include "record/ResponseTimes.h"

#include <algorithm>
#include <cmath>

void ResponseTimes::Add(Duration time) {
    time = std::max(time, Duration{0});
    if (m_count == 0 || time < m_min) {
        m_min = time;
    }
    if (m_count == 0 || time > m_max) {
        m_max = time;
    }
    ++m_count;
    m_sum += time.count();
    ++m_fine[static_cast<std::size_t>(fineBin(time))];
    ++m_display[static_cast<std::size_t>(displayBin(time))];
}

void ResponseTimes::Clear() {
    *this = ResponseTimes{};
}

ResponseTimes::Duration ResponseTimes::Mean() const {
    if (m_count == 0) {
        return Duration{0};
    }
    return Duration{static_cast<std::int64_t>(
        std::llround(static_cast<double>(m_sum) / static_cast<double>(m_count)))};
}

int ResponseTimes::fineBin(Duration time) {
    // Bin 0 holds 0 µs; bin k holds [2^((k-1)/256), 2^(k/256)) µs.
    if (time.count() <= 0) {
        return 0;
    }
    const double position =
        std::floor(std::log2(static_cast<double>(time.count())) * FineBinsPerOctave);
    return std::min(static_cast<int>(position) + 1, FineBinCount - 1);
}

ResponseTimes::Duration ResponseTimes::Percentile(double percent) const {
    if (m_count == 0) {
        return Duration{0};
    }
    const auto rank = std::clamp<std::int64_t>(
        static_cast<std::int64_t>(std::ceil(percent / 100.0 * static_cast<double>(m_count))), 1,
        m_count);
    std::int64_t seen = 0;
    int bin = 0;
    for (; bin < FineBinCount; ++bin) {
        seen += m_fine[static_cast<std::size_t>(bin)];
        if (seen >= rank) {
            break;
        }
    }
    // The bin's upper end, held to what was actually seen.
    const double upper = bin == 0 ? 0.0 : std::exp2(static_cast<double>(bin) / FineBinsPerOctave);
    const Duration estimate{static_cast<std::int64_t>(std::floor(upper))};
    return std::clamp(estimate, m_min, m_max);
}

ResponseTimes::Duration ResponseTimes::DisplayBinEnd(int index) {
    // 100 µs times 10^(index/4), rounded to whole microseconds.
    static const std::array<Duration, DisplayBinCount> ends = [] {
        std::array<Duration, DisplayBinCount> values{};
        for (int bin = 0; bin < DisplayBinCount; ++bin) {
            const double exponent = static_cast<double>(bin) / DisplayBinsPerDecade;
            values[static_cast<std::size_t>(bin)] =
                Duration{std::llround(100.0 * std::pow(10.0, exponent))};
        }
        return values;
    }();
    return ends[static_cast<std::size_t>(std::clamp(index, 0, DisplayBinCount - 1))];
}

int ResponseTimes::displayBin(Duration time) {
    for (int index = 0; index < DisplayBinCount - 1; ++index) {
        if (time <= DisplayBinEnd(index)) {
            return index;
        }
    }
    return DisplayBinCount - 1;
}

std::vector<ResponseTimes::Bin> ResponseTimes::Histogram() const {
    std::vector<Bin> bins;
    bins.reserve(DisplayBinCount);
    for (int index = 0; index < DisplayBinCount; ++index) {
        bins.push_back(Bin{DisplayBinEnd(index), m_display[static_cast<std::size_t>(index)]});
    }
    return bins;
}
