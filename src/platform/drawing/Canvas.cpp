#include "platform/drawing/Canvas.h"

#include <QPaintEngine>
#include <algorithm>

void setPixelExact(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

QImage::Format targetFormat(const QPainter& target) {
    // A widget is painted through the raster engine of its window's backing
    // store, whose device is the store's image.
    const QPaintEngine* engine = target.paintEngine();
    const QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (device && device->devType() == QInternal::Image) {
        const QImage::Format format = static_cast<const QImage*>(device)->format();
        // Only formats that hold every colour of an opaque face exactly.
        switch (format) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return format;
        default:
            break;
        }
    }
    return QImage::Format_RGB32;
}

Canvas::Canvas(QSize size) {
    begin(size);
}

Canvas::~Canvas() {
    finish();
}

QPainter& Canvas::begin(QSize size, QImage::Format format, const QRegion& dirty) {
    finish();
    m_size = QSize(std::max(size.width(), 0), std::max(size.height(), 0));
    // QPainter refuses a null image, so an empty canvas still owns one pixel;
    // copyTo() never shows it because it copies only m_size.
    const QSize imageSize(std::max(m_size.width(), 1), std::max(m_size.height(), 1));
    const bool made = m_image.size() != imageSize || m_image.format() != format;
    if (made) {
        m_image = QImage(imageSize, format);
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
        target.drawImage(part.topLeft() + origin, m_image, part);
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
