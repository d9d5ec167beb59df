#pragma once
// What the trend's two plots share: their colours, a linear value axis in
// register counts labelled in the read-outs' scale, and the drawing of the
// grid and the labels on the plot's off-screen canvas.

#include "platform/drawing/Color.h"

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QString>
#include <cstdint>
#include <vector>

namespace PlotColors {
// The read-outs' colours: the output lime, the feedback red, on black.
inline const QColor Background = toQColor(clBlack);
inline const QColor Output = toQColor(clLime);
inline const QColor Feedback = toQColor(clRed);
inline const QColor Grid{0x40, 0x40, 0x40};
inline const QColor Text{0xC0, 0xC0, 0xC0};
inline const QColor Cursor{0x80, 0x80, 0x80};
// The X-Y view: the ideal line, the band the tolerance allows, and what lies
// outside it.
inline const QColor Ideal{0xC0, 0xC0, 0xC0};
inline const QColor Band{0x20, 0x30, 0x60};
inline const QColor Stray = toQColor(clYellow);
inline const QColor Point = toQColor(clWhite);
} // namespace PlotColors

/// A value as the read-outs show it: counts divided by 100 with two
/// decimals, or by 10 with one when the display mode is not 0.
QString ReadoutText(double counts, std::uint16_t displayMode);

/// The smallest step of 1, 2 or 5 times a power of ten that is at least `least`.
double NiceStep(double least);

/// Values in register counts from `low` to `high` along the pixels from
/// `fromPixel` (for low) to `toPixel` (for high); either direction.
class ValueAxis {
public:
    ValueAxis(double low, double high, int fromPixel, int toPixel);

    double Low() const { return m_low; }
    double High() const { return m_high; }
    int PixelOf(double counts) const;
    double ValueAt(double pixel) const;
    /// Round values between low and high, at least `gap` pixels apart and at
    /// least one count.
    std::vector<double> Ticks(int gap) const;

private:
    double m_low;
    double m_high;
    int m_from;
    int m_to;
};

/// Draws the plot's frame, a grid line
/// across the plot at every tick of the vertical axis and its label to the
/// left of the plot.
void DrawValueGrid(QPainter& painter, const QRect& plot, const ValueAxis& vertical,
                   std::uint16_t displayMode);
