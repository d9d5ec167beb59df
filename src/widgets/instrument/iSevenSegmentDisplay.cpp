#include "widgets/instrument/iSevenSegmentDisplay.h"

#include <algorithm>

namespace {
constexpr int kMinimumDigits = 1;
constexpr int kMaximumDigits = 32;
constexpr int kMaximumSegmentSize = 100;
constexpr int kInitialSide = 15;
} // namespace

TiSevenSegmentDisplay::TiSevenSegmentDisplay(QWidget* parent)
    : TiCustomComponent(parent), m_stamp(std::make_unique<TiSevenSegmentCharacter>()) {
    // The stamp is never shown: it only lends its drawing routine.
    m_stamp->SetAutoSize(false);
    m_stamp->SetSegmentMargin(0);
    m_stamp->SetSegmentColor(clWhite);
    m_stamp->SetSegmentOffColor(clGray);
    SetBackGroundColor(clBlack);
    SetBounds(Left(), Top(), kInitialSide, kInitialSide);
}

TiSevenSegmentDisplay::~TiSevenSegmentDisplay() = default;

void TiSevenSegmentDisplay::SetAutoSize(bool value) {
    if (value == m_autoSize) {
        return;
    }
    m_autoSize = value;
    applyAutoSize();
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetDigitCount(int value) {
    value = std::clamp(value, kMinimumDigits, kMaximumDigits);
    if (value == m_digitCount) {
        return;
    }
    m_digitCount = value;
    applyAutoSize();
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetDigitSpacing(int value) {
    if (value == m_digitSpacing) {
        return;
    }
    m_digitSpacing = value;
    applyAutoSize();
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetSegmentMargin(int value) {
    value = std::max(value, 0);
    if (value == m_segmentMargin) {
        return;
    }
    m_segmentMargin = value;
    applyAutoSize();
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetSegmentColor(TColor value) {
    if (value == m_stamp->SegmentColor()) {
        return;
    }
    m_stamp->SetSegmentColor(value);
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetSegmentOffColor(TColor value) {
    if (value == m_stamp->SegmentOffColor()) {
        return;
    }
    m_stamp->SetSegmentOffColor(value);
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetAutoSegmentOffColor(bool value) {
    if (value == m_stamp->AutoSegmentOffColor()) {
        return;
    }
    m_stamp->SetAutoSegmentOffColor(value);
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetSegmentSize(int value) {
    value = std::clamp(value, 1, kMaximumSegmentSize);
    if (value == m_stamp->SegmentSize()) {
        return;
    }
    m_stamp->SetSegmentSize(value);
    applyAutoSize();
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetSegmentSeperation(int value) {
    value = std::max(value, 0);
    if (value == m_stamp->SegmentSeperation()) {
        return;
    }
    m_stamp->SetSegmentSeperation(value);
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetShowOffSegments(bool value) {
    if (value == m_showOffSegments) {
        return;
    }
    m_showOffSegments = value;
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetPowerOff(bool value) {
    if (value == m_powerOff) {
        return;
    }
    m_powerOff = value;
    RequestRepaint();
}

void TiSevenSegmentDisplay::SetLeadingStyle(TiLeadingStyle value) {
    if (value == m_leadingStyle) {
        return;
    }
    m_leadingStyle = value;
    RequestRepaint();
}

void TiSevenSegmentDisplay::applyAutoSize() {
    if (!m_autoSize || Loading()) {
        return;
    }
    const QSize size = GetAutoSize();
    SetBounds(Left(), Top(), size.width(), size.height());
}

void TiSevenSegmentDisplay::Loaded() {
    applyAutoSize();
    TiCustomComponent::Loaded();
}

void TiSevenSegmentDisplay::prepareStamp() {
    m_stamp->SetSegmentMargin(0);
    m_stamp->SetShowOffSegments(m_showOffSegments);
    m_stamp->SetPowerOff(m_powerOff);
}

void TiSevenSegmentDisplay::fireValueChange() {
    if (OnValueChange) {
        OnValueChange(this);
    }
}
