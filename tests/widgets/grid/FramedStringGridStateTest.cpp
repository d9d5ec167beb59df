#include "tests/widgets/grid/GridTestSupport.h"
#include "widgets/grid/FrameController.h"
#include "widgets/grid/FramedStringGrid.h"

#include <QLineEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace gridtest;

TEST(FramedStringGridState, StartsWithTheRegisterTableDefaults) {
    TFramedStringGrid grid;
    EXPECT_EQ(grid.size(), QSize(325, 125));
    EXPECT_EQ(grid.DefaultColWidth(), 60);
    EXPECT_EQ(grid.DefaultRowHeight(), 18);
    EXPECT_EQ(grid.ColWidths(4), 60);
    EXPECT_EQ(grid.RowHeights(4), 18);
    EXPECT_EQ(grid.ColCount(), 5);
    EXPECT_EQ(grid.FixedCols(), 1);
    EXPECT_EQ(grid.Options(), TStringGrid::kDefaultOptions);
    EXPECT_EQ(grid.LineColor(), clBtnFace);
    EXPECT_EQ(grid.FixedLineColor(), clBtnShadow);
    EXPECT_EQ(grid.FocusColor(), clWindow);
    EXPECT_EQ(grid.DisabledColor(), clBtnFace);
    EXPECT_EQ(grid.RestColor(), clWindow);
    EXPECT_FALSE(grid.FrameVisible());
    EXPECT_EQ(grid.FrameStyle(), TFrameStyle::fsFlat);
    EXPECT_EQ(grid.FrameHotStyle(), TFrameStyle::fsFlatBold);
    EXPECT_EQ(grid.FrameSides(), kAllSides);
    EXPECT_EQ(grid.FramingPreference(), TFramingPreference::fpXPThemes);
}

TEST(FramedStringGridState, ANewColourCarriesTheFocusColourOnlyWhileItEqualsTheOldOne) {
    TFramedStringGrid grid;
    grid.SetColor(clRed);
    EXPECT_EQ(grid.FocusColor(), clRed);
    EXPECT_EQ(grid.RestColor(), clRed);

    grid.SetFocusColor(clYellow);
    grid.SetColor(clLime);
    EXPECT_EQ(grid.FocusColor(), clYellow);
    EXPECT_EQ(grid.RestColor(), clLime);
}

TEST(FramedStringGridState, TheBackgroundFollowsFocusAndTheEnabledState) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* grid = new TFramedStringGrid;
    auto* other = new QLineEdit;
    layout->addWidget(grid);
    layout->addWidget(other);
    grid->SetColor(clAqua);
    grid->SetFocusColor(clYellow);
    grid->SetDisabledColor(clGray);
    ASSERT_TRUE(showActive(window));
    ASSERT_TRUE(focusOn(*other));
    EXPECT_EQ(grid->Color(), clAqua);

    ASSERT_TRUE(focusOn(*grid));
    EXPECT_EQ(grid->Color(), clYellow);
    // A colour set by the grid itself is not a new resting colour.
    EXPECT_EQ(grid->RestColor(), clAqua);
    const QPoint inside = grid->CellRect(2, 2).center();
    EXPECT_EQ(pixelAt(render(*grid), inside.x(), inside.y()), rgb(clYellow));
    // A new focus colour shows at once while focused.
    grid->SetFocusColor(clLime);
    EXPECT_EQ(grid->Color(), clLime);

    // Focus makes a hot-tracked frame hot as the mouse does.
    grid->SetFrameHotTrack(true);
    EXPECT_TRUE(grid->FrameIsHot());

    ASSERT_TRUE(focusOn(*other));
    EXPECT_EQ(grid->Color(), clAqua);
    EXPECT_FALSE(grid->FrameIsHot());

    grid->setEnabled(false);
    EXPECT_EQ(grid->Color(), clGray);
    grid->SetDisabledColor(clMaroon);
    EXPECT_EQ(grid->Color(), clMaroon);
    EXPECT_FALSE(grid->IsStored(fcnColor));
    grid->setEnabled(true);
    EXPECT_EQ(grid->Color(), clAqua);
    EXPECT_EQ(grid->RestColor(), clAqua);
    EXPECT_EQ(grid->FocusColor(), clLime);
}

TEST(FramedStringGridState, HotTrackingTurnsTheFrameOnWithAllFourSides) {
    TFramedStringGrid grid;
    grid.SetCtl3D(false);
    grid.SetFrameSides(TSides(sdLeft));
    grid.SetFrameHotTrack(true);
    EXPECT_TRUE(grid.FrameVisible());
    EXPECT_EQ(grid.FrameSides(), kAllSides);
    EXPECT_TRUE(grid.Ctl3D());
    EXPECT_EQ(grid.BorderWidth(), 2);

    // A stored window keeps its sides.
    TFramedStringGrid loaded;
    loaded.BeginLoading();
    loaded.SetFrameSides(TSides(sdTop | sdBottom));
    loaded.SetFrameHotTrack(true);
    loaded.EndLoading();
    EXPECT_TRUE(loaded.FrameVisible());
    EXPECT_EQ(loaded.FrameSides(), TSides(sdTop | sdBottom));
}

TEST(FramedStringGridState, LoadingStoresOnlyAndRefreshesTheColoursWhenItEnds) {
    TFramedStringGrid grid;
    grid.setEnabled(false);
    grid.BeginLoading();
    grid.SetDisabledColor(clPurple);
    grid.SetColor(clTeal);
    EXPECT_EQ(grid.Color(), clTeal);
    grid.EndLoading();
    EXPECT_EQ(grid.Color(), clPurple);
    EXPECT_EQ(grid.RestColor(), clTeal);
    grid.setEnabled(true);
    EXPECT_EQ(grid.Color(), clTeal);
}

TEST(FramedStringGridState, TakesTheParentColourOnlyWhenAskedTo) {
    TFramedStringGrid grid;
    grid.ParentColorChanged(clNavy);
    EXPECT_EQ(grid.Color(), clWindow);
    grid.SetParentColor(true);
    grid.ParentColorChanged(clNavy);
    EXPECT_EQ(grid.Color(), clNavy);
    EXPECT_EQ(grid.RestColor(), clNavy);
    EXPECT_EQ(grid.FocusColor(), clNavy);
    EXPECT_TRUE(grid.ParentColor());
    grid.SetColor(clOlive);
    EXPECT_FALSE(grid.ParentColor());
}

TEST(FramedStringGridState, RegistersWithTheFrameControllerAndForgetsItWhenItGoes) {
    auto* first = new TFrameController;
    TFrameController second;
    {
        TFramedStringGrid grid;
        EXPECT_TRUE(grid.IsStored(fcnFrameColor));
        grid.SetFrameController(first);
        EXPECT_TRUE(first->IsRegistered(&grid));
        EXPECT_FALSE(grid.IsStored(fcnFrameColor));
        grid.SetFrameControllerNotifications(TFrameControllerNotifications(fcnFrameStyle));
        EXPECT_TRUE(grid.IsStored(fcnFrameColor));
        EXPECT_FALSE(grid.IsStored(fcnFrameStyle));

        grid.SetFrameController(&second);
        EXPECT_FALSE(first->IsRegistered(&grid));
        EXPECT_TRUE(second.IsRegistered(&grid));
        grid.SetFrameController(first);
        delete first;
        EXPECT_EQ(grid.FrameController(), nullptr);
        EXPECT_EQ(second.ControlCount(), 0);
        grid.SetFrameController(&second);
    }
    // The grid went first and took its registration with it.
    EXPECT_EQ(second.ControlCount(), 0);
}

TEST(FramedStringGridState, LeavesDerivedColoursOutOfTheStoredForm) {
    TFramedStringGrid grid;
    EXPECT_FALSE(grid.IsStored(fcnFocusColor)); // equal to Color
    grid.SetFocusColor(clYellow);
    EXPECT_TRUE(grid.IsStored(fcnFocusColor));
    EXPECT_TRUE(grid.IsStored(fcnColor));
    EXPECT_TRUE(grid.IsStored(fcnDisabledColor));
}
