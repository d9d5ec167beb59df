#include "ui/trend/TrendPlot.h"

#include "platform/drawing/Canvas.h"
#include "platform/drawing/DrawText.h"
#include "trend/LinearityPlan.h"
#include "ui/trend/PlotAxis.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Microseconds = TrendPlot::Microseconds;

// Room for the value labels on the left, the legend and the pointer's
// reading above, the time labels below.
constexpr int LeftMargin = 56;
constexpr int TopMargin = 20;
constexpr int RightMargin = 8;
constexpr int BottomMargin = 20;
constexpr int TimeLabelGap = 90;
constexpr int PointerReach = 3; // pixels either side of the pointer
constexpr double ValuePadding = 0.05;
constexpr double NarrowestValueSpan = 20.0; // counts

constexpr std::int64_t Second = 1'000'000;
// Steps of the time grid, in microseconds, and how their labels read.
struct TimeStep {
    std::int64_t step;
    const char* format;
};
constexpr std::array<TimeStep, 22> TimeSteps{{
    {100'000, "hh:mm:ss.zzz"}, {200'000, "hh:mm:ss.zzz"}, {500'000, "hh:mm:ss.zzz"},
    {Second, "hh:mm:ss"},      {2 * Second, "hh:mm:ss"},  {5 * Second, "hh:mm:ss"},
    {10 * Second, "hh:mm:ss"}, {15 * Second, "hh:mm:ss"}, {30 * Second, "hh:mm:ss"},
    {60 * Second, "hh:mm"},    {120 * Second, "hh:mm"},   {300 * Second, "hh:mm"},
    {600 * Second, "hh:mm"},   {900 * Second, "hh:mm"},   {1800 * Second, "hh:mm"},
    {3600 * Second, "hh:mm"},  {7200 * Second, "hh:mm"},  {10800 * Second, "hh:mm"},
    {14400 * Second, "hh:mm"}, {21600 * Second, "hh:mm"}, {43200 * Second, "hh:mm"},
    {86400 * Second, "hh:mm"},
}};

// Microseconds since the epoch on the local wall clock (the UTC offset added),
// so that grid lines fall on whole local minutes and hours.
std::int64_t localMicroseconds(std::chrono::system_clock::time_point time) {
    const auto sinceEpoch =
        std::chrono::duration_cast<Microseconds>(time.time_since_epoch()).count();
    const int offset = QDateTime::fromMSecsSinceEpoch(sinceEpoch / 1000).offsetFromUtc();
    return sinceEpoch + std::int64_t{offset} * Second;
}

QString clockText(std::int64_t localUs, const char* format) {
    constexpr std::int64_t Day = 86400 * Second;
    const std::int64_t ofDay = ((localUs % Day) + Day) % Day;
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ofDay / 1000))
        .toString(QLatin1String(format));
}

QString rangeText(const TrendHistory::Range& range, std::uint16_t displayMode) {
    const QString low = ReadoutText(range.low, displayMode);
    return range.low == range.high
               ? low
               : low + QStringLiteral("–") + ReadoutText(range.high, displayMode);
}

// One series: a vertical stroke over each column's range, joined to the
// previous column with readings unless polling paused in between.
template <typename RangeOf, typename ValueOf>
void drawSeries(QPainter& painter, const std::vector<TrendHistory::Column>& columns, int left,
                const ValueAxis& axis, RangeOf rangeOf, ValueOf valueOf) {
    std::optional<std::size_t> previous;
    for (std::size_t index = 0; index < columns.size(); ++index) {
        const TrendHistory::Column& column = columns[index];
        if (column.Empty()) {
            continue;
        }
        const int x = left + static_cast<int>(index);
        const TrendHistory::Range& range = rangeOf(column);
        painter.drawLine(x, axis.PixelOf(range.low), x, axis.PixelOf(range.high));
        if (previous) {
            const TrendHistory::Column& before = columns[*previous];
            if (column.first.elapsedUs - before.last.elapsedUs <= TrendPlot::JoinLimit.count()) {
                painter.drawLine(left + static_cast<int>(*previous),
                                 axis.PixelOf(valueOf(before.last)), x,
                                 axis.PixelOf(valueOf(column.first)));
            }
        }
        previous = index;
    }
}

} // namespace

TrendPlot::TrendPlot(const TrendHistory& history, QWidget* parent)
    : QWidget(parent), m_history(history) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 160);
    m_end = m_history.Newest();
}

void TrendPlot::SetView(Microseconds end, Microseconds span) {
    span = std::clamp(span, ShortestSpan, LongestSpan);
    const Microseconds newest = m_history.Newest();
    const Microseconds oldest = m_history.Oldest();
    // At least a little of the history stays in view at the old end.
    end = std::clamp(end, std::min(oldest + ShortestSpan, newest), newest);
    const bool following = end >= newest;
    if (end == m_end && span == m_span && following == m_following) {
        return;
    }
    m_end = end;
    m_span = span;
    m_following = following;
    update();
    emit viewChanged();
}

void TrendPlot::Follow() {
    m_following = true;
    Refresh();
    emit viewChanged();
}

void TrendPlot::Refresh() {
    if (m_following && m_end != m_history.Newest()) {
        m_end = m_history.Newest();
        emit viewChanged();
    }
    update();
}

QRect TrendPlot::PlotRect() const {
    return rect().adjusted(LeftMargin, TopMargin, -RightMargin, -BottomMargin);
}

Microseconds TrendPlot::TimeAt(int x) const {
    const QRect plot = PlotRect();
    const double share = static_cast<double>(x - plot.left()) / std::max(plot.width(), 1);
    return Start() + Microseconds{static_cast<std::int64_t>(std::llround(share * m_span.count()))};
}

int TrendPlot::XOf(Microseconds time) const {
    const QRect plot = PlotRect();
    const double share = static_cast<double>((time - Start()).count()) / m_span.count();
    return plot.left() + static_cast<int>(std::floor(share * plot.width()));
}

QString TrendPlot::PointerText() const {
    if (!m_pointer || !PlotRect().contains(*m_pointer) || m_history.Empty()) {
        return {};
    }
    const QRect plot = PlotRect();
    const Microseconds reach{m_span.count() * PointerReach / std::max(plot.width(), 1)};
    const auto reading = m_history.ReadingNear(TimeAt(m_pointer->x()), reach);
    if (!reading) {
        return {};
    }
    const std::uint16_t mode = m_history.DisplayMode();
    const std::int64_t local = localMicroseconds(m_history.WallTimeOf(reading->elapsedUs));
    return tr("%1  输出 %2  反馈 %3")
        .arg(clockText(local, reading->summarised ? "hh:mm:ss" : "hh:mm:ss.zzz"),
             rangeText(reading->output, mode), rangeText(reading->feedback, mode));
}

ValueAxis TrendPlot::valueAxis(const std::vector<TrendHistory::Column>& columns) const {
    TrendHistory::Range all;
    for (const TrendHistory::Column& column : columns) {
        if (!column.Empty()) {
            all.Take(column.output);
            all.Take(column.feedback);
        }
    }
    double low = all.Empty() ? 0.0 : all.low;
    double high = all.Empty() ? OutputFullScale : all.high;
    const double padding = std::max((high - low) * ValuePadding, NarrowestValueSpan / 2);
    low = std::max(0.0, low - padding);
    high += padding;
    const QRect plot = PlotRect();
    return ValueAxis(low, high, plot.bottom(), plot.top());
}

void TrendPlot::paintEvent(QPaintEvent*) {
    // Drawn at the screen's resolution, in the format of the window.
    QPainter target(this);
    Canvas canvas;
    QPainter& painter = canvas.begin(size(), targetFormat(target));
    painter.setFont(font());
    painter.fillRect(rect(), PlotColors::Background);
    const QRect plot = PlotRect();
    const std::vector<TrendHistory::Column> columns =
        m_history.Columns(Start(), m_end, std::max(plot.width(), 0));
    const ValueAxis axis = valueAxis(columns);
    DrawValueGrid(painter, plot, axis, m_history.DisplayMode());
    drawTimeGrid(painter);

    painter.save();
    painter.setClipRect(plot);
    // The output goes over the feedback: where the feedback follows it, the
    // trace is lime, and red shows only where the feedback strays.
    painter.setPen(PlotColors::Feedback);
    drawSeries(
        painter, columns, plot.left(), axis,
        [](const TrendHistory::Column& c) -> const TrendHistory::Range& { return c.feedback; },
        [](const TrendHistory::Sample& s) { return s.feedback; });
    painter.setPen(PlotColors::Output);
    drawSeries(
        painter, columns, plot.left(), axis,
        [](const TrendHistory::Column& c) -> const TrendHistory::Range& { return c.output; },
        [](const TrendHistory::Sample& s) { return s.output; });
    if (m_pointer && plot.contains(*m_pointer)) {
        painter.setPen(QPen(PlotColors::Cursor, 1, Qt::DotLine));
        painter.drawLine(m_pointer->x(), plot.top(), m_pointer->x(), plot.bottom());
    }
    painter.restore();

    drawLegend(painter);
    canvas.copyTo(target);
}

void TrendPlot::drawTimeGrid(QPainter& painter) const {
    const QRect plot = PlotRect();
    if (m_history.Empty() || plot.width() <= 0) {
        return;
    }
    const std::int64_t wanted = m_span.count() * TimeLabelGap / plot.width();
    const TimeStep* step = &TimeSteps.back();
    for (const TimeStep& candidate : TimeSteps) {
        if (candidate.step >= wanted) {
            step = &candidate;
            break;
        }
    }
    const std::int64_t localStart = localMicroseconds(m_history.WallTimeOf(Start().count()));
    const std::int64_t first =
        (localStart / step->step + (localStart % step->step > 0)) * step->step;
    const int textHeight = painter.fontMetrics().height();
    for (std::int64_t local = first; local <= localStart + m_span.count(); local += step->step) {
        const int x = XOf(Start() + Microseconds{local - localStart});
        painter.setPen(PlotColors::Grid);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(PlotColors::Text);
        const QString text = clockText(local, step->format);
        const int half = textWidth(painter.font(), text) / 2 + 1;
        if (x - half < 0 || x + half > width()) {
            continue; // a label cut off at an edge would only mislead
        }
        DrawTextInRect(painter, text, QRect(x - half, plot.bottom() + 2, 2 * half, textHeight),
                       TextFormat::Center | TextFormat::SingleLine | TextFormat::NoPrefix);
    }
}

void TrendPlot::drawLegend(QPainter& painter) const {
    const int textHeight = painter.fontMetrics().height();
    const int top = (TopMargin - textHeight) / 2;
    int x = LeftMargin;
    for (const auto& [color, text] :
         {std::pair{PlotColors::Output, tr("输出")}, std::pair{PlotColors::Feedback, tr("反馈")}}) {
        painter.fillRect(QRect(x, top + textHeight / 2 - 4, 8, 8), color);
        painter.setPen(PlotColors::Text);
        QRect label(x + 12, top, 0, textHeight);
        DrawTextInRect(painter, text, label, TextFormat::SingleLine | TextFormat::CalcRect);
        DrawTextInRect(painter, text, label, TextFormat::SingleLine | TextFormat::NoPrefix);
        x = label.right() + 16;
    }
    const QRect reading(x, top, width() - RightMargin - x, textHeight);
    DrawTextInRect(painter, PointerText(), reading,
                   TextFormat::Right | TextFormat::SingleLine | TextFormat::NoPrefix);
}

void TrendPlot::zoom(double factor, int aroundX) {
    // The moment under the pointer stays under it.
    const Microseconds anchor = TimeAt(aroundX);
    const double share = static_cast<double>((m_end - anchor).count()) / m_span.count();
    const Microseconds span{static_cast<std::int64_t>(std::llround(m_span.count() * factor))};
    const Microseconds clamped = std::clamp(span, ShortestSpan, LongestSpan);
    const Microseconds end =
        anchor + Microseconds{static_cast<std::int64_t>(std::llround(share * clamped.count()))};
    SetView(m_following ? m_history.Newest() : end, clamped);
}

void TrendPlot::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0.0) {
        zoom(std::pow(ZoomStep, -notches), static_cast<int>(event->position().x()));
    }
    event->accept();
}

void TrendPlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragFromX = static_cast<int>(event->position().x());
        m_dragFromEnd = m_end;
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(event);
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
    m_pointer = event->position().toPoint();
    if (m_dragFromX) {
        // Dragging to the right brings older samples into view.
        const int moved = m_pointer->x() - *m_dragFromX;
        const Microseconds shift{m_span.count() * moved / std::max(PlotRect().width(), 1)};
        SetView(m_dragFromEnd - shift, m_span);
    }
    update();
}

void TrendPlot::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragFromX.reset();
        setCursor(Qt::OpenHandCursor);
    }
    QWidget::mouseReleaseEvent(event);
}

void TrendPlot::leaveEvent(QEvent* event) {
    m_pointer.reset();
    update();
    QWidget::leaveEvent(event);
}

void TrendPlot::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_End:
        Follow();
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoom(1.0 / ZoomStep, PlotRect().center().x());
        break;
    case Qt::Key_Minus:
        zoom(ZoomStep, PlotRect().center().x());
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}
