#include "widgets/skin/SkinDrawing.h"

#include "platform/drawing/Color.h"

#include <algorithm>

namespace {

int nonNegative(int value) {
    return std::max(value, 0);
}

// Right and bottom edges are exclusive throughout, as the layout is written.
QRect edges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}
int rightOf(const QRect& r) {
    return r.x() + r.width();
}
int bottomOf(const QRect& r) {
    return r.y() + r.height();
}

// Stretches `source` of `face` to `size` by nearest pixel; magenta becomes
// fully transparent when masked, every other pixel stays opaque.
QImage stretchedPiece(const QImage& face, const QRect& source, QSize size, bool mask) {
    QImage piece(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        const int sourceY = source.y() + y * source.height() / size.height();
        const auto* in = reinterpret_cast<const QRgb*>(face.constScanLine(sourceY));
        auto* out = reinterpret_cast<QRgb*>(piece.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const QRgb rgb = in[source.x() + x * source.width() / size.width()] & 0xFFFFFF;
            out[x] = (mask && rgb == SkinTransparentColor) ? 0u : (0xFF000000u | rgb);
        }
    }
    return piece;
}

// Cuts a stretched piece's source to its destination's width, keeping the
// left or the right part.
void cutSourceWidth(NineSlicePiece& piece, bool keepLeft) {
    const int width = piece.destination.width();
    if (width > 0 && piece.source.width() > width) {
        if (!keepLeft) {
            piece.source.setLeft(piece.source.x() + piece.source.width() - width);
        }
        piece.source.setWidth(width);
    }
}

// The same across the height, keeping the top or the bottom part.
void cutSourceHeight(NineSlicePiece& piece, bool keepTop) {
    const int height = piece.destination.height();
    if (height > 0 && piece.source.height() > height) {
        if (!keepTop) {
            piece.source.setTop(piece.source.y() + piece.source.height() - height);
        }
        piece.source.setHeight(height);
    }
}

} // namespace

std::array<NineSlicePiece, 9> NineSliceLayout(QSize face, const QRect& rect) {
    const int W = face.width();
    const int H = face.height();
    const int dw = rect.width();
    const int dh = rect.height();
    const int R = rect.x() + dw;
    const int B = rect.y() + dh;
    const int w2 = W / 2;
    const int h2 = H / 2;
    const int dw2 = dw / 2;
    const int dh2 = dh / 2;

    // Corners: natural size unless the button is smaller; the source keeps
    // the part that touches the face's own corner.
    const int leftWidth = nonNegative(std::min(w2, dw2));
    const int rightWidth = nonNegative(std::min(w2 - 1, dw2 - 1));
    const int topHeight = nonNegative(std::min(h2, dh2));
    const int bottomHeight = nonNegative(std::min(h2 - 1, dh2 - 1));
    const QRect topLeft = edges(0, 0, leftWidth, topHeight);
    const QRect bottomLeft = edges(0, B - bottomHeight, leftWidth, B);
    const QRect topRight = edges(R - rightWidth, 0, R, topHeight);
    const QRect bottomRight = edges(R - rightWidth, B - bottomHeight, R, B);

    std::array<NineSlicePiece, 9> pieces;
    pieces[0] = {edges(0, 0, leftWidth, topHeight), topLeft, true};
    pieces[1] = {edges(0, H - bottomHeight, leftWidth, H), bottomLeft, true};
    pieces[2] = {edges(0, h2, w2, H - h2),
                 edges(0, bottomOf(topLeft), rightOf(topLeft), bottomLeft.y()), false};
    pieces[3] = {edges(W - rightWidth, 0, W, topHeight), topRight, true};
    pieces[4] = {edges(W - rightWidth, H - bottomHeight, W, H), bottomRight, true};
    pieces[5] = {edges(W - w2 + 1, H - h2, W, h2 + 2),
                 edges(topRight.x(), bottomOf(topRight), rightOf(topRight), bottomRight.y()),
                 false};
    pieces[6] = {edges(w2, 0, W - w2 + 1, h2),
                 edges(rightOf(topLeft), 0, topRight.x(), bottomOf(topLeft)), false};
    pieces[7] = {edges(w2, h2, W - w2 + 1, H - h2),
                 edges(rightOf(topLeft), bottomOf(topLeft), topRight.x(), bottomRight.y() - 1),
                 false};
    pieces[8] = {
        edges(w2, H - h2, W - w2 + 1, H),
        edges(rightOf(topLeft) - 1, bottomLeft.y() - 1, bottomRight.x(), bottomOf(bottomRight)),
        false};

    // An edge source larger than its destination across the edge is cut from
    // the outer side: the left edge keeps its left part, and so on.
    cutSourceWidth(pieces[2], true);
    cutSourceWidth(pieces[5], false);
    cutSourceHeight(pieces[6], true);
    cutSourceHeight(pieces[8], false);
    return pieces;
}

void DrawNineSlice(const QImage& face, QPainter& canvas, const QRect& rect, bool maskCorners) {
    if (face.isNull()) {
        return;
    }
    const QImage pixels = face.convertToFormat(QImage::Format_RGB32);
    for (const NineSlicePiece& piece : NineSliceLayout(face.size(), rect)) {
        // Tiny faces or buttons give pieces that are empty or reach outside the
        // face; those are skipped rather than read out of bounds.
        const QRect source = piece.source.intersected(pixels.rect());
        if (piece.destination.width() <= 0 || piece.destination.height() <= 0 || source.isEmpty()) {
            continue;
        }
        const bool mask = piece.corner ? maskCorners : true;
        canvas.drawImage(piece.destination.topLeft(),
                         stretchedPiece(pixels, source, piece.destination.size(), mask));
    }
}

void DrawMaskedImage(QPainter& canvas, QPoint origin, const QImage& image, bool mask,
                     QRgb transparent, bool greyed) {
    if (image.isNull()) {
        return;
    }
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    auto shapeIn = [&](QRgb colour) {
        QImage shape(pixels.size(), QImage::Format_ARGB32);
        for (int y = 0; y < pixels.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
            auto* out = reinterpret_cast<QRgb*>(shape.scanLine(y));
            for (int x = 0; x < pixels.width(); ++x) {
                const QRgb rgb = in[x] & 0xFFFFFF;
                const bool hidden = mask && rgb == (transparent & 0xFFFFFF);
                out[x] = hidden ? 0u : 0xFF000000u | (greyed ? colour : rgb);
            }
        }
        return shape;
    };
    if (greyed) {
        canvas.drawImage(origin + QPoint(1, 1), shapeIn(toQColor(clBtnHighlight).rgb() & 0xFFFFFF));
        canvas.drawImage(origin, shapeIn(toQColor(clBtnShadow).rgb() & 0xFFFFFF));
    } else {
        canvas.drawImage(origin, shapeIn(0));
    }
}
