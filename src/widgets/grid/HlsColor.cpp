#include "widgets/grid/HlsColor.h"

#include <algorithm>

namespace {

constexpr int kRgbMax = 255;
// A grey has no hue; the colour dialog reports two thirds of the scale for it.
constexpr int kUndefinedHue = kHlsMax * 2 / 3;

int deltaOf(int channel, int maximum, int minimum) {
    const int range = maximum - minimum;
    return ((maximum - channel) * (kHlsMax / 6) + range / 2) / range;
}

int hueToChannel(int low, int high, int hue) {
    if (hue < 0) {
        hue += kHlsMax;
    }
    if (hue > kHlsMax) {
        hue -= kHlsMax;
    }
    if (hue < kHlsMax / 6) {
        return low + ((high - low) * hue + kHlsMax / 12) / (kHlsMax / 6);
    }
    if (hue < kHlsMax / 2) {
        return high;
    }
    if (hue < kHlsMax * 2 / 3) {
        return low + ((high - low) * (kHlsMax * 2 / 3 - hue) + kHlsMax / 12) / (kHlsMax / 6);
    }
    return low;
}

int toRgbChannel(int value) {
    return std::clamp((value * kRgbMax + kHlsMax / 2) / kHlsMax, 0, 255);
}

} // namespace

HlsColor ColorRGBToHLS(TColor rgb) {
    const int red = redOf(rgb);
    const int green = greenOf(rgb);
    const int blue = blueOf(rgb);
    const int maximum = std::max({red, green, blue});
    const int minimum = std::min({red, green, blue});
    HlsColor result;
    result.lightness = ((maximum + minimum) * kHlsMax + kRgbMax) / (2 * kRgbMax);
    if (maximum == minimum) {
        result.hue = kUndefinedHue;
        return result;
    }
    const int range = maximum - minimum;
    if (result.lightness <= kHlsMax / 2) {
        result.saturation = (range * kHlsMax + (maximum + minimum) / 2) / (maximum + minimum);
    } else {
        const int rest = 2 * kRgbMax - maximum - minimum;
        result.saturation = (range * kHlsMax + rest / 2) / rest;
    }
    const int redDelta = deltaOf(red, maximum, minimum);
    const int greenDelta = deltaOf(green, maximum, minimum);
    const int blueDelta = deltaOf(blue, maximum, minimum);
    if (red == maximum) {
        result.hue = blueDelta - greenDelta;
    } else if (green == maximum) {
        result.hue = kHlsMax / 3 + redDelta - blueDelta;
    } else {
        result.hue = kHlsMax * 2 / 3 + greenDelta - redDelta;
    }
    if (result.hue < 0) {
        result.hue += kHlsMax;
    }
    if (result.hue > kHlsMax) {
        result.hue -= kHlsMax;
    }
    return result;
}

TColor ColorHLSToRGB(const HlsColor& hls) {
    const int hue = std::clamp(hls.hue, 0, kHlsMax);
    const int lightness = std::clamp(hls.lightness, 0, kHlsMax);
    const int saturation = std::clamp(hls.saturation, 0, kHlsMax);
    if (saturation == 0) {
        const int grey = std::clamp(lightness * kRgbMax / kHlsMax, 0, 255);
        return rgbColor(grey, grey, grey);
    }
    int high = 0;
    if (lightness <= kHlsMax / 2) {
        high = (lightness * (kHlsMax + saturation) + kHlsMax / 2) / kHlsMax;
    } else {
        high = lightness + saturation - (lightness * saturation + kHlsMax / 2) / kHlsMax;
    }
    const int low = 2 * lightness - high;
    return rgbColor(toRgbChannel(hueToChannel(low, high, hue + kHlsMax / 3)),
                    toRgbChannel(hueToChannel(low, high, hue)),
                    toRgbChannel(hueToChannel(low, high, hue - kHlsMax / 3)));
}

TColor darkenByLightness(TColor color, int amount) {
    HlsColor hls = ColorRGBToHLS(ColorToRGB(color));
    hls.lightness = std::max(0, hls.lightness - amount);
    return ColorHLSToRGB(hls);
}
