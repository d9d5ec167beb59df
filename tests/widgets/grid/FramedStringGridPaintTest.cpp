#include "platform/drawing/FramePacer.h"
#include "platform/system/ApplicationErrors.h"
#include "tests/support/ScreenPixels.h"
#include "tests/widgets/grid/GridTestSupport.h"
#include "widgets/grid/FramedStringGrid.h"

#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace gridtest;

namespace {

// The button face made darker by 50 of 240 lightness units, computed on the
// continuous HSL model rather than by the grid's own conversion.
QColor expectedDarker(TColor color) {
    const QColor source = toQColor(color);
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    source.getHslF(&hue, &saturation, &lightness);
    return QColor::fromHslF(hue, saturation, std::max(0.0f, lightness - 50.0f / 240.0f));
}

void expectNear(TColor actual, const QColor& expected) {
    EXPECT_NEAR(redOf(actual), expected.red(), 3);
    EXPECT_NEAR(greenOf(actual), expected.green(), 3);
    EXPECT_NEAR(blueOf(actual), expected.blue(), 3);
}

// The widget-coordinate pixel in the middle of the line right of a column,
// within a row.
QPoint verticalLineBeside(const TStringGrid& grid, int col, int row) {
    const QRect cell = grid.CellRect(col, row);
    return QPoint(cell.left() + cell.width(), cell.center().y());
}

QPoint horizontalLineBelow(const TStringGrid& grid, int col, int row) {
    const QRect cell = grid.CellRect(col, row);
    return QPoint(cell.center().x(), cell.top() + cell.height());
}

} // namespace

TEST(FramedStringGridPaint, DrawsScrollableLinesInTheLineColourOrDarkerOnAnEqualBackground) {
    TFramedStringGrid grid;
    grid.SetColCount(3);
    grid.SetRowCount(3);
    const QPoint vertical = verticalLineBeside(grid, 1, 2);
    const QPoint horizontal = horizontalLineBelow(grid, 2, 1);
    const QPoint fixedVertical = verticalLineBeside(grid, 0, 0);
    const QPoint fixedHorizontal = horizontalLineBelow(grid, 0, 0);

    QImage image = render(grid);
    EXPECT_EQ(pixelAt(image, vertical.x(), vertical.y()), rgb(clBtnFace));
    EXPECT_EQ(pixelAt(image, horizontal.x(), horizontal.y()), rgb(clBtnFace));
    EXPECT_EQ(pixelAt(image, fixedVertical.x(), fixedVertical.y()), rgb(clBtnShadow));
    EXPECT_EQ(pixelAt(image, fixedHorizontal.x(), fixedHorizontal.y()), rgb(clBtnShadow));
    const QPoint cell = grid.CellRect(2, 2).center();
    EXPECT_EQ(pixelAt(image, cell.x(), cell.y()), rgb(clWindow));

    grid.SetColor(clBtnFace);
    image = render(grid);
    const QColor darker = expectedDarker(clBtnFace);
    expectNear(pixelAt(image, vertical.x(), vertical.y()), darker);
    expectNear(pixelAt(image, horizontal.x(), horizontal.y()), darker);
    EXPECT_NE(pixelAt(image, vertical.x(), vertical.y()), rgb(clBtnFace));
    EXPECT_EQ(pixelAt(image, cell.x(), cell.y()), rgb(clBtnFace));
    // The fixed lines keep their own colour.
    EXPECT_EQ(pixelAt(image, fixedVertical.x(), fixedVertical.y()), rgb(clBtnShadow));

    // The rule compares resolved colours, not the way they are written.
    grid.SetColor(rgbColor(212, 208, 200));
    image = render(grid);
    expectNear(pixelAt(image, vertical.x(), vertical.y()), darker);
}

TEST(FramedStringGridPaint, SwitchedOffLinesTakeTheBackgroundAndLinesOfAWidthFillIt) {
    TFramedStringGrid grid;
    grid.SetColCount(3);
    grid.SetRowCount(3);
    grid.SetGridLineWidth(3);
    grid.SetLineColor(clRed);
    grid.SetOptions(TGridOptions(goFixedVertLine | goFixedHorzLine | goHorzLine));
    const QRect cell = grid.CellRect(1, 1);
    QImage image = render(grid);
    // Vertical lines are still laid out (goFixedVertLine) but drawn in Color,
    // horizontal ones in the line colour over them, all three pixels wide.
    for (int offset = 0; offset < 3; ++offset) {
        EXPECT_EQ(pixelAt(image, cell.left() + cell.width() + offset, cell.center().y()),
                  rgb(clWindow));
        EXPECT_EQ(pixelAt(image, cell.center().x(), cell.top() + cell.height() + offset),
                  rgb(clRed));
        EXPECT_EQ(pixelAt(image, cell.left() + cell.width() + offset,
                          cell.top() + cell.height() + offset),
                  rgb(clRed));
    }
    EXPECT_EQ(pixelAt(image, cell.left() + cell.width() + 3, cell.center().y()), rgb(clWindow));
    EXPECT_EQ(grid.CellRect(2, 1).left(), cell.left() + cell.width() + 3);
}

TEST(FramedStringGridPaint, ShowsTheCurrentCellHighlightedAndAddsTheFocusRectangleWithFocus) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* grid = new TFramedStringGrid;
    auto* other = new QLineEdit;
    layout->addWidget(grid);
    layout->addWidget(other);
    grid->setFixedSize(200, 80);
    grid->SetColCount(3);
    grid->SetRowCount(3);
    grid->SetFixedCols(0);
    grid->SetFixedRows(0);
    grid->SetOptions(grid->Options() | goDrawFocusSelected);
    ASSERT_TRUE(grid->SetCurrentCell(1, 1));
    ASSERT_TRUE(showActive(window));
    ASSERT_TRUE(focusOn(*other));

    const QRect cell = grid->CellRect(1, 1);
    const TColor highlight = rgb(clHighlight);
    const TColor inverted = highlight ^ 0xFFFFFFu;
    QImage image = render(*grid);
    EXPECT_EQ(pixelAt(image, cell.center().x(), cell.center().y()), highlight);
    EXPECT_EQ(pixelAt(image, cell.left(), cell.top()), highlight);
    // Without fixed cells every other cell is a plain scrollable cell.
    const QPoint plain = grid->CellRect(0, 0).center();
    EXPECT_EQ(pixelAt(image, plain.x(), plain.y()), rgb(clWindow));

    ASSERT_TRUE(focusOn(*grid));
    image = render(*grid);
    EXPECT_EQ(pixelAt(image, cell.center().x(), cell.center().y()), highlight);
    // The dotted rectangle: every other pixel of the outline inverted.
    EXPECT_EQ(pixelAt(image, cell.left(), cell.top()), inverted);
    EXPECT_EQ(pixelAt(image, cell.left() + 1, cell.top()), highlight);
    EXPECT_EQ(pixelAt(image, cell.left() + 2, cell.top()), inverted);
    EXPECT_EQ(pixelAt(image, cell.left(), cell.top() + 2), inverted);

    // Without the option a focused current cell keeps the cell colour.
    grid->SetOptions(grid->Options() & ~TGridOptions(goDrawFocusSelected));
    image = render(*grid);
    EXPECT_EQ(pixelAt(image, cell.center().x(), cell.center().y()), rgb(clWindow));
    EXPECT_EQ(pixelAt(image, cell.left(), cell.top()), rgb(clWindow) ^ 0xFFFFFFu);
    ASSERT_TRUE(focusOn(*other));
    image = render(*grid);
    EXPECT_EQ(pixelAt(image, cell.center().x(), cell.center().y()), highlight);
}

TEST(FramedStringGridPaint, OnDrawCellDrawsOverTheDefaultFillAndText) {
    TFramedStringGrid grid;
    grid.SetColCount(3);
    grid.SetRowCount(3);
    grid.SetDefaultColWidth(80);
    grid.resize(260, 80);
    grid.SetCells(2, 2, QStringLiteral("MMMMMMMMMMMM"));
    grid.SetCells(1, 1, QStringLiteral("MMMMMMMMMMMM"));
    QRect handlerRect;
    TColor selectedBrush = 0;
    TColor selectedPen = 0;
    grid.OnDrawCell = [&](QObject* sender, int col, int row, const QRect& rect,
                          TGridDrawState state) {
        ASSERT_EQ(sender, &grid);
        QPainter* canvas = grid.Canvas();
        ASSERT_NE(canvas, nullptr);
        if (col == 1 && row == 1) {
            EXPECT_EQ(state, TGridDrawState(gdSelected));
            selectedBrush = fromQColor(canvas->brush().color());
            selectedPen = fromQColor(canvas->pen().color());
        }
        if (col == 0 || row == 0) {
            EXPECT_TRUE(state & gdFixed);
        }
        if (col == 2 && row == 2) {
            handlerRect = rect;
            canvas->fillRect(QRect(rect.left(), rect.top(), rect.width() / 2, rect.height()),
                             Qt::red);
        }
    };
    const QImage image = render(grid);
    EXPECT_EQ(grid.Canvas(), nullptr);
    EXPECT_EQ(selectedBrush, rgb(clHighlight));
    EXPECT_EQ(selectedPen, rgb(clHighlightText));
    // The handler gets the cell in the coordinates of the canvas (the client area).
    const QRect cell = grid.CellRect(2, 2);
    EXPECT_EQ(handlerRect, cell.translated(-grid.ClientRect().topLeft()));

    int red = 0;
    int text = 0;
    for (int y = cell.top(); y < cell.top() + cell.height(); ++y) {
        for (int x = cell.left(); x < cell.left() + cell.width(); ++x) {
            const TColor pixel = pixelAt(image, x, y);
            if (x < cell.left() + cell.width() / 2) {
                red += pixel == rgb(clRed) ? 1 : 0;
            } else {
                text += pixel == rgb(clWindowText) ? 1 : 0;
            }
        }
    }
    // The left half is entirely the handler's, the right half still shows the
    // default text drawn before it.
    EXPECT_EQ(red, (cell.width() / 2) * cell.height());
    EXPECT_GT(text, 10);
}

TEST(FramedStringGridPaint, MainWindowTableDrawsItsCellsAtTheirPixels) {
    TFramedStringGrid grid;
    grid.BeginLoading();
    grid.move(32, 112);
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
    QRect drawn;
    grid.OnDrawCell = [&](QObject*, int col, int row, const QRect& rect, TGridDrawState) {
        if (col == 2 && row == 4) {
            drawn = rect;
        }
    };

    EXPECT_EQ(grid.ClientRect(), QRect(1, 1, 775, 391));
    EXPECT_EQ(grid.CellRect(0, 0), QRect(1, 1, 30, 33));
    EXPECT_EQ(grid.CellRect(2, 4), QRect(213, 137, 180, 33));
    EXPECT_EQ(grid.CellRect(4, 10), QRect(575, 341, 180, 33));
    const QImage image = render(grid);
    EXPECT_EQ(drawn, QRect(212, 136, 180, 33));

    // The flat single border.
    for (const QPoint point : {QPoint(0, 0), QPoint(776, 392), QPoint(0, 200), QPoint(400, 392)}) {
        EXPECT_EQ(pixelAt(image, point.x(), point.y()), rgb(clWindowFrame));
    }
    // Lines in the button face after every column and row.
    for (const int x : {31, 212, 393, 574, 755}) {
        EXPECT_EQ(pixelAt(image, x, 20), rgb(clBtnFace)) << x;
    }
    for (int row = 0; row < 11; ++row) {
        EXPECT_EQ(pixelAt(image, 100, 34 + 34 * row), rgb(clBtnFace)) << row;
    }
    // The current cell starts top-left, highlighted without focus; the rest is the window colour.
    EXPECT_EQ(grid.Col(), 0);
    EXPECT_EQ(grid.Row(), 0);
    EXPECT_EQ(pixelAt(image, 16, 17), rgb(clHighlight));
    EXPECT_EQ(pixelAt(image, 300, 150), rgb(clWindow));
    EXPECT_EQ(pixelAt(image, 32, 1), rgb(clWindow));
    EXPECT_EQ(pixelAt(image, 765, 100), rgb(clWindow));
    EXPECT_EQ(pixelAt(image, 400, 385), rgb(clWindow));
    EXPECT_EQ(pixelAt(image, 756, 375), rgb(clWindow));
}

TEST(FramedStringGridPaint, AFailingCellHandlerIsReportedOnceAndThePaintCompletes) {
    std::vector<std::string> reports;
    const ApplicationErrorHandler previous =
        SetApplicationErrorHandler([&](const std::string& message) { reports.push_back(message); });
    TFramedStringGrid grid;
    bool failing = true;
    grid.OnDrawCell = [&](QObject*, int col, int row, const QRect&, TGridDrawState) {
        if (failing && col == 1 && row == 1) {
            throw std::runtime_error("broken handler");
        }
    };
    render(grid);
    const QImage image = render(grid);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.front(), "broken handler");
    // The cells after the failing one are drawn all the same.
    const QPoint last = grid.CellRect(4, 4).center();
    EXPECT_EQ(pixelAt(image, last.x(), last.y()), rgb(clWindow));
    // Once it draws again, a new failure is news.
    failing = false;
    render(grid);
    failing = true;
    render(grid);
    EXPECT_EQ(reports.size(), 2u);

    grid.OnDblClick = [](QObject*) { throw std::runtime_error("no dialog"); };
    QTest::mouseDClick(&grid, Qt::LeftButton, {}, last);
    EXPECT_EQ(reports.back(), "no dialog");
    SetApplicationErrorHandler(previous);
}

namespace {

// Records the area of every paint event the watched widget gets.
class PaintAreas : public QObject {
public:
    explicit PaintAreas(QWidget& widget) { widget.installEventFilter(this); }
    QRegion areas;
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            areas += static_cast<QPaintEvent*>(event)->region();
            ++count;
        }
        return false;
    }
};

void waitOutFrames(QWidget& widget) {
    FramePacer& pacer = FramePacer::of(widget);
    QTRY_VERIFY_WITH_TIMEOUT(!pacer.waiting(), 2000);
    QTest::qWait(3 * static_cast<int>(pacer.interval().count() / 1000) + 1);
}

} // namespace

TEST(FramedStringGridPaint, AChangedCellRepaintsItselfOnlyAndTheScreenMatchesAWholePaint) {
    QWidget form;
    form.resize(420, 200);
    TFramedStringGrid grid(&form);
    grid.setGeometry(10, 10, 400, 180);
    grid.SetColCount(3);
    grid.SetRowCount(4);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col) {
            grid.SetCells(col, row, QStringLiteral("%1-%2").arg(col).arg(row));
        }
    }
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    waitOutFrames(grid);
    PaintAreas paints(grid);
    const QImage before = screenOf(grid);

    grid.SetCells(1, 2, QStringLiteral("1-2"));
    waitOutFrames(grid);
    EXPECT_EQ(paints.count, 0) << "an unchanged cell is not repainted";

    grid.SetCells(1, 2, QStringLiteral("4711"));
    grid.SetCells(2, 3, QStringLiteral("0815"));
    QTRY_VERIFY_WITH_TIMEOUT(paints.count > 0, 2000);
    waitOutFrames(grid);
    EXPECT_EQ(paints.areas, QRegion(grid.CellRect(1, 2)) + QRegion(grid.CellRect(2, 3)));

    // The screen, painted in parts on the kept face, shows the new texts and
    // equals a whole paint.
    const QImage after = screenOf(grid);
    const QRect changed = grid.CellRect(1, 2);
    EXPECT_NE(after.copy(changed), before.copy(changed));
    EXPECT_EQ(after.copy(grid.CellRect(1, 1)), before.copy(grid.CellRect(1, 1)));
    EXPECT_EQ(after, render(grid).convertToFormat(QImage::Format_RGB32));
}
