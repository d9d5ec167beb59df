#pragma once
// A rectangular lamp: filled in the lamp colour, with a 3-D bevel, a small
// highlight near the top-left corner and an optional caption in the middle.

#include "widgets/instrument/iLed.h"

class TiLedRectangle : public TiLed {
    Q_OBJECT
public:
    explicit TiLedRectangle(QWidget* parent = nullptr);

    bool ShowReflection() const { return m_showReflection; }
    void SetShowReflection(bool value);
    QString CenterLabelText() const { return m_centerLabelText; }
    void SetCenterLabelText(const QString& value);
    /// The caption font; its colour is replaced by the two colours below.
    TFont& CenterLabelFont() { return m_centerLabelFont; }
    const TFont& CenterLabelFont() const { return m_centerLabelFont; }
    TColor CenterLabelFontActiveColor() const { return m_centerLabelFontActiveColor; }
    void SetCenterLabelFontActiveColor(TColor value);
    TColor CenterLabelFontInactiveColor() const { return m_centerLabelFontInactiveColor; }
    void SetCenterLabelFontInactiveColor(TColor value);
    bool CenterLabelWordWrap() const { return m_centerLabelWordWrap; }
    void SetCenterLabelWordWrap(bool value);
    /// Free space at the left and right ends of the caption area.
    int CenterLabelEndsMargin() const { return m_centerLabelEndsMargin; }
    void SetCenterLabelEndsMargin(int value);
    TiAlignmentHorizontal CenterLabelAlignment() const { return m_centerLabelAlignment; }
    void SetCenterLabelAlignment(TiAlignmentHorizontal value);

protected:
    void PaintContent(QPainter& canvas) override;

private:
    void drawCaption(QPainter& canvas);

    bool m_showReflection = true;
    QString m_centerLabelText;
    TFont m_centerLabelFont;
    TColor m_centerLabelFontActiveColor = clBlack;
    TColor m_centerLabelFontInactiveColor = clWhite;
    bool m_centerLabelWordWrap = false;
    int m_centerLabelEndsMargin = 5;
    TiAlignmentHorizontal m_centerLabelAlignment = iahCenter;
};
