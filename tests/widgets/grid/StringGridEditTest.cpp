#include "tests/widgets/grid/GridTestSupport.h"
#include "widgets/grid/FramedStringGrid.h"
#include "widgets/grid/InplaceEdit.h"

#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

using namespace gridtest;

namespace {

void configure(TFramedStringGrid& grid) {
    grid.SetColCount(3);
    grid.SetRowCount(4);
    grid.SetCells(1, 1, QStringLiteral("12"));
    grid.SetCells(1, 2, QStringLiteral("34"));
}

} // namespace

TEST(StringGridEdit, CellsAreEditedInPlaceOnlyWithEditing) {
    TFramedStringGrid grid;
    configure(grid);
    ASSERT_TRUE(showActive(grid));
    ASSERT_TRUE(focusOn(grid));
    QTest::keyClick(&grid, Qt::Key_F2);
    QTest::keyClicks(&grid, QStringLiteral("9"));
    EXPECT_EQ(grid.InplaceEditor(), nullptr);
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("12"));

    grid.SetOptions(grid.Options() | goEditing);
    QTest::keyClick(&grid, Qt::Key_F2);
    ASSERT_TRUE(grid.EditorShowing());
    EXPECT_EQ(grid.InplaceEditor()->geometry(), grid.CellRect(1, 1));
    EXPECT_EQ(grid.InplaceEditor()->text(), QStringLiteral("12"));
    EXPECT_TRUE(grid.HasActiveFocus());
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_End);
    QTest::keyClicks(grid.InplaceEditor(), QStringLiteral("5"));
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Return);
    EXPECT_FALSE(grid.EditorShowing());
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("125"));
    EXPECT_TRUE(grid.hasFocus());

    // Typing replaces the text; moving down keeps it and leaves the cell.
    QTest::keyClicks(&grid, QStringLiteral("7"));
    ASSERT_TRUE(grid.EditorShowing());
    QTest::keyClicks(grid.InplaceEditor(), QStringLiteral("8"));
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Down);
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("78"));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_FALSE(grid.EditorShowing());

    // Escape puts the text back.
    QTest::keyClick(&grid, Qt::Key_F2);
    QTest::keyClicks(grid.InplaceEditor(), QStringLiteral("000"));
    QTest::keyClick(grid.InplaceEditor(), Qt::Key_Escape);
    EXPECT_FALSE(grid.EditorShowing());
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("34"));
}

// On a form the grid has the active focus only while it is the form's focused
// control itself: while its in-place editor has the focus the current cell is
// drawn as selected, not focused, and the editor covers it.
TEST(StringGridEdit, OnAFormTheEditorsFocusIsNotTheGrids) {
    QWidget form;
    form.resize(400, 200);
    auto* grid = new TFramedStringGrid(&form);
    configure(*grid);
    grid->SetOptions(grid->Options() | goEditing);
    std::map<std::pair<int, int>, TGridDrawState> drawn;
    grid->OnDrawCell = [&](QObject*, int col, int row, const QRect&, TGridDrawState state) {
        drawn[{col, row}] = state;
    };
    ASSERT_TRUE(showActive(form));
    ASSERT_TRUE(focusOn(*grid));
    EXPECT_TRUE(grid->HasActiveFocus());

    QTest::keyClick(grid, Qt::Key_F2);
    ASSERT_TRUE(grid->EditorShowing());
    ASSERT_TRUE(grid->InplaceEditor()->hasFocus());
    EXPECT_FALSE(grid->HasActiveFocus());
    drawn.clear();
    grid->repaint();
    ASSERT_TRUE(drawn.count({1, 1}));
    EXPECT_EQ(drawn.at({1, 1}), TGridDrawState(gdSelected));

    QTest::keyClick(grid->InplaceEditor(), Qt::Key_Return);
    ASSERT_TRUE(grid->hasFocus());
    EXPECT_TRUE(grid->HasActiveFocus());
    drawn.clear();
    grid->repaint();
    EXPECT_EQ(drawn.at({1, 1}), gdSelected | gdFocused);
}

TEST(StringGridEdit, TheEditorTakesTheGridColourAndFollowsTheCurrentCellWhenAlwaysShown) {
    TFramedStringGrid grid;
    configure(grid);
    grid.SetColor(clYellow);
    grid.BeginLoading();
    grid.SetOptions(grid.Options() | goEditing | goAlwaysShowEditor);
    grid.EndLoading();
    ASSERT_TRUE(showActive(grid));
    ASSERT_TRUE(focusOn(grid));
    ASSERT_NE(grid.InplaceEditor(), nullptr);
    ASSERT_TRUE(grid.EditorShowing());
    EXPECT_EQ(grid.InplaceEditor()->Color(), clYellow);
    EXPECT_EQ(grid.InplaceEditor()->palette().color(QPalette::Base), toQColor(clYellow));
    grid.SetColor(clAqua);
    EXPECT_EQ(grid.InplaceEditor()->Color(), clAqua);

    ASSERT_TRUE(grid.SetCurrentCell(2, 3));
    EXPECT_TRUE(grid.EditorShowing());
    EXPECT_EQ(grid.InplaceEditor()->EditCol(), 2);
    EXPECT_EQ(grid.InplaceEditor()->geometry(), grid.CellRect(2, 3));
    // The editor's text is committed when the table shrinks under it.
    grid.InplaceEditor()->setText(QStringLiteral("x"));
    grid.SetRowCount(2);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Cells(2, 3), QString());
    // Row select leaves no single cell to edit.
    grid.SetOptions(grid.Options() | goRowSelect);
    EXPECT_FALSE(grid.EditorShowing());
    EXPECT_FALSE(grid.Options() & goAlwaysShowEditor);
}

TEST(StringGridEdit, DestroyingTheGridWhileEditingIsSafe) {
    auto* grid = new TFramedStringGrid;
    configure(*grid);
    grid->SetOptions(grid->Options() | goEditing);
    ASSERT_TRUE(showActive(*grid));
    ASSERT_TRUE(focusOn(*grid));
    grid->ShowEditor();
    ASSERT_TRUE(grid->EditorShowing());
    ASSERT_TRUE(grid->InplaceEditor()->hasFocus());
    const QPointer<TInplaceEdit> editor = grid->InplaceEditor();
    delete grid;
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
}
