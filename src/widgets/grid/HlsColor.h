#pragma once
// Hue, lightness and saturation on the 0..240 scale of the desktop's colour
// dialog, with its integer rounding, so that "50 units darker" means what it
// meant on the system the tool was designed for.

#include "platform/drawing/Color.h"

struct HlsColor {
    int hue = 0;        // 0..240
    int lightness = 0;  // 0..240
    int saturation = 0; // 0..240
};

inline constexpr int kHlsMax = 240;

/// Plain RGB (0x00BBGGRR; the high byte is ignored) to hue, lightness, saturation.
HlsColor ColorRGBToHLS(TColor rgb);

/// Hue, lightness, saturation back to plain RGB; values outside 0..240 are clamped.
TColor ColorHLSToRGB(const HlsColor& hls);

/// The colour, resolved to RGB, with its lightness lowered by amount units (never below 0).
TColor darkenByLightness(TColor color, int amount);
