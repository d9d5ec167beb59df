#include "trend/TrendHistory.h"

#include <algorithm>

namespace {

constexpr std::int64_t MicrosecondsPerSecond = 1'000'000;

std::int64_t startOf(const TrendHistory::Second& second) {
    return std::int64_t{second.second} * MicrosecondsPerSecond;
}

std::int64_t endOf(const TrendHistory::Second& second) {
    return startOf(second) + MicrosecondsPerSecond;
}

std::uint16_t middle(const TrendHistory::Range& range) {
    return static_cast<std::uint16_t>((range.low + range.high) / 2);
}

} // namespace

void TrendHistory::Range::Take(std::uint16_t value) {
    low = std::min(low, value);
    high = std::max(high, value);
}

void TrendHistory::Range::Take(const Range& other) {
    low = std::min(low, other.low);
    high = std::max(high, other.high);
}

void TrendHistory::OnReadout(const ReadoutSample& sample) {
    m_displayMode = sample.displayMode;
    Add(sample.time, sample.output, sample.feedback);
}

void TrendHistory::Add(Clock::time_point time, std::uint16_t output, std::uint16_t feedback) {
    if (!m_origin) {
        m_origin = time;
        m_originWall =
            std::chrono::system_clock::now() -
            std::chrono::duration_cast<std::chrono::system_clock::duration>(Clock::now() - time);
    }
    // Samples come in the order their replies arrived; one stamped earlier
    // than the newest (never on a monotonic clock, but cheap to rule out)
    // joins it, so the history stays ordered.
    const auto elapsed = std::chrono::duration_cast<Microseconds>(time - *m_origin).count();
    m_newestUs = std::max(m_newestUs, elapsed);
    m_samples.push_back(Sample{m_newestUs, output, feedback});
    foldOldSamples();
}

void TrendHistory::Clear() {
    m_samples.clear();
    m_seconds.clear();
    m_samples.shrink_to_fit();
    m_seconds.shrink_to_fit();
    m_origin.reset();
    m_newestUs = 0;
}

void TrendHistory::foldOldSamples() {
    const std::int64_t fullFrom = m_newestUs - FullResolutionSpan.count();
    while (!m_samples.empty() &&
           (m_samples.size() > FullSampleLimit || m_samples.front().elapsedUs < fullFrom)) {
        fold(m_samples.front());
        m_samples.pop_front();
    }
    const std::int64_t historyFrom = m_newestUs - HistorySpan.count();
    while (!m_seconds.empty() && endOf(m_seconds.front()) <= historyFrom) {
        m_seconds.pop_front();
    }
}

void TrendHistory::fold(const Sample& sample) {
    const auto second = static_cast<std::int32_t>(sample.elapsedUs / MicrosecondsPerSecond);
    if (m_seconds.empty() || m_seconds.back().second != second) {
        m_seconds.push_back(Second{second, {}, {}});
    }
    m_seconds.back().output.Take(sample.output);
    m_seconds.back().feedback.Take(sample.feedback);
}

std::deque<TrendHistory::Sample>::const_iterator
TrendHistory::sampleFrom(std::int64_t elapsedUs) const {
    return std::lower_bound(m_samples.begin(), m_samples.end(), elapsedUs,
                            [](const Sample& s, std::int64_t t) { return s.elapsedUs < t; });
}

std::deque<TrendHistory::Second>::const_iterator
TrendHistory::secondEndingAfter(std::int64_t elapsedUs) const {
    return std::lower_bound(m_seconds.begin(), m_seconds.end(), elapsedUs,
                            [](const Second& s, std::int64_t t) { return endOf(s) <= t; });
}

std::chrono::system_clock::time_point TrendHistory::WallTimeOf(std::int64_t elapsedUs) const {
    return m_originWall +
           std::chrono::duration_cast<std::chrono::system_clock::duration>(Microseconds{elapsedUs});
}

TrendHistory::Microseconds TrendHistory::Oldest() const {
    if (!m_seconds.empty()) {
        return Microseconds{startOf(m_seconds.front())};
    }
    return Microseconds{m_samples.empty() ? 0 : m_samples.front().elapsedUs};
}

std::vector<TrendHistory::Column> TrendHistory::Columns(Microseconds from, Microseconds to,
                                                        int count) const {
    std::vector<Column> columns(static_cast<std::size_t>(std::max(count, 0)));
    const std::int64_t begin = from.count();
    const std::int64_t span = to.count() - begin;
    if (count <= 0 || span <= 0) {
        return columns;
    }
    const auto columnOf = [&](std::int64_t elapsed) {
        const std::int64_t index = (elapsed - begin) * count / span;
        return static_cast<std::size_t>(std::clamp<std::int64_t>(index, 0, count - 1));
    };
    const auto take = [&](std::size_t index, const Range& output, const Range& feedback,
                          const Sample& first, const Sample& last) {
        Column& column = columns[index];
        if (column.Empty() || first.elapsedUs < column.first.elapsedUs) {
            column.first = first;
        }
        if (column.Empty() || last.elapsedUs >= column.last.elapsedUs) {
            column.last = last;
        }
        column.output.Take(output);
        column.feedback.Take(feedback);
    };
    // A second covers every column its span reaches, so old history zoomed
    // in shows as blocks a second wide.
    for (auto second = secondEndingAfter(begin);
         second != m_seconds.end() && startOf(*second) < to.count(); ++second) {
        const Sample first{startOf(*second), middle(second->output), middle(second->feedback)};
        const Sample last{endOf(*second) - 1, first.output, first.feedback};
        const std::size_t lastColumn = columnOf(std::min(endOf(*second), to.count()) - 1);
        for (std::size_t index = columnOf(std::max(startOf(*second), begin)); index <= lastColumn;
             ++index) {
            take(index, second->output, second->feedback, first, last);
        }
    }
    for (auto sample = sampleFrom(begin);
         sample != m_samples.end() && sample->elapsedUs < to.count(); ++sample) {
        Range output;
        Range feedback;
        output.Take(sample->output);
        feedback.Take(sample->feedback);
        take(columnOf(sample->elapsedUs), output, feedback, *sample, *sample);
    }
    return columns;
}

std::optional<TrendHistory::Reading> TrendHistory::ReadingNear(Microseconds at,
                                                               Microseconds within) const {
    const std::int64_t time = at.count();
    const auto after = sampleFrom(time);
    std::optional<Sample> nearest;
    if (after != m_samples.end()) {
        nearest = *after;
    }
    if (after != m_samples.begin()) {
        const Sample& before = *std::prev(after);
        if (!nearest || time - before.elapsedUs < nearest->elapsedUs - time) {
            nearest = before;
        }
    }
    if (nearest && std::abs(nearest->elapsedUs - time) <= within.count()) {
        Reading reading{nearest->elapsedUs, {}, {}, false};
        reading.output.Take(nearest->output);
        reading.feedback.Take(nearest->feedback);
        return reading;
    }
    const auto second = secondEndingAfter(time);
    if (second != m_seconds.end() && startOf(*second) <= time) {
        return Reading{startOf(*second), second->output, second->feedback, true};
    }
    return std::nullopt;
}

void TrendHistory::VisitSamples(Microseconds from, Microseconds to,
                                const std::function<void(const Sample&)>& visit) const {
    // A second is written where its start is older than every sample kept;
    // its highest values stay before the oldest sample.
    const std::int64_t keptFrom = m_samples.empty() ? to.count() + 1 : m_samples.front().elapsedUs;
    auto second = std::lower_bound(m_seconds.begin(), m_seconds.end(), from.count(),
                                   [](const Second& s, std::int64_t t) { return startOf(s) < t; });
    for (;
         second != m_seconds.end() && startOf(*second) <= to.count() && startOf(*second) < keptFrom;
         ++second) {
        const std::int64_t start = startOf(*second);
        visit(Sample{start, second->output.low, second->feedback.low});
        visit(Sample{std::min(start + MicrosecondsPerSecond / 2, keptFrom - 1), second->output.high,
                     second->feedback.high});
    }
    for (auto sample = sampleFrom(from.count());
         sample != m_samples.end() && sample->elapsedUs <= to.count(); ++sample) {
        visit(*sample);
    }
}
