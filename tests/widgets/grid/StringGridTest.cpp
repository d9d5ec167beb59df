#include "widgets/grid/StringGrid.h"
#include "tests/widgets/grid/GridTestSupport.h"

#include <QTest>
#include <climits>
#include <gtest/gtest.h>

using namespace gridtest;

namespace {

// A 4 × 4 grid with one fixed column and row, 40 × 20 cells and one-pixel lines.
void configure(TStringGrid& grid) {
    grid.SetColCount(4);
    grid.SetRowCount(4);
    grid.SetDefaultColWidth(40);
    grid.SetDefaultRowHeight(20);
    grid.resize(300, 200);
}

QPoint centreOf(const TStringGrid& grid, int col, int row) {
    return grid.CellRect(col, row).center();
}

} // namespace

TEST(StringGrid, RefusesOrClampsCountsSizesAndCellsOutsideTheTable) {
    TStringGrid grid;
    grid.SetColCount(0);
    grid.SetRowCount(-3);
    EXPECT_EQ(grid.ColCount(), 1);
    EXPECT_EQ(grid.RowCount(), 1);
    // With a single column none can be fixed: the fixed counts dropped to 0.
    EXPECT_EQ(grid.FixedCols(), 0);
    EXPECT_EQ(grid.FixedRows(), 0);
    grid.SetFixedCols(1);
    grid.SetFixedRows(-1);
    EXPECT_EQ(grid.FixedCols(), 0);
    EXPECT_EQ(grid.FixedRows(), 0);

    grid.SetColCount(3);
    grid.SetRowCount(3);
    grid.SetColWidths(1, -7);
    grid.SetColWidths(17, 50);
    grid.SetRowHeights(-1, 50);
    grid.SetDefaultRowHeight(-4);
    grid.SetGridLineWidth(-2);
    EXPECT_EQ(grid.ColWidths(1), 0);
    EXPECT_EQ(grid.ColWidths(17), 0);
    EXPECT_EQ(grid.RowHeights(0), 0);
    EXPECT_EQ(grid.DefaultRowHeight(), 0);
    EXPECT_EQ(grid.GridLineWidth(), 0);

    grid.SetCells(5, 5, QStringLiteral("lost"));
    grid.SetCells(-1, 0, QStringLiteral("lost"));
    EXPECT_EQ(grid.Cells(5, 5), QString());
    EXPECT_EQ(grid.Cells(0, -1), QString());
    EXPECT_EQ(grid.Cells(2, 2), QString());

    // The current cell never leaves the table.
    EXPECT_TRUE(grid.SetCurrentCell(2, 2));
    EXPECT_FALSE(grid.SetCurrentCell(3, 0));
    grid.SetCol(-1);
    grid.SetRow(99);
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Row(), 2);
    // Nothing of this crashes a paint, whatever the size.
    for (const QSize size : {QSize(0, 0), QSize(1, 1), QSize(3, 500), QSize(500, 3)}) {
        grid.resize(size);
        EXPECT_EQ(render(grid).size(), size.expandedTo(QSize(0, 0)));
    }
}

TEST(StringGrid, KeepsTextsAndTheCurrentCellInsideWhenTheTableShrinks) {
    TStringGrid grid;
    configure(grid);
    grid.SetCells(1, 1, QStringLiteral("kept"));
    grid.SetCells(3, 3, QStringLiteral("dropped"));
    ASSERT_TRUE(grid.SetCurrentCell(3, 3));
    grid.SetColCount(2);
    grid.SetRowCount(2);
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("kept"));
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Row(), 1);
    grid.SetColCount(4);
    grid.SetRowCount(4);
    EXPECT_EQ(grid.Cells(3, 3), QString());
    // New columns take the default width.
    EXPECT_EQ(grid.ColWidths(3), 40);
}

TEST(StringGrid, ClickMakesTheCellCurrentAndDoubleClickRaisesOnDblClick) {
    TStringGrid grid;
    configure(grid);
    ASSERT_TRUE(showActive(grid));
    int clicks = 0;
    grid.OnClick = [&](QObject* sender) {
        EXPECT_EQ(sender, &grid);
        ++clicks;
    };
    QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 2, 3));
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(grid.hasFocus());

    // Fixed cells, grid lines and the empty area are not cells to select.
    QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 0, 2));
    const QRect cell = grid.CellRect(1, 1);
    QTest::mouseClick(&grid, Qt::LeftButton, {}, QPoint(cell.right() + 1, cell.center().y()));
    QTest::mouseClick(&grid, Qt::LeftButton, {}, QPoint(290, 190));
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Row(), 3);

    int doubleClicks = 0;
    grid.OnDblClick = [&](QObject*) {
        ++doubleClicks;
        EXPECT_EQ(grid.Col(), 1);
        EXPECT_EQ(grid.Row(), 2);
    };
    // A double click arrives as press, release, double-click press, release:
    // the first press makes the cell current, the second raises OnDblClick.
    QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 1, 2));
    QTest::mouseDClick(&grid, Qt::LeftButton, {}, centreOf(grid, 1, 2));
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Row(), 2);
    // The second press itself never moves the current cell.
    QTest::mouseDClick(&grid, Qt::LeftButton, {}, centreOf(grid, 3, 3));
    EXPECT_EQ(doubleClicks, 2);
}

TEST(StringGrid, KeyboardMovesTheCurrentCellWithinTheScrollableCells) {
    TStringGrid grid;
    configure(grid);
    grid.SetRowCount(12);
    ASSERT_TRUE(showActive(grid));
    ASSERT_TRUE(focusOn(grid));
    int clicks = 0;
    grid.OnClick = [&](QObject*) { ++clicks; };

    QTest::keyClick(&grid, Qt::Key_Right);
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(clicks, 2);
    // The fixed column and row stop the movement.
    QTest::keyClick(&grid, Qt::Key_Left);
    QTest::keyClick(&grid, Qt::Key_Left);
    QTest::keyClick(&grid, Qt::Key_Up);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(clicks, 4); // a refused move is no click
    QTest::keyClick(&grid, Qt::Key_End);
    EXPECT_EQ(grid.Col(), 3);
    QTest::keyClick(&grid, Qt::Key_Home);
    EXPECT_EQ(grid.Col(), 1);
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.Col(), 3);
    EXPECT_EQ(grid.Row(), 11);
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Row(), 1);

    // A page is the rows that fit whole: (200 - 4 border - 21 fixed) / 21 = 8.
    QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_EQ(grid.Row(), 9);
    // The current cell is brought into view.
    EXPECT_FALSE(grid.CellRect(1, 9).isEmpty());
    QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_EQ(grid.Row(), 11);
    EXPECT_FALSE(grid.CellRect(1, 11).isEmpty());
    EXPECT_GT(grid.TopRow(), 1);
    QTest::keyClick(&grid, Qt::Key_PageUp);
    QTest::keyClick(&grid, Qt::Key_PageUp);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.TopRow(), 1);
}

TEST(StringGrid, ExtendsARangeSelectionOnlyWithRangeSelect) {
    TStringGrid grid;
    configure(grid);
    ASSERT_TRUE(showActive(grid));
    ASSERT_TRUE(focusOn(grid));
    QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 1, 1));
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::ShiftModifier, centreOf(grid, 3, 2));
    EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 3, 2}));
    QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 3, 3}));
    QTest::keyClick(&grid, Qt::Key_Left);
    EXPECT_EQ(grid.Selection(), (TGridRect{2, 3, 2, 3}));

    grid.SetOptions(grid.Options() & ~TGridOptions(goRangeSelect));
    QTest::mouseClick(&grid, Qt::LeftButton, Qt::ShiftModifier, centreOf(grid, 1, 1));
    EXPECT_EQ(grid.Selection(), (TGridRect{2, 3, 2, 3}));
    grid.SetSelection(TGridRect{3, 3, 1, 1});
    EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 1, 1}));

    // A whole row is one selection.
    grid.SetOptions(grid.Options() | goRowSelect);
    EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 3, 1}));
}

TEST(StringGrid, LoadingChecksTheFixedCountsOnlyWhenItEnds) {
    TStringGrid grid;
    grid.BeginLoading();
    grid.SetColCount(2);
    grid.SetFixedCols(3); // the column count that allows it follows
    grid.SetColCount(6);
    grid.SetFixedRows(9); // never allowed: 5 rows
    grid.EndLoading();
    EXPECT_EQ(grid.FixedCols(), 3);
    EXPECT_EQ(grid.FixedRows(), 4);
    EXPECT_EQ(grid.Col(), 3);
    EXPECT_EQ(grid.Row(), 4);
    EXPECT_FALSE(grid.Loading());
    grid.EndLoading(); // unbalanced: ignored
    EXPECT_FALSE(grid.Loading());
}

TEST(StringGrid, MirrorsCellsAndClicksWhenLaidOutRightToLeft) {
    TStringGrid grid;
    configure(grid);
    grid.setLayoutDirection(Qt::RightToLeft);
    ASSERT_TRUE(showActive(grid));
    // Column 0 hugs the right edge: client width 296, border 2.
    const QRect first = grid.CellRect(0, 0);
    EXPECT_EQ(first.left() + first.width(), 2 + 296);
    EXPECT_EQ(grid.CellRect(1, 0).left() + 40 + 1, first.left());
    QTest::mouseClick(&grid, Qt::LeftButton, {}, grid.CellRect(3, 2).center());
    EXPECT_EQ(grid.Col(), 3);
    EXPECT_EQ(grid.Row(), 2);
    const QImage image = render(grid);
    // The fixed column is drawn where it now lies.
    EXPECT_EQ(pixelAt(image, first.center().x(), first.center().y()), rgb(clBtnFace));
}

TEST(StringGrid, HeadersSizeAndMoveColumnsAndRowsOnlyWithTheirOptions) {
    TStringGrid grid;
    configure(grid);
    for (int col = 0; col < 4; ++col) {
        grid.SetCells(col, 0, QString::number(col));
        grid.SetCells(col, 2, QStringLiteral("r2c%1").arg(col));
    }
    ASSERT_TRUE(showActive(grid));
    // The line after column 1 inside the fixed row.
    const QRect header = grid.CellRect(1, 0);
    const QPoint line(header.left() + header.width(), header.center().y());
    auto dragLine = [&](QPoint from, QPoint to) {
        QTest::mousePress(&grid, Qt::LeftButton, {}, from);
        QTest::mouseMove(&grid, to);
        QTest::mouseRelease(&grid, Qt::LeftButton, {}, to);
    };
    dragLine(line, line + QPoint(25, 0));
    EXPECT_EQ(grid.ColWidths(1), 40);
    grid.SetOptions(grid.Options() | goColSizing | goRowSizing);
    dragLine(line, line + QPoint(25, 0));
    EXPECT_EQ(grid.ColWidths(1), 65);
    // Sized rows through the fixed column; never below zero.
    const QRect rowHeader = grid.CellRect(0, 2);
    const QPoint rowLine(rowHeader.center().x(), rowHeader.top() + rowHeader.height());
    dragLine(rowLine, rowLine - QPoint(0, 200));
    EXPECT_EQ(grid.RowHeights(2), 0);

    // Dragging the header of column 1 onto column 3 moves it with its texts.
    const QPoint firstHeader = grid.CellRect(1, 0).center();
    const QPoint thirdHeader = grid.CellRect(3, 0).center();
    dragLine(firstHeader, thirdHeader);
    EXPECT_EQ(grid.Cells(3, 0), QStringLiteral("3"));
    grid.SetOptions(grid.Options() | goColMoving);
    dragLine(firstHeader, thirdHeader);
    EXPECT_EQ(grid.Cells(1, 0), QStringLiteral("2"));
    EXPECT_EQ(grid.Cells(3, 0), QStringLiteral("1"));
    EXPECT_EQ(grid.Cells(3, 2), QStringLiteral("r2c1"));
    EXPECT_EQ(grid.ColWidths(3), 65);
    EXPECT_EQ(grid.ColWidths(1), 40);

    grid.MoveRow(2, 1);
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("r2c2"));
    EXPECT_EQ(grid.RowHeights(1), 0);
    grid.MoveRow(1, 3);
    EXPECT_EQ(grid.Cells(1, 3), QStringLiteral("r2c2"));
    EXPECT_EQ(grid.Cells(0, 0), QStringLiteral("0"));
    grid.MoveColumn(0, 9); // refused
    grid.MoveRow(-1, 0);   // refused
    EXPECT_EQ(grid.Cells(0, 0), QStringLiteral("0"));
}

TEST(StringGrid, HugeSizesNeitherOverflowNorLoseTheCells) {
    // Summing such sizes overflowed int; the undefined-behaviour sanitizer
    // reports it, and any build may lay the cells out at wrapped positions.
    TStringGrid grid;
    configure(grid);
    grid.SetCells(2, 2, QStringLiteral("kept"));
    grid.SetColWidths(0, INT_MAX);
    grid.SetRowHeights(0, INT_MAX - 1);
    grid.SetGridLineWidth(INT_MAX);
    const QImage image = render(grid);
    EXPECT_EQ(image.size(), QSize(300, 200));
    int col = -1;
    int row = -1;
    EXPECT_TRUE(grid.MouseToCell(10, 10, col, row));
    EXPECT_EQ(col, 0);
    EXPECT_EQ(row, 0);
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.Col(), 3);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Cells(2, 2), QStringLiteral("kept"));
}
