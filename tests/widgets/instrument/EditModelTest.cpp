#include "widgets/instrument/EditModel.h"

#include <gtest/gtest.h>

namespace {

// Every character is 10 pixels wide, except "W" at 30.
int fixedWidth(const QString& run) {
    int width = 0;
    for (QChar character : run) {
        width += character == u'W' ? 30 : 10;
    }
    return width;
}

EditModel modelWith(const QString& text) {
    EditModel model;
    model.replaceText(text);
    model.setCommittedText(text);
    return model;
}

} // namespace

TEST(EditModel, TypingRespectsMaxLengthUnlessSomethingIsSelected) {
    EditModel model = modelWith("1");
    model.selectAll();
    EXPECT_EQ(model.typeCharacter('2', 3), EditModel::TypeResult::Inserted);
    EXPECT_EQ(model.text(), "2");
    model.typeCharacter('0', 3);
    model.typeCharacter('0', 3);
    EXPECT_EQ(model.text(), "200");
    EXPECT_EQ(model.typeCharacter('5', 3), EditModel::TypeResult::Refused);
    EXPECT_EQ(model.text(), "200");
    EXPECT_EQ(model.caretPos(), 3);

    model.navigate(EditModel::NavigationKey::Left, true, false);
    EXPECT_EQ(model.typeCharacter('9', 3), EditModel::TypeResult::Inserted);
    EXPECT_EQ(model.text(), "209");
    EXPECT_EQ(model.typeCharacter('7', 0), EditModel::TypeResult::Inserted);
    EXPECT_EQ(model.text(), "2097");
}

TEST(EditModel, PasteRoomCountsTheTextBeforeTheSelectionGoes) {
    EditModel model = modelWith("123");
    model.selectAll();
    EXPECT_EQ(model.pasteablePart("45", 3), "");
    EXPECT_EQ(model.pasteablePart("45", 0), "45");
    model.replaceText("1");
    EXPECT_EQ(model.pasteablePart("456789", 5), "4567");
    model.replaceText("123456");
    EXPECT_EQ(model.pasteablePart("7", 5), "");
}

TEST(EditModel, ShiftNavigationSelectsFromTheAnchorAndPlainNavigationDrops) {
    EditModel model = modelWith("12345");
    model.setCaretPos(2);
    model.navigate(EditModel::NavigationKey::Right, true, false);
    model.navigate(EditModel::NavigationKey::Right, true, false);
    EXPECT_EQ(model.anchor(), 2);
    EXPECT_EQ(model.selectedText(), "34");
    model.navigate(EditModel::NavigationKey::Home, true, false);
    EXPECT_EQ(model.selStart(), 0);
    EXPECT_EQ(model.selectedText(), "12");
    model.navigate(EditModel::NavigationKey::Right, true, true);
    EXPECT_EQ(model.caretPos(), 5);
    EXPECT_EQ(model.selectedText(), "345");
    model.navigate(EditModel::NavigationKey::Left, false, false);
    EXPECT_EQ(model.caretPos(), 4);
    EXPECT_FALSE(model.hasSelection());
    model.navigate(EditModel::NavigationKey::Left, false, true);
    EXPECT_EQ(model.caretPos(), 0);
    model.navigate(EditModel::NavigationKey::Left, false, false);
    EXPECT_EQ(model.caretPos(), 0);
    model.navigate(EditModel::NavigationKey::End, false, false);
    model.navigate(EditModel::NavigationKey::Right, false, false);
    EXPECT_EQ(model.caretPos(), 5);
}

TEST(EditModel, BackspaceAndDeleteRemoveOneCharacterOrTheSelection) {
    EditModel model = modelWith("12345");
    model.setCaretPos(0);
    model.backspace();
    EXPECT_EQ(model.text(), "12345");
    model.setCaretPos(3);
    model.backspace();
    EXPECT_EQ(model.text(), "1245");
    EXPECT_EQ(model.caretPos(), 2);
    model.deleteForward();
    EXPECT_EQ(model.text(), "125");
    model.navigate(EditModel::NavigationKey::End, false, false);
    model.deleteForward();
    EXPECT_EQ(model.text(), "125");
    model.setSelection(3, 1);
    model.deleteForward();
    EXPECT_EQ(model.text(), "1");
    EXPECT_EQ(model.caretPos(), 1);
    model.selectAll();
    model.backspace();
    EXPECT_EQ(model.text(), "");
    EXPECT_EQ(model.caretPos(), 0);
    EXPECT_TRUE(model.isModified());
    model.undo(true);
    EXPECT_EQ(model.text(), "12345");
    EXPECT_EQ(model.caretPos(), 0);
    EXPECT_EQ(model.selectedText(), "12345");
}

TEST(EditModel, MouseSelectionRunsFromThePressAndADoubleClickKeepsAll) {
    EditModel model = modelWith("12345");
    model.beginMouseSelection(4, false);
    model.extendMouseSelection(1);
    EXPECT_EQ(model.selectedText(), "234");
    EXPECT_EQ(model.caretPos(), 1);
    model.selectAll();
    model.beginMouseSelection(2, true);
    EXPECT_EQ(model.selectedText(), "12345");
    model.beginMouseSelection(99, false);
    EXPECT_EQ(model.caretPos(), 5);
    EXPECT_FALSE(model.hasSelection());
}

TEST(EditModel, VisibleWindowFollowsTheCaretWithinTheWidth) {
    EditModel model = modelWith("0123456789");
    model.fitVisible(200, fixedWidth);
    EXPECT_EQ(model.firstVisible(), 0);
    EXPECT_EQ(model.lastVisible(), 9);

    model.navigate(EditModel::NavigationKey::End, false, false);
    model.fitVisible(45, fixedWidth);
    EXPECT_EQ(model.visibleText(), "6789");
    EXPECT_EQ(model.widthBefore(model.caretPos(), fixedWidth), 40);

    model.setCaretPos(3);
    model.fitVisible(45, fixedWidth);
    EXPECT_EQ(model.firstVisible(), 3);
    EXPECT_EQ(model.visibleText(), "3456");
    // Moving within the window does not scroll it.
    model.setCaretPos(5);
    model.fitVisible(45, fixedWidth);
    EXPECT_EQ(model.visibleText(), "3456");
}

TEST(EditModel, FitEndsWhenThereIsNoRoom) {
    for (int width : {0, -1, -500, 5, 29}) {
        EditModel model = modelWith("1W3W5");
        for (int caret = 0; caret <= 5; ++caret) {
            model.setCaretPos(caret);
            model.fitVisible(width, fixedWidth);
            EXPECT_LE(fixedWidth(model.visibleText()), std::max(width, 0));
            EXPECT_GE(model.lastVisible(), model.firstVisible() - 1);
            EXPECT_LE(model.firstVisible(), caret);
        }
    }
    EditModel empty;
    empty.fitVisible(-3, fixedWidth);
    EXPECT_EQ(empty.visibleText(), "");
}

TEST(EditModel, CharIndexAtPicksTheNearestBoundary) {
    EditModel model = modelWith("123");
    model.fitVisible(100, fixedWidth);
    const int left = 20;
    EXPECT_EQ(model.charIndexAt(5, left, fixedWidth), 0);
    EXPECT_EQ(model.charIndexAt(24, left, fixedWidth), 0);
    EXPECT_EQ(model.charIndexAt(25, left, fixedWidth), 1);
    EXPECT_EQ(model.charIndexAt(34, left, fixedWidth), 1);
    EXPECT_EQ(model.charIndexAt(46, left, fixedWidth), 3);
    EXPECT_EQ(model.charIndexAt(300, left, fixedWidth), 3);

    EditModel scrolled = modelWith("0123456789");
    scrolled.navigate(EditModel::NavigationKey::End, false, false);
    scrolled.fitVisible(45, fixedWidth);
    EXPECT_EQ(scrolled.charIndexAt(0, left, fixedWidth), 5);
    EXPECT_EQ(scrolled.charIndexAt(left + 16, left, fixedWidth), 8);

    // The half width that moves a boundary is that of the character left of
    // it (the first one for position 0), so a wide "W" stretches the zone of
    // the position right of it and a narrow "1" shrinks it.
    EditModel wideLast = modelWith("1W");
    wideLast.fitVisible(100, fixedWidth);
    EXPECT_EQ(wideLast.charIndexAt(24, left, fixedWidth), 0);
    EXPECT_EQ(wideLast.charIndexAt(34, left, fixedWidth), 1);
    EXPECT_EQ(wideLast.charIndexAt(35, left, fixedWidth), 2);
    EXPECT_EQ(wideLast.charIndexAt(74, left, fixedWidth), 2);
    EditModel wideFirst = modelWith("W1");
    wideFirst.fitVisible(100, fixedWidth);
    EXPECT_EQ(wideFirst.charIndexAt(34, left, fixedWidth), 0);
    EXPECT_EQ(wideFirst.charIndexAt(58, left, fixedWidth), 1);
    EXPECT_EQ(wideFirst.charIndexAt(64, left, fixedWidth), 1);
    EXPECT_EQ(wideFirst.charIndexAt(65, left, fixedWidth), 2);
}

namespace {

// The visible window as the field's paint step describes it, one character
// at a time: shrink from the right, then walk the start towards the caret.
std::pair<int, int> stepwiseWindow(const QString& text, int caret, int first, int available) {
    const int length = static_cast<int>(text.size());
    auto width = [&](int from, int to) {
        return to < from ? 0 : fixedWidth(text.mid(from, to - from + 1));
    };
    if (width(0, length - 1) < available) {
        return {0, length - 1};
    }
    first = std::clamp(first, 0, length);
    first = std::min(first, caret);
    int last = 0;
    auto fit = [&] {
        last = length - 1;
        while (last >= first && width(first, last) > available) {
            --last;
        }
    };
    fit();
    while (last + 1 < caret && first < caret) {
        ++first;
        fit();
    }
    return {first, last};
}

} // namespace

TEST(EditModel, LongTextIsFittedWithFewMeasurementsAndTheSameWindow) {
    // A pasted text of thousands of characters: the window is found by a
    // handful of measurements, not one per character and start position
    // (that took minutes per paint and froze the field).
    EditModel model = modelWith(QString(3000, QLatin1Char('7')));
    model.navigate(EditModel::NavigationKey::End, false, false);
    int measurements = 0;
    const auto counting = [&](const QString& run) {
        ++measurements;
        return fixedWidth(run);
    };
    model.fitVisible(95, counting);
    EXPECT_EQ(model.visibleText(), QString(9, QLatin1Char('7')));
    EXPECT_EQ(model.lastVisible(), 2999);
    EXPECT_LT(measurements, 100);

    // Same window as the step-by-step rule, for mixed widths, any caret, any
    // earlier start and widths down to nothing.
    std::srand(7);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = std::rand() % 12;
        for (int index = 0; index < length; ++index) {
            text += std::rand() % 3 == 0 ? QLatin1Char('W') : QLatin1Char('1');
        }
        const int caret = length == 0 ? 0 : std::rand() % (length + 1);
        const int start = std::rand() % (length + 2);
        const int available = std::rand() % 90 - 10;
        EditModel probe = modelWith(text);
        probe.setCaretPos(start); // leaves firstVisible at a start of its own
        probe.fitVisible(5, fixedWidth);
        const int firstBefore = probe.firstVisible();
        probe.setCaretPos(caret);
        probe.fitVisible(available, fixedWidth);
        const auto expected = stepwiseWindow(text, caret, firstBefore, available);
        ASSERT_EQ(std::make_pair(probe.firstVisible(), probe.lastVisible()), expected)
            << text.toStdString() << " caret " << caret << " from " << firstBefore << " width "
            << available;
    }
}
