#pragma once
// Drawing a skin face: the nine-slice stretch that keeps the corners of a
// button frame at their natural size, and masked drawing of bitmaps with one
// colour left out (optionally greyed, for disabled glyphs).

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <array>

/// The transparent colour of skin images, magenta.
inline constexpr QRgb SkinTransparentColor = 0xFF00FF;

struct NineSlicePiece {
    QRect source;      ///< part of the face, already cut to what is drawn
    QRect destination; ///< where it lands; empty pieces are skipped
    bool corner = false;
};

/// Where the nine pieces of a `face`-sized frame land when it is drawn into
/// `rect` (whose top-left is the canvas origin), in drawing order: top-left,
/// bottom-left, left edge, top-right, bottom-right, right edge, top edge,
/// centre, bottom edge.
std::array<NineSlicePiece, 9> NineSliceLayout(QSize face, const QRect& rect);

/// Draws `face` nine-sliced into `rect`. Edge and centre pieces always leave
/// magenta out; corners do so only when `maskCorners` is true. Stretching
/// repeats the nearest source pixel, without smoothing.
void DrawNineSlice(const QImage& face, QPainter& canvas, const QRect& rect, bool maskCorners);

/// Draws `image` at `origin` 1:1 leaving out pixels of `transparent` (when
/// `mask` is true). Greyed drawing paints the image's shape embossed in the
/// button highlight and shadow colours, as disabled pictures look.
void DrawMaskedImage(QPainter& canvas, QPoint origin, const QImage& image, bool mask,
                     QRgb transparent, bool greyed = false);
