#pragma once
// Off-screen composition for self-drawn controls. A control paints its face
// into a Canvas the size of its client area and copies the result onto the
// window in one operation, so the screen never shows a half-drawn face.
// All drawing on a Canvas is pixel exact: antialiasing of shapes and text is
// off, so a polygon or a glyph lands on whole pixels as it did on the old GDI.
//
// A control keeps its Canvas between paints: the image is made again only
// when the control's size or the window's pixel format changes, and a paint
// that concerns part of the control resets, draws and copies only that part.
// The image is made in the window's own format, so the copy to the window is
// a plain copy of rows, never a conversion, and at the window's device pixel
// ratio: on a screen scaled to 200 % it has four pixels for each pixel of
// the control, and text, lines and shapes drawn on it in the control's own
// coordinates come out at the screen's full resolution.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QSize>

/// Switches a painter to pixel-exact drawing: no antialiasing of shapes or
/// text and no smoothing when images are scaled.
void setPixelExact(QPainter& painter);

/// The pixels of a canvas: their format and how many of them make one pixel
/// of the control along each side.
struct CanvasFormat {
    QImage::Format pixels = QImage::Format_RGB32;
    qreal ratio = 1.0;
};

/// The format of what `target` paints on: the window's backing store while a
/// widget is painted (or the image a widget is rendered into), else 32-bit
/// RGB at ratio 1.
CanvasFormat targetFormat(const QPainter& target);

class Canvas {
public:
    /// A canvas without a picture; begin() starts one.
    Canvas() = default;
    /// A canvas of `size` begun at once (see begin()), in 32-bit RGB.
    explicit Canvas(QSize size);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas();

    /// Starts a picture of `size` (negative extents count as 0) in `format`,
    /// keeping the image of the last picture when size and format are the
    /// same. The painter draws in the control's coordinates at any ratio. Only `dirty` (the whole
    /// canvas when it is empty, or when the image was made anew) is reset to white and can be drawn
    /// on; the rest keeps the last picture. The painter's pen and brush are solid black and white.
    /// A zero-sized canvas accepts every drawing call and copies nothing.
    QPainter& begin(QSize size, CanvasFormat format = CanvasFormat(),
                    const QRegion& dirty = QRegion());

    QPainter& painter() { return m_painter; }
    QSize size() const { return m_size; }
    QRect rect() const { return QRect(QPoint(0, 0), m_size); }
    /// The part of the canvas the current picture draws.
    const QRegion& dirty() const { return m_dirty; }

    /// The picture so far; ends painting first, so call it last.
    const QImage& image();

    /// Copies the picture drawn since begin() onto `target` at `origin`,
    /// replacing what was there (no blending), in one operation. Ends
    /// painting on the canvas.
    void copyTo(QPainter& target, QPoint origin = QPoint(0, 0));

private:
    void finish();

    QSize m_size;
    qreal m_ratio = 1.0;
    QRegion m_dirty;
    QImage m_image;
    QPainter m_painter;
};

/// Copies `source` (the part `sourceRect`, or all of it when that is null)
/// stretched into `destination` of `target`, nearest pixel, no smoothing.
void stretchImage(QPainter& target, const QRect& destination, const QImage& source,
                  const QRect& sourceRect = QRect());
