#include "widgets/skin/SkinThemes.h"
#include "widgets/skin/SkinMgr.h"

#include <QFile>
#include <QWidget>
#include <QtEndian>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr TskUIStyle builtInStyles[] = {TskUIStyle::MacOS, TskUIStyle::WinXP, TskUIStyle::DeepBlue,
                                        TskUIStyle::Protein, TskUIStyle::BlueGlass};

QRgb frameTopLeft(const QImage& image) {
    return image.pixel(0, 0) & 0xFFFFFF;
}

} // namespace

// A stand-in for a skinned form: only its class name and UIStyle matter to
// the start style of new controls.
class TskForm : public QObject {
    Q_OBJECT
    Q_PROPERTY(int UIStyle MEMBER m_style)
public:
    explicit TskForm(QObject* parent, int style) : QObject(parent), m_style(style) {}

private:
    int m_style = 0;
};

TEST(SkinThemes, ElementKindsFollowTheKeys) {
    EXPECT_EQ(ThemeElementKey(1), "ButtonImage");
    EXPECT_EQ(ThemeElementKey(48), "MenuMenuBarColor");
    EXPECT_TRUE(ThemeElementKey(0).isEmpty());
    EXPECT_TRUE(ThemeElementKey(49).isEmpty());
    int images = 0;
    int colours = 0;
    int integers = 0;
    int booleans = 0;
    for (int index = 1; index <= 48; ++index) {
        switch (ThemeElementKindOf(index)) {
        case ThemeElementKind::Image:
            ++images;
            EXPECT_TRUE(ThemeElementKey(index).endsWith("Image"));
            break;
        case ThemeElementKind::Color:
            ++colours;
            break;
        case ThemeElementKind::Integer:
            ++integers;
            break;
        case ThemeElementKind::Boolean:
            ++booleans;
            break;
        }
    }
    EXPECT_EQ(images, 22);
    EXPECT_EQ(colours, 17);
    EXPECT_EQ(integers, 7);
    EXPECT_EQ(booleans, 2);
}

TEST(SkinThemes, LookupsGiveTableValuesAndNeutralValuesForOtherKinds) {
    EXPECT_TRUE(StyleBool(TskUIStyle::BlueGlass, 2));
    EXPECT_TRUE(StyleBool(TskUIStyle::MacOS, 2));
    EXPECT_FALSE(StyleBool(TskUIStyle::DeepBlue, 2));
    EXPECT_TRUE(StyleBool(TskUIStyle::Protein, 6));
    EXPECT_FALSE(StyleBool(TskUIStyle::FromThemeFile, 2));
    EXPECT_EQ(StyleInt(TskUIStyle::BlueGlass, 2), -1);
    EXPECT_EQ(StyleInt(TskUIStyle::BlueGlass, 8), -3);
    EXPECT_EQ(StyleInt(TskUIStyle::BlueGlass, 13), 270);
    EXPECT_EQ(StyleInt(TskUIStyle::WinXP, 14), 13);
    EXPECT_EQ(StyleInt(TskUIStyle::WinXP, 17), 3);
    EXPECT_EQ(StyleInt(TskUIStyle::FromThemeFile, 13), -1);
    EXPECT_EQ(StyleColor(TskUIStyle::WinXP, 16), 0xC82C00u);
    EXPECT_EQ(StyleColor(TskUIStyle::BlueGlass, 18), 0xEC5E5Eu);
    EXPECT_EQ(StyleColor(TskUIStyle::WinXP, 27), 0xCF4602u);
    EXPECT_EQ(StyleColor(TskUIStyle::Protein, 48), 0xFBFBFBu);
    EXPECT_EQ(StyleColor(TskUIStyle::MacOS, 21), 0x000000u);
    EXPECT_EQ(StyleColor(TskUIStyle::MacOS, 13), 0u);
    EXPECT_EQ(StyleColor(TskUIStyle::MacOS, 99), 0u);
    EXPECT_FALSE(StyleBool(TskUIStyle::MacOS, 0));
}

// Every non-image value of the five built-in styles, in the order MacOS,
// WinXP, DeepBlue, Protein, BlueGlass; each element is also asked through the
// two lookups of the wrong kind, which must answer their neutral values.
TEST(SkinThemes, EveryBuiltInValueOfEveryStyle) {
    struct Row {
        int index;
        std::int64_t values[5];
    };
    const Row rows[] = {
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
    };
    int checked = 0;
    for (const Row& row : rows) {
        for (int column = 0; column < 5; ++column) {
            const TskUIStyle style = builtInStyles[column];
            const std::int64_t want = row.values[column];
            const std::string where = ThemeElementKey(row.index).toStdString() + " of style " +
                                      std::to_string(column + 1);
            switch (ThemeElementKindOf(row.index)) {
            case ThemeElementKind::Boolean:
                EXPECT_EQ(StyleBool(style, row.index), want != 0) << where;
                EXPECT_EQ(StyleInt(style, row.index), -1) << where;
                EXPECT_EQ(StyleColor(style, row.index), 0u) << where;
                break;
            case ThemeElementKind::Integer:
                EXPECT_EQ(StyleInt(style, row.index), want) << where;
                EXPECT_FALSE(StyleBool(style, row.index)) << where;
                EXPECT_EQ(StyleColor(style, row.index), 0u) << where;
                break;
            case ThemeElementKind::Color:
                EXPECT_EQ(StyleColor(style, row.index), TColor(want)) << where;
                EXPECT_EQ(StyleInt(style, row.index), -1) << where;
                EXPECT_FALSE(StyleBool(style, row.index)) << where;
                break;
            case ThemeElementKind::Image:
                ADD_FAILURE() << where << " is listed as a value but is an image";
                break;
            }
            // No row for FromThemeFile: every lookup is neutral.
            EXPECT_FALSE(StyleBool(TskUIStyle::FromThemeFile, row.index));
            EXPECT_EQ(StyleInt(TskUIStyle::FromThemeFile, row.index), -1);
            EXPECT_EQ(StyleColor(TskUIStyle::FromThemeFile, row.index), 0u);
            ++checked;
        }
    }
    // Together with the 22 images the rows cover all 48 elements.
    EXPECT_EQ(checked, 26 * 5);
}

TEST(SkinThemes, EveryImageElementOfEveryStyleIsAResource) {
    for (TskUIStyle style : builtInStyles) {
        for (int index = 1; index <= 48; ++index) {
            if (ThemeElementKindOf(index) != ThemeElementKind::Image) {
                continue;
            }
            QImage image(3, 3, QImage::Format_RGB32);
            ASSERT_NO_THROW(StyleBitmap(style, index, &image));
            const QString name = StyleImageName(style, index);
            if (index == 43 || index == 45 || index == 46) {
                // Theme-file-only images: the target stays as it was.
                EXPECT_TRUE(name.isEmpty());
                EXPECT_EQ(image.size(), QSize(3, 3));
            } else {
                EXPECT_FALSE(image.isNull()) << name.toStdString();
                EXPECT_NE(image.size(), QSize(3, 3)) << name.toStdString();
            }
        }
    }
    EXPECT_EQ(StyleImageName(TskUIStyle::DeepBlue, 38), "MORE_SCROLLBUTTON");
    EXPECT_EQ(StyleImageName(TskUIStyle::BlueGlass, 38), "MORE_SCROLLBUTTON");
    EXPECT_EQ(StyleImageName(TskUIStyle::MacOS, 38), "MACOS_SCROLLBUTTON");
    EXPECT_EQ(StyleImageName(TskUIStyle::WinXP, 41), "WINXP_SIDECHENNEL_HANDLE");
}

TEST(SkinThemes, ButtonStripsHaveTheirSizesAndColourDepths) {
    struct Expected {
        TskUIStyle style;
        QSize strip;
        int bitsPerPixel;
        bool magentaCorner;
    };
    const Expected expected[] = {
        {TskUIStyle::MacOS, {252, 23}, 8, true},     {TskUIStyle::WinXP, {54, 21}, 8, false},
        {TskUIStyle::DeepBlue, {222, 21}, 4, false}, {TskUIStyle::Protein, {222, 21}, 8, false},
        {TskUIStyle::BlueGlass, {231, 27}, 8, true},
    };
    for (const Expected& e : expected) {
        QImage strip;
        StyleBitmap(e.style, 1, &strip);
        EXPECT_EQ(strip.size(), e.strip);
        QFile file(SkinResourcePath(StyleImageName(e.style, 1)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(54);
        EXPECT_EQ(qFromLittleEndian<quint16>(header.constData() + 28), e.bitsPerPixel);
        for (int frame = 1; frame <= 3; ++frame) {
            QImage face;
            StyleBitmap(e.style, 1, &face, 3, frame);
            EXPECT_EQ(face.width(), e.strip.width() / 3);
            EXPECT_EQ(frameTopLeft(face) == 0xFF00FF, e.magentaCorner);
        }
    }
}

// The button strip the main window shows, checked against its drawing.
TEST(SkinThemes, BlueGlassButtonMatchesItsDescription) {
    QImage frames[3];
    for (int k = 0; k < 3; ++k) {
        StyleBitmap(TskUIStyle::BlueGlass, 1, &frames[k], 3, k + 1);
        ASSERT_EQ(frames[k].size(), QSize(77, 27));
    }
    auto rgb = [](const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
    for (const QImage& frame : frames) {
        for (int x = 0; x < 77; ++x) {
            for (int y : {0, 1, 2, 26}) {
                EXPECT_EQ(rgb(frame, x, y), 0xFF00FFu) << x << "," << y;
            }
            for (int y = 0; y < 27; ++y) {
                EXPECT_EQ(rgb(frame, x, y), rgb(frame, 76 - x, y)) << "symmetry at " << x;
            }
        }
    }
    EXPECT_EQ(rgb(frames[0], 38, 3), 0x4A4A4Au);
    EXPECT_EQ(rgb(frames[0], 38, 23), 0x4A4A4Au);
    EXPECT_EQ(rgb(frames[0], 38, 4), 0xE5E5E5u);
    EXPECT_EQ(rgb(frames[0], 38, 13), 0xFBFCFCu);
    EXPECT_EQ(rgb(frames[0], 38, 22), 0xECECECu);
    EXPECT_EQ(rgb(frames[0], 38, 24), 0x6C6C6Cu);
    EXPECT_EQ(rgb(frames[0], 38, 25), 0xCCCCCCu);
    EXPECT_EQ(rgb(frames[1], 38, 3), 0x424295u);
    EXPECT_EQ(rgb(frames[1], 38, 4), 0x9393E5u);
    EXPECT_EQ(rgb(frames[1], 38, 13), 0x9B9BEDu);
    EXPECT_EQ(rgb(frames[1], 38, 24), 0x6C6C6Cu);
    // Pressed: the pointer-over bar one row lower, no shadow.
    EXPECT_EQ(rgb(frames[2], 38, 3), 0xFF00FFu);
    EXPECT_EQ(rgb(frames[2], 38, 4), 0x424295u);
    EXPECT_EQ(rgb(frames[2], 38, 24), 0x424295u);
    EXPECT_EQ(rgb(frames[2], 38, 25), 0xFF00FFu);
    for (int y = 3; y < 24; ++y) {
        EXPECT_EQ(rgb(frames[2], 20, y + 1), rgb(frames[1], 20, y));
    }
    // The rounded ends leave magenta in the outer corners of the bar.
    EXPECT_EQ(rgb(frames[0], 1, 3), 0xFF00FFu);
    EXPECT_EQ(rgb(frames[0], 1, 13), 0x4A4A4Au);
}

TEST(SkinThemes, CutFrameTakesEqualFramesAndDropsTheRemainder) {
    QImage strip;
    StyleBitmap(TskUIStyle::BlueGlass, 1, &strip);
    QImage second;
    CutFrame(strip, &second, 3, 2);
    EXPECT_EQ(second, strip.copy(77, 0, 77, 27));

    QImage odd(10, 2, QImage::Format_RGB32);
    for (int x = 0; x < 10; ++x) {
        odd.setPixel(x, 0, qRgb(x, 0, 0));
        odd.setPixel(x, 1, qRgb(x, 0, 0));
    }
    QImage third;
    CutFrame(odd, &third, 3, 3);
    ASSERT_EQ(third.size(), QSize(3, 2));
    EXPECT_EQ(qRed(third.pixel(0, 0)), 6);
    EXPECT_EQ(qRed(third.pixel(2, 1)), 8);

    CutFrame(odd, &third, 3, 4);
    EXPECT_TRUE(third.isNull());
    CutFrame(odd, &third, 0, 1);
    EXPECT_TRUE(third.isNull());
    CutFrame(odd, &third, 11, 1);
    EXPECT_TRUE(third.isNull());
}

TEST(SkinThemes, NonImageElementsLeaveOrEmptyTheTarget) {
    QImage target(5, 5, QImage::Format_RGB32);
    StyleBitmap(TskUIStyle::BlueGlass, 2, &target);
    EXPECT_EQ(target.size(), QSize(5, 5));
    StyleBitmap(TskUIStyle::BlueGlass, 2, &target, 3, 1);
    EXPECT_TRUE(target.isNull());
    target = QImage(5, 5, QImage::Format_RGB32);
    StyleBitmap(TskUIStyle::FromThemeFile, 1, &target);
    EXPECT_EQ(target.size(), QSize(5, 5));
    StyleBitmap(TskUIStyle::BlueGlass, 1, nullptr, 3, 1);
}

TEST(SkinThemes, ResolveSkinSourcePrefersALoadedThemeOnlyForFromThemeFile) {
    TskFileTheme theme;
    SkinSource source = ResolveSkinSource(nullptr, TskUIStyle::FromThemeFile);
    EXPECT_FALSE(source.useFileTheme);
    EXPECT_EQ(source.style, TskUIStyle::DeepBlue);
    source = ResolveSkinSource(&theme, TskUIStyle::FromThemeFile);
    EXPECT_FALSE(source.useFileTheme);
    EXPECT_EQ(source.style, TskUIStyle::DeepBlue);
    source = ResolveSkinSource(&theme, TskUIStyle::Protein);
    EXPECT_FALSE(source.useFileTheme);
    EXPECT_EQ(source.style, TskUIStyle::Protein);
}

TEST(SkinThemes, InitialStyleComesFromTheFirstSkinnedFormOfTheWindow) {
    EXPECT_EQ(InitialStyleFor(nullptr), TskUIStyle::DeepBlue);
    QWidget window;
    EXPECT_EQ(InitialStyleFor(&window), TskUIStyle::DeepBlue);
    new QObject(&window);
    new TskForm(&window, int(TskUIStyle::WinXP));
    new TskForm(&window, int(TskUIStyle::MacOS));
    EXPECT_EQ(InitialStyleFor(&window), TskUIStyle::WinXP);
    QWidget child(&window);
    new TskForm(&child, int(TskUIStyle::MacOS));
    EXPECT_EQ(InitialStyleFor(&child), TskUIStyle::DeepBlue);
    EXPECT_EQ(UIStyleFromName("BlueGlass"), TskUIStyle::BlueGlass);
    EXPECT_EQ(UIStyleName(TskUIStyle::FromThemeFile), "FromThemeFile");
}

#include "SkinThemesTest.moc"
