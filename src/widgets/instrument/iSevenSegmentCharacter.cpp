#include "widgets/instrument/iSevenSegmentCharacter.h"

#include "widgets/instrument/iRounding.h"

#include <QPolygon>
#include <array>
#include <cmath>

namespace {

// Lit segments of the codes 0 to 15 and of the blank, A = bit 0 ... G = bit 6.
constexpr std::array<std::uint8_t, 16> kDigitSegments = {
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, // 0 to 7
    0x7F, 0x67, 0x77, 0x7C, 0x39, 0x5E, 0x79, 0x71, // 8, 9, A to F
};

constexpr std::array<char, 26> kReadBack = {'0', '1', '2', '3', '4', '5', '6', '7', '8',
                                            '9', 'a', 'b', 'c', 'd', 'e', 'f', '.', ':',
                                            '+', '-', ' ', '_', '<', '>', ';', ','};

constexpr int kSegmentCount = 7;
constexpr int kWideCellUnits = 10;
constexpr int kNarrowCellUnits = 2;
constexpr int kCellHeightUnits = 18;

// A filled polygon whose outline is drawn in the fill colour too, so that the
// vertices themselves are part of the shape.
void fillPolygon(QPainter& canvas, const QPolygon& polygon, TColor color) {
    const QColor qcolor = toQColor(color);
    canvas.setPen(QPen(qcolor, 0));
    canvas.setBrush(QBrush(qcolor, Qt::SolidPattern));
    canvas.drawPolygon(polygon);
}

void fillQuad(QPainter& canvas, int left, int top, int right, int bottom, TColor color) {
    fillPolygon(canvas,
                QPolygon({QPoint(left, top), QPoint(right, top), QPoint(right, bottom),
                          QPoint(left, bottom)}),
                color);
}

// The geometry of one cell as the shapes use it.
struct Cell {
    int x, y, w, h, m, s, z;
    int hm() const { return (h - 1) / 2; }
    int hh() const { return h / 2; }
    int cx() const { return x + w / 2; }
};

QPolygon segmentPolygon(const Cell& c, int index) {
    const int X = c.x, Y = c.y, W = c.w, H = c.h, m = c.m, s = c.s, z = c.z, hm = c.hm();
    switch (index) {
    case 0: // A
        return QPolygon({QPoint(X + m + s, Y + m), QPoint(X + W - m - s - 1, Y + m),
                         QPoint(X + W - m - s - 2 * z - 1, Y + m + 2 * z),
                         QPoint(X + m + s + 2 * z, Y + m + 2 * z)});
    case 1: // B
        return QPolygon({QPoint(X + W - m - 1, Y + m + s), QPoint(X + W - m - 1, Y + hm - s),
                         QPoint(X + W - m - 2 * z - 1, Y + hm - s - 2 * z),
                         QPoint(X + W - m - 2 * z - 1, Y + m + s + 2 * z)});
    case 2: // C
        return QPolygon({QPoint(X + W - m - 1, Y + hm + s),
                         QPoint(X + W - m - 1, Y + H - 1 - m - s),
                         QPoint(X + W - m - 2 * z - 1, Y + H - 1 - m - s - 2 * z),
                         QPoint(X + W - m - 2 * z - 1, Y + hm + s + 2 * z)});
    case 3: // D
        return QPolygon({QPoint(X + m + s, Y + H - m - 1), QPoint(X + W - m - s - 1, Y + H - m - 1),
                         QPoint(X + W - m - s - 2 * z - 1, Y + H - m - 2 * z - 1),
                         QPoint(X + m + s + 2 * z, Y + H - m - 2 * z - 1)});
    case 4: // E
        return QPolygon({QPoint(X + m, Y + hm + s), QPoint(X + m, Y + H - 1 - m - s),
                         QPoint(X + m + 2 * z, Y + H - 1 - m - s - 2 * z),
                         QPoint(X + m + 2 * z, Y + hm + s + 2 * z)});
    case 5: // F
        return QPolygon({QPoint(X + m, Y + m + s), QPoint(X + m, Y + hm - s),
                         QPoint(X + m + 2 * z, Y + hm - s - 2 * z),
                         QPoint(X + m + 2 * z, Y + m + s + 2 * z)});
    default: // G, a hexagon
        return QPolygon(
            {QPoint(X + m + s, Y + hm), QPoint(X + m + s + z, Y + hm - z),
             QPoint(X + W - m - s - z - 1, Y + hm - z), QPoint(X + W - m - s - 1, Y + hm),
             QPoint(X + W - m - s - z - 1, Y + hm + z), QPoint(X + m + s + z, Y + hm + z)});
    }
}

// Rows of the colon, semicolon and comma, in eighteenths of the cell height.
int rowAt(const Cell& c, double eighteenths) {
    return c.y + roundHalfEven(eighteenths * c.h / kCellHeightUnits);
}

void drawColonDot(QPainter& canvas, const Cell& c, double from, double to, TColor color) {
    fillQuad(canvas, c.cx() - c.z, rowAt(c, from), c.cx() + c.z, rowAt(c, to), color);
}

void drawTail(QPainter& canvas, const Cell& c, TColor color) {
    fillQuad(canvas, c.cx(), rowAt(c, 13), c.cx() + c.z, rowAt(c, 16), color);
}

void drawPlus(QPainter& canvas, const Cell& c, TColor color) {
    const double w = c.w, h = c.h, z = c.z;
    fillQuad(canvas, c.x + roundHalfEven(2.5 * w / 10), c.y + roundHalfEven(4.5 * h / 18 - z / 2),
             c.x + roundHalfEven(7.5 * w / 10), c.y + roundHalfEven(4.5 * h / 18 + z / 2), color);
    fillQuad(canvas, c.x + roundHalfEven(w / 2 - z / 2), c.y + roundHalfEven(2 * h / 18),
             c.x + roundHalfEven(w / 2 + z / 2), c.y + roundHalfEven(7 * h / 18), color);
}

void drawMinus(QPainter& canvas, const Cell& c, TColor color) {
    const double w = c.w, h = c.h, z = c.z;
    fillQuad(canvas, c.x + roundHalfEven(2.5 * w / 10), c.y + roundHalfEven(13.5 * h / 18 - z / 2),
             c.x + roundHalfEven(7.5 * w / 10), c.y + roundHalfEven(13.5 * h / 18 + z / 2), color);
}

void drawArrow(QPainter& canvas, const Cell& c, bool up, TColor color) {
    const int q = ((c.w - 1) - 2 * c.m) / 2;
    const int hc = (c.w - 1) / 2;
    const int hh = c.hh();
    int tip = 0;
    if (up) {
        tip = hh - q > c.m ? hh - q : c.m;
    } else {
        tip = hh + q < c.h - c.m - 1 ? hh + q : c.h - c.m - 1;
    }
    fillPolygon(canvas,
                QPolygon({QPoint(c.x + hc + q, c.y + hh), QPoint(c.x + hc - q, c.y + hh),
                          QPoint(c.x + hc, c.y + tip)}),
                color);
}

} // namespace

TSevenSegmentCharacter sevenSegmentCodeOf(QChar character) {
    const char16_t unit = character.toLower().unicode();
    for (std::size_t code = 0; code < kReadBack.size(); ++code) {
        if (code != sscBlank && unit == static_cast<char16_t>(kReadBack[code])) {
            return static_cast<TSevenSegmentCharacter>(code);
        }
    }
    return sscBlank;
}

QChar sevenSegmentCharacterOf(TSevenSegmentCharacter code) {
    const auto index = static_cast<std::size_t>(code);
    return index < kReadBack.size() ? QChar(kReadBack[index]) : QChar(' ');
}

bool isNarrowSevenSegmentCode(TSevenSegmentCharacter code) {
    return code == sscPeriod || code == sscColon || code == sscSemiColon || code == sscComma;
}

TiSevenSegmentCharacter::TiSevenSegmentCharacter(QWidget* parent) : TiCustomComponent(parent) {
    SetBackGroundColor(clBlack);
    applyAutoSize();
}

void TiSevenSegmentCharacter::SetValue(TSevenSegmentCharacter value) {
    if (value == m_value) {
        return;
    }
    m_value = value;
    applyAutoSize();
    Changed();
}

void TiSevenSegmentCharacter::SetSegmentColor(TColor value) {
    if (value == m_segmentColor) {
        return;
    }
    m_segmentColor = value;
    Changed();
}

void TiSevenSegmentCharacter::SetSegmentOffColor(TColor value) {
    if (value == m_segmentOffColor) {
        return;
    }
    m_segmentOffColor = value;
    Changed();
}

void TiSevenSegmentCharacter::SetAutoSegmentOffColor(bool value) {
    if (value == m_autoSegmentOffColor) {
        return;
    }
    m_autoSegmentOffColor = value;
    Changed();
}

void TiSevenSegmentCharacter::SetShowOffSegments(bool value) {
    if (value == m_showOffSegments) {
        return;
    }
    m_showOffSegments = value;
    Changed();
}

void TiSevenSegmentCharacter::SetPowerOff(bool value) {
    if (value == m_powerOff) {
        return;
    }
    m_powerOff = value;
    Changed();
}

void TiSevenSegmentCharacter::SetSegmentSize(int value) {
    value = std::max(value, 1);
    if (value == m_segmentSize) {
        return;
    }
    m_segmentSize = value;
    applyAutoSize();
    Changed();
}

void TiSevenSegmentCharacter::SetSegmentSeperation(int value) {
    value = std::max(value, 0);
    if (value == m_segmentSeperation) {
        return;
    }
    m_segmentSeperation = value;
    Changed();
}

void TiSevenSegmentCharacter::SetSegmentMargin(int value) {
    value = std::max(value, 0);
    if (value == m_segmentMargin) {
        return;
    }
    m_segmentMargin = value;
    applyAutoSize();
    Changed();
}

void TiSevenSegmentCharacter::SetAutoSize(bool value) {
    if (value == m_autoSize) {
        return;
    }
    m_autoSize = value;
    applyAutoSize();
    Changed();
}

void TiSevenSegmentCharacter::SetUseSegmentBits(bool value) {
    if (value == m_useSegmentBits) {
        return;
    }
    m_useSegmentBits = value;
    Changed();
}

void TiSevenSegmentCharacter::SetSegmentBits(std::uint8_t value) {
    value &= 0x7F;
    if (value == m_segmentBits) {
        return;
    }
    m_segmentBits = value;
    Changed();
}

void TiSevenSegmentCharacter::setSegment(int index, bool on) {
    const auto bit = static_cast<std::uint8_t>(1u << index);
    SetSegmentBits(on ? (m_segmentBits | bit) : (m_segmentBits & ~bit));
}

void TiSevenSegmentCharacter::Loaded() {
    applyAutoSize();
    TiCustomComponent::Loaded();
}

void TiSevenSegmentCharacter::applyAutoSize() {
    if (!m_autoSize || Loading()) {
        return;
    }
    const int units = isNarrowSevenSegmentCode(m_value) ? kNarrowCellUnits : kWideCellUnits;
    SetBounds(Left(), Top(), 2 * m_segmentMargin + units * m_segmentSize + 1,
              2 * m_segmentMargin + kCellHeightUnits * m_segmentSize + 1);
}

TColor TiSevenSegmentCharacter::unlitColor() const {
    return m_autoSegmentOffColor ? DimColor(m_segmentColor, 3) : m_segmentOffColor;
}

void TiSevenSegmentCharacter::PaintContent(QPainter& canvas) {
    DrawBackground(canvas, BackGroundColor());
    DrawCharacter(canvas, 0, 0, Width(), Height(), m_value);
}

void TiSevenSegmentCharacter::DrawCharacter(QPainter& canvas, int x, int y, int width, int height,
                                            TSevenSegmentCharacter code) const {
    const TColor unlit = unlitColor();
    const TColor lit = m_powerOff ? unlit : m_segmentColor;
    const Cell cell{x, y, width, height, m_segmentMargin, m_segmentSeperation, m_segmentSize};

    const bool segmentCode = (code >= ssc0 && code <= sscF) || code == sscBlank;
    if (m_useSegmentBits || segmentCode) {
        std::uint8_t litSegments = 0;
        if (m_useSegmentBits) {
            litSegments = m_segmentBits;
        } else if (code <= sscF) {
            litSegments = kDigitSegments[static_cast<std::size_t>(code)];
        }
        for (int index = 0; index < kSegmentCount; ++index) {
            const bool on = (litSegments >> index) & 1;
            if (on) {
                fillPolygon(canvas, segmentPolygon(cell, index), lit);
            } else if (m_showOffSegments) {
                fillPolygon(canvas, segmentPolygon(cell, index), unlit);
            }
        }
        return;
    }

    const int z = m_segmentSize;
    switch (code) {
    case sscPeriod:
        fillQuad(canvas, cell.cx() - z, y + height - 2 * z, cell.cx() + z, y + height, lit);
        break;
    case sscColon:
        drawColonDot(canvas, cell, 5, 7, lit);
        drawColonDot(canvas, cell, 11, 13, lit);
        break;
    case sscSemiColon:
        drawColonDot(canvas, cell, 5, 7, lit);
        drawColonDot(canvas, cell, 11, 13, lit);
        drawTail(canvas, cell, lit);
        break;
    case sscComma:
        drawColonDot(canvas, cell, 11, 13, lit);
        drawTail(canvas, cell, lit);
        break;
    case sscPlus:
        drawPlus(canvas, cell, lit);
        if (m_showOffSegments) {
            drawMinus(canvas, cell, unlit);
        }
        break;
    case sscMinus:
        drawMinus(canvas, cell, lit);
        if (m_showOffSegments) {
            drawPlus(canvas, cell, unlit);
        }
        break;
    case sscLine:
        fillQuad(canvas, x + cell.m, y + cell.hm() - z / 2, x + width - cell.m - 1,
                 y + cell.hm() + z / 2, lit);
        break;
    case sscUpArrow:
        drawArrow(canvas, cell, true, lit);
        break;
    case sscDownArrow:
        drawArrow(canvas, cell, false, lit);
        break;
    default:
        break;
    }
}
