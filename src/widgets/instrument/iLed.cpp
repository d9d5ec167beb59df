#include "widgets/instrument/iLed.h"

namespace {
constexpr int kInitialSide = 20;
} // namespace

TiLed::TiLed(QWidget* parent) : TiCustomComponent(parent) {
    SetBounds(Left(), Top(), kInitialSide, kInitialSide);
}

void TiLed::SetActive(bool value) {
    if (value == m_active) {
        return;
    }
    m_active = value;
    RequestRepaint();
    if (OnChange) {
        OnChange(this);
    }
}

void TiLed::SetActiveColor(TColor value) {
    if (value == m_activeColor) {
        return;
    }
    m_activeColor = value;
    RequestRepaint();
}

void TiLed::SetAutoInactiveColor(bool value) {
    if (value == m_autoInactiveColor) {
        return;
    }
    m_autoInactiveColor = value;
    RequestRepaint();
}

void TiLed::SetInactiveColor(TColor value) {
    if (value == m_inactiveColor) {
        return;
    }
    m_inactiveColor = value;
    RequestRepaint();
}

void TiLed::SetBevelStyle(TiBevelStyle value) {
    if (value == m_bevelStyle) {
        return;
    }
    m_bevelStyle = value;
    RequestRepaint();
}

TColor TiLed::LampColor() const {
    if (m_active) {
        return m_activeColor;
    }
    return m_autoInactiveColor ? DimColor(m_activeColor, 3) : m_inactiveColor;
}
