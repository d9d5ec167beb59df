#include "platform/drawing/VisualThemes.h"
#include "tests/widgets/grid/GridTestSupport.h"
#include "widgets/grid/FramedStringGrid.h"

#include <QEnterEvent>
#include <gtest/gtest.h>

using namespace gridtest;

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 100;
// Band colours chosen apart from every role the styles use.
constexpr TColor kFixed = clAqua;
constexpr TColor kCells = clYellow;

struct SidePixels {
    TColor outer;
    TColor inner;
};

// The two border pixels in the middle of each side, outermost first.
struct FramePixels {
    SidePixels left, top, right, bottom;
};

FramePixels framePixels(const QImage& image) {
    return FramePixels{
        {pixelAt(image, 0, kHeight / 2), pixelAt(image, 1, kHeight / 2)},
        {pixelAt(image, kWidth / 2, 0), pixelAt(image, kWidth / 2, 1)},
        {pixelAt(image, kWidth - 1, kHeight / 2), pixelAt(image, kWidth - 2, kHeight / 2)},
        {pixelAt(image, kWidth / 2, kHeight - 1), pixelAt(image, kWidth / 2, kHeight - 2)},
    };
}

void expectSide(const SidePixels& actual, TColor outer, TColor inner, const char* side, int style) {
    EXPECT_EQ(actual.outer, rgb(outer)) << side << " outer, style " << style;
    EXPECT_EQ(actual.inner, rgb(inner)) << side << " inner, style " << style;
}

void configure(TFramedStringGrid& grid) {
    grid.resize(kWidth, kHeight);
    grid.SetFixedColor(kFixed);
    grid.SetColor(kCells);
    grid.SetFrameColor(clRed);
    grid.SetFrameVisible(true);
}

// Expected rings for one style: left/top outer and inner, right/bottom outer and inner.
struct StyleRings {
    TFrameStyle style;
    TColor leftTopOuter, leftTopInner, rightBottomOuter, rightBottomInner;
};

} // namespace

TEST(FramedStringGridFrame, EachStylePaintsItsRingsOnAllSides) {
    TFramedStringGrid grid;
    configure(grid);
    const StyleRings table[] = {
        {TFrameStyle::fsNone, kFixed, kFixed, kCells, kCells},
        {TFrameStyle::fsFlat, clRed, kFixed, clRed, kCells},
        {TFrameStyle::fsFlatBold, clRed, clRed, clRed, clRed},
        {TFrameStyle::fsStatus, clBtnShadow, kFixed, clBtnHighlight, kCells},
        {TFrameStyle::fsPopup, clBtnHighlight, kFixed, clBtnShadow, kCells},
        {TFrameStyle::fsLowered, clBtnShadow, cl3DDkShadow, clBtnHighlight, cl3DLight},
        {TFrameStyle::fsRaised, cl3DLight, clBtnHighlight, cl3DDkShadow, clBtnShadow},
        {TFrameStyle::fsButtonDown, clBtnText, clBtnShadow, clBtnText, clBtnShadow},
        {TFrameStyle::fsButtonUp, clBtnHighlight, cl3DLight, cl3DDkShadow, clBtnShadow},
        // Etched: the shadow rectangle is flush with the top-left edge and the
        // highlight one with the bottom-right edge.
        {TFrameStyle::fsGroove, clBtnShadow, clBtnHighlight, clBtnHighlight, clBtnShadow},
        {TFrameStyle::fsBump, clBtnHighlight, clBtnShadow, clBtnShadow, clBtnHighlight},
    };
    for (const StyleRings& rings : table) {
        grid.SetFrameStyle(rings.style);
        const FramePixels pixels = framePixels(render(grid));
        const int style = static_cast<int>(rings.style);
        expectSide(pixels.left, rings.leftTopOuter, rings.leftTopInner, "left", style);
        expectSide(pixels.top, rings.leftTopOuter, rings.leftTopInner, "top", style);
        expectSide(pixels.right, rings.rightBottomOuter, rings.rightBottomInner, "right", style);
        expectSide(pixels.bottom, rings.rightBottomOuter, rings.rightBottomInner, "bottom", style);
    }
}

TEST(FramedStringGridFrame, PaintsOnlyTheChosenSidesAndNeverOverTheCells) {
    TFramedStringGrid grid;
    configure(grid);
    grid.SetFrameStyle(TFrameStyle::fsRaised);
    grid.SetFrameSides(TSides(sdLeft | sdBottom));
    FramePixels pixels = framePixels(render(grid));
    expectSide(pixels.left, cl3DLight, clBtnHighlight, "left", 0);
    expectSide(pixels.bottom, cl3DDkShadow, clBtnShadow, "bottom", 0);
    expectSide(pixels.top, kFixed, kFixed, "top", 0);
    expectSide(pixels.right, kCells, kCells, "right", 0);

    grid.SetFrameStyle(TFrameStyle::fsFlat);
    grid.SetFrameSides(TSides(sdTop | sdRight));
    pixels = framePixels(render(grid));
    expectSide(pixels.top, clRed, kFixed, "top", 1);
    expectSide(pixels.right, clRed, kCells, "right", 1);
    expectSide(pixels.left, kFixed, kFixed, "left", 1);

    // With a one-pixel border the frame keeps to that pixel; the cells start inside it.
    grid.SetFrameStyle(TFrameStyle::fsFlatBold);
    grid.SetFrameSides(kAllSides);
    grid.SetCtl3D(false);
    const QImage image = render(grid);
    EXPECT_EQ(pixelAt(image, 0, kHeight / 2), rgb(clRed));
    const QPoint fixedCell = grid.CellRect(0, 2).topLeft();
    EXPECT_EQ(fixedCell.x(), 1);
    EXPECT_EQ(pixelAt(image, 1, fixedCell.y() + 2), rgb(kFixed));

    // Without a border there is nowhere to paint a frame.
    grid.SetBorderStyle(TBorderStyle::bsNone);
    EXPECT_EQ(pixelAt(render(grid), 0, kHeight / 2), rgb(kFixed));
}

TEST(FramedStringGridFrame, TheHotStyleShowsWhileTheMouseIsInside) {
    TFramedStringGrid grid;
    configure(grid);
    grid.SetFrameStyle(TFrameStyle::fsFlat);
    grid.SetFrameColor(clBlue);
    grid.SetFrameHotColor(clRed);
    grid.SetFrameHotTrack(true);
    int entered = 0;
    int left = 0;
    grid.OnMouseEnter = [&](QObject*) { ++entered; };
    grid.OnMouseLeave = [&](QObject*) { ++left; };
    FramePixels pixels = framePixels(render(grid));
    expectSide(pixels.left, clBlue, kFixed, "left", 0);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&grid, &enter);
    EXPECT_TRUE(grid.MouseInside());
    EXPECT_TRUE(grid.FrameIsHot());
    pixels = framePixels(render(grid));
    expectSide(pixels.left, clRed, clRed, "left", 1);
    expectSide(pixels.bottom, clRed, clRed, "bottom", 1);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&grid, &leave);
    EXPECT_FALSE(grid.MouseInside());
    pixels = framePixels(render(grid));
    expectSide(pixels.left, clBlue, kFixed, "left", 2);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(left, 1);

    // Without hot tracking the mouse changes nothing on the frame.
    grid.SetFrameHotTrack(false);
    QApplication::sendEvent(&grid, &enter);
    EXPECT_TRUE(grid.MouseInside());
    EXPECT_FALSE(grid.FrameIsHot());
    expectSide(framePixels(render(grid)).left, clBlue, kFixed, "left", 3);
}

TEST(FramedStringGridFrame, ActiveVisualThemesReplaceTheCustomFrameUnlessCustomIsPreferred) {
    TFramedStringGrid grid;
    grid.resize(kWidth, kHeight);
    grid.SetFixedColor(kFixed);
    grid.SetColor(kCells);
    // Themes off, no frame: the platform's sunken edge.
    expectSide(framePixels(render(grid)).left, clBtnShadow, cl3DDkShadow, "left", 0);

    VisualThemes::setActive(true);
    EXPECT_TRUE(grid.ThemedFraming());
    expectSide(framePixels(render(grid)).left, VisualThemes::editBorderColor(), kFixed, "left", 1);
    grid.SetFrameColor(clRed);
    grid.SetFrameVisible(true);
    expectSide(framePixels(render(grid)).top, VisualThemes::editBorderColor(), kFixed, "top", 2);
    grid.SetFramingPreference(TFramingPreference::fpCustomFraming);
    EXPECT_FALSE(grid.ThemedFraming());
    expectSide(framePixels(render(grid)).top, clRed, kFixed, "top", 3);
    VisualThemes::setActive(false);
}
