#include "ui/functest/VerdictBanner.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

const QColor VerdictBanner::PassColour{0x1b, 0x8a, 0x2e};
const QColor VerdictBanner::FailColour{0xc8, 0x1e, 0x1e};
const QColor VerdictBanner::BusyColour{0xe0, 0xa0, 0x10};
const QColor VerdictBanner::IdleColour{0x80, 0x80, 0x80};

VerdictBanner::VerdictBanner(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(90);
}

void VerdictBanner::SetState(State state, const QString& text) {
    if (state == m_state && text == m_text) {
        return;
    }
    m_state = state;
    m_text = text;
    update();
}

QSize VerdictBanner::sizeHint() const {
    return {480, 140};
}

QColor VerdictBanner::background() const {
    switch (m_state) {
    case State::Pass:
        return PassColour;
    case State::Fail:
        return FailColour;
    case State::Running:
    case State::Aborted:
        return BusyColour;
    case State::Idle:
        break;
    }
    return IdleColour;
}

void VerdictBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background());
    // The largest bold type that fits two thirds of the height and the width
    // less a margin, so that the verdict reads from a distance.
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(8, height() * 2 / 3));
    const int room = width() - height() / 3;
    const int wide = QFontMetrics(font).horizontalAdvance(m_text);
    if (wide > room && wide > 0) {
        font.setPixelSize(std::max(8, font.pixelSize() * room / wide));
    }
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
