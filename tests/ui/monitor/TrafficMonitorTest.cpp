// The traffic monitor on its own: lines shown in batches, the oldest giving
// way at the limit, a reader scrolled up left in peace, the scroll bars and
// the view repainted only where they look different.

#include "ui/monitor/TrafficMonitor.h"
#include "tests/support/ScreenPixels.h"
#include "ui/monitor/MonitorScrollBar.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>
#include <utility>

namespace {

QString numbered(int index) {
    return QStringLiteral("Rx-00:000> line %1").arg(index);
}

// The line at the top of the view.
QString topLine(const TrafficMonitor& monitor) {
    return monitor.cursorForPosition(QPoint(2, 2)).block().text();
}

void fill(TrafficMonitor& monitor, int from, int to) {
    for (int index = from; index < to; ++index) {
        monitor.AppendLine(numbered(index));
        if (index % 1000 == 999) {
            monitor.Flush();
        }
    }
    monitor.Flush();
}

TEST(TrafficMonitor, LinesShowInBatchesAndTheOldestGiveWayAtTheLimit) {
    TrafficMonitor monitor;
    monitor.resize(793, 217);
    monitor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&monitor));

    monitor.AppendLine(numbered(0));
    monitor.AppendLine(numbered(1));
    // Waiting lines are part of the text at once and show within the interval.
    EXPECT_EQ(monitor.blockCount(), 1);
    EXPECT_EQ(monitor.toPlainText(), numbered(0) + '\n' + numbered(1));
    QElapsedTimer clock;
    clock.start();
    while (monitor.PendingLines() > 0 && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(monitor.PendingLines(), 0);
    EXPECT_EQ(monitor.blockCount(), 2);
    EXPECT_EQ(monitor.document()->lastBlock().text(), numbered(1));

    fill(monitor, 2, TrafficMonitor::LineLimit + 500);
    EXPECT_EQ(monitor.blockCount(), TrafficMonitor::LineLimit);
    EXPECT_EQ(monitor.document()->firstBlock().text(), numbered(500));
    EXPECT_EQ(monitor.document()->lastBlock().text(), numbered(TrafficMonitor::LineLimit + 499));
    // The view followed the newest line.
    QScrollBar* bar = monitor.verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    // Nothing to undo: the lines are not kept twice.
    EXPECT_FALSE(monitor.document()->isUndoAvailable());

    monitor.ClearLines();
    monitor.AppendLine(numbered(7));
    monitor.ClearLines();
    EXPECT_TRUE(monitor.toPlainText().isEmpty());
}

TEST(TrafficMonitor, AReaderScrolledUpKeepsTheSameLinesInViewWhileTheOldestGiveWay) {
    TrafficMonitor monitor;
    monitor.resize(793, 217);
    monitor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&monitor));
    fill(monitor, 0, TrafficMonitor::LineLimit);
    monitor.verticalScrollBar()->setValue(40000);
    QCoreApplication::processEvents();
    const QString reading = topLine(monitor);
    ASSERT_EQ(reading, numbered(40000));

    fill(monitor, TrafficMonitor::LineLimit, TrafficMonitor::LineLimit + 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(topLine(monitor), reading);
    EXPECT_EQ(monitor.document()->firstBlock().text(), numbered(300));
}

// Laid out as the operator window has it.
bool showAsTheWindowHasIt(TrafficMonitor& monitor) {
    monitor.ShowScrollBarsAlways();
    monitor.setLineWrapMode(QPlainTextEdit::NoWrap);
    monitor.resize(793, 217);
    monitor.show();
    return QTest::qWaitForWindowExposed(&monitor);
}

TEST(TrafficMonitor, TheScrollBarsRepaintOnlyWhenTheyLookDifferentAndAlwaysShowTheirWholePaint) {
    TrafficMonitor monitor;
    ASSERT_TRUE(showAsTheWindowHasIt(monitor));
    auto* bar = qobject_cast<MonitorScrollBar*>(monitor.verticalScrollBar());
    auto* across = qobject_cast<MonitorScrollBar*>(monitor.horizontalScrollBar());
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(across, nullptr);
    fill(monitor, 0, 20);
    QCoreApplication::processEvents();
    const auto matchesWholePaint = [](MonitorScrollBar& shown) {
        return screenOf(shown) == shown.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };

    // Batches of a few lines of the same length: the handle shrinks while
    // the lines are few and then stays the same at the bottom; the bar across
    // never changes.
    constexpr int Batches = 40;
    int paints = 0;
    int acrossPaints = 0;
    int line = 20;
    for (int batch = 0; batch < Batches; ++batch) {
        fill(monitor, line, line + 5);
        line += 5;
        const int before = bar->PaintCount();
        const int acrossBefore = across->PaintCount();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        paints += bar->PaintCount() - before;
        acrossPaints += across->PaintCount() - acrossBefore;
        ASSERT_EQ(bar->value(), bar->maximum()) << "the view follows the newest line";
        ASSERT_TRUE(matchesWholePaint(*bar)) << "batch " << batch;
        ASSERT_TRUE(matchesWholePaint(*across)) << "batch " << batch;
    }
    EXPECT_GT(paints, 5) << "the handle shrank";
    EXPECT_LT(paints, Batches / 2);
    EXPECT_EQ(acrossPaints, 0);

    // A longer line changes the bar across; a reader scrolling up sees the
    // handle move.
    monitor.AppendLine(QString(300, QLatin1Char('x')));
    monitor.Flush();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_GT(across->PaintCount(), 0);
    EXPECT_TRUE(matchesWholePaint(*across));
    bar->setValue(bar->maximum() / 2);
    const int before = bar->PaintCount();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_GT(bar->PaintCount(), before);
    EXPECT_TRUE(matchesWholePaint(*bar));
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(matchesWholePaint(*bar));
}

// The area of the view's paints.
class PaintedArea : public QObject {
public:
    explicit PaintedArea(QWidget& view) { view.installEventFilter(this); }
    qint64 take() { return std::exchange(m_area, 0); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            for (const QRect& rect : static_cast<QPaintEvent*>(event)->region()) {
                m_area += qint64(rect.width()) * rect.height();
            }
        }
        return false;
    }

private:
    qint64 m_area = 0;
};

TEST(TrafficMonitor, ABatchRepaintsOnlyTheNewLinesAndTheViewShowsTheirWholePaint) {
    TrafficMonitor monitor;
    ASSERT_TRUE(showAsTheWindowHasIt(monitor));
    // The operator's text cursor at the end, where each batch moves it on.
    monitor.activateWindow();
    monitor.setFocus();
    monitor.moveCursor(QTextCursor::End);
    QWidget& view = *monitor.viewport();
    PaintedArea painted(view);
    const auto settle = [] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    };
    const auto matchesWholePaint = [&view] {
        return screenOf(view) == view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const qint64 whole = qint64(view.width()) * view.height();

    int line = 0;
    for (int batch = 0; batch < 30; ++batch) {
        if (batch == 15) {
            monitor.clearFocus(); // the text cursor no longer shows
        }
        fill(monitor, line, line + 3);
        line += 3;
        painted.take();
        settle();
        const qint64 area = painted.take();
        ASSERT_TRUE(matchesWholePaint()) << "batch " << batch;
        if (line > 20) {
            // The view is full: three new lines and the one before them.
            ASSERT_GT(area, 0) << "batch " << batch;
            ASSERT_LT(area, whole / 2) << "batch " << batch;
        }
    }
    // A line wider than the view, then a reader scrolled up: what is shown
    // is still what a whole paint gives.
    monitor.AppendLine(QString(300, QLatin1Char('x')));
    monitor.Flush();
    settle();
    EXPECT_TRUE(matchesWholePaint());
    EXPECT_GT(monitor.horizontalScrollBar()->maximum(), 0);
    monitor.verticalScrollBar()->setValue(5);
    settle();
    painted.take();
    fill(monitor, line, line + 3);
    settle();
    EXPECT_TRUE(matchesWholePaint());
    EXPECT_EQ(topLine(monitor), numbered(5));
}

} // namespace
