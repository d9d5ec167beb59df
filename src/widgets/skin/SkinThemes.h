#pragma once
// Skin styles and their theme elements: the 48 element keys, the built-in
// table of the five styles, the lookups every skinned control uses, and the
// rule that picks a loaded theme file or a built-in style.

#include "platform/drawing/Color.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <stdexcept>

class QObject;
class TskFileTheme;

/// The skin style. Streamed by name in design data (`UIStyle = BlueGlass`).
enum class TskUIStyle : std::uint8_t {
    FromThemeFile = 0,
    MacOS = 1,
    WinXP = 2,
    DeepBlue = 3,
    Protein = 4,
    BlueGlass = 5,
};

/// The style used wherever a style cannot be determined.
inline constexpr TskUIStyle FallbackUIStyle = TskUIStyle::DeepBlue;

/// Style name as it appears in design data, and back (unknown names give
/// the fallback style).
QString UIStyleName(TskUIStyle style);
TskUIStyle UIStyleFromName(const QString& name);

/// What a theme element holds. The numbers are the kind codes of the table.
enum class ThemeElementKind : std::uint8_t { Integer = 0, Color = 1, Image = 2, Boolean = 3 };

namespace ThemeElement {
inline constexpr int First = 1;
inline constexpr int Count = 48;
inline constexpr int ButtonImage = 1;
inline constexpr int ButtonTransparentBool = 2;
} // namespace ThemeElement

/// Key of element `index` (1 to 48), empty outside that range.
QString ThemeElementKey(int index);

/// Kind of element `index`, taken from the last word of its key.
ThemeElementKind ThemeElementKindOf(int index);

/// Raised when a named skin resource cannot be found or decoded.
class ESkinError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Resource path of a built-in skin bitmap by its resource name.
QString SkinResourcePath(const QString& resourceName);

/// Resource name of an image element of a built-in style; empty for elements
/// that are not images, for images that exist only in theme files, and for
/// FromThemeFile.
QString StyleImageName(TskUIStyle style, int index);

/// Loads element `index` of a built-in style into `target`. With frameCount 0
/// the whole image is taken, otherwise frame `frameIndex` (1-based) of
/// `frameCount`. A null target does nothing. For an element that is not an
/// image, `target` is left alone when frameCount is 0 and emptied otherwise;
/// an image element with an empty name leaves `target` alone. Throws
/// ESkinError when the named resource is missing.
void StyleBitmap(TskUIStyle style, int index, QImage* target, int frameCount = 0,
                 int frameIndex = 1);

/// Boolean element, or false for any other kind.
bool StyleBool(TskUIStyle style, int index);
/// Colour element (0x00BBGGRR), or 0 for any other kind.
TColor StyleColor(TskUIStyle style, int index);
/// Integer element, or -1 for any other kind.
int StyleInt(TskUIStyle style, int index);

/// Copies frame `frameIndex` (1-based) of a strip of `frameCount` equal frames
/// into `target`, which takes the frame's size. The frame width is the strip
/// width divided by the count; remainder columns at the right are never used.
/// A frame that does not exist leaves `target` empty.
void CutFrame(const QImage& source, QImage* target, int frameCount, int frameIndex);

/// Where a control's look comes from.
struct SkinSource {
    bool useFileTheme = false;
    TskUIStyle style = FallbackUIStyle;
};

/// A fixed style is used as it is; FromThemeFile uses the theme component when
/// it has loaded a file, and the fallback style otherwise.
SkinSource ResolveSkinSource(const TskFileTheme* fileTheme, TskUIStyle style);

/// The style a new skinned control starts with: the UIStyle of the first
/// skinned form (a child object of class TskForm with a UIStyle property)
/// among the owner's children when the owner is a window, else the fallback.
TskUIStyle InitialStyleFor(const QObject* owner);
