// The main window rendered offscreen and checked pixel by pixel.

#include "tests/ui/main/WindowTestSupport.h"

#include "platform/drawing/Color.h"
#include "platform/drawing/DrawText.h"
#include "ui/main/StatusBar.h"
#include "widgets/instrument/iLedRectangle.h"

#include <QImage>

namespace {

QColor at(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// The bounding box of the pixels inside `area` that differ from `background`.
QRect inkBox(const QImage& image, const QRect& area, const QColor& background) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (at(image, x, y) != background) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

} // namespace

class WindowPixelsTest : public WindowTest {
protected:
    QImage render() const { return form->grab().toImage(); }
    // A table cell in window coordinates, inside its grid lines.
    QRect cellArea(int column, int row) const {
        return form->sg1->CellRect(column, row).translated(form->sg1->pos());
    }
};

TEST_F(WindowPixelsTest, ReadoutsAndLampSitWhereTheLayoutPutsThem) {
    const QImage image = render();
    ASSERT_EQ(image.size(), QSize(840, 796));
    const QColor black(0, 0, 0);
    const QColor face = toQColor(clBtnFace);
    for (const int left : {584, 696}) {
        // Corners of the black 108 x 46 faces, and the face colour just outside.
        EXPECT_EQ(at(image, left, 40), black) << left;
        EXPECT_EQ(at(image, left + 107, 40), black) << left;
        EXPECT_EQ(at(image, left, 40 + 45), black) << left;
        EXPECT_EQ(at(image, left + 107, 40 + 45), black) << left;
        EXPECT_NE(at(image, left, 40 + 46), black) << left;
        EXPECT_NE(at(image, left + 108, 60), black) << left;
    }
    EXPECT_EQ(at(image, 583, 60), face);
    // The unlit lamp fills 36 x 36 from (512, 48) in the dimmed lime.
    const QColor unlit = toQColor(DimColor(clLime, 3));
    EXPECT_EQ(at(image, 512 + 18, 48 + 24), unlit);
    EXPECT_NE(at(image, 511, 48 + 24), unlit);
    EXPECT_NE(at(image, 512 + 36, 48 + 24), unlit);
}

TEST_F(WindowPixelsTest, TheLitLampAndTheReadoutSegmentsFollowTheModule) {
    m_module->SetRegister(10, 1);
    // The feedback follows the output: both read-outs show 08.88.
    m_module->SetRegister(3, 888);
    m_module->SetRegister(5, 0);
    startPolling();
    ASSERT_TRUE(waitFor([this] { return form->iLedRectangle1->Active(); }));
    ASSERT_TRUE(waitFor([this] { return cell(2, 3) == "888"; }));
    runFor(50);
    const QImage image = render();
    EXPECT_EQ(at(image, 512 + 18, 48 + 24), toQColor(clLime));
    // The second cell of the feedback read-out (20 x 36 at (31, 5)) shows a
    // lit red "8": its middle bar crosses the cell's centre line.
    const QRect firstCell(584 + 31, 40 + 5, 20, 36);
    int red = 0;
    for (int x = firstCell.left(); x <= firstCell.right(); ++x) {
        red += at(image, x, firstCell.center().y()) == QColor(255, 0, 0) ? 1 : 0;
    }
    EXPECT_GT(red, 5);
}

TEST_F(WindowPixelsTest, TableTextsAreCentredInTheirCells) {
    const QImage image = render();
    const QColor white = toQColor(clWindow);
    // Row 0 is the current cell and drawn highlighted; the others are white.
    for (const auto& [column, row] :
         {std::pair{1, 0}, std::pair{0, 3}, std::pair{2, 5}, std::pair{3, 7}, std::pair{1, 8}}) {
        const QRect area = cellArea(column, row);
        const QColor background = at(image, area.left() + 1, area.top() + 1);
        if (row != 0) {
            EXPECT_EQ(background, white);
        }
        const QRect ink = inkBox(image, area, background);
        ASSERT_FALSE(ink.isEmpty()) << column << "," << row;
        const int leftGap = ink.left() - area.left();
        const int rightGap = area.right() - ink.right();
        EXPECT_LE(std::abs(leftGap - rightGap), 3) << column << "," << row;
        const int topGap = ink.top() - area.top();
        const int bottomGap = area.bottom() - ink.bottom();
        EXPECT_LE(std::abs(topGap - bottomGap), 5) << column << "," << row;
    }
}

TEST_F(WindowPixelsTest, ATextWiderThanItsCellStaysCentredAndIsClippedAtBothEdges) {
    const QString text = QStringLiteral("8 1 8 1 8 1 8 1 8");
    const int textWide = textWidth(form->sg1->Font().toQFont(), text);
    ASSERT_GT(textWide, 40);
    ASSERT_LT(textWide, 170);
    form->sg1->SetCells(1, 5, text);
    const QImage wide = render();
    const QRect wideArea = cellArea(1, 5);
    const QRect leftNeighbour = cellArea(0, 5);

    // Five pixels too narrow: the text starts -5 div 2 = 2 pixels left of the
    // cell, and the ink is the wide cell's ink moved by the change of offset.
    const int narrowWidth = textWide - 5;
    form->sg1->SetColWidths(1, narrowWidth);
    const QImage narrow = render();
    const QRect narrowArea = cellArea(1, 5);
    ASSERT_EQ(narrowArea.width(), narrowWidth);
    const int shift = -2 - (wideArea.width() - textWide) / 2;
    int ink = 0;
    for (int y = narrowArea.top(); y <= narrowArea.bottom(); ++y) {
        for (int x = narrowArea.left(); x <= narrowArea.right(); ++x) {
            const QColor expected = at(wide, x - shift, y);
            ASSERT_EQ(at(narrow, x, y), expected) << x << "," << y;
            ink += expected != at(wide, wideArea.left() + 1, y) ? 1 : 0;
        }
    }
    EXPECT_GT(ink, 20);
    // Nothing of the text reaches the cell on its left.
    for (int y = leftNeighbour.top(); y <= leftNeighbour.bottom(); ++y) {
        for (int x = leftNeighbour.left(); x <= leftNeighbour.right() + 1; ++x) {
            ASSERT_EQ(at(narrow, x, y), at(wide, x, y)) << x << "," << y;
        }
    }
}

TEST_F(WindowPixelsTest, TheTableStartsAtItsPlaceWithANarrowFirstColumn) {
    const QImage image = render();
    const QRect first = cellArea(0, 1);
    EXPECT_EQ(first.width(), 30);
    EXPECT_EQ(cellArea(1, 1).width(), 180);
    EXPECT_EQ(form->sg1->geometry(), QRect(32, 112, 777, 393));
    // The one-pixel border is dark, the window face outside it.
    EXPECT_NE(at(image, 32, 200), toQColor(clBtnFace));
    EXPECT_EQ(at(image, 31, 200), toQColor(clBtnFace));
}

TEST_F(WindowPixelsTest, TheStatusBarShowsItsPanelTexts) {
    startPolling();
    ASSERT_TRUE(waitFor([this] { return txCount() >= 2; }));
    const QImage image = render();
    const QRect bar = form->stat1->geometry();
    EXPECT_EQ(bar, QRect(0, 777, 840, 19));
    EXPECT_EQ(form->stat1->panelWidth(0), 25);
    EXPECT_EQ(form->stat1->panelWidth(1), 50);
    const QColor text = toQColor(clWindowText);
    for (int panel = 0; panel < 5; ++panel) {
        const QRect area =
            form->stat1->panelRect(panel).translated(bar.topLeft()).adjusted(1, 1, -1, -1);
        int dark = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                dark += at(image, x, y) == text ? 1 : 0;
            }
        }
        EXPECT_GT(dark, 3) << "panel " << panel;
    }
    EXPECT_EQ(form->stat1->panelText(0), "Tx=");
    EXPECT_EQ(form->stat1->panelText(2), "Er=");
}
