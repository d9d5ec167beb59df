#pragma once
// The history behind the trend of the output and the feedback: every sample
// of the last ten minutes as it came, and before that the lowest and highest
// value of each second, back to 24 hours before the newest sample. Times are
// microseconds since the first sample (the origin) on the monotonic clock.
// Memory stays bounded whatever the poll rate: at most FullSampleLimit
// samples are kept whole (a poll every millisecond for ten minutes); a faster
// stream has its oldest samples folded into their seconds early.
// trend_history_bench measures what a day takes at a given rate; the figures
// are in docs/performance.md.
//
// Fed by the poll engine as a PollListener, read by the trend window.

#include "poll/PollListener.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class TrendHistory : public PollListener {
public:
    using Clock = std::chrono::steady_clock;
    using Microseconds = std::chrono::microseconds;

    static constexpr Microseconds FullResolutionSpan = std::chrono::minutes{10};
    static constexpr Microseconds HistorySpan = std::chrono::hours{24};
    static constexpr std::size_t FullSampleLimit = 600'000;

    struct Sample {
        std::int64_t elapsedUs = 0;
        std::uint16_t output = 0;
        std::uint16_t feedback = 0;
    };

    /// The lowest and highest of some values; empty while low > high.
    struct Range {
        std::uint16_t low = 0xFFFF;
        std::uint16_t high = 0;
        bool Empty() const { return low > high; }
        void Take(std::uint16_t value);
        void Take(const Range& other);
    };

    /// One second of old history: second n covers [n, n + 1) s after the origin.
    struct Second {
        std::int32_t second = 0;
        Range output;
        Range feedback;
    };

    /// What falls into one column of a plot: the ranges of both values, and
    /// the first and last reading with their times, for joining columns.
    struct Column {
        Range output;
        Range feedback;
        Sample first;
        Sample last;
        bool Empty() const { return output.Empty(); }
    };

    /// A reading at one moment: a sample (low equals high) or, in old
    /// history, the range of its second (summarised).
    struct Reading {
        std::int64_t elapsedUs = 0;
        Range output;
        Range feedback;
        bool summarised = false;
    };

    void OnReadout(const ReadoutSample& sample) override;
    void Add(Clock::time_point time, std::uint16_t output, std::uint16_t feedback);
    void Clear();

    bool Empty() const { return m_samples.empty() && m_seconds.empty(); }
    /// The first sample's moment on the monotonic and on the wall clock.
    std::optional<Clock::time_point> Origin() const { return m_origin; }
    std::chrono::system_clock::time_point WallTimeOf(std::int64_t elapsedUs) const;
    /// Since the origin: the oldest moment held and the newest sample.
    Microseconds Oldest() const;
    Microseconds Newest() const { return Microseconds{m_newestUs}; }
    /// The display mode of the newest sample, for the read-outs' scale.
    std::uint16_t DisplayMode() const { return m_displayMode; }

    /// The history from `from` to `to` cut into `count` columns of equal time.
    std::vector<Column> Columns(Microseconds from, Microseconds to, int count) const;
    /// The reading nearest to `at`: a sample no further than `within` from
    /// it, else the summarised second holding it; none when neither exists.
    std::optional<Reading> ReadingNear(Microseconds at, Microseconds within) const;
    /// Every sample from `from` up to `to`, oldest first. A summarised second
    /// that starts before the oldest sample kept gives two: its lowest values
    /// at its start and its highest half a second later (or just before that
    /// oldest sample, if sooner).
    void VisitSamples(Microseconds from, Microseconds to,
                      const std::function<void(const Sample&)>& visit) const;

    std::size_t SampleCount() const { return m_samples.size(); }
    std::size_t SecondCount() const { return m_seconds.size(); }

private:
    void foldOldSamples();
    void fold(const Sample& sample);
    /// The first sample at or after a moment, the first second ending after it.
    std::deque<Sample>::const_iterator sampleFrom(std::int64_t elapsedUs) const;
    std::deque<Second>::const_iterator secondEndingAfter(std::int64_t elapsedUs) const;

    std::deque<Sample> m_samples;
    std::deque<Second> m_seconds;
    std::optional<Clock::time_point> m_origin;
    std::chrono::system_clock::time_point m_originWall;
    std::int64_t m_newestUs = 0;
    std::uint16_t m_displayMode = 0;
};
