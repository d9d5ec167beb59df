#include "ui/monitor/HistogramBars.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr int MarkHeight = 18;
constexpr int SideMargin = 16;

} // namespace

QString ReadableDuration(std::chrono::microseconds time) {
    const auto micro = time.count();
    if (micro < 1000) {
        return QStringLiteral("%1 µs").arg(micro);
    }
    if (micro < 1000000) {
        return QStringLiteral("%1 ms").arg(static_cast<double>(micro) / 1e3, 0, 'g', 3);
    }
    return QStringLiteral("%1 s").arg(static_cast<double>(micro) / 1e6, 0, 'g', 3);
}

HistogramBars::HistogramBars(QWidget* parent) : QWidget(parent) {
    setMinimumSize(240, 120);
}

void HistogramBars::SetBins(const std::vector<ResponseTimes::Bin>& bins) {
    if (bins.size() == m_bins.size() &&
        std::equal(bins.begin(), bins.end(), m_bins.begin(), [](const auto& a, const auto& b) {
            return a.upTo == b.upTo && a.count == b.count;
        })) {
        return;
    }
    m_bins = bins;
    update();
}

QRect HistogramBars::PlotRect() const {
    return rect().adjusted(SideMargin, 4, -SideMargin, -MarkHeight);
}

QRect HistogramBars::BarSlot(int index) const {
    const QRect plot = PlotRect();
    const int count = std::max<int>(static_cast<int>(m_bins.size()), 1);
    const int left = plot.left() + plot.width() * index / count;
    const int right = plot.left() + plot.width() * (index + 1) / count;
    return QRect(QPoint(left, plot.top()), QPoint(right - 1, plot.bottom()));
}

void HistogramBars::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QRect plot = PlotRect();
    std::int64_t fullest = 0;
    for (const ResponseTimes::Bin& bin : m_bins) {
        fullest = std::max(fullest, bin.count);
    }
    for (int index = 0; index < static_cast<int>(m_bins.size()); ++index) {
        const std::int64_t count = m_bins[static_cast<std::size_t>(index)].count;
        if (count == 0) {
            continue;
        }
        const QRect slot = BarSlot(index);
        // Every bin that holds anything shows at least a sliver.
        const int height = std::max(
            1, static_cast<int>(static_cast<double>(plot.height()) * static_cast<double>(count) /
                                static_cast<double>(fullest)));
        painter.fillRect(
            QRect(slot.left() + 1, plot.bottom() - height + 1, slot.width() - 2, height),
            palette().color(QPalette::Highlight));
    }
    painter.setPen(palette().color(QPalette::Text));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    for (int index = 0; index < static_cast<int>(m_bins.size());
         index += ResponseTimes::DisplayBinsPerDecade) {
        const QRect slot = BarSlot(index);
        const QRect label(slot.center().x() - 40, plot.bottom() + 2, 80, MarkHeight - 2);
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                         ReadableDuration(m_bins[static_cast<std::size_t>(index)].upTo));
    }
}
