#include "ui/trend/XyPlot.h"

#include "platform/drawing/Canvas.h"
#include "platform/drawing/DrawText.h"
#include "ui/trend/PlotAxis.h"

#include <QMouseEvent>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace {

constexpr int LeftMargin = 56;
constexpr int TopMargin = 20;
constexpr int RightMargin = 8;
constexpr int BottomMargin = 36;
constexpr int MinimumGridGap = 40;

} // namespace

XyPlot::XyPlot(const TrendHistory& history, QWidget* parent) : QWidget(parent), m_history(history) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 240);
}

void XyPlot::SetRange(Microseconds from, Microseconds to) {
    m_from = from;
    m_to = to;
    update();
}

void XyPlot::SetTolerance(double percent) {
    if (percent != m_tolerance) {
        m_tolerance = percent;
        update();
    }
}

void XyPlot::SetPoints(const std::vector<LinearityPoint>& points) {
    m_points = points;
    update();
}

QRect XyPlot::PlotRect() const {
    const int side = std::max(
        0, std::min(width() - LeftMargin - RightMargin, height() - TopMargin - BottomMargin));
    return QRect(LeftMargin, TopMargin, side, side);
}

ValueAxis XyPlot::horizontal() const {
    const QRect plot = PlotRect();
    return ValueAxis(0.0, AxisEnd, plot.left(), plot.right());
}

ValueAxis XyPlot::vertical() const {
    const QRect plot = PlotRect();
    return ValueAxis(0.0, AxisEnd, plot.bottom(), plot.top());
}

QPoint XyPlot::PixelOf(double output, double feedback) const {
    return QPoint(horizontal().PixelOf(output), vertical().PixelOf(feedback));
}

bool XyPlot::WithinTolerance(double output, double feedback) const {
    return ::WithinTolerance(output, feedback, m_tolerance);
}

QString XyPlot::PointerText() const {
    if (!m_pointer || !PlotRect().contains(*m_pointer)) {
        return {};
    }
    const std::uint16_t mode = m_history.DisplayMode();
    return tr("输出 %1  反馈 %2")
        .arg(ReadoutText(horizontal().ValueAt(m_pointer->x()), mode),
             ReadoutText(vertical().ValueAt(m_pointer->y()), mode));
}

void XyPlot::paintEvent(QPaintEvent*) {
    // Drawn at the screen's resolution, in the format of the window.
    QPainter target(this);
    Canvas canvas;
    QPainter& painter = canvas.begin(size(), targetFormat(target));
    painter.setFont(font());
    painter.fillRect(rect(), PlotColors::Background);
    const QRect plot = PlotRect();
    painter.save();
    painter.setClipRect(plot);
    drawBand(painter);
    painter.restore();
    DrawValueGrid(painter, plot, vertical(), m_history.DisplayMode());
    drawOutputGrid(painter);

    painter.save();
    painter.setClipRect(plot);
    painter.setPen(PlotColors::Ideal);
    painter.drawLine(PixelOf(0, 0), PixelOf(OutputFullScale, OutputFullScale));
    drawSamples(painter);
    drawPoints(painter);
    painter.restore();

    const int textHeight = painter.fontMetrics().height();
    painter.setPen(PlotColors::Text);
    DrawTextInRect(painter, tr("反馈 / 输出，允许偏差 ±%1%").arg(PercentText(m_tolerance)),
                   QRect(LeftMargin, (TopMargin - textHeight) / 2, plot.width(), textHeight),
                   TextFormat::SingleLine | TextFormat::NoPrefix);
    DrawTextInRect(painter, PointerText(),
                   QRect(LeftMargin, plot.bottom() + 2 + textHeight, plot.width(), textHeight),
                   TextFormat::Right | TextFormat::SingleLine | TextFormat::NoPrefix);
    canvas.copyTo(target);
}

void XyPlot::drawBand(QPainter& painter) const {
    const double half = m_tolerance * OutputFullScale / 100.0;
    const QPolygon band({PixelOf(0, -half), PixelOf(AxisEnd, AxisEnd - half),
                         PixelOf(AxisEnd, AxisEnd + half), PixelOf(0, half)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(PlotColors::Band);
    painter.drawPolygon(band);
    painter.setBrush(Qt::NoBrush);
}

void XyPlot::drawOutputGrid(QPainter& painter) const {
    const QRect plot = PlotRect();
    const ValueAxis axis = horizontal();
    const int textHeight = painter.fontMetrics().height();
    for (const double value : axis.Ticks(MinimumGridGap)) {
        const int x = axis.PixelOf(value);
        painter.setPen(PlotColors::Grid);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(PlotColors::Text);
        DrawTextInRect(painter, ReadoutText(value, m_history.DisplayMode()),
                       QRect(x - MinimumGridGap, plot.bottom() + 2, 2 * MinimumGridGap, textHeight),
                       TextFormat::Center | TextFormat::SingleLine | TextFormat::NoPrefix);
    }
}

void XyPlot::drawSamples(QPainter& painter) const {
    // Many samples land on the same pixel; each pixel is drawn once.
    const QRect plot = PlotRect();
    std::vector<bool> taken(static_cast<std::size_t>(plot.width()) * plot.height());
    QPolygon inside;
    QPolygon outside;
    m_history.VisitSamples(m_from, m_to, [&](const TrendHistory::Sample& sample) {
        const QPoint pixel = PixelOf(sample.output, sample.feedback);
        if (!plot.contains(pixel)) {
            return;
        }
        const auto index = static_cast<std::size_t>(pixel.y() - plot.top()) * plot.width() +
                           static_cast<std::size_t>(pixel.x() - plot.left());
        if (taken[index]) {
            return;
        }
        taken[index] = true;
        (WithinTolerance(sample.output, sample.feedback) ? inside : outside).append(pixel);
    });
    painter.setPen(PlotColors::Feedback);
    painter.drawPoints(inside);
    painter.setPen(PlotColors::Stray);
    painter.drawPoints(outside);
}

void XyPlot::drawPoints(QPainter& painter) const {
    for (const LinearityPoint& point : m_points) {
        const QPoint centre = PixelOf(point.output, point.feedback);
        const QRect square(centre.x() - PointSize / 2, centre.y() - PointSize / 2, PointSize,
                           PointSize);
        painter.fillRect(square, WithinTolerance(point.output, point.feedback) ? PlotColors::Point
                                                                               : PlotColors::Stray);
    }
}

void XyPlot::mouseMoveEvent(QMouseEvent* event) {
    m_pointer = event->position().toPoint();
    update();
}

void XyPlot::leaveEvent(QEvent* event) {
    m_pointer.reset();
    update();
    QWidget::leaveEvent(event);
}
