#include "widgets/skin/SkinThemes.h"

#include "widgets/skin/SkinMgr.h"

#include <QObject>
#include <QVariant>
#include <QWidget>
#include <array>
#include <string_view>

// The bitmaps live in a static library, so their resource table has to be
// registered by name before the first lookup.
static void registerSkinBitmaps() {
    Q_INIT_RESOURCE(SkinBitmaps);
}

namespace {

constexpr std::array<std::string_view, ThemeElement::Count> elementKeys = {
    "ButtonImage",
    "ButtonTransparentBool",
    "CheckBoxImage",
    "RadioButtonImage",
    "TitleBarButtonImage",
    "TitleBarButtonTransparentBool",
    "TitleBarButtonLeftOffsetInt",
    "TitleBarButtonRightOffsetInt",
    "TitleBarButtonTopInt",
    "TitleBarLeftImage",
    "TitleBarClientImage",
    "TitleBarRightImage",
    "FormMinWidthInt",
    "FormRoundCornerInt",
    "FormBackgroundColor",
    "FormBorderColor",
    "FormBorderWidthInt",
    "MenuSelectedBorderColor",
    "MenuSelectedBackgroundColor",
    "MenuSelectedFontColor",
    "MenuBackgroundColor",
    "MenuFontColor",
    "MenuBarColor",
    "ProgressBarImage",
    "ControlBorderColor",
    "ControlBackgroundColor",
    "ControlFontColor",
    "TrackBarBarImage",
    "TrackBarSliderImage",
    "TrackBarSliderVImage",
    "ScrollBarBackgroundColor",
    "ScrollBarButtonImage",
    "ScrollBarSliderImage",
    "CheckListBoxImage",
    "ToolBarButtonBorderColor",
    "ToolBarButtonBackgroundColor",
    "ToolBarButtonDownBackgroundColor",
    "ScrollButtonImage",
    "TabControlTabImage",
    "TabControlBarImage",
    "SideChannelHandleImage",
    "SideChannelBarImage",
    "TitleBarMinimizedImage",
    "TitleBarFontColor",
    "FormLeftBorderImage",
    "FormBottomBorderImage",
    "FormBottomRoundCornerInt",
    "MenuMenuBarColor",
};

constexpr int builtInStyleCount = 5;

// Resource-name suffix of each image element; an empty suffix marks an image
// that only theme files carry.
struct ImageSuffix {
    int index;
    std::string_view suffix;
};
constexpr std::array<ImageSuffix, 22> imageSuffixes = {{
    {1, "BUTTON"},
    {3, "CHECKBOX"},
    {4, "RADIOBUTTON"},
    {5, "TITLEBTN"},
    {10, "TITLE_LEFT"},
    {11, "TITLE_CLIENT"},
    {12, "TITLE_RIGHT"},
    {24, "PROGRESSBAR"},
    {28, "TRACKBAR_BAR"},
    {29, "TRACKBAR_SLIDER"},
    {30, "TRACKBAR_SLIDER_V"},
    {32, "SCROLLBAR_BUTTON"},
    {33, "SCROLLBAR_TRACK"},
    {34, "CHECKLIST"},
    {38, "SCROLLBUTTON"},
    {39, "TAB"},
    {40, "TAB_LINE"},
    {41, "SIDECHENNEL_HANDLE"},
    {42, "SIDECHENNEL_BAR"},
    {43, ""},
    {45, ""},
    {46, ""},
}};

constexpr int scrollButtonIndex = 38;
constexpr std::string_view sharedScrollButton = "MORE_SCROLLBUTTON";

// Values of the non-image elements, one column per built-in style in the
// order MacOS, WinXP, DeepBlue, Protein, BlueGlass. Colours are 0x00BBGGRR.
struct ValueRow {
    int index;
    std::array<std::int32_t, builtInStyleCount> values;
};
constexpr std::array<ValueRow, 26> valueRows = {{
    {2, {1, 0, 0, 0, 1}},
    {6, {0, 0, 0, 1, 1}},
    {7, {3, 2, 0, 0, 4}},
    {8, {-2, -2, 0, 0, -3}},
    {9, {4, 5, 2, 2, 6}},
    {13, {130, 150, 130, 130, 270}},
    {14, {0, 13, 0, 0, 11}},
    {15, {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}},
    {16, {0x7F7F7F, 0xC82C00, 0x000000, 0x000000, 0x000000}},
    {17, {1, 3, 1, 1, 1}},
    {18, {0xC47339, 0xC66931, 0xA04A44, 0xC4302D, 0xEC5E5E}},
    {19, {0xC47339, 0xEFD3C6, 0xA04A44, 0xC4302D, 0xEC5E5E}},
    {20, {0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {21, {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xE7E7E7}},
    {22, {0x000000, 0x000000, 0x000000, 0x000000, 0x000000}},
    {23, {0x000000, 0xCED3D6, 0xCED3D6, 0xCED3D6, 0xCED3D6}},
    {25, {0x7F7F7F, 0x686868, 0x000000, 0x000000, 0x000000}},
    {26, {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}},
    {27, {0x000000, 0xCF4602, 0x000000, 0x000000, 0x000000}},
    {31, {0xC9C9C9, 0xF9F9F9, 0xF5F5F5, 0xF5F5F5, 0xF4F4F4}},
    {35, {0x474747, 0xC66931, 0x474747, 0x474747, 0x474747}},
    {36, {0xEFEFEF, 0xEFD3C6, 0xEFEFEF, 0xEFEFEF, 0xEFEFEF}},
    {37, {0xD8D8D8, 0xE1AC93, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8}},
    {44, {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {47, {0, 0, 0, 0, 0}},
    {48, {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}},
}};

constexpr std::array<std::string_view, 6> styleNames = {"FromThemeFile", "MacOS",   "WinXP",
                                                        "DeepBlue",      "Protein", "BlueGlass"};
constexpr std::array<std::string_view, 6> stylePrefixes = {"",          "MACOS_",   "WINXP_",
                                                           "DEEPBLUE_", "PROTEIN_", "BLUEGLASS_"};

bool validIndex(int index) {
    return index >= ThemeElement::First && index <= ThemeElement::Count;
}

bool isBuiltIn(TskUIStyle style) {
    const int value = static_cast<int>(style);
    return value >= static_cast<int>(TskUIStyle::MacOS) &&
           value <= static_cast<int>(TskUIStyle::BlueGlass);
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The built-in value of a non-image element, or nullptr when the style has no
// row (FromThemeFile) or the element is an image.
const std::int32_t* builtInValue(TskUIStyle style, int index) {
    if (!isBuiltIn(style)) {
        return nullptr;
    }
    for (const ValueRow& row : valueRows) {
        if (row.index == index) {
            return &row.values[static_cast<std::size_t>(style) - 1];
        }
    }
    return nullptr;
}

bool builtInHasKind(TskUIStyle style, int index, ThemeElementKind kind) {
    return isBuiltIn(style) && validIndex(index) && ThemeElementKindOf(index) == kind;
}

} // namespace

QString UIStyleName(TskUIStyle style) {
    const auto value = static_cast<std::size_t>(style);
    if (value >= styleNames.size()) {
        return QString::fromLatin1(styleNames[static_cast<std::size_t>(FallbackUIStyle)]);
    }
    return QString::fromLatin1(styleNames[value].data(), qsizetype(styleNames[value].size()));
}

TskUIStyle UIStyleFromName(const QString& name) {
    for (std::size_t value = 0; value < styleNames.size(); ++value) {
        if (name ==
            QLatin1StringView(styleNames[value].data(), qsizetype(styleNames[value].size()))) {
            return static_cast<TskUIStyle>(value);
        }
    }
    return FallbackUIStyle;
}

QString ThemeElementKey(int index) {
    if (!validIndex(index)) {
        return {};
    }
    const std::string_view key = elementKeys[static_cast<std::size_t>(index - 1)];
    return QString::fromLatin1(key.data(), qsizetype(key.size()));
}

ThemeElementKind ThemeElementKindOf(int index) {
    if (!validIndex(index)) {
        return ThemeElementKind::Integer;
    }
    const std::string_view key = elementKeys[static_cast<std::size_t>(index - 1)];
    if (endsWith(key, "Image")) {
        return ThemeElementKind::Image;
    }
    if (endsWith(key, "Color")) {
        return ThemeElementKind::Color;
    }
    if (endsWith(key, "Bool")) {
        return ThemeElementKind::Boolean;
    }
    return ThemeElementKind::Integer;
}

QString SkinResourcePath(const QString& resourceName) {
    static const bool registered = (registerSkinBitmaps(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/skin/") + resourceName + QStringLiteral(".bmp");
}

QString StyleImageName(TskUIStyle style, int index) {
    if (!builtInHasKind(style, index, ThemeElementKind::Image)) {
        return {};
    }
    for (const ImageSuffix& entry : imageSuffixes) {
        if (entry.index != index || entry.suffix.empty()) {
            continue;
        }
        if (index == scrollButtonIndex && style != TskUIStyle::MacOS &&
            style != TskUIStyle::WinXP) {
            return QString::fromLatin1(sharedScrollButton.data(),
                                       qsizetype(sharedScrollButton.size()));
        }
        const std::string_view prefix = stylePrefixes[static_cast<std::size_t>(style)];
        return QString::fromLatin1(prefix.data(), qsizetype(prefix.size())) +
               QString::fromLatin1(entry.suffix.data(), qsizetype(entry.suffix.size()));
    }
    return {};
}

void StyleBitmap(TskUIStyle style, int index, QImage* target, int frameCount, int frameIndex) {
    if (target == nullptr) {
        return;
    }
    if (!builtInHasKind(style, index, ThemeElementKind::Image)) {
        if (frameCount != 0) {
            *target = QImage();
        }
        return;
    }
    const QString name = StyleImageName(style, index);
    if (name.isEmpty()) {
        return;
    }
    const QImage image(SkinResourcePath(name));
    if (image.isNull()) {
        throw ESkinError("Skin bitmap resource " + name.toStdString() + " not found");
    }
    if (frameCount == 0) {
        *target = image;
    } else {
        CutFrame(image, target, frameCount, frameIndex);
    }
}

bool StyleBool(TskUIStyle style, int index) {
    const std::int32_t* value = builtInValue(style, index);
    return builtInHasKind(style, index, ThemeElementKind::Boolean) && value != nullptr &&
           *value != 0;
}

TColor StyleColor(TskUIStyle style, int index) {
    const std::int32_t* value = builtInValue(style, index);
    if (!builtInHasKind(style, index, ThemeElementKind::Color) || value == nullptr) {
        return 0;
    }
    return static_cast<TColor>(*value);
}

int StyleInt(TskUIStyle style, int index) {
    const std::int32_t* value = builtInValue(style, index);
    if (!builtInHasKind(style, index, ThemeElementKind::Integer) || value == nullptr) {
        return -1;
    }
    return *value;
}

void CutFrame(const QImage& source, QImage* target, int frameCount, int frameIndex) {
    if (target == nullptr) {
        return;
    }
    if (frameCount <= 0 || frameIndex < 1 || frameIndex > frameCount) {
        *target = QImage();
        return;
    }
    const int frameWidth = source.width() / frameCount;
    if (frameWidth <= 0 || source.height() <= 0) {
        *target = QImage();
        return;
    }
    // copy() detaches, so the frame never shares pixels with the strip.
    *target = source.copy((frameIndex - 1) * frameWidth, 0, frameWidth, source.height());
}

SkinSource ResolveSkinSource(const TskFileTheme* fileTheme, TskUIStyle style) {
    if (style != TskUIStyle::FromThemeFile) {
        return {false, isBuiltIn(style) ? style : FallbackUIStyle};
    }
    if (fileTheme != nullptr && fileTheme->CanUse()) {
        return {true, TskUIStyle::FromThemeFile};
    }
    return {false, FallbackUIStyle};
}

TskUIStyle InitialStyleFor(const QObject* owner) {
    const auto* window = qobject_cast<const QWidget*>(owner);
    if (window == nullptr || !window->isWindow()) {
        return FallbackUIStyle;
    }
    for (const QObject* child : owner->children()) {
        if (!child->inherits("TskForm")) {
            continue;
        }
        const QVariant value = child->property("UIStyle");
        bool ok = false;
        const int style = value.toInt(&ok);
        if (ok && style >= 0 && style <= static_cast<int>(TskUIStyle::BlueGlass)) {
            return static_cast<TskUIStyle>(style);
        }
        return FallbackUIStyle;
    }
    return FallbackUIStyle;
}
