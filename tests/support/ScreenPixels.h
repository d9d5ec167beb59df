#pragma once
// What the screen shows of a widget: its window's pixels grabbed from the
// screen, cut to the widget, for comparing with what a whole paint gives;
// and how finely a picture drawn at twice the scale was drawn.

#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <iterator>

/// The widget as its window shows it now.
inline QImage screenOf(QWidget& widget) {
    QWidget& window = *widget.window();
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .copy(QRect(widget.mapTo(&window, QPoint(0, 0)), widget.size()))
        .convertToFormat(QImage::Format_RGB32);
}

struct BlockCount {
    int inked = 0; // 2 × 2 blocks with any pixel not of the background
    int mixed = 0; // ... of which not all four pixels are of one colour
};

// The 2 × 2 blocks of a picture twice the size of the widget: one drawn at
// scale 1 and enlarged is made of single-coloured blocks only; drawn at the
// screen's resolution, the edges of glyphs and shapes cut through blocks.
inline BlockCount blocksOf(const QImage& image, QRgb background) {
    BlockCount count;
    for (int y = 0; y + 1 < image.height(); y += 2) {
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb pixels[] = {image.pixel(x, y), image.pixel(x + 1, y), image.pixel(x, y + 1),
                                   image.pixel(x + 1, y + 1)};
            const bool inked = std::any_of(std::begin(pixels), std::end(pixels),
                                           [&](QRgb pixel) { return pixel != background; });
            const bool single = std::all_of(std::begin(pixels), std::end(pixels),
                                            [&](QRgb pixel) { return pixel == pixels[0]; });
            count.inked += inked ? 1 : 0;
            count.mixed += inked && !single ? 1 : 0;
        }
    }
    return count;
}
