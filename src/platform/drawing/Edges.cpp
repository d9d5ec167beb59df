#include "platform/drawing/Edges.h"

#include "platform/drawing/Color.h"

#include <QPolygon>

namespace {

struct RingColors {
    TColor topLeft = clNone;
    TColor bottomRight = clNone;
};

RingColors outerRing(unsigned edge) {
    if (edge & Edge::RaisedOuter) {
        return {cl3DLight, cl3DDkShadow};
    }
    if (edge & Edge::SunkenOuter) {
        return {clBtnShadow, clBtnHighlight};
    }
    return {};
}

RingColors innerRing(unsigned edge) {
    if (edge & Edge::RaisedInner) {
        return {clBtnHighlight, clBtnShadow};
    }
    if (edge & Edge::SunkenInner) {
        return {cl3DDkShadow, cl3DLight};
    }
    return {};
}

void fillSpan(QPainter& painter, int x, int y, int width, int height, TColor color) {
    if (width > 0 && height > 0) {
        painter.fillRect(QRect(x, y, width, height), toQColor(color));
    }
}

// One ring on the inclusive box left..right × top..bottom.
void drawRing(QPainter& painter, const QRect& box, const RingColors& colors, unsigned sides) {
    const int left = box.x();
    const int top = box.y();
    const int width = box.width();
    const int height = box.height();
    if (colors.topLeft != clNone) {
        if (sides & Edge::Top) {
            fillSpan(painter, left, top, width - 1, 1, colors.topLeft);
        }
        if (sides & Edge::Left) {
            fillSpan(painter, left, top, 1, height - 1, colors.topLeft);
        }
    }
    if (colors.bottomRight != clNone) {
        if (sides & Edge::Bottom) {
            fillSpan(painter, left, top + height - 1, width, 1, colors.bottomRight);
        }
        if (sides & Edge::Right) {
            fillSpan(painter, left + width - 1, top, 1, height, colors.bottomRight);
        }
    }
}

// Shrinks the box on the sides that carry a ring.
QRect insetBy(const QRect& box, unsigned sides) {
    return box.adjusted((sides & Edge::Left) ? 1 : 0, (sides & Edge::Top) ? 1 : 0,
                        (sides & Edge::Right) ? -1 : 0, (sides & Edge::Bottom) ? -1 : 0);
}

} // namespace

void DrawEdge(QPainter& painter, QRect& rect, unsigned edge, unsigned sides) {
    QRect box = rect;
    const RingColors outer = outerRing(edge);
    if (outer.topLeft != clNone) {
        drawRing(painter, box, outer, sides);
        box = insetBy(box, sides);
    }
    const RingColors inner = innerRing(edge);
    if (inner.topLeft != clNone) {
        drawRing(painter, box, inner, sides);
        box = insetBy(box, sides);
    }
    if ((sides & Edge::Middle) && box.width() > 0 && box.height() > 0) {
        painter.fillRect(box, toQColor(clBtnFace));
    }
    if (sides & Edge::Adjust) {
        rect = box;
    }
}

void DrawEdge(QPainter& painter, const QRect& rect, unsigned edge, unsigned sides) {
    QRect copy = rect;
    DrawEdge(painter, copy, edge, sides & ~Edge::Adjust);
}

void DrawFocusRect(QPainter& painter, const QRect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    // Collect each outline pixel once; corners shared by two sides must not be
    // inverted twice.
    QPolygon dots;
    const int left = rect.x();
    const int top = rect.y();
    const int right = left + rect.width() - 1;
    const int bottom = top + rect.height() - 1;
    auto addIfOn = [&](int x, int y) {
        if (((x - left) + (y - top)) % 2 == 0) {
            dots << QPoint(x, y);
        }
    };
    for (int x = left; x <= right; ++x) {
        addIfOn(x, top);
        if (bottom != top) {
            addIfOn(x, bottom);
        }
    }
    for (int y = top + 1; y < bottom; ++y) {
        addIfOn(left, y);
        if (right != left) {
            addIfOn(right, y);
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawPoints(dots);
    painter.restore();
}
