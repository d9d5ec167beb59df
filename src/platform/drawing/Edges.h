#pragma once
// The classic 3-D edges and the dotted focus rectangle, drawn pixel for pixel
// as the old desktop drew them. Colours come from the system colour roles
// (platform/Color.h), resolved at the moment of drawing.

#include <QPainter>
#include <QRect>

namespace Edge {
// Edge kinds: an outer and an inner one-pixel ring, each raised or sunken.
inline constexpr unsigned RaisedOuter = 0x1;
inline constexpr unsigned SunkenOuter = 0x2;
inline constexpr unsigned RaisedInner = 0x4;
inline constexpr unsigned SunkenInner = 0x8;
/// Outer: 3-D light top-left, 3-D dark shadow bottom-right; inner: button
/// highlight top-left, button shadow bottom-right.
inline constexpr unsigned Raised = RaisedOuter | RaisedInner;
/// Outer: button shadow top-left, button highlight bottom-right; inner: 3-D dark
/// shadow top-left, 3-D light bottom-right.
inline constexpr unsigned Sunken = SunkenOuter | SunkenInner;
inline constexpr unsigned Etched = SunkenOuter | RaisedInner;
inline constexpr unsigned Bump = RaisedOuter | SunkenInner;

// Sides and extras.
inline constexpr unsigned Left = 0x1;
inline constexpr unsigned Top = 0x2;
inline constexpr unsigned Right = 0x4;
inline constexpr unsigned Bottom = 0x8;
inline constexpr unsigned Rect = Left | Top | Right | Bottom;
/// Also fill the inside with the button face colour.
inline constexpr unsigned Middle = 0x800;
/// Shrink the caller's rectangle to the inside of the edge.
inline constexpr unsigned Adjust = 0x2000;
} // namespace Edge

/// Draws `edge` (a combination of the ring kinds) on the chosen `sides` of
/// `rect`, whose right and bottom edges are exclusive (x + width, y + height).
/// Each ring is one pixel: the top and left lines stop one pixel short of the
/// far corner, the bottom and right lines run the full length, so the bottom
/// and right colours own the bottom-left and top-right corners. With
/// Edge::Adjust the rectangle is shrunk by the rings drawn.
void DrawEdge(QPainter& painter, QRect& rect, unsigned edge, unsigned sides);
/// The same without handing back the shrunk rectangle.
void DrawEdge(QPainter& painter, const QRect& rect, unsigned edge, unsigned sides);

/// The dotted focus rectangle: every other pixel of the one-pixel outline of
/// `rect` (starting at its top-left pixel) inverted by XOR, so that drawing it
/// twice restores the picture. Works on raster devices (images, the Canvas).
void DrawFocusRect(QPainter& painter, const QRect& rect);
