#pragma once
// The trend of the output (lime) and the feedback (red) against time, in the
// read-outs' scale. The view keeps the newest sample at its right edge while
// it follows; dragging moves it back in time, the wheel zooms around the
// pointer, End (or dragging back to the newest) follows again. The time and
// values under the pointer are shown at the top. Drawn on an off-screen
// canvas like the instrument widgets, from the history's columns: one a
// pixel, each with the range of both values in its time.

#include "trend/TrendHistory.h"

#include <QWidget>
#include <chrono>
#include <optional>

class ValueAxis;

class TrendPlot : public QWidget {
    Q_OBJECT
public:
    using Microseconds = TrendHistory::Microseconds;

    static constexpr Microseconds ShortestSpan = std::chrono::milliseconds{200};
    static constexpr Microseconds LongestSpan = TrendHistory::HistorySpan;
    static constexpr Microseconds DefaultSpan = std::chrono::seconds{60};
    /// Readings further apart than this are not joined: polling paused.
    static constexpr Microseconds JoinLimit = std::chrono::seconds{2};
    /// One notch of the wheel zooms by this factor.
    static constexpr double ZoomStep = 1.25;

    explicit TrendPlot(const TrendHistory& history, QWidget* parent = nullptr);

    /// The time shown, since the history's origin: Start() to End().
    Microseconds Span() const { return m_span; }
    Microseconds End() const { return m_end; }
    Microseconds Start() const { return m_end - m_span; }
    bool Following() const { return m_following; }
    /// Shows the span ending at end, held within the history; follows the
    /// newest sample when end reaches it.
    void SetView(Microseconds end, Microseconds span);
    void Follow();
    /// New samples came: a following view moves with them. Repaints.
    void Refresh();

    QRect PlotRect() const;
    Microseconds TimeAt(int x) const;
    int XOf(Microseconds time) const;
    /// The time and values under the pointer as shown; empty when none.
    QString PointerText() const;

    QSize sizeHint() const override { return {720, 360}; }

signals:
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    ValueAxis valueAxis(const std::vector<TrendHistory::Column>& columns) const;
    void drawTimeGrid(QPainter& painter) const;
    void drawLegend(QPainter& painter) const;
    void zoom(double factor, int aroundX);

    const TrendHistory& m_history;
    Microseconds m_end{0};
    Microseconds m_span = DefaultSpan;
    bool m_following = true;
    std::optional<QPoint> m_pointer;
    std::optional<int> m_dragFromX;
    Microseconds m_dragFromEnd{0};
};
