#include "platform/drawing/VisualThemes.h"

namespace {

// The light steel blue of the themed edit field border.
constexpr TColor kThemedEditBorder = rgbColor(127, 157, 185);

bool& themesActive() {
    static bool active = false;
    return active;
}

} // namespace

namespace VisualThemes {

bool active() {
    return themesActive();
}

void setActive(bool active) {
    themesActive() = active;
}

TColor editBorderColor() {
    return active() ? kThemedEditBorder : clBtnFace;
}

} // namespace VisualThemes
