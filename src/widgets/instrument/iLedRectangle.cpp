#include "widgets/instrument/iLedRectangle.h"

#include "platform/drawing/DrawText.h"

namespace {
// The highlight: two white pixels, (3, 3) and (4, 3).
constexpr QPoint kReflectionStart{3, 3};
constexpr int kReflectionLength = 2;
// The caption keeps clear of the bevel by this much at every side.
constexpr int kCaptionInset = 2;
} // namespace

TiLedRectangle::TiLedRectangle(QWidget* parent) : TiLed(parent) {
    m_centerLabelFont.OnChange = [this] { RequestRepaint(); };
}

void TiLedRectangle::SetShowReflection(bool value) {
    if (value == m_showReflection) {
        return;
    }
    m_showReflection = value;
    RequestRepaint();
}

void TiLedRectangle::SetCenterLabelText(const QString& value) {
    if (value == m_centerLabelText) {
        return;
    }
    m_centerLabelText = value;
    RequestRepaint();
}

void TiLedRectangle::SetCenterLabelFontActiveColor(TColor value) {
    if (value == m_centerLabelFontActiveColor) {
        return;
    }
    m_centerLabelFontActiveColor = value;
    RequestRepaint();
}

void TiLedRectangle::SetCenterLabelFontInactiveColor(TColor value) {
    if (value == m_centerLabelFontInactiveColor) {
        return;
    }
    m_centerLabelFontInactiveColor = value;
    RequestRepaint();
}

void TiLedRectangle::SetCenterLabelWordWrap(bool value) {
    if (value == m_centerLabelWordWrap) {
        return;
    }
    m_centerLabelWordWrap = value;
    RequestRepaint();
}

void TiLedRectangle::SetCenterLabelEndsMargin(int value) {
    if (value == m_centerLabelEndsMargin) {
        return;
    }
    m_centerLabelEndsMargin = value;
    RequestRepaint();
}

void TiLedRectangle::SetCenterLabelAlignment(TiAlignmentHorizontal value) {
    if (value == m_centerLabelAlignment) {
        return;
    }
    m_centerLabelAlignment = value;
    RequestRepaint();
}

void TiLedRectangle::PaintContent(QPainter& canvas) {
    // The lamp covers the whole control; background, border and transparency
    // of the base play no part.
    const QRect bounds(0, 0, Width(), Height());
    canvas.fillRect(bounds, toQColor(LampColor()));
    DrawBevel(canvas, bounds, BevelStyle());
    if (m_showReflection) {
        canvas.fillRect(QRect(kReflectionStart, QSize(kReflectionLength, 1)), Qt::white);
    }
    drawCaption(canvas);
}

void TiLedRectangle::drawCaption(QPainter& canvas) {
    if (m_centerLabelText.trimmed().isEmpty()) {
        return;
    }
    canvas.setBrush(Qt::NoBrush);
    canvas.setFont(m_centerLabelFont.toQFont());
    canvas.setPen(
        toQColor(Active() ? m_centerLabelFontActiveColor : m_centerLabelFontInactiveColor));
    unsigned options = TextOption::VCenter | TextOption::NoClip;
    if (m_centerLabelWordWrap) {
        options |= TextOption::WordBreak;
    }
    if (m_centerLabelAlignment == iahCenter) {
        options |= TextOption::Center;
    } else if (m_centerLabelAlignment == iahRight) {
        options |= TextOption::Right;
    }
    const int left = m_centerLabelEndsMargin + kCaptionInset;
    const int right = Width() - m_centerLabelEndsMargin - kCaptionInset;
    QRect measured = rectFromEdges(left, kCaptionInset, right, Height() - kCaptionInset);
    const int textHeight =
        DrawTextInRect(canvas, m_centerLabelText, measured, options | TextOption::CalcRect);
    const int centerY = GetCenterPoint().y();
    DrawTextInRect(canvas, m_centerLabelText,
                   rectFromEdges(left, centerY - textHeight / 2, right, centerY + textHeight / 2),
                   options);
}
