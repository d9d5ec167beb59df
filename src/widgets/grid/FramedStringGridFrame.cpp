// The custom frame of TFramedStringGrid, painted over the border area.

#include "widgets/grid/FramedStringGrid.h"

#include <QPainter>

namespace {

struct RingColors {
    TColor topLeft;
    TColor bottomRight;
};

void fill(QPainter& painter, const QRect& rect, TColor color) {
    if (color != clNone && !rect.isEmpty()) {
        painter.fillRect(rect, toQColor(color));
    }
}

// One-pixel ring on the chosen sides of `rect`. The top and left lines stop
// one pixel short of the far corner, so the right and bottom colours own the
// top-right and bottom-left corners, as the desktop's own edges do. The
// rectangle shrinks by the sides drawn, ready for the next ring.
void paintRing(QPainter& painter, QRect& rect, RingColors colors, TSides sides) {
    const int width = rect.width();
    const int height = rect.height();
    if (sides & sdTop) {
        fill(painter, QRect(rect.left(), rect.top(), width - 1, 1), colors.topLeft);
    }
    if (sides & sdLeft) {
        fill(painter, QRect(rect.left(), rect.top(), 1, height - 1), colors.topLeft);
    }
    if (sides & sdRight) {
        fill(painter, QRect(rect.left() + width - 1, rect.top(), 1, height), colors.bottomRight);
    }
    if (sides & sdBottom) {
        fill(painter, QRect(rect.left(), rect.top() + height - 1, width, 1), colors.bottomRight);
    }
    rect.adjust((sides & sdLeft) ? 1 : 0, (sides & sdTop) ? 1 : 0, (sides & sdRight) ? -1 : 0,
                (sides & sdBottom) ? -1 : 0);
}

// Lines `thickness` pixels wide along the chosen sides of `rect`, one colour.
void paintLines(QPainter& painter, const QRect& rect, TColor color, TSides sides, int thickness) {
    const int width = rect.width();
    const int height = rect.height();
    if (sides & sdTop) {
        fill(painter, QRect(rect.left(), rect.top(), width, thickness), color);
    }
    if (sides & sdLeft) {
        fill(painter, QRect(rect.left(), rect.top(), thickness, height), color);
    }
    if (sides & sdRight) {
        fill(painter, QRect(rect.left() + width - thickness, rect.top(), thickness, height), color);
    }
    if (sides & sdBottom) {
        fill(painter, QRect(rect.left(), rect.top() + height - thickness, width, thickness), color);
    }
}

// The etched styles: two offset one-pixel rectangles, the second drawn over
// the first where they cross.
void paintEtched(QPainter& painter, const QRect& whole, TColor first, TColor second, TSides sides) {
    const int width = whole.width();
    const int height = whole.height();
    paintLines(painter, QRect(1, 1, width - 1, height - 1), first, sides, 1);
    paintLines(painter, QRect(0, 0, width - 1, height - 1), second, sides, 1);
}

} // namespace

void TFramedStringGrid::PaintFrame(QPainter& painter, TFrameStyle style, TColor color,
                                   TSides sides) {
    const QRect whole = rect();
    const int width = whole.width();
    const int height = whole.height();
    constexpr int kBand = 2;
    // The band between the frame and the cells takes the colours of the
    // grid's own edges: the fixed colour above and left, the cell colour
    // below and right.
    fill(painter, QRect(0, 0, width, kBand), FixedColor());
    fill(painter, QRect(0, 0, kBand, height), FixedColor());
    fill(painter, QRect(width - kBand, 0, kBand, height), Color());
    fill(painter, QRect(0, height - kBand, width, kBand), Color());

    QRect ring = whole;
    switch (style) {
    case TFrameStyle::fsNone:
        break;
    case TFrameStyle::fsFlat:
        paintLines(painter, whole, color, sides, 1);
        break;
    case TFrameStyle::fsFlatBold:
        paintLines(painter, whole, color, sides, 2);
        break;
    case TFrameStyle::fsStatus:
        paintRing(painter, ring, {clBtnShadow, clBtnHighlight}, sides);
        break;
    case TFrameStyle::fsPopup:
        paintRing(painter, ring, {clBtnHighlight, clBtnShadow}, sides);
        break;
    case TFrameStyle::fsLowered:
        paintRing(painter, ring, {clBtnShadow, clBtnHighlight}, sides);
        paintRing(painter, ring, {cl3DDkShadow, cl3DLight}, sides);
        break;
    case TFrameStyle::fsRaised:
        paintRing(painter, ring, {cl3DLight, cl3DDkShadow}, sides);
        paintRing(painter, ring, {clBtnHighlight, clBtnShadow}, sides);
        break;
    case TFrameStyle::fsButtonDown:
        paintRing(painter, ring, {clBtnText, clBtnText}, sides);
        paintRing(painter, ring, {clBtnShadow, clBtnShadow}, sides);
        break;
    case TFrameStyle::fsButtonUp:
        paintRing(painter, ring, {clBtnHighlight, cl3DDkShadow}, sides);
        paintRing(painter, ring, {cl3DLight, clBtnShadow}, sides);
        break;
    case TFrameStyle::fsGroove:
        paintEtched(painter, whole, clBtnHighlight, clBtnShadow, sides);
        break;
    case TFrameStyle::fsBump:
        paintEtched(painter, whole, clBtnShadow, clBtnHighlight, sides);
        break;
    }
}
