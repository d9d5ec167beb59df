#include "ui/monitor/MonitorScrollBar.h"

#include <QStyleOptionSlider>

MonitorScrollBar::MonitorScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

MonitorScrollBar::Look MonitorScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look look;
    look.bar = option.rect;
    look.handle =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    look.state = option.state;
    look.active = option.activeSubControls;
    look.atMinimum = option.sliderPosition <= option.minimum;
    look.atMaximum = option.sliderPosition >= option.maximum;
    return look;
}

void MonitorScrollBar::sliderChange(SliderChange change) {
    // A style whose bars fade in on a move must hear of every move.
    const bool moved = change == SliderRangeChange || change == SliderValueChange;
    if (!moved || !m_painted || style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this)) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A batch moves the range first and the value after it; the look is
    // compared once both have moved.
    if (!m_lookQueued) {
        m_lookQueued = true;
        QMetaObject::invokeMethod(this, &MonitorScrollBar::repaintIfChanged, Qt::QueuedConnection);
    }
}

void MonitorScrollBar::repaintIfChanged() {
    m_lookQueued = false;
    if (!m_painted || *m_painted != look()) {
        update();
    }
}

void MonitorScrollBar::paintEvent(QPaintEvent* event) {
    m_painted = look();
    ++m_paints;
    QScrollBar::paintEvent(event);
}
