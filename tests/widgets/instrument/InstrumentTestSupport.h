#pragma once
// Helpers for the instrument widget tests: render a widget to an image and
// read its pixels back as framework colours.

#include "platform/drawing/Color.h"

#include <QCoreApplication>
#include <QImage>
#include <QRect>
#include <QWidget>

namespace instrument_test {

/// The widget's face as the paint pass produces it.
inline QImage render(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline TColor pixel(const QImage& image, int x, int y) {
    return fromQColor(image.pixelColor(x, y));
}

/// Bounding box of the pixels of `area` that are not `background`.
inline QRect inkBox(const QImage& image, TColor background, QRect area = QRect()) {
    if (area.isNull()) {
        area = image.rect();
    }
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (pixel(image, x, y) != background) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

/// Bounding box of the pixels that have exactly `color`.
inline QRect colorBox(const QImage& image, TColor color) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (pixel(image, x, y) == color) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

/// Number of pixels of `area` with exactly `color`.
inline int countColor(const QImage& image, TColor color, QRect area = QRect()) {
    if (area.isNull()) {
        area = image.rect();
    }
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += pixel(image, x, y) == color ? 1 : 0;
        }
    }
    return count;
}

/// Lets pending paint and timer events run.
inline void settle() {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents();
    }
}

} // namespace instrument_test
