#include "widgets/grid/GridAxis.h"
#include "widgets/grid/HlsColor.h"

#include <QColor>
#include <gtest/gtest.h>

TEST(GridAxis, LaysOutFixedAndVisibleCellsWithTheirLines) {
    // Widths 30, 180, 180 with one-pixel lines in 300 pixels: the third cell
    // starts at 212 and is cut off at 300.
    const GridAxis axis({30, 180, 180}, 1, 1, 1, 300);
    EXPECT_EQ(axis.fixedBoundary(), 31);
    EXPECT_EQ(axis.start(0), 0);
    EXPECT_EQ(axis.start(1), 31);
    EXPECT_EQ(axis.start(2), 212);
    EXPECT_EQ(axis.lastVisible(), 2);
    EXPECT_EQ(axis.lastFullyVisible(), 1);
    EXPECT_EQ(axis.gridBoundary(), 300);
    // The line after a cell belongs to no cell; positions outside give none.
    EXPECT_EQ(axis.cellAt(29), 0);
    EXPECT_EQ(axis.cellAt(30), -1);
    EXPECT_EQ(axis.cellAt(31), 1);
    EXPECT_EQ(axis.cellAt(299), 2);
    EXPECT_EQ(axis.cellAt(300), -1);
    EXPECT_EQ(axis.cellAt(-1), -1);
    EXPECT_EQ(axis.pageSize(), 1);
}

TEST(GridAxis, StartsTheScrollablePartAtTheFirstShownCell) {
    const GridAxis axis({10, 10, 10, 10, 10}, 1, 3, 2, 1000);
    EXPECT_EQ(axis.start(0), 0);
    EXPECT_FALSE(axis.isLaidOut(1));
    EXPECT_FALSE(axis.isLaidOut(2));
    EXPECT_EQ(axis.start(3), 12);
    EXPECT_EQ(axis.start(4), 24);
    // Everything fits: the boundary is right after the last line.
    EXPECT_EQ(axis.gridBoundary(), 36);
    EXPECT_EQ(axis.lastFullyVisible(), 4);
}

TEST(GridAxis, SurvivesSizesAndCountsItCannotUse) {
    // Fixed cells wider than the extent: no scrollable cell is shown.
    const GridAxis wide({500, 10}, 1, 1, 1, 100);
    EXPECT_EQ(wide.lastVisible(), 0);
    EXPECT_EQ(wide.gridBoundary(), 100);
    EXPECT_EQ(wide.cellAt(50), 0);
    // Negative sizes and counts beyond the table are clamped.
    const GridAxis odd({-5, 10}, 7, -3, -1, -20);
    EXPECT_EQ(odd.size(0), 0);
    EXPECT_EQ(odd.fixedCount(), 2);
    EXPECT_EQ(odd.extent(), 0);
    EXPECT_EQ(odd.cellAt(0), -1);
    EXPECT_EQ(odd.size(99), 0);
    EXPECT_EQ(odd.start(-1), -1);
    const GridAxis empty({}, 0, 0, 1, 100);
    EXPECT_EQ(empty.cellAt(5), -1);
    EXPECT_EQ(empty.gridBoundary(), 0);
}

namespace {

// Lightness lowered on the continuous HSL model, independently of the
// integer conversion under test.
QColor darkerByLightness(QColor color, double units) {
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    color.getHslF(&hue, &saturation, &lightness);
    const double lowered = std::max(0.0, lightness - units / 240.0);
    return QColor::fromHslF(hue, saturation, static_cast<float>(lowered));
}

} // namespace

TEST(HlsColor, DarkensByLightnessUnitsOnTheZeroTo240Scale) {
    const QColor samples[] = {QColor(212, 208, 200), QColor(255, 255, 255), QColor(255, 0, 0),
                              QColor(20, 200, 90),   QColor(128, 128, 128), QColor(10, 36, 106)};
    for (const QColor& sample : samples) {
        const TColor result =
            darkenByLightness(rgbColor(sample.red(), sample.green(), sample.blue()), 50);
        const QColor expected = darkerByLightness(sample, 50);
        // The desktop's conversion works in whole units, so allow a small rounding drift.
        EXPECT_NEAR(redOf(result), expected.red(), 3) << sample.name().toStdString();
        EXPECT_NEAR(greenOf(result), expected.green(), 3) << sample.name().toStdString();
        EXPECT_NEAR(blueOf(result), expected.blue(), 3) << sample.name().toStdString();
    }
    // The lightness never goes below black.
    EXPECT_EQ(darkenByLightness(rgbColor(30, 30, 30), 50), rgbColor(0, 0, 0));
    // A grey stays grey.
    const TColor grey = darkenByLightness(clGray, 50);
    EXPECT_EQ(redOf(grey), greenOf(grey));
    EXPECT_EQ(greenOf(grey), blueOf(grey));
}
