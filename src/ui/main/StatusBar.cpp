#include "ui/main/StatusBar.h"

#include "platform/drawing/Canvas.h"
#include "platform/drawing/Color.h"
#include "platform/drawing/DrawText.h"
#include "platform/drawing/Edges.h"
#include "platform/drawing/FramePacer.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <utility>

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_font.OnChange = [this] { update(); };
}

void StatusBar::addPanel(int width, const QString& text) {
    m_panels.push_back(Panel{width, text});
    update();
}

int StatusBar::panelWidth(int panel) const {
    if (panel < 0 || panel >= panelCount()) {
        return 0;
    }
    return m_panels[static_cast<std::size_t>(panel)].width;
}

QString StatusBar::panelText(int panel) const {
    if (panel < 0 || panel >= panelCount()) {
        return {};
    }
    return m_panels[static_cast<std::size_t>(panel)].text;
}

void StatusBar::setPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= panelCount()) {
        return;
    }
    auto& stored = m_panels[static_cast<std::size_t>(panel)].text;
    if (stored == text) {
        return;
    }
    stored = text;
    // The counters change with every poll: they are painted with the frame
    // that shows the poll's reply, or on their own a moment later.
    m_changed += panelRect(panel);
    FramePacer::of(*this).joinNextFrame(
        *this, [this] { update(std::exchange(m_changed, {})); }, LatestRepaint);
}

QRect StatusBar::panelRect(int panel) const {
    if (panel < 0 || panel >= panelCount()) {
        return {};
    }
    int left = 0;
    for (int index = 0; index < panel; ++index) {
        left += panelWidth(index);
    }
    const bool last = panel == panelCount() - 1;
    const int right = last ? width() : left + panelWidth(panel) - PanelGap;
    return rectFromEdges(left, PanelGap, std::max(left, right), height());
}

int StatusBar::panelAt(const QPoint& point) const {
    for (int panel = 0; panel < panelCount(); ++panel) {
        if (panelRect(panel).contains(point)) {
            return panel;
        }
    }
    return -1;
}

void StatusBar::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const int panel = panelAt(event->position().toPoint()); panel >= 0) {
            emit panelDoubleClicked(panel);
        }
    }
    QWidget::mouseDoubleClickEvent(event);
}

void StatusBar::paintEvent(QPaintEvent* event) {
    // Only the panels asked for are drawn, straight onto the window: the
    // window keeps the rest of the bar, and shows the panels once all of
    // them are drawn.
    QPainter painter(this);
    setPixelExact(painter);
    const QRect dirty = event->region().boundingRect();
    painter.setClipRegion(event->region());
    painter.fillRect(dirty, toQColor(clBtnFace));
    painter.setFont(m_font.toQFont());
    painter.setPen(toQColor(m_font.Color()));
    for (int panel = 0; panel < panelCount(); ++panel) {
        QRect box = panelRect(panel);
        if (box.isEmpty() || !box.intersects(dirty)) {
            continue;
        }
        DrawEdge(painter, box, Edge::SunkenOuter, Edge::Rect | Edge::Adjust);
        QRect textBox = box.adjusted(TextIndent, 0, -1, 0);
        painter.save();
        painter.setClipRect(box, Qt::IntersectClip);
        DrawTextInRect(painter, panelText(panel), textBox,
                       TextFormat::SingleLine | TextFormat::VCenter | TextFormat::NoPrefix);
        painter.restore();
    }
}
