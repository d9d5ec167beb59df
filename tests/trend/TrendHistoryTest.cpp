// The trend's history: ten minutes whole, the range of each second beyond for
// a day, the columns a plot is drawn from and the samples exported as CSV.

#include "trend/TrendHistory.h"
#include "trend/TrendCsv.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Micro = std::chrono::microseconds;

class TrendHistoryTest : public ::testing::Test {
protected:
    // A sample at `at` after the first one.
    void add(Micro at, int output, int feedback) {
        history.Add(origin + at, static_cast<std::uint16_t>(output),
                    static_cast<std::uint16_t>(feedback));
    }

    TrendHistory history;
    std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
};

TEST_F(TrendHistoryTest, KeepsTenMinutesWholeAndTheRangeOfEachSecondForADay) {
    // Eleven minutes at ten samples a second; the output climbs by one a sample.
    for (int i = 0; i < 6600; ++i) {
        add(Micro{i * 100'000LL}, i % 2000, 2000 - i % 2000);
    }
    // The newest is at 659.9 s: everything from 59.9 s on is whole, the 599
    // samples before it are the ranges of seconds 0 to 59.
    EXPECT_EQ(history.SampleCount(), 6001U);
    EXPECT_EQ(history.SecondCount(), 60U);
    EXPECT_EQ(history.Oldest(), 0s);
    EXPECT_EQ(history.Newest(), Micro{659'900'000});

    const auto second5 = history.ReadingNear(5500ms, 10ms);
    ASSERT_TRUE(second5.has_value());
    EXPECT_TRUE(second5->summarised);
    EXPECT_EQ(second5->elapsedUs, 5'000'000);
    EXPECT_EQ(second5->output.low, 50);
    EXPECT_EQ(second5->output.high, 59);
    EXPECT_EQ(second5->feedback.low, 1941);
    EXPECT_EQ(second5->feedback.high, 1950);
    const auto whole = history.ReadingNear(Micro{600'049'000}, 60ms);
    ASSERT_TRUE(whole.has_value());
    EXPECT_FALSE(whole->summarised);
    EXPECT_EQ(whole->elapsedUs, 600'000'000);
    EXPECT_EQ(whole->output.low, 0); // sample 6000
    EXPECT_FALSE(history.ReadingNear(Micro{900'000'000}, 1s).has_value());

    // A day and a minute after the first sample: what is older than a day is
    // gone, the rest folded into seconds 60 to 659.
    add(24h + 60s, 7, 7);
    EXPECT_EQ(history.SampleCount(), 1U);
    EXPECT_EQ(history.SecondCount(), 600U);
    EXPECT_EQ(history.Oldest(), 60s);

    history.Clear();
    EXPECT_TRUE(history.Empty());
    EXPECT_FALSE(history.Origin().has_value());
}

TEST_F(TrendHistoryTest, ColumnsHoldTheRangeOfTheirTimeAndTheReadingsThatJoinThem) {
    // Old history: seconds 0 to 3 with outputs 100..109, 200..209, ...;
    // then whole samples every 10 ms from 11 min on.
    for (int second = 0; second < 4; ++second) {
        for (int tenth = 0; tenth < 10; ++tenth) {
            add(Micro{second * 1'000'000LL + tenth * 100'000LL}, 100 * (second + 1) + tenth, 500);
        }
    }
    for (int i = 0; i <= 100; ++i) {
        add(Micro{660'000'000LL + i * 10'000LL}, 1000 + i, 900 + i);
    }
    ASSERT_EQ(history.SecondCount(), 4U);

    // Zoomed in on old history: each second fills two of eight columns.
    const auto old = history.Columns(0s, 4s, 8);
    ASSERT_EQ(old.size(), 8U);
    for (int column = 0; column < 8; ++column) {
        const int second = column / 2;
        EXPECT_EQ(old[column].output.low, 100 * (second + 1)) << column;
        EXPECT_EQ(old[column].output.high, 100 * (second + 1) + 9) << column;
    }

    // Whole samples: a second in ten columns, ten samples each.
    const auto recent = history.Columns(660s, 661s, 10);
    for (int column = 0; column < 10; ++column) {
        EXPECT_EQ(recent[column].output.low, 1000 + 10 * column) << column;
        EXPECT_EQ(recent[column].output.high, 1009 + 10 * column) << column;
        EXPECT_EQ(recent[column].feedback.low, 900 + 10 * column) << column;
        EXPECT_EQ(recent[column].first.elapsedUs, 660'000'000 + column * 100'000LL) << column;
        EXPECT_EQ(recent[column].last.output, 1009 + 10 * column) << column;
    }
    // Where nothing was polled the columns stay empty.
    const auto gap = history.Columns(100s, 200s, 4);
    EXPECT_TRUE(std::all_of(gap.begin(), gap.end(), [](const auto& c) { return c.Empty(); }));
}

TEST_F(TrendHistoryTest, CsvHoldsTheVisibleSamplesWithWallTimeAndTheRangesOfOldSeconds) {
    for (int i = 0; i < 20; ++i) {
        add(Micro{i * 100'000LL}, 1000 + i, 990 + i);
    }
    for (int i = 0; i < 3; ++i) {
        add(Micro{700'000'000LL + i * 7'500LL}, 2200 - i, 2190 + i);
    }
    const QStringList lines =
        QString::fromLatin1(TrendCsv(history, 1s, 700'007'500us)).split('\n', Qt::SkipEmptyParts);
    // Second 1 (outputs 1010..1019) as its lowest and highest, then the two
    // whole samples in view.
    ASSERT_EQ(lines.size(), 5) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], "time,elapsed_us,output,feedback");
    const QRegularExpression row(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}[+-]\d\d:\d\d,(\d+),(\d+),(\d+)$)");
    QStringList fields;
    for (int index = 1; index < lines.size(); ++index) {
        const auto match = row.match(lines[index]);
        ASSERT_TRUE(match.hasMatch()) << lines[index].toStdString();
        fields.append(match.captured(1) + ',' + match.captured(2) + ',' + match.captured(3));
    }
    EXPECT_EQ(fields, (QStringList{"1000000,1010,1000", "1500000,1019,1009", "700000000,2200,2190",
                                   "700007500,2199,2191"}));
}

} // namespace
