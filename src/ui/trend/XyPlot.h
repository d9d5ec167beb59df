#pragma once
// The feedback against the output: the ideal line (feedback equals output),
// the band the tolerance allows either side of it, the samples of the time
// the trend shows (red inside the band, yellow outside) and the points of a
// linearity test (white inside, yellow outside). Both axes run from 0 to a
// little past the full scale, in the read-outs' scale, so a module that
// drifts shows where at a glance.

#include "trend/LinearityResult.h"
#include "trend/TrendHistory.h"

#include <QWidget>
#include <optional>
#include <vector>

class ValueAxis;

class XyPlot : public QWidget {
    Q_OBJECT
public:
    using Microseconds = TrendHistory::Microseconds;

    /// Both axes end here, in counts: room for a feedback above the full scale.
    static constexpr double AxisEnd = 2310.0;
    /// Side of a linearity point's square, in pixels.
    static constexpr int PointSize = 5;

    explicit XyPlot(const TrendHistory& history, QWidget* parent = nullptr);

    /// The samples from `from` to `to` are plotted.
    void SetRange(Microseconds from, Microseconds to);
    void SetTolerance(double percent);
    void SetPoints(const std::vector<LinearityPoint>& points);

    /// The square the values are plotted in.
    QRect PlotRect() const;
    /// Where an output and a feedback value (in counts) are plotted.
    QPoint PixelOf(double output, double feedback) const;
    /// Whether a feedback lies within the tolerance of its output.
    bool WithinTolerance(double output, double feedback) const;
    /// The output and feedback under the pointer; empty when it is outside.
    QString PointerText() const;

    QSize sizeHint() const override { return {420, 420}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    ValueAxis horizontal() const;
    ValueAxis vertical() const;
    void drawBand(QPainter& painter) const;
    void drawOutputGrid(QPainter& painter) const;
    void drawSamples(QPainter& painter) const;
    void drawPoints(QPainter& painter) const;

    const TrendHistory& m_history;
    Microseconds m_from{0};
    Microseconds m_to{0};
    double m_tolerance = 0.5;
    std::vector<LinearityPoint> m_points;
    std::optional<QPoint> m_pointer;
};
