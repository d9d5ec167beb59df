#pragma once
// Text in a rectangle with the layout rules of the old desktop's DrawText:
// horizontal alignment, vertical centring and bottom alignment of a single
// line, word wrap, clipping, the "&" accelerator prefix and measuring.

#include <QPainter>
#include <QRect>
#include <QString>

namespace TextFormat {
inline constexpr unsigned Left = 0x0;
inline constexpr unsigned Center = 0x1;      ///< centre each line horizontally
inline constexpr unsigned Right = 0x2;       ///< right-align each line
inline constexpr unsigned VCenter = 0x4;     ///< centre vertically; single-line text only
inline constexpr unsigned Bottom = 0x8;      ///< align to the bottom; single-line text only
inline constexpr unsigned WordBreak = 0x10;  ///< wrap at spaces (and between CJK characters)
inline constexpr unsigned SingleLine = 0x20; ///< line feeds do not break the line
inline constexpr unsigned NoClip = 0x100;    ///< glyphs may spill out of the rectangle
inline constexpr unsigned CalcRect = 0x400;  ///< measure only; see DrawTextInRect
inline constexpr unsigned NoPrefix = 0x800;  ///< print "&" as it stands
} // namespace TextFormat

/// A rectangle from its four edges, right and bottom exclusive, as the
/// drawing code of the controls computes them.
inline QRect rectFromEdges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

/// Draws `text` with the painter's font in the painter's pen colour inside
/// `rect` (right edge x + width and bottom edge y + height exclusive); the
/// background behind the glyphs is never filled. Returns the height of the
/// text (lines × line height).
///
/// Unless TextFormat::NoPrefix is given, "&x" hides the ampersand and
/// underlines x, and "&&" prints one ampersand. With TextFormat::CalcRect
/// nothing is drawn: the rectangle's width becomes that of the widest line and
/// its height that of the text, its top-left corner stays.
int DrawTextInRect(QPainter& painter, const QString& text, QRect& rect, unsigned format);

/// The same for a rectangle the caller does not need back.
int DrawTextInRect(QPainter& painter, const QString& text, const QRect& rect, unsigned format);

/// Measures without a painter: the size the text takes in `font` when laid
/// out in a rectangle of `width` pixels (only wrapping looks at the width).
QSize measureText(const QFont& font, const QString& text, int width, unsigned format);

/// Width and height of one line of text in a font, as a canvas reports them.
int textWidth(const QFont& font, const QString& text);
int textHeight(const QFont& font, const QString& text);

/// The accelerator character of a caption ("&File" gives 'F'), or a null
/// QChar when it has none; "&&" is an escaped ampersand, not an accelerator.
QChar acceleratorOf(const QString& caption);
