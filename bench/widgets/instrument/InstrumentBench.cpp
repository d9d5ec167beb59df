// How long one paint pass of the main window's instrument widgets takes (each
// pass composes the whole face off-screen and copies it once), and how many
// repaints a burst of value changes costs with and without the frame-rate limit.
//
// Run by hand: ./build/bench/widgets/instrument/instrument_bench

#include "bench/support/WidgetRender.h"
#include "widgets/instrument/iIntegerOutput.h"
#include "widgets/instrument/iLabel.h"
#include "widgets/instrument/iLedRectangle.h"
#include "widgets/instrument/iSevenSegmentAnalog.h"

#include <benchmark/benchmark.h>

namespace {

void paintReadout(benchmark::State& state) {
    TiSevenSegmentAnalog readout;
    readout.SetSegmentColor(clRed);
    readout.SetSegmentSize(2);
    readout.SetShowSign(false);
    readout.SetLeadingStyle(ilsZeros);
    readout.SetPrecision(1);
    QImage target(readout.size(), QImage::Format_RGB32);
    double value = 0;
    for (auto _ : state) {
        readout.SetValue(value);
        value += 0.1;
        readout.render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}
BENCHMARK(paintReadout)->Unit(benchmark::kMicrosecond);

void paintLamp(benchmark::State& state) {
    TiLedRectangle lamp;
    lamp.SetBounds(0, 0, 36, 36);
    QImage target(lamp.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        lamp.SetActive(!lamp.Active());
        lamp.render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}
BENCHMARK(paintLamp)->Unit(benchmark::kMicrosecond);

void paintLabel(benchmark::State& state) {
    TiLabel label;
    label.Font().Assign(TFont(QStringLiteral("MS Sans Serif"), -16, fsBold));
    label.SetCaption(QStringLiteral("串口数据监视"));
    renderEachIteration(state, label);
}
BENCHMARK(paintLabel)->Unit(benchmark::kMicrosecond);

// A field holding a long pasted text (argument: its length) with the caret at
// the end: each paint finds the window of characters that fits the field.
void paintFieldWithLongText(benchmark::State& state) {
    TiIntegerOutput field;
    field.InsertText(QString(static_cast<qsizetype>(state.range(0)), QLatin1Char('7')));
    renderEachIteration(state, field);
}
BENCHMARK(paintFieldWithLongText)->Arg(30)->Arg(3000)->Unit(benchmark::kMicrosecond);

// A burst of 1000 value changes: the counter "repaints" is how many of them
// reached the window, unlimited (argument 0) or at 60 per second (argument 60).
void valueBurst(benchmark::State& state) {
    TiSevenSegmentAnalog readout;
    readout.SetUpdateFrameRate(static_cast<int>(state.range(0)));
    readout.SetAutoFrameRate(state.range(0) > 0);
    double value = 0;
    int repaints = 0;
    for (auto _ : state) {
        const int before = readout.RepaintCount();
        for (int change = 0; change < 1000; ++change) {
            value += 1;
            readout.SetValue(value);
        }
        repaints = readout.RepaintCount() - before;
    }
    state.counters["repaints"] = repaints;
}
BENCHMARK(valueBurst)->Arg(0)->Arg(60)->Unit(benchmark::kMicrosecond);

} // namespace
