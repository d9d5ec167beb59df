// The link statistics and their JSON summary, fed with traffic entries.

#include "record/LinkStatistics.h"
#include "record/LinkSummary.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

using std::chrono::microseconds;

TrafficEvent entry(TrafficDirection direction, TrafficVerdict verdict,
                   std::optional<microseconds> response = std::nullopt, std::uint8_t code = 0) {
    TrafficEvent event;
    event.direction = direction;
    event.verdict = verdict;
    event.exceptionCode = code;
    event.responseTime = response;
    return event;
}

void request(LinkStatistics& statistics, TrafficVerdict verdict = TrafficVerdict::Sent) {
    statistics.OnTraffic(entry(TrafficDirection::Tx, verdict));
}

TEST(LinkStatistics, CountsEveryVerdictMostFrequentFirst) {
    LinkStatistics statistics;
    for (int i = 0; i < 5; ++i) {
        request(statistics);
        statistics.OnTraffic(entry(TrafficDirection::Rx, TrafficVerdict::Ok, microseconds{900}));
    }
    request(statistics);
    statistics.OnTraffic(
        entry(TrafficDirection::Rx, TrafficVerdict::Exception, microseconds{700}, 0x02));
    statistics.OnMissCounted();
    for (int i = 0; i < 2; ++i) {
        request(statistics);
        statistics.OnTraffic(entry(TrafficDirection::NoReply, TrafficVerdict::NoReply));
        statistics.OnMissCounted();
    }
    request(statistics, TrafficVerdict::WriteFailed);
    statistics.OnTraffic(entry(TrafficDirection::NoReply, TrafficVerdict::NoReply));
    statistics.OnMissCounted();
    request(statistics);
    statistics.OnTraffic(entry(TrafficDirection::Rx, TrafficVerdict::BadCrc, microseconds{800}));
    statistics.OnMissCounted();

    EXPECT_EQ(statistics.Requests(), 10);
    EXPECT_EQ(statistics.Missed(), 5);
    EXPECT_EQ(statistics.Replies(), 5);
    QStringList verdicts;
    for (const auto& [verdict, count] : statistics.Verdicts()) {
        verdicts.append(verdict + '=' + QString::number(count));
    }
    // Equal counts keep the order of the verdicts' list; "sent" is the
    // requests themselves and is left out.
    EXPECT_EQ(verdicts.join(' '), "ok=5 no-reply=3 write-failed=1 bad-crc=1 exception-02=1");
    // Only sound replies are timed.
    EXPECT_EQ(statistics.Responses().Count(), 5);
    EXPECT_EQ(statistics.Responses().Min(), microseconds{900});

    statistics.OnStarted();
    EXPECT_EQ(statistics.Requests(), 0);
    EXPECT_EQ(statistics.Missed(), 0);
    EXPECT_TRUE(statistics.Verdicts().empty());
    EXPECT_EQ(statistics.Responses().Count(), 0);
}

TEST(ResponseTimes, PercentilesAreNeverBelowTheTruthAndAtMostAQuarterPercentAbove) {
    ResponseTimes times;
    // 10 µs, 20 µs, ... 10 ms, in a shuffled order.
    for (int step = 0; step < 1000; ++step) {
        times.Add(microseconds{10 * ((step * 367) % 1000 + 1)});
    }
    EXPECT_EQ(times.Count(), 1000);
    EXPECT_EQ(times.Min(), microseconds{10});
    EXPECT_EQ(times.Max(), microseconds{10000});
    EXPECT_EQ(times.Mean(), microseconds{5005});
    for (const auto& [percent, truth] :
         std::vector<std::pair<double, std::int64_t>>{{50, 5000}, {95, 9500}, {99, 9900}}) {
        const std::int64_t value = times.Percentile(percent).count();
        EXPECT_GE(value, truth) << percent;
        EXPECT_LE(static_cast<double>(value), static_cast<double>(truth) * 1.0028) << percent;
    }
    EXPECT_EQ(times.Percentile(100), microseconds{10000});
    EXPECT_EQ(times.Percentile(0.01), microseconds{10});

    const std::vector<ResponseTimes::Bin> bins = times.Histogram();
    ASSERT_EQ(bins.size(), 21U);
    const std::vector<std::int64_t> ends = {
        100,   178,    316,    562,    1000,   1778,    3162,    5623,    10000,   17783,   31623,
        56234, 100000, 177828, 316228, 562341, 1000000, 1778279, 3162278, 5623413, 10000000};
    std::int64_t total = 0;
    for (std::size_t i = 0; i < bins.size(); ++i) {
        EXPECT_EQ(bins[i].upTo.count(), ends[i]);
        total += bins[i].count;
    }
    EXPECT_EQ(total, 1000);
    EXPECT_EQ(bins[0].count, 10);  // 10 .. 100 µs
    EXPECT_EQ(bins[1].count, 7);   // 110 .. 170 µs
    EXPECT_EQ(bins[8].count, 438); // 5630 .. 10000 µs
    // Anything slower than 10 s counts in the last bin.
    times.Add(microseconds{25'000'000});
    EXPECT_EQ(times.Histogram().back().count, 1);
    EXPECT_EQ(times.Max(), microseconds{25'000'000});
}

TEST(LinkSummary, WritesTheStatisticsAsOneLineOfJson) {
    LinkStatistics statistics;
    request(statistics);
    statistics.OnTraffic(entry(TrafficDirection::Rx, TrafficVerdict::Ok, microseconds{150}));
    request(statistics);
    statistics.OnTraffic(entry(TrafficDirection::NoReply, TrafficVerdict::NoReply));
    statistics.OnMissCounted();
    QByteArray bins;
    for (int i = 0; i < 21; ++i) {
        bins += QByteArray(i > 0 ? ", " : "") +
                "{\"upto_us\": " + QByteArray::number(ResponseTimes::DisplayBinEnd(i).count()) +
                ", \"count\": " + (i == 1 ? "1" : "0") + "}";
    }
    EXPECT_EQ(LinkSummaryJson(statistics),
              "{\"tx\": 2, \"er\": 1, \"replies\": 1, \"verdicts\": {\"ok\": 1, \"no-reply\": 1}, "
              "\"response_us\": {\"min\": 150, \"mean\": 150, \"p50\": 150, \"p95\": 150, "
              "\"p99\": 150, \"max\": 150}, \"histogram\": [" +
                  bins + "]}\n");
}

} // namespace
