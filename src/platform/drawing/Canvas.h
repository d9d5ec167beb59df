#pragma once
// Off-screen composition for self-drawn controls. A control paints its whole
// face into a Canvas the size of its client area and copies the result onto
// the window in one operation, so the screen never shows a half-drawn face.
// All drawing on a Canvas is pixel exact: antialiasing of shapes and text is
// off, so a polygon or a glyph lands on whole pixels as it did on the old GDI.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>

/// Switches a painter to pixel-exact drawing: no antialiasing of shapes or
/// text and no smoothing when images are scaled.
void setPixelExact(QPainter& painter);

class Canvas {
public:
    /// An image of `size` (negative extents count as 0) with an active painter
    /// whose pen and brush are solid black and white. A zero-sized canvas
    /// accepts every drawing call and copies nothing.
    explicit Canvas(QSize size);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas();

    QPainter& painter() { return m_painter; }
    QSize size() const { return m_size; }
    QRect rect() const { return QRect(QPoint(0, 0), m_size); }

    /// The picture so far; ends painting first, so call it last.
    const QImage& image();

    /// Copies the whole picture onto `target` at `origin`, replacing what was
    /// there (no blending), in one operation. Ends painting on the canvas.
    void copyTo(QPainter& target, QPoint origin = QPoint(0, 0));

private:
    void finish();

    QSize m_size;
    QImage m_image;
    QPainter m_painter;
};

/// Copies `source` (the part `sourceRect`, or all of it when that is null)
/// stretched into `destination` of `target`, nearest pixel, no smoothing.
void stretchImage(QPainter& target, const QRect& destination, const QImage& source,
                  const QRect& sourceRect = QRect());
