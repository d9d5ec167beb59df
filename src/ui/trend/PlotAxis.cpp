#include "ui/trend/PlotAxis.h"

#include "platform/drawing/DrawText.h"
#include "poll/ReadoutSample.h"

#include <cmath>

namespace {

// Between a value label and the plot's left edge.
constexpr int LabelGap = 4;
constexpr int MinimumGridGap = 28;

} // namespace

QString ReadoutText(double counts, std::uint16_t displayMode) {
    return QString::number(counts / ReadoutDivisor(displayMode), 'f',
                           ReadoutPrecision(displayMode));
}

double NiceStep(double least) {
    if (!(least > 0.0)) {
        return 1.0;
    }
    const double power = std::pow(10.0, std::floor(std::log10(least)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= least * (1.0 - 1e-9)) {
            return factor * power;
        }
    }
    return 10.0 * power;
}

ValueAxis::ValueAxis(double low, double high, int fromPixel, int toPixel)
    : m_low(low), m_high(high > low ? high : low + 1.0), m_from(fromPixel), m_to(toPixel) {}

int ValueAxis::PixelOf(double counts) const {
    const double share = (counts - m_low) / (m_high - m_low);
    return static_cast<int>(std::lround(m_from + share * (m_to - m_from)));
}

double ValueAxis::ValueAt(double pixel) const {
    if (m_to == m_from) {
        return m_low;
    }
    return m_low + (pixel - m_from) * (m_high - m_low) / (m_to - m_from);
}

std::vector<double> ValueAxis::Ticks(int gap) const {
    std::vector<double> ticks;
    const int pixels = std::abs(m_to - m_from);
    if (pixels == 0) {
        return ticks;
    }
    const double step = std::max(1.0, NiceStep((m_high - m_low) * gap / pixels));
    for (double value = std::ceil(m_low / step) * step; value <= m_high + 1e-9; value += step) {
        ticks.push_back(value);
    }
    return ticks;
}

void DrawValueGrid(QPainter& painter, const QRect& plot, const ValueAxis& vertical,
                   std::uint16_t displayMode) {
    painter.setPen(PlotColors::Text);
    const int textHeight = painter.fontMetrics().height();
    for (const double value : vertical.Ticks(MinimumGridGap)) {
        const int y = vertical.PixelOf(value);
        painter.setPen(PlotColors::Grid);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(PlotColors::Text);
        const QRect label(0, y - textHeight / 2, plot.left() - LabelGap, textHeight);
        DrawTextInRect(painter, ReadoutText(value, displayMode), label,
                       TextFormat::Right | TextFormat::SingleLine | TextFormat::NoPrefix);
    }
    painter.setPen(PlotColors::Grid);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
}
