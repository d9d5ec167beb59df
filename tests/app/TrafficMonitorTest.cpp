// The traffic monitor on its own: lines shown in batches, the oldest giving
// way at the limit, a reader scrolled up left in peace.

#include "app/TrafficMonitor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

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

} // namespace
