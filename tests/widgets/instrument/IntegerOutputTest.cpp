#include "tests/widgets/instrument/IntegerFieldSupport.h"

#include "platform/system/ApplicationErrors.h"

#include <QDialog>
#include <QVBoxLayout>
#include <random>

using namespace integer_field_test;

class AddressFieldTest : public FieldFixture {
protected:
    void SetUp() override {
        FieldFixture::SetUp();
        build(addressField);
        focusField();
    }
};

TEST_F(AddressFieldTest, TypedNumbersAreClampedToTheRangeOnEnter) {
    ASSERT_EQ(field->Text(), "1");
    ASSERT_EQ(field->SelLength(), 1) << "the loaded value is selected, so typing replaces it";

    type("200");
    EXPECT_EQ(field->Text(), "200");
    EXPECT_EQ(field->Value(), 1) << "nothing is committed before Enter";
    press(Qt::Key_Return);
    EXPECT_EQ(field->Value(), 127);
    EXPECT_EQ(field->Text(), "127");
    EXPECT_EQ(field->CommittedText(), "127");
    EXPECT_EQ(field->SelStart(), 0);
    EXPECT_EQ(field->SelLength(), 3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(userChanges, 1);

    type("0");
    press(Qt::Key_Enter);
    EXPECT_EQ(field->Value(), 1);
    EXPECT_EQ(field->Text(), "1");
    EXPECT_EQ(userChanges, 2);

    // Clamping to the value it already has fires nothing but shows it again.
    type("0");
    press(Qt::Key_Return);
    EXPECT_EQ(field->Text(), "1");
    EXPECT_EQ(userChanges, 2);
    EXPECT_EQ(beeps, 0);
}

TEST_F(AddressFieldTest, AnEmptiedTextOrEscapeBringsTheCommittedTextBack) {
    type("45");
    press(Qt::Key_Return);
    ASSERT_EQ(field->Value(), 45);
    const int changesBefore = changes;

    press(Qt::Key_End);
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    ASSERT_EQ(field->Text(), "");
    press(Qt::Key_Return);
    EXPECT_EQ(field->Text(), "45");
    EXPECT_EQ(field->Value(), 45);
    EXPECT_EQ(field->SelLength(), 2);

    type("9");
    press(Qt::Key_Escape);
    EXPECT_EQ(field->Text(), "45");
    EXPECT_EQ(field->CaretPos(), 0);
    EXPECT_EQ(field->SelLength(), 2);
    type("8");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->Text(), "45");
    EXPECT_EQ(changes, changesBefore);
    EXPECT_EQ(field->Value(), 45);
}

TEST_F(AddressFieldTest, AFourthDigitBeepsUnlessSomethingIsSelected) {
    type("123");
    ASSERT_EQ(field->Text(), "123");
    type("4");
    EXPECT_EQ(field->Text(), "123");
    EXPECT_EQ(beeps, 1);

    press(Qt::Key_Left, Qt::ShiftModifier);
    type("4");
    EXPECT_EQ(field->Text(), "124");
    EXPECT_EQ(beeps, 1);

    // Letters and signs are dropped silently unless BeepOnError is on.
    type("a-");
    EXPECT_EQ(beeps, 1);
    field->SetBeepOnError(true);
    press(Qt::Key_Left, Qt::ShiftModifier);
    type("x");
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(field->Text(), "124");
}

TEST_F(AddressFieldTest, PastingIntoAFullFieldInsertsNothing) {
    type("123");
    press(Qt::Key_Return);
    ASSERT_EQ(field->SelLength(), 3);
    QApplication::clipboard()->setText(QStringLiteral("45"));
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(field->Text().contains(u'4'));
    EXPECT_EQ(field->Text(), "") << "room is counted before the selection is removed";
    press(Qt::Key_Return);
    EXPECT_EQ(field->Text(), "123");
    EXPECT_EQ(field->Value(), 123);

    // With room left only what fits goes in, filtered or not.
    press(Qt::Key_End);
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    QApplication::clipboard()->setText(QStringLiteral("x789"));
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->Text(), "1x7");
    press(Qt::Key_Return);
    EXPECT_EQ(field->Text(), "123");
}

TEST_F(AddressFieldTest, NavigationKeysMoveAndSelect) {
    type("123");
    press(Qt::Key_Home);
    EXPECT_EQ(field->CaretPos(), 0);
    press(Qt::Key_Right);
    press(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(field->SelText(), "23");
    press(Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(field->SelText(), "1");
    press(Qt::Key_Delete);
    EXPECT_EQ(field->Text(), "23");
    press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(field->CaretPos(), 2);
    EXPECT_EQ(field->SelLength(), 0);
    press(Qt::Key_Up);
    press(Qt::Key_Down);
    EXPECT_EQ(field->CaretPos(), 2);
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->SelLength(), 2);
    press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(field->Text(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "23");
    press(Qt::Key_Escape);
    EXPECT_EQ(field->Text(), "1");
}

TEST_F(AddressFieldTest, LeavingTheFieldCommitsAsOperatorInput) {
    type("77");
    QTest::mouseClick(&other, Qt::LeftButton);
    EXPECT_FALSE(field->Focused());
    EXPECT_EQ(valueAtClick, 77);
    EXPECT_EQ(field->Text(), "77");
    EXPECT_EQ(userChanges, 1);
    EXPECT_FALSE(field->CaretCreated());

    // The program's own SetValue is no operator input.
    field->SetValue(5);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(userChanges, 1);
}

TEST_F(AddressFieldTest, BeforeChangeHandlersMayAlterOrVeto) {
    int seenOld = -1;
    field->OnBeforeUserChange = [&](QObject*, int oldValue, int& newValue, bool&) {
        seenOld = oldValue;
        newValue += 1;
    };
    type("50");
    press(Qt::Key_Return);
    EXPECT_EQ(seenOld, 1);
    EXPECT_EQ(field->Value(), 51);
    EXPECT_EQ(field->Text(), "51");

    field->OnBeforeChange = [](QObject*, int, int&, bool& canChange) { canChange = false; };
    type("60");
    press(Qt::Key_Return);
    EXPECT_EQ(field->Value(), 51);
    EXPECT_EQ(field->Text(), "51");
    field->SetValue(9);
    EXPECT_EQ(field->Value(), 51);
    EXPECT_EQ(userChanges, 1);
}

TEST_F(AddressFieldTest, MouseClicksPlaceTheCaretAndDragSelects) {
    type("123");
    press(Qt::Key_Return);
    field->SetAlignment(taLeftJustify);
    field->repaint();
    const QRect text = field->TextRect();
    const int digit = text.width() / 3;
    ASSERT_GT(digit, 4);

    const QPoint first(text.left() + digit / 4, text.center().y());
    const QPoint last(text.left() + 2 * digit + 3 * digit / 4, text.center().y());
    QTest::mouseClick(field, Qt::LeftButton, {}, first);
    EXPECT_EQ(field->CaretPos(), 0);
    EXPECT_EQ(field->SelLength(), 0);

    QTest::mousePress(field, Qt::LeftButton, {}, first);
    QTest::mouseMove(field, last);
    QTest::mouseRelease(field, Qt::LeftButton, {}, last);
    EXPECT_EQ(field->CaretPos(), 3);
    EXPECT_EQ(field->SelText(), "123");
    EXPECT_FALSE(field->MouseSelecting());

    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(text.left() + digit + digit / 4, 5));
    EXPECT_EQ(field->CaretPos(), 1);
    QTest::mouseDClick(field, Qt::LeftButton, {}, QPoint(text.left() + digit, 5));
    EXPECT_EQ(field->SelLength(), 3);
    EXPECT_FALSE(field->AfterDblClick());
}

TEST_F(AddressFieldTest, ContextMenuItemsFollowTheState) {
    QMenu* menu = field->ContextMenu();
    QStringList titles;
    for (QAction* action : menu->actions()) {
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(titles.join(u','), "Apply,Undo,-,Cut,Copy,Paste,Delete,-,Select All");
    const auto enabled = [menu](int index) { return menu->actions().at(index)->isEnabled(); };

    QApplication::clipboard()->clear();
    field->UpdateContextMenu();
    EXPECT_FALSE(enabled(0)); // nothing typed: Apply and Undo off
    EXPECT_FALSE(enabled(1));
    EXPECT_TRUE(enabled(3)); // the whole text is selected
    EXPECT_FALSE(enabled(5));
    EXPECT_FALSE(enabled(8)); // all is selected already

    type("64");
    QApplication::clipboard()->setText(QStringLiteral("7"));
    field->UpdateContextMenu();
    EXPECT_TRUE(enabled(0));
    EXPECT_TRUE(enabled(1));
    EXPECT_FALSE(enabled(3));
    EXPECT_FALSE(enabled(4));
    EXPECT_TRUE(enabled(5));
    EXPECT_TRUE(enabled(8));

    menu->actions().at(0)->trigger(); // Apply
    EXPECT_EQ(field->Value(), 64);
    EXPECT_EQ(userChanges, 1) << "Apply is operator input";

    field->SetErrorActive(true);
    field->UpdateContextMenu();
    EXPECT_FALSE(enabled(3));
    EXPECT_TRUE(enabled(4));
    EXPECT_FALSE(enabled(5));
    field->CopyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), "Error");
    field->PasteFromClipboard();
    field->CutToClipboard();
    EXPECT_EQ(field->Text(), "64");
}

// Without UndoOnError a text that is no number is an error: from Enter it is
// swallowed, from leaving the field and from "Apply" it reaches the
// application's error handler, and the typed text stays.
TEST_F(AddressFieldTest, ConversionErrorsOfFocusLossAndApplyReachTheErrorHandler) {
    QStringList reported;
    const ApplicationErrorHandler previous = SetApplicationErrorHandler(
        [&](const std::string& message) { reported << QString::fromStdString(message); });
    field->SetUndoOnError(false);
    press(Qt::Key_Backspace);
    ASSERT_EQ(field->Text(), "");
    press(Qt::Key_Return);
    EXPECT_TRUE(reported.isEmpty()) << "a key's error is swallowed";

    QTest::mouseClick(&other, Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return !field->Focused(); }));
    EXPECT_EQ(reported, QStringList({"'' is not a valid integer value"}));
    EXPECT_EQ(valueAtClick, 1);
    EXPECT_EQ(field->Text(), "");

    focusField();
    field->UpdateContextMenu();
    QAction* apply = field->ContextMenu()->actions().at(0);
    ASSERT_TRUE(apply->isEnabled());
    apply->trigger();
    EXPECT_EQ(reported.size(), 2);
    EXPECT_EQ(reported.value(1), "'' is not a valid integer value");
    EXPECT_EQ(field->Value(), 1);
    SetApplicationErrorHandler(previous);
}

TEST_F(AddressFieldTest, TheRightButtonOpensTheOwnMenuWithoutMovingTheCaret) {
    press(Qt::Key_End);
    QTest::mouseClick(field, Qt::RightButton, {}, QPoint(3, 5));
    ASSERT_TRUE(waitFor([this] { return field->ContextMenu()->isVisible(); }));
    EXPECT_EQ(field->CaretPos(), 1);
    field->ContextMenu()->close();
}

TEST(IntegerOutput, StartsAsACentredBoldZero) {
    TiIntegerOutput field;
    EXPECT_EQ(field.Value(), 0);
    EXPECT_EQ(field.Text(), "0");
    EXPECT_EQ(field.CommittedText(), "0");
    EXPECT_EQ(field.Alignment(), taCenter);
    EXPECT_TRUE(field.Font().Bold());
    EXPECT_EQ(field.BorderStyle(), ibsLowered);
    EXPECT_EQ(field.Color(), clWindow);
    EXPECT_EQ(field.size(), QSize(80, 21));
    EXPECT_TRUE(field.TabStop());
    EXPECT_TRUE(field.AutoSelect());
    EXPECT_TRUE(field.UndoOnError());
    EXPECT_FALSE(field.BeepOnError());
}

TEST(IntegerOutput, RangeClampsEveryValueTheProgramSets) {
    QWidget form;
    TiIntegerOutput field(&form);
    applySettings(field, writeValueField);
    int changes = 0;
    field.OnChange = [&](QObject*) { ++changes; };

    field.SetValue(70000);
    EXPECT_EQ(field.Value(), 65535);
    EXPECT_EQ(field.Text(), "65535");
    EXPECT_EQ(field.SelLength(), 5);
    field.SetValue(-5);
    EXPECT_EQ(field.Value(), 0);
    EXPECT_EQ(changes, 2);

    // An equal value fires nothing but replaces unfinished typing.
    field.InsertText(QStringLiteral("12"));
    field.SetValue(0);
    EXPECT_EQ(field.Text(), "0");
    EXPECT_EQ(changes, 2);

    // Narrowing the range re-clamps; an inverted range gives its minimum.
    field.SetValue(500);
    field.SetValueMax(100);
    EXPECT_EQ(field.Value(), 100);
    field.SetValueMin(300);
    EXPECT_EQ(field.Value(), 300);
    field.SetValueMin(0);
    field.SetValueMax(0);
    field.SetValue(-70000);
    EXPECT_EQ(field.Value(), -70000) << "both bounds 0 means no range";
}

TEST(IntegerOutput, NotationSettersReformatTheText) {
    TiIntegerOutput field;
    field.SetValue(255);
    field.SetFormatStyle(iifsHex);
    EXPECT_EQ(field.Text(), "FF");
    field.SetLeadingZeros(true);
    EXPECT_EQ(field.Text(), "000000FF");
    field.SetMaxLength(4);
    EXPECT_EQ(field.Text(), "00FF");
    field.SetFormatStyle(iifsBinary);
    EXPECT_EQ(field.Text(), "11111111");
    field.SetFormatStyle(iifsOctal);
    EXPECT_EQ(field.Text(), "0377");
    EXPECT_EQ(field.Value(), 255);
    EXPECT_EQ(field.CommittedText(), field.Text());

    field.SetFormatStyle(iifsInteger);
    field.SetValue(0);
    field.SetMaxLength(3);
    EXPECT_EQ(field.Text(), "000");
}

TEST(IntegerOutput, ConversionErrorsUndoOrRaiseAsChosen) {
    int beeps = 0;
    const Beep::Observer previous = Beep::setObserver([&] { ++beeps; });
    TiIntegerOutput field;
    field.SetValue(12);
    field.SetBeepOnError(true);
    field.SelectAll();
    field.InsertText(QStringLiteral("1x"));
    field.Commit();
    EXPECT_EQ(field.Text(), "12");
    EXPECT_EQ(field.Value(), 12);
    EXPECT_EQ(beeps, 1);

    field.SetUndoOnError(false);
    field.SelectAll();
    field.InsertText(QStringLiteral("--"));
    EXPECT_THROW(field.Commit(), EConvertError);
    EXPECT_EQ(field.Value(), 12);
    Beep::setObserver(previous);
}

TEST(IntegerOutput, PastedTextOfAnyKindNeverLeavesTheRange) {
    QWidget form;
    TiIntegerOutput field(&form);
    applySettings(field, writeValueField);
    field.SetMaxLength(0); // let whole pasted strings through to the conversion

    // -1: the conversion fails and the previous value stays.
    const std::vector<std::pair<QString, int>> known = {
        {"$FFFF", 65535}, {"$10000", 65535}, {"b1111", 15},      {"o777", 511},
        {"-5", 0},        {"99999", 65535},  {"4294967296", -1}, {"1e3", -1},
        {"0x10", -1},     {" 42", 42},       {"42 ", -1},        {"٣", -1}};
    field.SetValue(1);
    for (const auto& [text, value] : known) {
        const int before = field.Value();
        field.SelectAll();
        QApplication::clipboard()->setText(text);
        field.PasteFromClipboard();
        field.Commit();
        EXPECT_EQ(field.Value(), value < 0 ? before : value) << text.toStdString();
        EXPECT_EQ(field.Text(), QString::number(field.Value()));
    }

    std::mt19937 random(4242);
    const QString alphabet = QStringLiteral("0123456789$bo-+ xXaFf.\t汉٣\u0000");
    std::uniform_int_distribution<int> lengths(0, 40);
    std::uniform_int_distribution<int> letters(0, static_cast<int>(alphabet.size()) - 1);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        const int length = lengths(random);
        for (int index = 0; index < length; ++index) {
            text += alphabet.at(letters(random));
        }
        const int before = field.Value();
        field.SelectAll();
        QApplication::clipboard()->setText(text);
        field.PasteFromClipboard();
        field.Commit();
        ASSERT_GE(field.Value(), 0) << text.toStdString();
        ASSERT_LE(field.Value(), 65535) << text.toStdString();
        ASSERT_EQ(field.Text(), QString::number(field.Value()));
        ASSERT_EQ(field.CommittedText(), field.Text());
        bool plainDecimal = !text.isEmpty() && text.size() <= 9;
        for (QChar character : text) {
            plainDecimal = plainDecimal && character >= u'0' && character <= u'9';
        }
        if (plainDecimal) {
            ASSERT_EQ(field.Value(), std::clamp(text.toInt(), 0, 65535));
        } else if (text.isEmpty() || text.contains(u'x') || text.contains(u'.')) {
            ASSERT_EQ(field.Value(), before) << text.toStdString();
        }
    }
}

TEST(IntegerOutput, WriteDialogCommitsBeforeTheButtonReadsAndKeepsEnter) {
    QApplication::setCursorFlashTime(0);
    QDialog dialog;
    dialog.resize(234, 144);
    TiIntegerOutput field(&dialog);
    applySettings(field, writeValueField);
    QPushButton ok(QStringLiteral("OK"), &dialog);
    ok.setGeometry(15, 60, 90, 37);
    ok.setDefault(true);
    int okValue = -1;
    int okClicks = 0;
    QObject::connect(&ok, &QPushButton::clicked, [&] {
        ++okClicks;
        okValue = field.Value();
    });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    field.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(waitFor([&] { return field.Focused(); }));

    QTest::keyClicks(&field, QStringLiteral("1234"));
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(okClicks, 0);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(field.Value(), 1234);
    EXPECT_EQ(field.SelLength(), 4);

    QTest::keyClicks(&field, QStringLiteral("99999"));
    QTest::keyClick(&field, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(field.Text(), "1234");

    QTest::keyClicks(&field, QStringLiteral("99999"));
    QTest::mouseClick(&ok, Qt::LeftButton);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(okValue, 65535);
    EXPECT_EQ(field.Text(), "65535");
}
