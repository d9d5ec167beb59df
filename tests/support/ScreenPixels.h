#pragma once
// What the screen shows of a widget: its window's pixels grabbed from the
// screen, cut to the widget, for comparing with what a whole paint gives.

#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

/// The widget as its window shows it now.
inline QImage screenOf(QWidget& widget) {
    QWidget& window = *widget.window();
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .copy(QRect(widget.mapTo(&window, QPoint(0, 0)), widget.size()))
        .convertToFormat(QImage::Format_RGB32);
}
