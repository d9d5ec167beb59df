#include "widgets/instrument/iSevenSegmentAnalog.h"

#include "widgets/instrument/iRounding.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kLargestValue = 1e15;
constexpr int kMaximumPrecision = 13;
constexpr int kWideCellUnits = 10;
constexpr int kCellHeightUnits = 18;

} // namespace

TiSevenSegmentAnalog::TiSevenSegmentAnalog(QWidget* parent) : TiSevenSegmentDisplay(parent) {
    applyAutoSize();
}

void TiSevenSegmentAnalog::SetValue(double value) {
    // Not-a-number and huge numbers would format into text that is no number
    // or runs to hundreds of characters; they show as arrows instead.
    if (std::isnan(value) || value > kLargestValue) {
        value = kLargestValue;
    } else if (value < -kLargestValue) {
        value = -kLargestValue;
    }
    if (value == m_value) {
        return;
    }
    m_value = value;
    RequestRepaint();
    fireValueChange();
}

void TiSevenSegmentAnalog::SetPrecision(int value) {
    value = std::clamp(value, 0, kMaximumPrecision);
    if (value == m_precision) {
        return;
    }
    m_precision = value;
    applyAutoSize();
    RequestRepaint();
}

void TiSevenSegmentAnalog::SetShowSign(bool value) {
    if (value == m_showSign) {
        return;
    }
    m_showSign = value;
    applyAutoSize();
    RequestRepaint();
}

QSize TiSevenSegmentAnalog::GetAutoSize() {
    // The stamp's wide cell at margin 0, without the extra pixel.
    const int cellWidth = kWideCellUnits * SegmentSize();
    const int cellHeight = kCellHeightUnits * SegmentSize();
    const int cells = cellCount();
    return QSize((cellWidth + DigitSpacing()) * cells + 2 * SegmentMargin() - DigitSpacing(),
                 cellHeight + 2 * SegmentMargin());
}

QString TiSevenSegmentAnalog::FormattedText() const {
    QString text = QString::number(std::fabs(m_value), 'f', m_precision);
    const QString separator = QLocale().decimalPoint();
    if (separator != QStringLiteral(".")) {
        text.replace(QLatin1Char('.'), separator);
    }
    return text;
}

namespace {

// The formatted text cut at its first "." or, failing that, its first ",".
struct SplitText {
    QString integerPart;
    QString fraction;
    QChar separator;
};

SplitText splitAtSeparator(const QString& text) {
    qsizetype split = text.indexOf(QLatin1Char('.'));
    if (split < 0) {
        split = text.indexOf(QLatin1Char(','));
    }
    if (split < 0) {
        return {text, QString(), QChar()};
    }
    return {text.left(split), text.mid(split + 1), text.at(split)};
}

} // namespace

void TiSevenSegmentAnalog::PaintContent(QPainter& canvas) {
    prepareStamp();
    DrawBackground(canvas, BackGroundColor());

    const int cells = cellCount();
    const int margin = SegmentMargin();
    const int spacing = DigitSpacing();
    const int cellWidth = (Width() - 2 * margin - (cells - 1) * spacing) / cells;
    const int cellHeight = Height() - 2 * margin;
    int x = (Width() + spacing - cells * (cellWidth + spacing)) / 2;
    const int y = margin;
    auto drawCell = [&](TSevenSegmentCharacter code) {
        stamp().DrawCharacter(canvas, x, y, cellWidth, cellHeight, code);
        x += cellWidth + spacing;
    };

    const QString text = FormattedText();
    SplitText parts = splitAtSeparator(text);

    if (m_showSign) {
        drawCell(m_value >= 0 ? sscPlus : sscMinus);
    }

    const int digits = DigitCount();
    const qsizetype room = m_precision > 0 ? digits + 1 : digits;
    if (text.size() > room) {
        for (int cell = 0; cell < digits; ++cell) {
            drawCell(m_value >= 0 ? sscUpArrow : sscDownArrow);
        }
        return;
    }

    const qsizetype integerWidth = digits - m_precision;
    if (LeadingStyle() != ilsNone) {
        const QChar fill = LeadingStyle() == ilsZeros ? QLatin1Char('0') : QLatin1Char(' ');
        while (parts.integerPart.size() < integerWidth) {
            parts.integerPart.prepend(fill);
        }
    }
    for (const QChar character : parts.integerPart) {
        drawCell(sevenSegmentCodeOf(character));
    }

    if (m_precision > 0 && digits > 1) {
        // The separator takes no cell: it is drawn in the gap left of the next one.
        const int pointX = x - roundHalfEven(cellWidth / 10.0 + spacing / 2.0);
        stamp().DrawCharacter(canvas, pointX, y, cellWidth / 5, cellHeight,
                              parts.separator == QLatin1Char('.') ? sscPeriod : sscComma);
        QString fraction = parts.fraction.left(m_precision);
        while (fraction.size() < m_precision) {
            fraction.prepend(QLatin1Char('0'));
        }
        const qsizetype shown = std::min<qsizetype>(fraction.size(), digits - 1);
        for (qsizetype index = 0; index < shown; ++index) {
            drawCell(sevenSegmentCodeOf(fraction.at(index)));
        }
    }
}
