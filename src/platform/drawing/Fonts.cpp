#include "platform/drawing/Fonts.h"

#include <cmath>

namespace {

constexpr int kDefaultPixelSize = 11;
constexpr int kScreenDpi = 96;
constexpr int kPointsPerInch = 72;

} // namespace

int pixelSizeForHeight(int height) {
    if (height == 0) {
        return kDefaultPixelSize;
    }
    return std::abs(height);
}

QFont makeFont(const QString& windowsFamily, int height, bool bold) {
    QFont font;
    font.setFamilies(fontFamiliesFor(windowsFamily));
    font.setPixelSize(pixelSizeForHeight(height));
    font.setBold(bold);
    font.setStyleStrategy(QFont::NoAntialias);
    // Without antialiasing, full hinting snaps the thin strokes of Chinese
    // glyphs at small sizes onto one another and some strokes vanish; the
    // CJK face is drawn unhinted, the Latin faces keep their crisp hinting.
    const bool chineseFace = mapFontFamily(windowsFamily) == cjkFontFamily();
    font.setHintingPreference(chineseFace ? QFont::PreferNoHinting : QFont::PreferFullHinting);
    return font;
}

TFont::TFont(const QString& name, int height, unsigned style, TColor color)
    : m_name(name), m_height(height), m_style(style), m_color(color) {}

TFont::TFont(const TFont& other)
    : m_name(other.m_name), m_height(other.m_height), m_style(other.m_style),
      m_color(other.m_color) {}

TFont& TFont::operator=(const TFont& other) {
    if (this != &other) {
        Assign(other);
    }
    return *this;
}

void TFont::SetName(const QString& name) {
    if (name == m_name) {
        return;
    }
    m_name = name;
    changed();
}

void TFont::SetHeight(int height) {
    if (height == m_height) {
        return;
    }
    m_height = height;
    changed();
}

int TFont::Size() const {
    return static_cast<int>(
        std::lround(-static_cast<double>(m_height) * kPointsPerInch / kScreenDpi));
}

void TFont::SetSize(int points) {
    SetHeight(
        -static_cast<int>(std::lround(static_cast<double>(points) * kScreenDpi / kPointsPerInch)));
}

void TFont::SetStyle(unsigned style) {
    if (style == m_style) {
        return;
    }
    m_style = style;
    changed();
}

void TFont::SetBold(bool bold) {
    SetStyle(bold ? (m_style | fsBold) : (m_style & ~fsBold));
}

void TFont::SetColor(TColor color) {
    if (color == m_color) {
        return;
    }
    m_color = color;
    changed();
}

void TFont::Assign(const TFont& other) {
    if (*this == other) {
        return;
    }
    m_name = other.m_name;
    m_height = other.m_height;
    m_style = other.m_style;
    m_color = other.m_color;
    changed();
}

bool TFont::operator==(const TFont& other) const {
    return m_name == other.m_name && m_height == other.m_height && m_style == other.m_style &&
           m_color == other.m_color;
}

QFont TFont::toQFont() const {
    // Made once for each change: a copy shares the face Qt looked up for it.
    if (!m_made) {
        m_made = makeFont(m_name, m_height, Bold());
        m_made->setItalic((m_style & fsItalic) != 0);
        m_made->setUnderline((m_style & fsUnderline) != 0);
        m_made->setStrikeOut((m_style & fsStrikeOut) != 0);
    }
    return *m_made;
}

void TFont::changed() {
    m_made.reset();
    if (OnChange) {
        OnChange();
    }
}
