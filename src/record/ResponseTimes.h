#pragma once
// Response times in bounded memory, however long the run: the count, the
// smallest, largest and mean, percentiles from a fine logarithmic histogram
// (256 bins an octave from 1 µs, some 70 kB: a percentile is never below the
// true value and at most 0.28 % above it), and a coarse histogram for
// display, four bins a decade from 100 µs to 10 s.

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

class ResponseTimes {
public:
    using Duration = std::chrono::microseconds;

    struct Bin {
        Duration upTo;      ///< the bin holds times up to this one, over the previous bin's
        std::int64_t count; ///< the last bin also holds anything slower
    };

    void Add(Duration time);
    void Clear();

    std::int64_t Count() const { return m_count; }
    /// 0 while there is no time at all.
    Duration Min() const { return m_count > 0 ? m_min : Duration{0}; }
    Duration Max() const { return m_count > 0 ? m_max : Duration{0}; }
    Duration Mean() const;
    /// The time below which percent of the times lie (nearest rank).
    Duration Percentile(double percent) const;

    /// The display histogram: 100 µs, 178 µs, 316 µs, 562 µs, 1 ms, ... 10 s.
    std::vector<Bin> Histogram() const;

    static constexpr int DisplayBinsPerDecade = 4;
    static constexpr int DisplayBinCount = 5 * DisplayBinsPerDecade + 1;
    /// The upper end of display bin index.
    static Duration DisplayBinEnd(int index);

private:
    static constexpr int FineBinsPerOctave = 256;
    // 2^34 µs is more than four hours; anything slower counts as that.
    static constexpr int FineOctaves = 34;
    static constexpr int FineBinCount = FineOctaves * FineBinsPerOctave + 2;

    static int fineBin(Duration time);
    static int displayBin(Duration time);

    std::array<std::int64_t, FineBinCount> m_fine{};
    std::array<std::int64_t, DisplayBinCount> m_display{};
    std::int64_t m_count = 0;
    // Whole seconds would overflow only after some 290,000 years of replies.
    std::int64_t m_sum = 0;
    Duration m_min{0};
    Duration m_max{0};
};
