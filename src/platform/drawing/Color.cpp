#include "platform/drawing/Color.h"

#include <array>

namespace {

// The classic desktop scheme, so that a fresh process draws the bevels and
// faces the tool was designed with whatever the desktop theme is.
constexpr std::array<TColor, SystemColorIndex::Count> kClassic = {
    rgbColor(212, 208, 200), // ScrollBar
    rgbColor(58, 110, 165),  // Background
    rgbColor(10, 36, 106),   // ActiveCaption
    rgbColor(128, 128, 128), // InactiveCaption
    rgbColor(212, 208, 200), // Menu
    rgbColor(255, 255, 255), // Window
    rgbColor(0, 0, 0),       // WindowFrame
    rgbColor(0, 0, 0),       // MenuText
    rgbColor(0, 0, 0),       // WindowText
    rgbColor(255, 255, 255), // CaptionText
    rgbColor(212, 208, 200), // ActiveBorder
    rgbColor(212, 208, 200), // InactiveBorder
    rgbColor(128, 128, 128), // AppWorkSpace
    rgbColor(10, 36, 106),   // Highlight
    rgbColor(255, 255, 255), // HighlightText
    rgbColor(212, 208, 200), // BtnFace
    rgbColor(128, 128, 128), // BtnShadow
    rgbColor(128, 128, 128), // GrayText
    rgbColor(0, 0, 0),       // BtnText
    rgbColor(212, 208, 200), // InactiveCaptionText
    rgbColor(255, 255, 255), // BtnHighlight
    rgbColor(64, 64, 64),    // DkShadow3D
    rgbColor(212, 208, 200), // Light3D
    rgbColor(0, 0, 0),       // InfoText
    rgbColor(255, 255, 225), // InfoBk
};

std::array<TColor, SystemColorIndex::Count>& table() {
    static std::array<TColor, SystemColorIndex::Count> roles = kClassic;
    return roles;
}

} // namespace

TColor ColorToRGB(TColor color) {
    if (color == clNone) {
        return clBlack;
    }
    if (isSystemColor(color)) {
        return SystemColors::rgbOf(static_cast<int>(color & 0xFF));
    }
    return color & 0x00FFFFFFu;
}

QColor toQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(redOf(rgb), greenOf(rgb), blueOf(rgb));
}

TColor fromQColor(const QColor& color) {
    return rgbColor(color.red(), color.green(), color.blue());
}

namespace SystemColors {

TColor rgbOf(int index) {
    if (index < 0 || index >= SystemColorIndex::Count) {
        return clBlack;
    }
    return table()[static_cast<std::size_t>(index)];
}

void setRole(int index, TColor rgb) {
    if (index < 0 || index >= SystemColorIndex::Count) {
        return;
    }
    table()[static_cast<std::size_t>(index)] = rgb & 0x00FFFFFFu;
}

void resetToClassic() {
    table() = kClassic;
}

void loadFromPalette(const QPalette& palette) {
    using namespace SystemColorIndex;
    const auto set = [&](int index, QPalette::ColorRole role) {
        setRole(index, fromQColor(palette.color(QPalette::Active, role)));
    };
    set(Window, QPalette::Base);
    set(WindowText, QPalette::Text);
    set(BtnFace, QPalette::Button);
    set(BtnText, QPalette::ButtonText);
    set(BtnShadow, QPalette::Dark);
    set(BtnHighlight, QPalette::Light);
    set(Light3D, QPalette::Midlight);
    set(DkShadow3D, QPalette::Shadow);
    set(Highlight, QPalette::Highlight);
    set(HighlightText, QPalette::HighlightedText);
    set(InfoBk, QPalette::ToolTipBase);
    set(InfoText, QPalette::ToolTipText);
    setRole(GrayText, fromQColor(palette.color(QPalette::Disabled, QPalette::Text)));
}

} // namespace SystemColors
