#include "platform/drawing/DrawText.h"
#include "tests/widgets/instrument/InstrumentTestSupport.h"
#include "tests/widgets/instrument/IntegerFieldSupport.h"

#include <set>

using namespace integer_field_test;
using instrument_test::countColor;
using instrument_test::inkBox;
using instrument_test::pixel;
using instrument_test::render;

namespace {

class ExposedField : public TiIntegerOutput {
public:
    using TiIntegerOutput::PaintContent;
    using TiIntegerOutput::TiIntegerOutput;
};

} // namespace

class FieldRenderTest : public FieldFixture {
protected:
    void SetUp() override {
        FieldFixture::SetUp();
        build(FieldSettings{{10, 10, 90, 30}, 123, 0, 999, 3, -16});
    }

    QFont font() const { return field->Font().toQFont(); }
    int widthOf(const QString& text) const { return textWidth(font(), text); }
    int lineHeight() const { return textHeight(font(), QStringLiteral("ABC")); }
    QRect interior() const { return QRect(2, 2, field->Width() - 4, field->Height() - 4); }
};

TEST_F(FieldRenderTest, TextSitsWhereEachAlignmentPutsIt) {
    const int width = field->Width();
    const int textWidth = widthOf(QStringLiteral("123"));
    ASSERT_GT(textWidth, 12);
    struct Case {
        TAlignment alignment;
        int margin;
        int left;
    };
    const Case cases[] = {
        {taLeftJustify, 0, 3},
        {taLeftJustify, 5, 8},
        {taRightJustify, 0, width - 4 - textWidth},
        {taRightJustify, 6, width - 10 - textWidth},
        {taCenter, 0, width / 2 + textWidth / 2 - textWidth},
    };
    for (const Case& c : cases) {
        field->SetAlignment(c.alignment);
        field->SetAlignmentMargin(c.margin);
        const QImage image = render(*field);
        EXPECT_EQ(field->TextRect(), QRect(c.left, 3, textWidth, lineHeight())) << c.alignment;
        const QRect ink = inkBox(image, ColorToRGB(clWindow), interior());
        ASSERT_FALSE(ink.isNull());
        // Glyphs start and end within their side bearings of the text box.
        EXPECT_GE(ink.left(), c.left) << c.alignment << " margin " << c.margin;
        EXPECT_LE(ink.left(), c.left + 2) << c.alignment << " margin " << c.margin;
        EXPECT_LE(ink.right(), c.left + textWidth - 1);
        EXPECT_GE(ink.right(), c.left + textWidth - 4);
        EXPECT_GE(ink.top(), 3);
    }
}

TEST_F(FieldRenderTest, CaretIsAnInvertedColumnAtTheCaretPosition) {
    field->SetAlignment(taLeftJustify);
    const QImage unfocused = render(*field);
    focusField();
    const int height = field->Height();
    for (auto [key, expectedX] :
         {std::pair{Qt::Key_End, 3 + widthOf(QStringLiteral("123"))}, std::pair{Qt::Key_Home, 3},
          std::pair{Qt::Key_Right, 3 + widthOf(QStringLiteral("1"))}}) {
        press(key);
        ASSERT_EQ(field->SelLength(), 0);
        const QImage focused = render(*field);
        std::set<std::pair<int, int>> changed;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < field->Width(); ++x) {
                if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
                    changed.insert({x, y});
                }
            }
        }
        std::set<std::pair<int, int>> caret;
        for (int y = 3; y < std::min(3 + lineHeight(), height); ++y) {
            caret.insert({expectedX, y});
        }
        EXPECT_EQ(changed, caret) << "caret expected at x = " << expectedX;
    }
}

TEST(FieldCaret, StopsAboveTheBottomEdgeOfAShortField) {
    QApplication::setCursorFlashTime(0);
    QWidget form;
    TiIntegerOutput field(&form);
    applySettings(field, addressField);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const QImage unfocused = render(field);
    field.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(waitFor([&] { return field.Focused(); }));
    QTest::keyClick(&field, Qt::Key_End);
    const QImage focused = render(field);
    int caretRows = 0;
    for (int y = 0; y < field.Height(); ++y) {
        for (int x = 0; x < field.Width(); ++x) {
            if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
                EXPECT_LT(y, field.Height() - 2) << "caret on the edge at y = " << y;
                ++caretRows;
            }
        }
    }
    EXPECT_GT(caretRows, 10);
}

TEST_F(FieldRenderTest, SelectionIsHighlightedOnlyWhileFocused) {
    field->SetAlignment(taLeftJustify);
    const TColor highlight = ColorToRGB(clHighlight);
    EXPECT_EQ(countColor(render(*field), highlight), 0);
    focusField();
    press(Qt::Key_Home);
    press(Qt::Key_Right);
    press(Qt::Key_End, Qt::ShiftModifier);
    ASSERT_EQ(field->SelText(), "23");
    const QImage image = render(*field);

    const QRect marked(3 + widthOf(QStringLiteral("1")), 3, widthOf(QStringLiteral("23")),
                       lineHeight());
    const int area = marked.width() * marked.height();
    const int highlighted = countColor(image, highlight, marked);
    const int white = countColor(image, clWhite, marked);
    EXPECT_EQ(highlighted + white, area) << "only highlight and white glyphs in the selection";
    EXPECT_GT(white, 0);
    EXPECT_GT(highlighted, area / 2);
    EXPECT_EQ(countColor(image, highlight), highlighted) << "no highlight outside the selection";

    QTest::mouseClick(&other, Qt::LeftButton);
    ASSERT_FALSE(field->Focused());
    EXPECT_EQ(countColor(render(*field), highlight), 0);
}

TEST_F(FieldRenderTest, ErrorDisplayReplacesTextAndCaret) {
    focusField();
    field->SetErrorActive(true);
    const QImage image = render(*field);
    EXPECT_EQ(countColor(image, ColorToRGB(clWindow), interior()), 0);
    EXPECT_GT(countColor(image, clRed, interior()), 0);
    EXPECT_FALSE(field->CaretCreated());
    const int textWidthOfError = textWidth(field->ErrorFont().toQFont(), QStringLiteral("Error"));
    EXPECT_EQ(field->TextRect().width(), textWidthOfError);
    // Editing keys still act on the text behind the display.
    type("7");
    EXPECT_EQ(field->Text(), "7");
}

TEST_F(FieldRenderTest, LongTextScrollsToKeepTheCaretInView) {
    field->SetMaxLength(0);
    field->SetValueMax(0);
    field->SetValueMin(0);
    field->SetAlignment(taLeftJustify);
    field->SetValue(1234567890);
    focusField();
    press(Qt::Key_End);
    render(*field);
    const int available = field->Width() - 4;
    EXPECT_EQ(field->LastVisible(), 9);
    EXPECT_GT(field->FirstVisible(), 0);
    EXPECT_LE(field->TextRect().width(), available);
    press(Qt::Key_Home);
    render(*field);
    EXPECT_EQ(field->FirstVisible(), 0);
    EXPECT_LT(field->LastVisible(), 9);
    EXPECT_LE(field->TextRect().width(), available);
}

TEST_F(FieldRenderTest, AutoSizeFollowsTheFontAndTheEdge) {
    field->Font().SetHeight(-24);
    EXPECT_EQ(field->Height(), lineHeight() + 8);
    field->SetBorderStyle(ibsNone);
    field->Font().SetHeight(-12);
    EXPECT_EQ(field->Height(), lineHeight() + 4);
    const int fixedHeight = field->Height();
    field->SetAutoSize(false);
    field->Font().SetHeight(-30);
    EXPECT_EQ(field->Height(), fixedHeight);
    field->SetAutoSize(true);
    EXPECT_EQ(field->Height(), lineHeight() + 4);
    field->BeginLoading();
    field->Font().SetHeight(-10);
    EXPECT_NE(field->Height(), lineHeight() + 4) << "no auto-size while loading";
    field->EndLoading();
}

// A field too narrow for a single character still paints and stops.
TEST(FieldWithoutRoom, PaintingEndsAtAnyWidth) {
    QWidget form;
    ExposedField field(&form);
    field.SetMaxLength(0);
    field.SetValue(2147483647);
    form.show();
    for (int width : {0, 1, 2, 3, 4, 5, 8, 13}) {
        field.SetBounds(0, 0, width, 24);
        for (bool caretAtEnd : {false, true}) {
            if (caretAtEnd) {
                field.SelectAll();
                field.InsertText(field.Text());
            } else {
                field.Undo();
            }
            QImage image(std::max(width, 1), 24, QImage::Format_RGB32);
            QPainter painter(&image);
            field.PaintContent(painter);
            EXPECT_LE(field.TextRect().width(), std::max(width - 4, 0)) << width;
            EXPECT_GE(field.LastVisible(), field.FirstVisible() - 1);
            EXPECT_LE(field.FirstVisible(), field.CaretPos());
        }
    }
}
