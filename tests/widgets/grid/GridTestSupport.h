#pragma once
// Helpers shared by the grid tests: reading pixels back as framework colours
// and giving a shown grid the keyboard focus on the offscreen platform.

#include "platform/drawing/Color.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

namespace gridtest {

inline QImage render(QWidget& widget) {
    return widget.grab().toImage();
}

/// The pixel as plain 0x00BBGGRR.
inline TColor pixelAt(const QImage& image, int x, int y) {
    return fromQColor(QColor(image.pixel(x, y)));
}

inline TColor rgb(TColor color) {
    return ColorToRGB(color);
}

/// Shows the window and waits until it is active, so that setFocus takes.
inline bool showActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window, 5000);
}

inline bool focusOn(QWidget& widget) {
    widget.setFocus(Qt::OtherFocusReason);
    for (int attempt = 0; attempt < 500 && !widget.hasFocus(); ++attempt) {
        QTest::qWait(10);
    }
    return widget.hasFocus();
}

} // namespace gridtest
