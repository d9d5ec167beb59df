// How long one paint of the register table takes: 5 × 11 cells of the main
// window's size, every cell with text and a handler that centres it, the
// whole face composed off-screen as on every real paint.
//
// Run by hand: ./build/bench/widgets/grid/grid_bench

#include "bench/support/WidgetRender.h"
#include "platform/drawing/DrawText.h"
#include "widgets/grid/FramedStringGrid.h"

#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

void configureRegisterTable(TFramedStringGrid& grid) {
    grid.BeginLoading();
    grid.resize(777, 393);
    grid.SetColCount(5);
    grid.SetRowCount(11);
    grid.SetFixedCols(0);
    grid.SetFixedRows(0);
    grid.SetDefaultColWidth(180);
    grid.SetDefaultRowHeight(33);
    grid.SetOptions(TStringGrid::kDefaultOptions | goDrawFocusSelected);
    grid.SetCtl3D(false);
    grid.Font().SetName(QStringLiteral("宋体"));
    grid.Font().SetHeight(-13);
    grid.EndLoading();
    grid.SetColWidths(0, 30);
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            grid.SetCells(col, row,
                          col % 2 == 0 ? QString::number(row * 1000 + col)
                                       : QStringLiteral("反馈电流"));
        }
    }
    grid.OnDrawCell = [&grid](QObject*, int col, int row, const QRect& rect, TGridDrawState) {
        QPainter* canvas = grid.Canvas();
        canvas->fillRect(rect, canvas->brush());
        DrawTextInRect(*canvas, grid.Cells(col, row), rect,
                       TextFormat::Center | TextFormat::VCenter | TextFormat::SingleLine |
                           TextFormat::NoPrefix);
    };
}

void paintRegisterTable(benchmark::State& state) {
    TFramedStringGrid grid;
    configureRegisterTable(grid);
    renderEachIteration(state, grid);
}
BENCHMARK(paintRegisterTable)->Unit(benchmark::kMicrosecond);

// Writing all 20 values of one reply into the table, as each poll does.
void updateRegisterValues(benchmark::State& state) {
    TFramedStringGrid grid;
    configureRegisterTable(grid);
    int value = 0;
    for (auto _ : state) {
        for (int index = 0; index < 20; ++index) {
            grid.SetCells((index / 10) * 2 + 2, index % 10 + 1, QString::number(++value));
        }
    }
}
BENCHMARK(updateRegisterValues)->Unit(benchmark::kMicrosecond);

} // namespace
