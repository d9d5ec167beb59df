#include "platform/drawing/Canvas.h"

#include <algorithm>

void setPixelExact(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

Canvas::Canvas(QSize size)
    : m_size(std::max(size.width(), 0), std::max(size.height(), 0)),
      // QPainter refuses a null image, so an empty canvas still owns one pixel;
      // copyTo() never shows it because it copies only m_size.
      m_image(std::max(m_size.width(), 1), std::max(m_size.height(), 1), QImage::Format_RGB32) {
    m_image.fill(Qt::white);
    m_painter.begin(&m_image);
    setPixelExact(m_painter);
    m_painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    m_painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    if (m_size.isEmpty()) {
        m_painter.setClipRect(QRect(0, 0, 0, 0));
    }
}

Canvas::~Canvas() {
    finish();
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
    if (m_size.isEmpty()) {
        return;
    }
    const auto previousMode = target.compositionMode();
    target.setCompositionMode(QPainter::CompositionMode_Source);
    target.drawImage(origin, m_image, QRect(QPoint(0, 0), m_size));
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
