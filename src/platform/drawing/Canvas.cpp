#include "platform/drawing/Canvas.h"

#include <QPaintEngine>
#include <algorithm>
#include <cmath>

void setPixelExact(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

CanvasFormat targetFormat(const QPainter& target) {
    // A widget is painted through the raster engine of its window's backing
    // store, whose device is the store's image.
    const QPaintEngine* engine = target.paintEngine();
    const QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (device == nullptr) {
        return {};
    }
    CanvasFormat format;
    format.ratio = device->devicePixelRatio() > 0 ? device->devicePixelRatio() : 1.0;
    if (device->devType() == QInternal::Image) {
        // Only formats that hold every colour of an opaque face exactly.
        switch (const QImage::Format pixels = static_cast<const QImage*>(device)->format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            format.pixels = pixels;
            break;
        default:
            break;
        }
    }
    return format;
}

Canvas::Canvas(QSize size) {
    begin(size);
}

Canvas::~Canvas() {
    finish();
}

QPainter& Canvas::begin(QSize size, CanvasFormat format, const QRegion& dirty) {
    finish();
    m_size = QSize(std::max(size.width(), 0), std::max(size.height(), 0));
    m_ratio = format.ratio;
    // QPainter refuses a null image, so an empty canvas still owns one pixel;
    // copyTo() never shows it because it copies only m_size. At a fractional
    // ratio the image takes the pixel the control only partly covers.
    const QSize imageSize(std::max(int(std::ceil(m_size.width() * m_ratio)), 1),
                          std::max(int(std::ceil(m_size.height() * m_ratio)), 1));
    const bool made = m_image.size() != imageSize || m_image.format() != format.pixels ||
                      m_image.devicePixelRatio() != m_ratio;
    if (made) {
        m_image = QImage(imageSize, format.pixels);
        m_image.setDevicePixelRatio(m_ratio);
    }
    m_dirty = made || dirty.isEmpty() ? QRegion(rect()) : dirty.intersected(rect());
    const bool whole = m_dirty == QRegion(rect());
    if (whole) {
        m_image.fill(Qt::white);
    }
    m_painter.begin(&m_image);
    setPixelExact(m_painter);
    if (m_size.isEmpty()) {
        m_painter.setClipRect(QRect(0, 0, 0, 0));
    } else if (!whole) {
        m_painter.setClipRegion(m_dirty);
        for (const QRect& part : m_dirty) {
            m_painter.fillRect(part, Qt::white);
        }
    }
    m_painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    m_painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    return m_painter;
}

void Canvas::finish() {
    if (m_painter.isActive()) {
        m_painter.end();
    }
}

const QImage& Canvas::image() {
    finish();
    return m_image;
}

void Canvas::copyTo(QPainter& target, QPoint origin) {
    finish();
    if (m_size.isEmpty() || m_image.isNull()) {
        return;
    }
    const auto previousMode = target.compositionMode();
    target.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& part : m_dirty) {
        // The image's own pixels of the part, one to one on the screen's.
        const QRectF pixels(part.x() * m_ratio, part.y() * m_ratio, part.width() * m_ratio,
                            part.height() * m_ratio);
        target.drawImage(QRectF(part.translated(origin)), m_image, pixels);
    }
    target.setCompositionMode(previousMode);
}

void stretchImage(QPainter& target, const QRect& destination, const QImage& source,
                  const QRect& sourceRect) {
    if (destination.isEmpty() || source.isNull()) {
        return;
    }
    const QRect from = sourceRect.isNull() ? source.rect() : sourceRect;
    if (from.isEmpty()) {
        return;
    }
    target.save();
    target.setRenderHint(QPainter::SmoothPixmapTransform, false);
    target.drawImage(destination, source, from);
    target.restore();
}
