#pragma once
// Times one full paint pass of a widget per benchmark iteration, into an
// image of the widget's size.

#include <QImage>
#include <QWidget>
#include <benchmark/benchmark.h>

inline void renderEachIteration(benchmark::State& state, QWidget& widget) {
    QImage target(widget.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        widget.render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}
