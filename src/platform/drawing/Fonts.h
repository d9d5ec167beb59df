#pragma once
// Fonts as the windows' stored descriptions name them ("MS Sans Serif",
// "宋体", a height in pixels), mapped to the fonts the system has: on Linux
// those of a Debian desktop, on Windows its own (linux/ and win32/ each hold
// their table).
// A negative height is the character height in pixels (-11 is an 11-pixel
// font), a positive one the cell height; both become QFont pixel sizes.
// Every font made here is unantialiased, so text lands on whole pixels.

#include "platform/drawing/Color.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

/// The family to ask for in place of a Windows family name: on Linux the
/// desktop sans font (DejaVu Sans) for the dialog fonts, a CJK font
/// (WenQuanYi Zen Hei) for the Chinese ones; on Windows the scalable twin of
/// a bitmap-only family, else the name itself. Names it does not know are
/// passed through.
QString mapFontFamily(const QString& windowsFamily);

/// The CJK family behind every font made here, so that Chinese captions
/// render in any family.
QString cjkFontFamily();

/// The families a font of the Windows family asks for, best first: the
/// mapped family, the CJK one, and on Windows the Linux desktop's faces for
/// when it runs on one (under Wine, which has neither Microsoft's faces nor
/// SimSun).
QStringList fontFamiliesFor(const QString& windowsFamily);

/// Pixel size for a stored font height (see above); 0 gives the default 11.
int pixelSizeForHeight(int height);

/// A QFont for a stored family, height and weight, with the CJK font as a
/// fallback so Chinese captions render in any family.
QFont makeFont(const QString& windowsFamily, int height, bool bold = false);

/// Font style bits of a stored font.
enum TFontStyle : unsigned { fsBold = 0x1, fsItalic = 0x2, fsUnderline = 0x4, fsStrikeOut = 0x8 };

/// A stored font with colour and change notification, as controls publish it.
/// Defaults: "MS Sans Serif", height -11, window-text colour, no style.
class TFont {
public:
    TFont() = default;
    TFont(const QString& name, int height, unsigned style = 0, TColor color = clWindowText);
    /// Copies the attributes only; the copy has no OnChange of its own.
    TFont(const TFont& other);
    /// Assigns the attributes and keeps this font's OnChange (see Assign).
    TFont& operator=(const TFont& other);

    QString Name() const { return m_name; }
    void SetName(const QString& name);
    int Height() const { return m_height; }
    void SetHeight(int height);
    /// Size in points at 96 pixels per inch: Height = -Size * 96 / 72, rounded.
    int Size() const;
    void SetSize(int points);
    unsigned Style() const { return m_style; }
    void SetStyle(unsigned style);
    bool Bold() const { return (m_style & fsBold) != 0; }
    void SetBold(bool bold);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);

    /// Copies every attribute from `other`, firing OnChange once if anything differs.
    void Assign(const TFont& other);
    bool operator==(const TFont& other) const;

    /// Called after any attribute changed (not for equal values).
    std::function<void()> OnChange;

    QFont toQFont() const;

private:
    void changed();

    QString m_name = QStringLiteral("MS Sans Serif");
    int m_height = -11;
    unsigned m_style = 0;
    TColor m_color = clWindowText;
    // The QFont of the attributes above, once asked for.
    mutable std::optional<QFont> m_made;
};
