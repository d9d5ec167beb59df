#pragma once
// A seven-segment read-out of a floating-point value with a fixed number of
// decimals. The decimal point sits in the gap between two cells; a number too
// long for the cells becomes a row of arrows pointing the way of its sign.

#include "widgets/instrument/iSevenSegmentDisplay.h"

class TiSevenSegmentAnalog : public TiSevenSegmentDisplay {
    Q_OBJECT
public:
    explicit TiSevenSegmentAnalog(QWidget* parent = nullptr);

    /// Values above 1e15 and not-a-number are stored as 1e15, values below
    /// -1e15 as -1e15; a changed value repaints and fires OnValueChange.
    double Value() const { return m_value; }
    void SetValue(double value);
    /// Decimals shown, 0 to 13.
    int Precision() const { return m_precision; }
    void SetPrecision(int value);
    /// One extra cell at the left for the sign.
    bool ShowSign() const { return m_showSign; }
    void SetShowSign(bool value);

    /// The text the cells show before the overflow check: |Value| in fixed
    /// notation with Precision decimals and the locale's decimal separator.
    QString FormattedText() const;

protected:
    QSize GetAutoSize() override;
    void PaintContent(QPainter& canvas) override;

private:
    int cellCount() const { return DigitCount() + (m_showSign ? 1 : 0); }

    double m_value = 0.0;
    int m_precision = 2;
    bool m_showSign = true;
};
