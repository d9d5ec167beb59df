#pragma once
// Framework colours: a 32-bit value, 0x00BBGGRR for plain RGB, or a system
// colour role with the high byte 0xFF (clBtnFace and friends). Roles are
// resolved to RGB only when drawn, from the process-wide table in this unit.

#include <QColor>
#include <QPalette>
#include <cstdint>

using TColor = std::uint32_t;

namespace SystemColorIndex {
// The role numbers of the Windows colour table, kept so that stored colours
// and the system-colour values in theme files mean what they meant there.
inline constexpr int ScrollBar = 0;
inline constexpr int Background = 1;
inline constexpr int ActiveCaption = 2;
inline constexpr int InactiveCaption = 3;
inline constexpr int Menu = 4;
inline constexpr int Window = 5;
inline constexpr int WindowFrame = 6;
inline constexpr int MenuText = 7;
inline constexpr int WindowText = 8;
inline constexpr int CaptionText = 9;
inline constexpr int ActiveBorder = 10;
inline constexpr int InactiveBorder = 11;
inline constexpr int AppWorkSpace = 12;
inline constexpr int Highlight = 13;
inline constexpr int HighlightText = 14;
inline constexpr int BtnFace = 15;
inline constexpr int BtnShadow = 16;
inline constexpr int GrayText = 17;
inline constexpr int BtnText = 18;
inline constexpr int InactiveCaptionText = 19;
inline constexpr int BtnHighlight = 20;
inline constexpr int DkShadow3D = 21;
inline constexpr int Light3D = 22;
inline constexpr int InfoText = 23;
inline constexpr int InfoBk = 24;
inline constexpr int Count = 25;
} // namespace SystemColorIndex

inline constexpr TColor clSystemColor = 0xFF000000u;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
/// "No colour": a side or a fill that is not painted.
inline constexpr TColor clNone = 0x1FFFFFFFu;

inline constexpr TColor clScrollBar = clSystemColor | SystemColorIndex::ScrollBar;
inline constexpr TColor clBackground = clSystemColor | SystemColorIndex::Background;
inline constexpr TColor clActiveCaption = clSystemColor | SystemColorIndex::ActiveCaption;
inline constexpr TColor clInactiveCaption = clSystemColor | SystemColorIndex::InactiveCaption;
inline constexpr TColor clMenu = clSystemColor | SystemColorIndex::Menu;
inline constexpr TColor clWindow = clSystemColor | SystemColorIndex::Window;
inline constexpr TColor clWindowFrame = clSystemColor | SystemColorIndex::WindowFrame;
inline constexpr TColor clMenuText = clSystemColor | SystemColorIndex::MenuText;
inline constexpr TColor clWindowText = clSystemColor | SystemColorIndex::WindowText;
inline constexpr TColor clCaptionText = clSystemColor | SystemColorIndex::CaptionText;
inline constexpr TColor clActiveBorder = clSystemColor | SystemColorIndex::ActiveBorder;
inline constexpr TColor clInactiveBorder = clSystemColor | SystemColorIndex::InactiveBorder;
inline constexpr TColor clAppWorkSpace = clSystemColor | SystemColorIndex::AppWorkSpace;
inline constexpr TColor clHighlight = clSystemColor | SystemColorIndex::Highlight;
inline constexpr TColor clHighlightText = clSystemColor | SystemColorIndex::HighlightText;
inline constexpr TColor clBtnFace = clSystemColor | SystemColorIndex::BtnFace;
inline constexpr TColor clBtnShadow = clSystemColor | SystemColorIndex::BtnShadow;
inline constexpr TColor clGrayText = clSystemColor | SystemColorIndex::GrayText;
inline constexpr TColor clBtnText = clSystemColor | SystemColorIndex::BtnText;
inline constexpr TColor clInactiveCaptionText =
    clSystemColor | SystemColorIndex::InactiveCaptionText;
inline constexpr TColor clBtnHighlight = clSystemColor | SystemColorIndex::BtnHighlight;
inline constexpr TColor cl3DDkShadow = clSystemColor | SystemColorIndex::DkShadow3D;
inline constexpr TColor cl3DLight = clSystemColor | SystemColorIndex::Light3D;
inline constexpr TColor clInfoText = clSystemColor | SystemColorIndex::InfoText;
inline constexpr TColor clInfoBk = clSystemColor | SystemColorIndex::InfoBk;

/// True for a system colour role (high byte 0xFF).
constexpr bool isSystemColor(TColor color) {
    return (color & 0xFF000000u) == clSystemColor;
}

/// Plain RGB bytes of a 0x00BBGGRR value.
constexpr int redOf(TColor color) {
    return static_cast<int>(color & 0xFF);
}
constexpr int greenOf(TColor color) {
    return static_cast<int>((color >> 8) & 0xFF);
}
constexpr int blueOf(TColor color) {
    return static_cast<int>((color >> 16) & 0xFF);
}
constexpr TColor rgbColor(int red, int green, int blue) {
    return static_cast<TColor>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

/// Resolves a colour to plain 0x00BBGGRR: system roles through the table,
/// plain values as they are (the high byte dropped). clNone resolves to black.
TColor ColorToRGB(TColor color);

/// The resolved colour as a QColor, ready for a QPainter.
QColor toQColor(TColor color);

/// The nearest framework colour of a QColor (alpha ignored).
TColor fromQColor(const QColor& color);

namespace SystemColors {
/// Current RGB (0x00BBGGRR) of a role; an index outside the table gives black.
TColor rgbOf(int index);
/// Sets one role; used by tests to pin a palette and by loadFromPalette.
void setRole(int index, TColor rgb);
/// Restores the classic desktop colours (button face 0xC8D0D4 and friends),
/// the table the process starts with.
void resetToClassic();
/// Fills the roles that Qt's palette knows from it; the rest keep their values.
void loadFromPalette(const QPalette& palette);
} // namespace SystemColors
